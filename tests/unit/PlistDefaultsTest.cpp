#include "platform/linux/PlistDefaults.h"
#include "TempDir.h"
#include "core/app/PreferenceMigration.h"
#include "core/app/Preferences.h"
#include "core/app/PropertyList.h"
#include "platform/sim/SimDefaults.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <unistd.h>

using namespace tessera;
using ::testing::HasSubstr;
namespace fs = std::filesystem;
using test::readTestFile;
using test::writeTestFile;

namespace {
class PlistDefaultsTest : public ::testing::Test {
protected:
    PlistDefaults open(const fs::path& path) { return PlistDefaults(path, &diagnostics); }
    PlistDefaults open() { return open(file); }

    test::TempDir temp{"tessera-plist"};
    fs::path dir = temp.path();
    fs::path file = dir / "Tessera" / "preferences.plist";
    std::ostringstream diagnostics;
};

DefaultsDomain everyType() {
    return {
        {"yes", true},
        {"no", false},
        {"zero", std::int64_t{0}},
        {"smallest", std::numeric_limits<std::int64_t>::min()},
        {"wholeReal", 1.0},
        {"tiny", -2.5e-300},
        {"unicode", std::string("Ζώνες — зоны ✓ 🪟")},
        {"empty", std::string()},
        {"markup", std::string("<a href=\"x\"> & ]]> 'b'\n\ttabbed ")},
        {"notUtf8", std::string("\xff\xfe ok")},
        {"bytes", Bytes{0, 1, 0, 255, 0}},
        {"noBytes", Bytes{}},
        {"languages", std::vector<std::string>{"el", "Русский", ""}},
        {"noLanguages", std::vector<std::string>{}},
        {"", std::string("an empty key")},
    };
}

// A deeply nested value inside an otherwise good file.
std::string nested(int depth, std::string_view open, std::string_view close) {
    std::string text = "<plist><dict><key>deep</key>";
    for (int i = 0; i < depth; ++i) {
        text += open;
    }
    for (int i = 0; i < depth; ++i) {
        text += close;
    }
    return text + "</dict></plist>";
}
} // namespace

TEST_F(PlistDefaultsTest, EveryTypeSurvivesTheFileExactly) {
    {
        auto defaults = open();
        for (const auto& [key, value] : everyType()) {
            ASSERT_TRUE(defaults.set(key, value)) << key << ": " << defaults.lastError();
        }
    }
    const auto reopened = open();
    // Variant equality also compares the alternative: true is not 1, 1.0 is not 1.
    EXPECT_EQ(reopened.persistentDomain(), everyType());
    EXPECT_TRUE(reopened.foreignKeys().empty());
    EXPECT_EQ(diagnostics.str(), "");
    const auto text = readTestFile(file);
    EXPECT_THAT(text, HasSubstr("<key>wholeReal</key>\n\t<real>1</real>"));
    EXPECT_THAT(text, HasSubstr("<key>smallest</key>\n\t<integer>-9223372036854775808</integer>"));

    // A NUL can't be stored, and nothing is written.
    fs::remove(file);
    EXPECT_FALSE(open().set("k", std::string("a\0b", 3)));
    EXPECT_FALSE(open().set(std::string("k\0", 2), true));
    EXPECT_FALSE(fs::exists(file));
}

// Each change reads what another process saved meanwhile, so neither overwrites the other.
TEST_F(PlistDefaultsTest, ChangesPersistBesideThoseOfAnotherProcess) {
    auto app = open();
    auto tool = open();
    EXPECT_TRUE(app.remove("absent"));
    EXPECT_FALSE(fs::exists(file)) << "removing a key that isn't there writes nothing";
    ASSERT_TRUE(app.set("windowGap", 4.0));
    ASSERT_TRUE(tool.set("appearance", std::string("dark")));
    ASSERT_TRUE(app.set("tightEdges", true));
    ASSERT_TRUE(app.set("windowGap", 12.0));
    EXPECT_EQ(open().persistentDomain(),
              (DefaultsDomain{
                  {"windowGap", 12.0}, {"appearance", std::string("dark")}, {"tightEdges", true}}));
    EXPECT_EQ(app.object("appearance"), DefaultsValue(std::string("dark")));

    ASSERT_TRUE(tool.remove("windowGap"));
    ASSERT_TRUE(app.remove("appearance"));
    EXPECT_EQ(open().persistentDomain(), (DefaultsDomain{{"tightEdges", true}}));

    // Deleting the file starts afresh rather than bringing the old values back.
    fs::remove(file);
    ASSERT_TRUE(app.set("gridColumns", std::int64_t{8}));
    EXPECT_EQ(open().persistentDomain(), (DefaultsDomain{{"gridColumns", std::int64_t{8}}}));
}

TEST_F(PlistDefaultsTest, APropertyListWrittenByAnotherToolReads) {
    writeTestFile(file, R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<!-- written by hand -->
<dict>
    <key>snapOnDrag</key> <false/>
    <key>tightEdges</key><true />
    <key>ignoredApps</key>
    <string>org.example.One&#10;org.example.Two &amp; Co</string>
    <key>shortcut.zoneLeft</key>
    <data>
        eyJjb21ibyI6
        e319
    </data>
    <key>AppleLanguages</key>
    <array>
        <string>de</string>
        <string><![CDATA[<en>]]></string>
    </array>
</dict>
</plist>
)");
    const auto defaults = open();
    EXPECT_EQ(diagnostics.str(), "");
    const std::string shortcut = R"({"combo":{}})";
    EXPECT_EQ(defaults.persistentDomain(),
              (DefaultsDomain{
                  {"snapOnDrag", false},
                  {"tightEdges", true},
                  {"ignoredApps", std::string("org.example.One\norg.example.Two & Co")},
                  {"shortcut.zoneLeft", Bytes(shortcut.begin(), shortcut.end())},
                  {"AppleLanguages", std::vector<std::string>{"de", "<en>"}},
              }));
}

TEST_F(PlistDefaultsTest, ValuesOfOtherTypesAreSkippedButSurviveRewrites) {
    writeTestFile(file, R"(<plist version="1.0"><dict>
<key>when</key><date>2024-05-01T10:00:00Z</date>
<key>nested</key><dict><key>inner</key><array><integer>7</integer></array></dict>
<key>mixed</key><array><string>a</string><true/></array>
<key>huge</key><integer>18446744073709551615</integer>
<key>snapOnDrag</key><date>2020-01-01T00:00:00Z</date>
<key>windowGap</key><real>4</real>
</dict></plist>)");
    auto defaults = open();
    EXPECT_EQ(defaults.persistentDomain(), (DefaultsDomain{{"windowGap", 4.0}}));
    EXPECT_EQ(defaults.foreignKeys(),
              (std::vector<std::string>{"huge", "mixed", "nested", "snapOnDrag", "when"}));

    ASSERT_TRUE(defaults.set("windowGap", 6.0));
    ASSERT_TRUE(defaults.set("snapOnDrag", false)) << "a value of our own replaces a foreign one";
    ASSERT_TRUE(defaults.remove("mixed"));
    const auto text = readTestFile(file);
    EXPECT_THAT(text, HasSubstr("<date>2024-05-01T10:00:00Z</date>"));
    EXPECT_EQ(text.find("2020-01-01"), std::string::npos) << text;

    const auto reopened = open();
    EXPECT_EQ(reopened.foreignKeys(), (std::vector<std::string>{"huge", "nested", "when"}));
    EXPECT_EQ(reopened.persistentDomain(),
              (DefaultsDomain{{"windowGap", 6.0}, {"snapOnDrag", false}}));
}

// Whatever the reader refuses (nesting too deep, a binary list) takes this one path.
TEST_F(PlistDefaultsTest, AnUnreadableFileIsKeptAsideAndTreatedAsEmpty) {
    const std::string bytes("{\"snapOnDrag\": true}\0\x01\x02", 23);
    writeTestFile(file, bytes);
    auto defaults = open();
    EXPECT_TRUE(defaults.persistentDomain().empty());
    EXPECT_FALSE(defaults.loadError().empty());
    ASSERT_TRUE(defaults.keptCopy().has_value());
    EXPECT_EQ(readTestFile(*defaults.keptCopy()), bytes);
    EXPECT_THAT(diagnostics.str(), HasSubstr(defaults.keptCopy()->string()));

    // Opening it again before anything was written keeps no second copy of the same bytes.
    EXPECT_EQ(open().keptCopy(), defaults.keptCopy());
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 2);

    ASSERT_TRUE(defaults.set("tightEdges", true)) << defaults.lastError();
    EXPECT_EQ(open().persistentDomain(), (DefaultsDomain{{"tightEdges", true}}));
    EXPECT_EQ(readTestFile(*defaults.keptCopy()), bytes);

    // The platform's own tool may write a binary list: the reason says what to do about it.
    std::string error;
    EXPECT_FALSE(decodePreferences("bplist00", &error));
    EXPECT_THAT(error, HasSubstr("only XML"));
}

// A file that can't be kept as a copy (its copy's name would add about thirty characters beyond
// what a file name may hold) or can't be read is never overwritten.
TEST_F(PlistDefaultsTest, AFileThatCannotBeCopiedOrReadIsNeverOverwritten) {
    const auto longName = dir / (std::string(240, 'p') + ".plist");
    writeTestFile(longName, "damaged");
    auto defaults = open(longName);
    EXPECT_FALSE(defaults.keptCopy().has_value());
    EXPECT_THAT(diagnostics.str(), HasSubstr("no copy"));
    EXPECT_FALSE(defaults.set("windowGap", 2.0));
    EXPECT_THAT(defaults.lastError(), HasSubstr(longName.string()));
    EXPECT_THAT(defaults.lastError(), HasSubstr("untouched"));
    EXPECT_EQ(readTestFile(longName), "damaged");

    if (::geteuid() == 0) {
        return; // permissions do not stop the superuser
    }
    writeTestFile(file, "<plist><dict/></plist>");
    fs::permissions(file, fs::perms::none);
    auto unreadable = open();
    EXPECT_FALSE(unreadable.loadError().empty());
    EXPECT_FALSE(unreadable.set("windowGap", 2.0));
    fs::permissions(file, fs::perms::owner_all);
    EXPECT_EQ(readTestFile(file), "<plist><dict/></plist>");
}

// Nesting too deep for the reader's stack is refused before parsing, also where comments,
// attributes or a document type hold closing tags that would hide it: a depth no fuzzer input is
// long enough to reach.
TEST_F(PlistDefaultsTest, NestingTooDeepIsRefusedWhateverHidesIt) {
    std::string error;
    for (const auto& deep : {nested(200'000, "<dict><key>k</key>", "</dict>"),
                             nested(200'000, "<array><!--</array>-->", "</array>"),
                             nested(200'000, "<array a=\"</array>\">", "</array>"),
                             "<!DOCTYPE p [" + std::string(1000, ' ') + "</array>]>" +
                                 nested(200'000, "<array>", "</array>")}) {
        error.clear();
        EXPECT_FALSE(decodePreferences(deep, &error));
        EXPECT_THAT(error, HasSubstr("deep"));
    }
    // Nesting well within reason is kept, as a value of a foreign type.
    ASSERT_TRUE(decodePreferencesDocument(nested(60, "<array>", "</array>"), &error)) << error;
}

namespace {
std::string bigEndian(std::uint64_t value, std::size_t width) {
    std::string out(width, '\0');
    for (std::size_t i = 0; i < width; ++i) {
        out[width - 1 - i] = static_cast<char>(value >> (8 * i) & 0xFF);
    }
    return out;
}

// Objects in order, the first the top one; offsets and references take `width` bytes.
std::string binaryPlist(const std::vector<std::string>& objects, std::size_t width) {
    std::string out = "bplist00";
    std::string table;
    for (const auto& object : objects) {
        table += bigEndian(out.size(), width);
        out += object;
    }
    const auto tableOffset = out.size();
    return out + table + std::string(6, '\0') + static_cast<char>(width) +
           static_cast<char>(width) + bigEndian(objects.size(), 8) + bigEndian(0, 8) +
           bigEndian(tableOffset, 8);
}

// Arrays nested `levels` deep, each holding the next one `width` times, beside a good value.
std::string binaryNesting(std::uint32_t levels, std::uint32_t width) {
    std::vector<std::string> objects{"\xD2" + bigEndian(1, 4) + bigEndian(2, 4) + bigEndian(3, 4) +
                                         bigEndian(4, 4),
                                     "\x5AtightEdges", "\x56nested", "\x09"};
    for (std::uint32_t level = 0; level < levels; ++level) {
        objects.emplace_back(1, static_cast<char>(0xA0 | width));
        for (std::uint32_t i = 0; i < width; ++i) {
            objects.back() += bigEndian(5 + level, 4);
        }
    }
    objects.push_back("\x54leaf");
    return binaryPlist(objects, 4);
}

// A binary file as the platform's own encoder writes it (Python's plistlib, keys in this
// order): snapOnDrag false, cardScale 120.0, gridColumns 16, negative -5, ignoredApps
// "com.example.a\ncom.example.b", windowTitle "Ζώνες ✓" (UTF-16), shortcut.fillScreen data
// {"combo":{"keyCode":3}}, AppleLanguages ["de"], then four values preferences can't hold:
// lastRun (a date), nested (a dictionary), mixed (an array holding an integer), huge (2^64 - 1).
std::string encodedByAnotherTool() {
    const std::string hex =
        "62706c6973743030dc0102030405060708090a0b0c0d0e0f101112131416171a1b5a736e61704f6e4472"
        "616759636172645363616c655b67726964436f6c756d6e73586e656761746976655b69676e6f72656441"
        "7070735b77696e646f775469746c655f101373686f72746375742e66696c6c53637265656e5e4170706c"
        "654c616e677561676573576c61737452756e566e6573746564556d6978656454687567650823405e0000"
        "00000000101013fffffffffffffffb5f101b636f6d2e6578616d706c652e610a636f6d2e6578616d706c"
        "652e6267039603ce03bd03b503c2002027134f10177b22636f6d626f223a7b226b6579436f6465223a33"
        "7d7da1155264653341c5f12510000000d1181951611001a21918140000000000000000ffffffffffffff"
        "ff00080021002c00360042004b005700630079008800900097009d00a200a300ac00ae00b700d500e400"
        "fe01000103010c010f0111011301160000000000000201000000000000001c0000000000000000000000"
        "0000000127";
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

// Preferences that remember the order of writes.
class RecordingDefaults final : public Defaults {
public:
    std::optional<DefaultsValue> object(std::string_view key) const override {
        return inner.object(key);
    }
    DefaultsDomain persistentDomain() const override { return inner.persistentDomain(); }
    bool set(std::string_view key, DefaultsValue value) override {
        writes.emplace_back(key);
        return inner.set(key, std::move(value));
    }
    bool remove(std::string_view key) override { return inner.remove(key); }
    void registerDefaults(const DefaultsDomain& values) override { inner.registerDefaults(values); }

    SimDefaults inner;
    std::vector<std::string> writes;
};

constexpr std::string_view bundleID = "com.example.tessera";

class PreferenceMigrationTest : public ::testing::Test {
protected:
    fs::path oldFile() const { return sandboxPreferencesFile(home.path(), bundleID); }
    PreferenceMigrationReport migrate(const std::optional<std::string>& oldBytes) {
        defaults = RecordingDefaults();
        std::error_code ignored;
        fs::remove(oldFile(), ignored);
        if (oldBytes) {
            writeTestFile(oldFile(), *oldBytes);
        }
        return migrateSandboxPreferences(defaults, home.path(), bundleID);
    }
    bool migratedFlag() const {
        return defaults.object(prefs::migratedFromSandbox) == DefaultsValue(true);
    }

    test::TempDir home{"tessera-migration"};
    RecordingDefaults defaults;
};
} // namespace

// Set first, so that a migration cut short is never repeated over newer values.
TEST_F(PreferenceMigrationTest, TheFlagIsSetFirstThenEverySupportedTypeIsCopiedExactly) {
    const std::string flag(prefs::migratedFromSandbox);
    const auto readable = encodedByAnotherTool();
    // A missing file is the usual case and no problem; a damaged one says why.
    for (const auto& bytes :
         {std::optional<std::string>(), std::optional(readable.substr(0, 30))}) {
        const auto report = migrate(bytes);
        EXPECT_TRUE(report.ran);
        EXPECT_TRUE(migratedFlag());
        EXPECT_EQ(defaults.writes, std::vector<std::string>{flag});
        EXPECT_EQ(report.problem.empty(), !bytes) << report.problem;
    }

    const std::string shortcut = R"({"combo":{"keyCode":3}})";
    const DefaultsDomain expected = {
        {"snapOnDrag", false},
        {"cardScale", 120.0},
        {"gridColumns", std::int64_t{16}},
        {"negative", std::int64_t{-5}},
        {"ignoredApps", std::string("com.example.a\ncom.example.b")},
        {"windowTitle", std::string("Ζώνες ✓")},
        {"shortcut.fillScreen", Bytes(shortcut.begin(), shortcut.end())},
        {"AppleLanguages", std::vector<std::string>{"de"}},
        {flag, true},
    };
    std::vector<std::string> copied{
        "snapOnDrag",  "cardScale",   "gridColumns",         "negative",
        "ignoredApps", "windowTitle", "shortcut.fillScreen", "AppleLanguages"};
    const auto report = migrate(readable);
    EXPECT_EQ(report.problem, "");
    EXPECT_EQ(defaults.persistentDomain(), expected);
    EXPECT_EQ(report.skippedKeys, (std::vector<std::string>{"lastRun", "nested", "mixed", "huge"}));
    EXPECT_EQ(report.copiedKeys, copied);
    copied.insert(copied.begin(), flag);
    EXPECT_EQ(defaults.writes, copied);
}

TEST_F(PreferenceMigrationTest, AnOldFileTooDeepOrUnfoldingTooFarMigratesNothing) {
    const std::tuple<std::uint32_t, std::uint32_t, std::string> cases[] = {
        // Deep enough to overflow the stack of a recursive reader, and far longer than a fuzzer's
        // input.
        {100'000, 1, "deep"},
        // A few hundred bytes that would unfold into 2^40 nodes.
        {40, 2, "unfolds into more than"},
    };
    for (const auto& [levels, width, reason] : cases) {
        SCOPED_TRACE(reason);
        const auto report = migrate(binaryNesting(levels, width));
        EXPECT_TRUE(migratedFlag());
        EXPECT_EQ(defaults.persistentDomain().size(), 1U);
        EXPECT_TRUE(report.copiedKeys.empty());
        EXPECT_THAT(report.problem, HasSubstr(reason));
    }
}
