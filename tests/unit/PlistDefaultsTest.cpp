#include "TempDir.h"

#include "platform/linux/PlistDefaults.h"

#include "core/app/Preferences.h"
#include "core/model/Files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessera;
namespace fs = std::filesystem;

namespace {

class PlistDefaultsTest : public ::testing::Test {
protected:
    void TearDown() override {
        std::error_code ec;
        fs::permissions(file, fs::perms::owner_all, ec);
    }

    PlistDefaults open(const fs::path& path) { return PlistDefaults(path, &diagnostics); }
    PlistDefaults open() { return open(file); }

    void writeRaw(const fs::path& path, std::string_view bytes) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    static std::string contents(const fs::path& path) {
        return readWholeFile(path, nullptr).value_or("<missing>");
    }

    std::vector<fs::path> copiesBeside(const fs::path& path) const {
        std::vector<fs::path> copies;
        for (const auto& entry : fs::directory_iterator(path.parent_path())) {
            if (entry.path().filename().string().starts_with(path.filename().string() +
                                                             ".unreadable-")) {
                copies.push_back(entry.path());
            }
        }
        return copies;
    }

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
        {"negative", std::int64_t{-42}},
        {"smallest", std::numeric_limits<std::int64_t>::min()},
        {"largest", std::numeric_limits<std::int64_t>::max()},
        {"wholeReal", 1.0},
        {"tenth", 0.1},
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
    const auto text = contents(file);
    EXPECT_NE(text.find("<key>wholeReal</key>\n\t<real>1</real>"), std::string::npos) << text;
    EXPECT_NE(text.find("<key>negative</key>\n\t<integer>-42</integer>"), std::string::npos);
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

TEST_F(PlistDefaultsTest, RegisteredDefaultsAnswerButAreNeverWritten) {
    auto defaults = open();
    registerPreferenceDefaults(defaults);
    EXPECT_EQ(defaults.object("cardScale"), DefaultsValue(100.0));
    ASSERT_TRUE(defaults.set("cardScale", 140.0));
    EXPECT_EQ(defaults.object("cardScale"), DefaultsValue(140.0));
    ASSERT_TRUE(defaults.remove("cardScale"));
    EXPECT_EQ(defaults.object("cardScale"), DefaultsValue(100.0));
    ASSERT_TRUE(defaults.set("tightEdges", true));
    EXPECT_EQ(open().persistentDomain(), (DefaultsDomain{{"tightEdges", true}}));
}

TEST_F(PlistDefaultsTest, APropertyListWrittenByAnotherToolReads) {
    writeRaw(file, R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<!-- written by hand -->
<dict>
    <key>snapOnDrag</key> <false/>
    <key>tightEdges</key><true />
    <key>gridColumns</key>
    <integer>-8</integer>
    <key>cardScale</key><real>1.5e2</real>
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
                  {"gridColumns", std::int64_t{-8}},
                  {"cardScale", 150.0},
                  {"ignoredApps", std::string("org.example.One\norg.example.Two & Co")},
                  {"shortcut.zoneLeft", Bytes(shortcut.begin(), shortcut.end())},
                  {"AppleLanguages", std::vector<std::string>{"de", "<en>"}},
              }));
}

TEST_F(PlistDefaultsTest, ValuesOfOtherTypesAreSkippedButSurviveRewrites) {
    writeRaw(file, R"(<plist version="1.0"><dict>
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
    EXPECT_EQ(defaults.object("when"), std::nullopt);

    ASSERT_TRUE(defaults.set("windowGap", 6.0));
    ASSERT_TRUE(defaults.set("snapOnDrag", false)) << "a value of our own replaces a foreign one";
    ASSERT_TRUE(defaults.remove("mixed"));
    const auto text = contents(file);
    EXPECT_NE(text.find("<date>2024-05-01T10:00:00Z</date>"), std::string::npos) << text;
    EXPECT_NE(text.find("<integer>18446744073709551615</integer>"), std::string::npos) << text;
    EXPECT_NE(text.find("<key>inner</key>"), std::string::npos) << text;
    EXPECT_EQ(text.find("2020-01-01"), std::string::npos) << text;

    const auto reopened = open();
    EXPECT_EQ(reopened.foreignKeys(), (std::vector<std::string>{"huge", "nested", "when"}));
    EXPECT_EQ(reopened.persistentDomain(),
              (DefaultsDomain{{"windowGap", 6.0}, {"snapOnDrag", false}}));
}

TEST_F(PlistDefaultsTest, AnUnreadableFileIsKeptAsideAndTreatedAsEmpty) {
    const std::vector<std::pair<std::string, std::string>> damaged{
        {"not a property list", std::string("{\"snapOnDrag\": true}\0\x01\x02", 23)},
        {"top level not a dictionary", "<plist><array><string>x</string></array></plist>"},
        {"binary property list",
         std::string("bplist00\xd1\x01\x02Qa\x09\x08\x0b\x0d\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0"
                     "\x03\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x0e",
                     49)},
        {"cut short", "<plist><dict><key>a</key><string>x</string>"},
        {"nested a million deep", nested(1'000'000, "<array>", "</array>")},
    };
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        fs::remove_all(dir / "Tessera");
        writeRaw(file, bytes);
        diagnostics.str("");

        auto defaults = open();
        EXPECT_TRUE(defaults.persistentDomain().empty());
        EXPECT_FALSE(defaults.loadError().empty());
        ASSERT_TRUE(defaults.keptCopy().has_value());
        EXPECT_EQ(contents(*defaults.keptCopy()), bytes);
        EXPECT_NE(diagnostics.str().find(file.string()), std::string::npos) << diagnostics.str();
        EXPECT_NE(diagnostics.str().find(defaults.keptCopy()->string()), std::string::npos);

        // Opening it again before anything was written keeps no second copy of the same bytes.
        EXPECT_EQ(open().keptCopy(), defaults.keptCopy());
        EXPECT_EQ(copiesBeside(file).size(), 1u);

        ASSERT_TRUE(defaults.set("tightEdges", true)) << defaults.lastError();
        EXPECT_EQ(open().persistentDomain(), (DefaultsDomain{{"tightEdges", true}}));
        EXPECT_EQ(contents(*defaults.keptCopy()), bytes);
    }
}

TEST_F(PlistDefaultsTest, AFileThatCannotBeCopiedIsNeverOverwritten) {
    // The copy's name adds about thirty characters, beyond what a file name may hold.
    const auto longName = dir / (std::string(240, 'p') + ".plist");
    writeRaw(longName, "damaged");
    auto defaults = open(longName);
    EXPECT_FALSE(defaults.keptCopy().has_value());
    EXPECT_NE(diagnostics.str().find("no copy"), std::string::npos) << diagnostics.str();

    EXPECT_FALSE(defaults.set("windowGap", 2.0));
    EXPECT_NE(defaults.lastError().find(longName.string()), std::string::npos);
    EXPECT_NE(defaults.lastError().find("untouched"), std::string::npos) << defaults.lastError();
    EXPECT_EQ(contents(longName), "damaged");
}

TEST_F(PlistDefaultsTest, AFileWithoutReadPermissionIsLeftAlone) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop the superuser";
    }
    writeRaw(file, "<plist><dict/></plist>");
    fs::permissions(file, fs::perms::none);
    auto defaults = open();
    EXPECT_FALSE(defaults.loadError().empty());
    EXPECT_FALSE(defaults.set("windowGap", 2.0));
    fs::permissions(file, fs::perms::owner_all);
    EXPECT_EQ(contents(file), "<plist><dict/></plist>");
}

TEST_F(PlistDefaultsTest, AValueAPropertyListCantHoldIsRefused) {
    EXPECT_FALSE(open().set("k", std::string("a\0b", 3)));
    EXPECT_FALSE(open().set(std::string("k\0", 2), true));
    EXPECT_FALSE(fs::exists(file)) << "a NUL can't be stored, and nothing is written";
}

TEST_F(PlistDefaultsTest, TheReaderSurvivesHostileInput) {
    std::string error;
    const auto refused = [&error](const std::string& bytes) {
        error.clear();
        return !decodePreferences(bytes, &error).has_value() && !error.empty();
    };
    EXPECT_TRUE(refused(nested(200'000, "<dict><key>k</key>", "</dict>")));
    EXPECT_NE(error.find("deep"), std::string::npos) << error;
    // Closing tags that the parser would skip must not hide the depth.
    EXPECT_TRUE(refused(nested(200'000, "<array><!--</array>-->", "</array>")));
    EXPECT_TRUE(refused(nested(200'000, "<array a=\"</array>\">", "</array>")));
    EXPECT_TRUE(refused("<!DOCTYPE p [" + std::string(1000, ' ') + "</array>]>" +
                        nested(200'000, "<array>", "</array>")));
    EXPECT_TRUE(refused(std::string(64 * 1024 * 1024, ' ')));
    const char nulInText[] = "<plist><dict><key>a</key><string>x\0yz</string></dict></plist>";
    EXPECT_TRUE(refused(std::string(nulInText, sizeof nulInText - 1)));
    EXPECT_NE(error.find("NUL"), std::string::npos) << error;
    EXPECT_TRUE(refused(""));

    // Nesting well within reason is kept, as a value of a foreign type.
    const auto moderate = decodePreferencesDocument(nested(60, "<array>", "</array>"), &error);
    ASSERT_TRUE(moderate.has_value()) << error;
    EXPECT_EQ(moderate->foreign.count("deep"), 1u);
}
