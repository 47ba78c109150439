#include "RunProcess.h"
#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/model/Files.h"
#include "platform/linux/PlistDefaults.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace tessera;
using tessera::test::EnvironmentChanges;
using tessera::test::ProcessResult;
using tessera::test::runProcess;
namespace fs = std::filesystem;

namespace {

class CliPrefsTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(home); }

    ProcessResult run(std::vector<std::string> arguments, EnvironmentChanges changes = {}) {
        arguments.insert(arguments.begin(), "prefs");
        changes.try_emplace("HOME", home.string());
        changes.try_emplace("XDG_CONFIG_HOME", std::nullopt);
        changes.try_emplace("XDG_DATA_HOME", std::nullopt);
        return runProcess(TESSERACTL_PATH, arguments, changes);
    }

    // The one line `get` prints, without its line feed.
    std::string get(const std::string& key) {
        const auto result = run({"get", key});
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_TRUE(result.out.ends_with("\n")) << result.out;
        return result.out.substr(0, result.out.size() - 1);
    }

    void set(const std::vector<std::string>& arguments) {
        auto all = arguments;
        all.insert(all.begin(), "set");
        const auto result = run(all);
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_EQ(result.err, "");
    }

    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> result;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            result.push_back(line);
        }
        return result;
    }

    test::TempDir temp{"tessera-cliprefs"};
    fs::path dir = temp.path();
    fs::path home = dir / "home";
    fs::path file = home / ".config" / "Tessera" / "preferences.plist";
};

const std::string shortcutJson =
    R"({"combo":{"carbonModifiers":6144,"display":"⌃⌥←","keyCode":123}})";

} // namespace

TEST_F(CliPrefsTest, SetThenGetRoundTripsEveryType) {
    set({"snapOnDrag", "no"});
    set({"showsMenuBarIcon", "YES", "--type", "bool"});
    set({"gridColumns", "24", "--type=int"});
    set({"cardScale", "72.5"});
    set({"windowGap", "0"});
    set({"appearance", "dark", "--type", "string"});
    set({"ignoredApps", "org.example.One\norg.example.Two"});
    set({"shortcut.zoneLeft", shortcutJson});
    set({"AppleLanguages", "fr, de"});

    EXPECT_EQ(get("snapOnDrag"), "false");
    EXPECT_EQ(get("showsMenuBarIcon"), "true");
    EXPECT_EQ(get("gridColumns"), "24");
    EXPECT_EQ(get("cardScale"), "72.5");
    EXPECT_EQ(get("windowGap"), "0") << "a value that equals its default is still stored";
    EXPECT_EQ(get("appearance"), "dark");
    EXPECT_EQ(get("ignoredApps"), "org.example.One\norg.example.Two");
    EXPECT_EQ(get("shortcut.zoneLeft"), shortcutJson);
    EXPECT_EQ(get("AppleLanguages"), "fr,de");

    EXPECT_EQ(get("restoreOnDragOut"), "true (default)");
    EXPECT_EQ(get("shortcut.zoneRight"), "(not set)");

    EXPECT_EQ(run({"unset", "cardScale"}).exitStatus, 0);
    EXPECT_EQ(get("cardScale"), "100 (default)");
    EXPECT_EQ(run({"unset", "cardScale"}).exitStatus, 0) << "unsetting twice is no error";
}

TEST_F(CliPrefsTest, TheFileIsAnXmlPropertyListWithExactTypes) {
    set({"tightEdges", "true"});
    set({"cardScale", "100"});
    set({"gridColumns", "8"});
    set({"shortcut.fillScreen", "{}"});

    const auto text = readWholeFile(file, nullptr).value_or("");
    EXPECT_TRUE(text.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << text;
    EXPECT_NE(text.find("<key>tightEdges</key>\n\t<true/>"), std::string::npos) << text;
    EXPECT_NE(text.find("<key>cardScale</key>\n\t<real>100</real>"), std::string::npos) << text;
    EXPECT_NE(text.find("<key>gridColumns</key>\n\t<integer>8</integer>"), std::string::npos)
        << text;

    std::string error;
    const auto domain = decodePreferences(text, &error);
    ASSERT_TRUE(domain.has_value()) << error;
    EXPECT_EQ(*domain, (DefaultsDomain{{"tightEdges", true},
                                       {"cardScale", 100.0},
                                       {"gridColumns", std::int64_t{8}},
                                       {"shortcut.fillScreen", Bytes{'{', '}'}}}));
}

TEST_F(CliPrefsTest, ListShowsEveryKeyInOrderWithDefaultsMarked) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << R"(<plist version="1.0"><dict>
<key>windowGap</key><real>8</real>
<key>tightEdges</key><string>yes</string>
<key>snapOnDrag</key><date>2024-01-01T00:00:00Z</date>
<key>shortcut.zoneUp</key><data>/wAB</data>
<key>legacyOption</key><string>kept</string>
<key>lastSeen</key><date>2024-01-01T00:00:00Z</date>
</dict></plist>)";

    const auto result = run({"list"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const auto output = lines(result.out);
    const auto& keys = preferenceKeys();
    ASSERT_EQ(output.size(), keys.size() + 2) << result.out;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_TRUE(output[i].starts_with(keys[i].key + " ")) << output[i];
    }
    EXPECT_EQ(output[0], "snapOnDrag = true (default; the stored value is of a type Tessera "
                         "doesn't read)");
    EXPECT_EQ(output[1], "restoreOnDragOut = true (default)");
    EXPECT_EQ(output[3], "windowGap = 8");
    EXPECT_EQ(output[4], "tightEdges = \"yes\" (stored as a string; a bool is expected)");
    EXPECT_EQ(output[6], "ignoredApps = \"\" (default)");
    EXPECT_EQ(output[7], "appearance = \"system\" (default)");
    EXPECT_EQ(output[11], "AppleLanguages (not set)");
    EXPECT_EQ(output[15], "shortcut.zoneUp = base64:/wAB") << "bytes that aren't text";
    EXPECT_EQ(output[keys.size()], "legacyOption = \"kept\" (unknown to Tessera)");
    EXPECT_TRUE(output[keys.size() + 1].starts_with("lastSeen (unknown to Tessera"))
        << output.back();
}

TEST_F(CliPrefsTest, BadKeysAndValuesFailWithAMessage) {
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"get", "snapOnDarg"}, "unknown preference key \"snapOnDarg\""},
        {{"set", "nope", "1"}, "unknown preference key \"nope\""},
        {{"unset", "nope"}, "unknown preference key \"nope\""},
        {{"set", "snapOnDrag", "maybe"}, "\"snapOnDrag\" is a bool preference"},
        {{"set", "gridColumns", "12.5"}, "\"gridColumns\" is an int preference"},
        {{"set", "windowGap", "wide"}, "\"windowGap\" is a double preference"},
        {{"set", "windowGap", "8", "--type", "int"}, "\"windowGap\" is a double preference"},
        {{"set", "appearance", "1", "--type", "bool"}, "\"appearance\" is a string preference"},
        {{"set", "windowGap", "41"}, "between 0 and 40"},
        {{"set", "cardScale", "59"}, "between 60 and 160"},
        {{"set", "gridColumns", "10"}, "one of 4, 6, 8, 12, 16, 24"},
        {{"set", "appearance", "blue"}, "one of system, light, dark"},
        {{"set", "appLanguage", "it"}, "one of system, en, ru, fr, es, el, de"},
        {{"set", "shortcut.zoneUp", "{\"combo\":"}, "not the text of a JSON object"},
        {{"set", "shortcut.zoneUp", "{\"combo\":{\"keyCode\":-1}}"}, "not a key combination"},
        {{"set", "AppleLanguages", "en,,de"}, "empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1]);
        const auto result = run(c.arguments);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_TRUE(result.err.starts_with("tesseractl: ")) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_NE(run({"get", "nope"}).err.find("\n  shortcut.nextDisplay\n"), std::string::npos)
        << "the known keys are listed";
    EXPECT_FALSE(fs::exists(file)) << "nothing was stored";
}

TEST_F(CliPrefsTest, UsageErrorsExitWithTwo) {
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"frobnicate"},
                                               {"list", "extra"},
                                               {"get"},
                                               {"set", "windowGap"},
                                               {"set", "windowGap", "8", "--type", "float"},
                                               {"set", "windowGap", "8", "--verbose"},
                                               {"unset"}}) {
        const auto result = run(arguments);
        EXPECT_EQ(result.exitStatus, 2) << result.err;
        EXPECT_NE(result.err.find("Usage: tesseractl prefs"), std::string::npos) << result.err;
    }
}

TEST_F(CliPrefsTest, TheXdgConfigFolderIsHonoured) {
    const auto config = dir / "elsewhere";
    const auto result = run({"set", "tightEdges", "1"}, {{"XDG_CONFIG_HOME", config.string()}});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(fs::exists(config / "Tessera" / "preferences.plist"));
    EXPECT_FALSE(fs::exists(file));

    // A relative folder is not a valid setting and the default applies.
    ASSERT_EQ(run({"set", "tightEdges", "0"}, {{"XDG_CONFIG_HOME", "relative"}}).exitStatus, 0);
    EXPECT_TRUE(fs::exists(file));
}

TEST_F(CliPrefsTest, AnUnwritableConfigFolderFailsClearly) {
    const auto blocker = dir / "not-a-folder";
    std::ofstream(blocker) << "x";
    const auto result = run({"set", "windowGap", "4"}, {{"XDG_CONFIG_HOME", blocker.string()}});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("tesseractl: Can't save preferences to " + blocker.string()),
              std::string::npos)
        << result.err;
}

TEST_F(CliPrefsTest, AnUnreadableFileIsReportedKeptAndReplacedOnlyBySet) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "this is not a property list";

    const auto listed = run({"get", "windowGap"});
    EXPECT_EQ(listed.exitStatus, 0);
    EXPECT_EQ(listed.out, "0 (default)\n");
    EXPECT_NE(listed.err.find("could not be read"), std::string::npos) << listed.err;
    EXPECT_NE(listed.err.find("kept a copy at " + file.string() + ".unreadable-"),
              std::string::npos)
        << listed.err;
    EXPECT_EQ(readWholeFile(file, nullptr), "this is not a property list");

    ASSERT_EQ(run({"set", "windowGap", "6"}).exitStatus, 0);
    EXPECT_EQ(get("windowGap"), "6");
    std::size_t copies = 0;
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        if (entry.path() != file) {
            ++copies;
            EXPECT_EQ(readWholeFile(entry.path(), nullptr), "this is not a property list");
        }
    }
    EXPECT_EQ(copies, 1u);
}
