#include "TempDir.h"

#include "core/app/PreferenceMigration.h"
#include "core/app/Preferences.h"
#include "core/app/PropertyList.h"
#include "platform/sim/SimDefaults.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace tessera;
namespace fs = std::filesystem;

namespace {

// Writes binary property lists object by object, so tests can build what no well-behaved
// encoder produces: shared objects, cycles, deep chains, broken offsets.
class BinaryPlistWriter {
public:
    using Index = std::uint64_t;

    Index boolean(bool value) { return scalar(std::string(1, value ? '\x09' : '\x08')); }
    Index integer(std::int64_t value) {
        return scalar("\x13" + bigEndian(static_cast<std::uint64_t>(value), 8));
    }
    Index real(double value) {
        return scalar("\x23" + bigEndian(std::bit_cast<std::uint64_t>(value), 8));
    }
    Index date(double secondsSince2001) {
        return scalar("\x33" + bigEndian(std::bit_cast<std::uint64_t>(secondsSince2001), 8));
    }
    Index ascii(std::string_view text) {
        return scalar(header(0x5, text.size()) + std::string(text));
    }
    Index utf16(std::u16string_view text) {
        std::string units;
        for (const char16_t unit : text) {
            units += bigEndian(unit, 2);
        }
        return scalar(header(0x6, text.size()) + units);
    }
    Index data(std::string_view bytes) {
        return scalar(header(0x4, bytes.size()) + std::string(bytes));
    }
    // Objects may refer to indexes not added yet (nextIndex() gives the coming one).
    Index array(std::vector<Index> items) { return add({0xA, std::move(items), {}}); }
    Index dict(const std::vector<std::pair<Index, Index>>& entries) {
        Object object{0xD, {}, {}};
        for (const auto& entry : entries) {
            object.references.push_back(entry.first);
        }
        for (const auto& entry : entries) {
            object.references.push_back(entry.second);
        }
        return add(std::move(object));
    }
    // A dictionary of string keys.
    Index dict(const std::vector<std::pair<std::string, Index>>& entries) {
        std::vector<std::pair<Index, Index>> pairs;
        for (const auto& [key, value] : entries) {
            pairs.emplace_back(ascii(key), value);
        }
        return dict(pairs);
    }
    Index nextIndex() const { return objects_.size(); }

    std::string write(Index top, std::size_t referenceSize = 4, std::size_t offsetSize = 4) const {
        std::string out = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (const auto& object : objects_) {
            offsets.push_back(out.size());
            if (object.type == 0) {
                out += object.bytes;
                continue;
            }
            const auto count =
                object.type == 0xD ? object.references.size() / 2 : object.references.size();
            out += header(object.type, count);
            for (const auto reference : object.references) {
                out += bigEndian(reference, referenceSize);
            }
        }
        const auto tableOffset = out.size();
        for (const auto offset : offsets) {
            out += bigEndian(offset, offsetSize);
        }
        out += std::string(6, '\0');
        out += static_cast<char>(offsetSize);
        out += static_cast<char>(referenceSize);
        out += bigEndian(objects_.size(), 8);
        out += bigEndian(top, 8);
        out += bigEndian(tableOffset, 8);
        return out;
    }

    static std::string bigEndian(std::uint64_t value, std::size_t width) {
        std::string out(width, '\0');
        for (std::size_t i = 0; i < width; ++i) {
            out[width - 1 - i] = static_cast<char>(value >> (8 * i) & 0xFF);
        }
        return out;
    }

private:
    struct Object {
        int type = 0; // 0: ready-made bytes
        std::vector<Index> references;
        std::string bytes;
    };

    static std::string header(int type, std::size_t count) {
        if (count < 15) {
            return std::string(1, static_cast<char>(type << 4 | static_cast<int>(count)));
        }
        return std::string(1, static_cast<char>(type << 4 | 0xF)) + "\x13" + bigEndian(count, 8);
    }
    Index scalar(std::string bytes) { return add({0, {}, std::move(bytes)}); }
    Index add(Object object) {
        objects_.push_back(std::move(object));
        return objects_.size() - 1;
    }

    std::vector<Object> objects_;
};

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

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Preferences that remember the order of writes.
class RecordingDefaults final : public Defaults {
public:
    explicit RecordingDefaults(DefaultsDomain persistent = {}) : inner_(std::move(persistent)) {}

    std::optional<DefaultsValue> object(std::string_view key) const override {
        return inner_.object(key);
    }
    DefaultsDomain persistentDomain() const override { return inner_.persistentDomain(); }
    bool set(std::string_view key, DefaultsValue value) override {
        writes.emplace_back(key);
        return inner_.set(key, std::move(value));
    }
    bool remove(std::string_view key) override {
        writes.emplace_back("-" + std::string(key));
        return inner_.remove(key);
    }
    void registerDefaults(const DefaultsDomain& defaults) override {
        inner_.registerDefaults(defaults);
    }

    std::vector<std::string> writes;

private:
    SimDefaults inner_;
};

constexpr std::string_view bundleID = "com.example.tessera";

class PreferenceMigrationTest : public ::testing::Test {
protected:
    fs::path oldFile() const { return sandboxPreferencesFile(home.path(), bundleID); }
    void writeOld(std::string_view bytes) const { test::writeTestFile(oldFile(), bytes); }
    PreferenceMigrationReport migrate() {
        return migrateSandboxPreferences(defaults, home.path(), bundleID);
    }
    bool migratedFlag() const {
        return defaults.persistentDomain().at(std::string(prefs::migratedFromSandbox)) ==
               DefaultsValue(true);
    }

    test::TempDir home{"tessera-migration"};
    RecordingDefaults defaults;
};

} // namespace

TEST_F(PreferenceMigrationTest, ValuesAlreadySetWinAndTheRestIsCopied) {
    EXPECT_EQ(sandboxPreferencesFile("/Users/ada", "com.example.tessera"),
              fs::path("/Users/ada/Library/Containers/com.example.tessera/Data/Library/"
                       "Preferences/com.example.tessera.plist"));
    defaults = RecordingDefaults({{"windowGap", 4.0}, {"appearance", std::string("light")}});
    BinaryPlistWriter old;
    // A key given twice counts once, where it first stood, with the later value.
    writeOld(old.write(old.dict({{"gridColumns", old.integer(8)},
                                 {"windowGap", old.real(20)},
                                 {"tightEdges", old.boolean(true)},
                                 {"appearance", old.ascii("dark")},
                                 {"gridColumns", old.integer(24)}})));

    const auto report = migrate();
    EXPECT_TRUE(report.ran);
    EXPECT_EQ(report.copiedKeys, (std::vector<std::string>{"gridColumns", "tightEdges"}));
    EXPECT_EQ(report.keptKeys, (std::vector<std::string>{"windowGap", "appearance"}));
    EXPECT_EQ(defaults.persistentDomain(),
              (DefaultsDomain{{"windowGap", 4.0},
                              {"appearance", std::string("light")},
                              {"tightEdges", true},
                              {"gridColumns", std::int64_t{24}},
                              {std::string(prefs::migratedFromSandbox), true}}));
    // Registered defaults are not values the user set: the old value still comes over.
    RecordingDefaults withRegistered;
    registerPreferenceDefaults(withRegistered);
    EXPECT_EQ(migrateSandboxPreferences(withRegistered, home.path(), bundleID).copiedKeys.size(),
              4U);
    EXPECT_EQ(withRegistered.object("windowGap"), DefaultsValue(20.0));
}

TEST_F(PreferenceMigrationTest, TheFlagIsSetBeforeAnythingElseWhateverTheOldFileIs) {
    const std::string flag(prefs::migratedFromSandbox);
    BinaryPlistWriter good;
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"missing", std::nullopt},
        {"garbage", std::string("\x01\x02 not a property list")},
        {"truncated binary", good.write(good.dict({{"a", good.integer(1)}})).substr(0, 30)},
        {"top level not a dictionary", "<plist><array><string>x</string></array></plist>"},
        {"readable", good.write(good.dict({{"a", good.integer(1)}}))},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        defaults = RecordingDefaults();
        std::error_code ignored;
        fs::remove(oldFile(), ignored);
        if (bytes) {
            writeOld(*bytes);
        }
        const auto report = migrate();
        EXPECT_TRUE(report.ran);
        ASSERT_FALSE(defaults.writes.empty());
        EXPECT_EQ(defaults.writes.front(), flag);
        EXPECT_TRUE(migratedFlag());
        const bool readable = name == "readable";
        EXPECT_EQ(defaults.writes.size(), readable ? 2U : 1U);
        // A missing file is the usual case and no problem; a damaged one says why.
        EXPECT_EQ(report.problem.empty(), readable || name == "missing") << report.problem;
    }
}

TEST_F(PreferenceMigrationTest, RunsOnlyOnce) {
    BinaryPlistWriter first;
    writeOld(first.write(first.dict({{"windowGap", first.real(8)}})));
    ASSERT_TRUE(migrate().ran);
    ASSERT_TRUE(defaults.remove("windowGap"));
    defaults.writes.clear();

    BinaryPlistWriter second;
    writeOld(second.write(second.dict({{"cardScale", second.real(140)}})));
    const auto again = migrate();

    EXPECT_FALSE(again.ran);
    EXPECT_TRUE(defaults.writes.empty());
    EXPECT_EQ(defaults.object("windowGap"), std::nullopt);
    EXPECT_EQ(defaults.object("cardScale"), std::nullopt);

    // A flag stored as false (by hand) is no flag; an old file's own flag never clears it.
    defaults = RecordingDefaults({{std::string(prefs::migratedFromSandbox), false}});
    BinaryPlistWriter third;
    writeOld(third.write(third.dict(
        {{"migratedFromSandbox", third.boolean(false)}, {"cardScale", third.real(140)}})));
    EXPECT_TRUE(migrate().ran);
    EXPECT_TRUE(migratedFlag());
    EXPECT_EQ(defaults.object("cardScale"), DefaultsValue(140.0));
}

TEST_F(PreferenceMigrationTest, BinaryAndXmlFilesCopyEverySupportedTypeExactly) {
    const DefaultsDomain expected = {
        {"snapOnDrag", false},
        {"cardScale", 120.0},
        {"gridColumns", std::int64_t{16}},
        {"negative", std::int64_t{-5}},
        {"ignoredApps", std::string("com.example.a\ncom.example.b")},
        {"windowTitle", std::string("Ζώνες ✓")},
        {"shortcut.fillScreen", bytesOf(R"({"combo":{"keyCode":3}})")},
        {"AppleLanguages", std::vector<std::string>{"de"}},
        {std::string(prefs::migratedFromSandbox), true},
    };
    const std::vector<std::string> skipped = {"lastRun", "nested", "mixed", "huge"};

    writeOld(encodedByAnotherTool());
    const auto binary = migrate();
    EXPECT_EQ(defaults.persistentDomain(), expected);
    EXPECT_EQ(binary.skippedKeys, skipped);
    EXPECT_EQ(binary.copiedKeys,
              (std::vector<std::string>{"snapOnDrag", "cardScale", "gridColumns", "negative",
                                        "ignoredApps", "windowTitle", "shortcut.fillScreen",
                                        "AppleLanguages"}));

    defaults = RecordingDefaults();
    writeOld(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>snapOnDrag</key><false/>
	<key>cardScale</key><real>120</real>
	<key>gridColumns</key><integer>16</integer>
	<key>negative</key><integer>-5</integer>
	<key>ignoredApps</key><string>com.example.a
com.example.b</string>
	<key>windowTitle</key><string>Ζώνες ✓</string>
	<key>shortcut.fillScreen</key><data>eyJjb21ibyI6eyJrZXlDb2RlIjozfX0=</data>
	<key>AppleLanguages</key><array><string>de</string></array>
	<key>lastRun</key><date>2024-05-01T10:00:00Z</date>
	<key>nested</key><dict><key>a</key><integer>1</integer></dict>
	<key>mixed</key><array><integer>1</integer><string>a</string></array>
	<key>huge</key><integer>18446744073709551615</integer>
</dict>
</plist>
)");
    const auto xml = migrate();
    EXPECT_EQ(defaults.persistentDomain(), expected);
    EXPECT_EQ(xml.skippedKeys, skipped);
}

TEST_F(PreferenceMigrationTest, AHostileOldFileMigratesNothing) {
    const auto hostile = [this](const std::string& name, const std::string& bytes,
                                std::string_view reason) {
        SCOPED_TRACE(name);
        defaults = RecordingDefaults();
        writeOld(bytes);
        const auto report = migrate();
        EXPECT_TRUE(migratedFlag());
        EXPECT_EQ(defaults.persistentDomain().size(), 1U);
        EXPECT_TRUE(report.copiedKeys.empty());
        EXPECT_NE(report.problem.find(reason), std::string::npos) << report.problem;
    };

    // Arrays that each hold the next one twice: a few hundred bytes that would unfold into
    // 2^40 nodes.
    {
        BinaryPlistWriter old;
        auto inner = old.ascii("leaf");
        for (int level = 0; level < 40; ++level) {
            inner = old.array({inner, inner});
        }
        const auto top = old.dict({{"windowGap", old.real(2)}, {"bomb", inner}});
        hostile("shared objects", old.write(top), "unfolds into more than");
    }
    // One megabyte of text referred to a hundred times.
    {
        BinaryPlistWriter old;
        const auto text = old.ascii(std::string(1024 * 1024, 'x'));
        const auto many = old.array(std::vector<BinaryPlistWriter::Index>(100, text));
        hostile("shared text", old.write(old.dict({{"windowGap", old.real(2)}, {"big", many}})),
                "MB");
    }
    // A chain of 100000 arrays, deep enough to overflow the stack of a recursive reader.
    {
        BinaryPlistWriter old;
        auto inner = old.ascii("leaf");
        for (int level = 0; level < 100'000; ++level) {
            inner = old.array({inner});
        }
        hostile("deep binary", old.write(old.dict({{"deep", inner}})), "deep");
    }
    // Chains of 90 arrays, each ending in the one before: no chain is deep on its own, and each
    // is first met near the top, but together they nest 135000 deep.
    {
        BinaryPlistWriter old;
        std::vector<std::pair<std::string, BinaryPlistWriter::Index>> entries;
        auto inner = old.ascii("leaf");
        for (int chain = 0; chain < 1500; ++chain) {
            for (int level = 0; level < 90; ++level) {
                inner = old.array({inner});
            }
            entries.emplace_back("chain" + std::to_string(chain), inner);
        }
        hostile("stacked chains", old.write(old.dict(entries)), "deep");
    }
    {
        std::string xml = "<plist><dict><key>windowGap</key><real>2</real><key>deep</key>";
        for (int level = 0; level < 100'000; ++level) {
            xml += "<array>";
        }
        hostile("deep XML", xml + "</dict></plist>", "deep");
    }
    // An array that holds itself, and two that hold each other.
    {
        BinaryPlistWriter old;
        const auto self = old.array({old.nextIndex()});
        hostile("self-reference", old.write(old.dict({{"loop", self}})), "contains itself");
        BinaryPlistWriter pair;
        const auto first = pair.array({pair.nextIndex() + 1});
        pair.array({first});
        hostile("mutual reference", pair.write(pair.dict({{"loop", first}})), "contains itself");
    }
    // libplist would end the process on reading this key back.
    {
        BinaryPlistWriter old;
        const auto key = old.utf16(std::u16string(u"window\0Gap", 10));
        hostile("key holding NUL",
                old.write(old.dict({{key, old.real(2)}, {old.ascii("cardScale"), old.real(90)}})),
                "NUL");
    }
    // Larger than any preferences file: refused before it is read at all.
    {
        defaults = RecordingDefaults();
        writeOld("bplist00");
        fs::resize_file(oldFile(), maxPropertyListSize + 1);
        const auto report = migrate();
        EXPECT_TRUE(migratedFlag());
        EXPECT_EQ(defaults.persistentDomain().size(), 1U);
        EXPECT_NE(report.problem.find("larger than 32 MB"), std::string::npos) << report.problem;
    }
    // Not a file one can read to its end.
    {
        defaults = RecordingDefaults();
        std::error_code ignored;
        fs::remove(oldFile(), ignored);
        fs::create_directories(oldFile());
        const auto report = migrate();
        EXPECT_TRUE(migratedFlag());
        EXPECT_FALSE(report.problem.empty());
        fs::remove(oldFile(), ignored);
    }
}

// The reader's checks of binary structure, one damaged field at a time.
TEST(PropertyListTest, BrokenBinaryStructureIsRefusedWithoutReadingOutside) {
    BinaryPlistWriter writer;
    const auto value = writer.ascii("value");
    const auto top = writer.dict({{"key", value}, {"list", writer.array({value, value})}});
    const auto good = writer.write(top, 1, 1);
    std::string error;
    ASSERT_TRUE(readPropertyListDictionary(good, PropertyListFormats::xmlOrBinary, &error))
        << error;

    const auto trailer = good.size() - 32;
    // Small enough that one byte holds every offset.
    const auto table = static_cast<std::size_t>(static_cast<unsigned char>(good[trailer + 31]));
    const auto patched = [&](std::size_t at, std::string bytes) {
        auto copy = good;
        copy.replace(at, bytes.size(), bytes);
        return copy;
    };
    const auto offsetOf = [&](std::uint64_t index) {
        return static_cast<std::size_t>(static_cast<unsigned char>(good[table + index]));
    };
    const std::vector<std::pair<std::string, std::string>> broken = {
        {"empty", ""},
        {"magic only", "bplist00"},
        {"unknown version", patched(6, "01")},
        {"no objects", patched(trailer + 8, BinaryPlistWriter::bigEndian(0, 8))},
        {"top beyond the objects", patched(trailer + 16, BinaryPlistWriter::bigEndian(99, 8))},
        {"offset table in the trailer",
         patched(trailer + 24, BinaryPlistWriter::bigEndian(trailer + 4, 8))},
        {"offset table past the end",
         patched(trailer + 24, BinaryPlistWriter::bigEndian(~std::uint64_t{0} - 3, 8))},
        {"zero offset size", patched(trailer + 6, std::string(1, '\0'))},
        {"huge reference size", patched(trailer + 7, std::string(1, '\x40'))},
        {"object in the header", patched(table, "\x02")},
        {"object in the offset table", patched(table + 1, std::string(1, good[trailer + 31]))},
        {"reference beyond the objects", patched(offsetOf(top) + 1, "\x7f")},
        {"count past the offset table", patched(offsetOf(top), "\xde")},
        {"length field past the end", patched(offsetOf(value), "\x5f\x13\xff")},
        {"unknown object type", patched(offsetOf(value), "\x75")},
        {"a string as top level", patched(trailer + 16, BinaryPlistWriter::bigEndian(0, 8))},
    };
    for (const auto& [name, bytes] : broken) {
        SCOPED_TRACE(name);
        error.clear();
        EXPECT_FALSE(readPropertyListDictionary(bytes, PropertyListFormats::xmlOrBinary, &error));
        EXPECT_FALSE(error.empty());
    }
    // Binary files are not read where only XML is expected.
    EXPECT_FALSE(readPropertyListDictionary(good, PropertyListFormats::xmlOnly, &error));
    EXPECT_NE(error.find("binary"), std::string::npos) << error;
}

TEST(PropertyListTest, LimitsLeaveRoomForOrdinaryFiles) {
    std::string error;
    // Nesting right at the limit is read; one level more is not. The top dictionary counts.
    for (const int arrays : {maxPropertyListNesting - 1, maxPropertyListNesting}) {
        BinaryPlistWriter writer;
        auto inner = writer.ascii("leaf");
        for (int level = 0; level < arrays; ++level) {
            inner = writer.array({inner});
        }
        const auto bytes = writer.write(writer.dict({{"deep", inner}, {"k", writer.integer(1)}}));
        const auto read =
            readPropertyListDictionary(bytes, PropertyListFormats::xmlOrBinary, &error);
        EXPECT_EQ(read.has_value(), arrays < maxPropertyListNesting) << arrays << " " << error;
        if (read) {
            EXPECT_EQ(read->entries, (std::vector<PropertyListEntry>{{"k", std::int64_t{1}}}));
            EXPECT_EQ(read->skippedKeys, std::vector<std::string>{"deep"});
        }
    }
    // Sharing itself is fine: a string in a thousand places is a thousand small copies. Keys
    // may be UTF-16.
    BinaryPlistWriter writer;
    const auto shared = writer.ascii("de");
    const auto list = writer.array(std::vector<BinaryPlistWriter::Index>(1000, shared));
    const auto key = writer.utf16(u"Γλώσσες");
    const auto read = readPropertyListDictionary(writer.write(writer.dict({{key, list}}), 2, 2),
                                                 PropertyListFormats::xmlOrBinary, &error);
    ASSERT_TRUE(read.has_value()) << error;
    ASSERT_EQ(read->entries.size(), 1U);
    EXPECT_EQ(read->entries[0].key, "Γλώσσες");
    EXPECT_EQ(read->entries[0].value, DefaultsValue(std::vector<std::string>(1000, "de")));
}
