// tesseractl run as a user runs it: a process with a fresh HOME, no XDG folders unless a test
// sets them, LANG=C, and its answers on standard input.

#include "RunProcess.h"
#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/backup/Backup.h"
#include "core/model/Files.h"
#include "core/model/Json.h"
#include "core/store/BuiltInLayouts.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/linux/XdgFolders.h"
#include "platform/linux/XdgLoginItem.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

using namespace tessera;
using tessera::test::EnvironmentChanges;
using tessera::test::ProcessResult;
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

std::vector<fs::path> filesIn(const fs::path& folder, std::string_view prefix = "") {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            found.push_back(entry.path());
        }
    }
    return found;
}

class TesseractlTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(home); }

    ProcessResult run(const std::vector<std::string>& arguments, EnvironmentChanges changes = {},
                      std::optional<std::string> answer = std::nullopt) {
        changes.try_emplace("HOME", home.string());
        changes.try_emplace("LANG", "C");
        changes.try_emplace("XDG_CONFIG_HOME", std::nullopt);
        changes.try_emplace("XDG_DATA_HOME", std::nullopt);
        fs::path input = "/dev/null";
        if (answer) {
            input = dir / "answer.txt";
            test::writeTestFile(input, *answer);
        }
        return test::runProcess(TESSERACTL_PATH, arguments, changes, input);
    }

    // What `prefs get` prints, without its line feed.
    std::string get(const std::string& key) {
        const auto result = run({"prefs", "get", key});
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        return result.out.substr(0, result.out.size() - 1);
    }

    void set(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"prefs", "set"});
        const auto result = run(arguments);
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_EQ(result.err, "");
    }

    static json parsed(const ProcessResult& outcome) {
        try {
            return json::parse(outcome.out);
        } catch (const json::exception& error) {
            ADD_FAILURE() << "not JSON: " << error.what() << "\n" << outcome.out;
            return json::object();
        }
    }

    // A backup unlike the built-in state, written where an import can pick it up.
    fs::path writeOtherBackup() {
        SettingsBackup backup;
        backup.createdAt = std::chrono::sys_days{std::chrono::year{2026} / 12 / 5};
        backup.appVersion = "1.4";
        const auto id = Uuid::fromLiteral("AAAAAAAA-0000-4000-8000-000000000001");
        backup.layouts.layouts = {
            Layout{id, "Imported", {Zone{Uuid::random(), "All", 0, 0, 1, 1, std::nullopt}}}};
        backup.layouts.assignments = {{"1920x1080px|Desk", id}};
        backup.layouts.seeded = builtInLayoutIDs();
        backup.preferences = {{"gridColumns", PreferenceValue(std::int64_t{8})},
                              {"appLanguage", PreferenceValue(std::string("de"))}};
        backup.openAtLogin = true;
        const auto file = dir / "other.json";
        EXPECT_EQ(encodeBackup(backup, file), "");
        return file;
    }

    test::TempDir temp{"tessera-cli"};
    fs::path dir = temp.path();
    fs::path home = dir / "home";
    fs::path layoutsFile = home / ".local" / "share" / "Tessera" / "layouts.json";
    fs::path copiesFolder = layoutsFile.parent_path() / "Backups";
    fs::path preferencesFile = home / ".config" / "Tessera" / "preferences.plist";
    fs::path autostartEntry = home / ".config" / "autostart" / "app.tessera.Tessera.desktop";
};

const std::string shortcutJson =
    R"({"combo":{"carbonModifiers":6144,"display":"⌃⌥←","keyCode":123}})";

// ---- layouts ------------------------------------------------------------------------------------

TEST_F(TesseractlTest, AFreshHomeGetsTheBuiltInLayoutsListedForScriptsAndPeople) {
    const auto outcome = run({"layouts", "--json"});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    const auto stored = decodePayload(test::readTestFile(layoutsFile));
    ASSERT_TRUE(stored) << stored.error;
    EXPECT_EQ(stored.value->layouts, builtInLayouts());
    EXPECT_EQ(stored.value->assignments, defaultAssignments());
    EXPECT_EQ(stored.value->seeded, builtInLayoutIDs());

    const auto listing = parsed(outcome);
    ASSERT_EQ(listing["layouts"].size(), 5U);
    const auto& first = listing["layouts"][0];
    EXPECT_EQ(first["id"], stored.value->layouts[0].id.string());
    std::set<std::string> keys;
    for (const auto& [key, value] : first["zones"][0].items()) {
        keys.insert(key);
    }
    EXPECT_EQ(keys, (std::set<std::string>{"id", "name", "displayName", "x", "y", "width", "height",
                                           "shortcut"}));
    EXPECT_EQ(listing["assignments"]["2560x1440"], builtin::stackHalfID);

    const auto before = test::readTestFile(layoutsFile);
    const auto text = run({"layouts"});
    ASSERT_EQ(text.exitStatus, 0) << text.err;
    EXPECT_NE(text.out.find(stored.value->layouts[4].id.string()), std::string::npos);
    EXPECT_NE(text.out.find("3440x1440px"), std::string::npos);
    EXPECT_EQ(test::readTestFile(layoutsFile), before) << "listing rewrites nothing";
}

TEST_F(TesseractlTest, AFileOfAnEarlierVersionShowsCurrentNamesAndGainsVerticalRows) {
    auto layouts = builtInLayouts();
    layouts.pop_back();
    layouts[0].name = "27″ Browser & Telegram";
    layouts[0].zones[1].name = "Telegram";
    test::writeTestFile(
        layoutsFile,
        encodeJson(toJson(LayoutStorePayload{layouts, defaultAssignments(), std::nullopt})));

    const auto listing = parsed(run({"layouts", "--json"}));
    ASSERT_EQ(listing["layouts"].size(), 5U);
    EXPECT_EQ(listing["layouts"][0]["name"], "27″ Browser & Telegram");
    EXPECT_EQ(listing["layouts"][0]["displayName"], "Stack + Half");
    EXPECT_EQ(listing["layouts"][0]["zones"][1]["displayName"], "Bottom Left");
    EXPECT_EQ(listing["layouts"][4]["id"], builtin::verticalRowsID);
}

// ---- both files ---------------------------------------------------------------------------------

TEST_F(TesseractlTest, UnreadableFilesAreKeptAsCopiesAndNamedInTheMessage) {
    const std::string garbage = "{\"layouts\": [ this is not JSON";
    test::writeTestFile(layoutsFile, garbage);
    const auto listed = run({"layouts", "--json"});
    ASSERT_EQ(listed.exitStatus, 0) << listed.err;
    const auto layoutCopies = filesIn(layoutsFile.parent_path(), "layouts.json.unreadable-");
    ASSERT_EQ(layoutCopies.size(), 1U);
    EXPECT_NE(listed.err.find(layoutCopies[0].string()), std::string::npos) << listed.err;
    EXPECT_EQ(test::readTestFile(layoutCopies[0]), garbage);
    EXPECT_EQ(parsed(listed)["layouts"].size(), 5U);

    // Preferences are only read: the file stays until a change replaces it.
    test::writeTestFile(preferencesFile, "this is not a property list");
    const auto read = run({"prefs", "get", "windowGap"});
    EXPECT_EQ(read.out, "0 (default)\n");
    EXPECT_NE(read.err.find("kept a copy at " + preferencesFile.string() + ".unreadable-"),
              std::string::npos)
        << read.err;
    EXPECT_EQ(test::readTestFile(preferencesFile), "this is not a property list");
    ASSERT_EQ(run({"prefs", "set", "windowGap", "6"}).exitStatus, 0);
    EXPECT_EQ(get("windowGap"), "6");
    const auto prefCopies = filesIn(preferencesFile.parent_path(), "preferences.plist.unreadable-");
    ASSERT_EQ(prefCopies.size(), 1U);
    EXPECT_EQ(test::readTestFile(prefCopies[0]), "this is not a property list");
}

TEST_F(TesseractlTest, XdgFoldersAreHonouredAndAFolderThatCantBeMadeIsNamed) {
    const auto data = dir / "data", config = dir / "config";
    const auto listed = run({"layouts"}, {{"XDG_DATA_HOME", data.string()}});
    ASSERT_EQ(listed.exitStatus, 0) << listed.err;
    EXPECT_NE(listed.out.find((data / "Tessera" / "layouts.json").string()), std::string::npos);
    ASSERT_EQ(
        run({"prefs", "set", "tightEdges", "1"}, {{"XDG_CONFIG_HOME", config.string()}}).exitStatus,
        0);
    EXPECT_TRUE(fs::exists(config / "Tessera" / "preferences.plist"));
    EXPECT_FALSE(fs::exists(home / ".local"));
    EXPECT_FALSE(fs::exists(home / ".config"));
    // A relative folder is not a valid setting and the default applies.
    ASSERT_EQ(
        run({"prefs", "set", "tightEdges", "0"}, {{"XDG_CONFIG_HOME", "relative"}}).exitStatus, 0);
    EXPECT_TRUE(fs::exists(preferencesFile));

    const auto blocker = dir / "blocker";
    test::writeTestFile(blocker, "a regular file");
    const auto layouts = run({"layouts"}, {{"XDG_DATA_HOME", (blocker / "data").string()}});
    EXPECT_EQ(layouts.exitStatus, 1);
    EXPECT_NE(layouts.err.find(blocker.string()), std::string::npos) << layouts.err;
    EXPECT_EQ(layouts.out, "");
    const auto prefs =
        run({"prefs", "set", "windowGap", "4"}, {{"XDG_CONFIG_HOME", blocker.string()}});
    EXPECT_EQ(prefs.exitStatus, 1);
    EXPECT_NE(prefs.err.find("tesseractl: Can't save preferences to " + blocker.string()),
              std::string::npos)
        << prefs.err;
    const auto exported = run({"backup", "export", (blocker / "backup.json").string()});
    EXPECT_EQ(exported.exitStatus, 1);
    EXPECT_NE(exported.err.find("can't write the backup to " + (blocker / "backup.json").string()),
              std::string::npos)
        << exported.err;
}

TEST_F(TesseractlTest, UsageErrorsExitWithTwoAndTouchNothing) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"layouts", "--bogus"}, "--bogus"},
        {{"prefs", "frobnicate"}, "Usage: tesseractl prefs"},
        {{"prefs", "set", "windowGap"}, "Usage: tesseractl prefs"},
        {{"prefs", "set", "windowGap", "8", "--type", "float"}, "Usage: tesseractl prefs"},
        {{"backup", "check", "a", "b"}, "Usage: tesseractl backup"},
        {{"backup", "export", "a", "--yes"}, "Usage: tesseractl backup"},
    };
    for (const auto& [arguments, message] : cases) {
        const auto result = run(arguments);
        EXPECT_EQ(result.exitStatus, 2) << arguments.back();
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    }
    EXPECT_TRUE(fs::is_empty(home));
}

// ---- prefs --------------------------------------------------------------------------------------

TEST_F(TesseractlTest, PrefsRoundTripEveryTypeThroughAnXmlPropertyList) {
    set({"snapOnDrag", "no"});
    set({"showsMenuBarIcon", "YES", "--type", "bool"});
    set({"gridColumns", "24", "--type=int"});
    set({"cardScale", "72.5"});
    set({"windowGap", "0"});
    set({"shortcut.zoneLeft", shortcutJson});
    set({"AppleLanguages", "fr, de"});

    EXPECT_EQ(get("showsMenuBarIcon"), "true");
    EXPECT_EQ(get("cardScale"), "72.5");
    EXPECT_EQ(get("windowGap"), "0") << "a value that equals its default is still stored";
    EXPECT_EQ(get("shortcut.zoneLeft"), shortcutJson);
    EXPECT_EQ(get("AppleLanguages"), "fr,de");
    EXPECT_EQ(get("restoreOnDragOut"), "true (default)");
    EXPECT_EQ(get("shortcut.zoneRight"), "(not set)");
    EXPECT_EQ(run({"prefs", "unset", "cardScale"}).exitStatus, 0);
    EXPECT_EQ(get("cardScale"), "100 (default)");

    const auto text = readWholeFile(preferencesFile, nullptr).value_or("");
    EXPECT_TRUE(text.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << text;
    EXPECT_NE(text.find("<key>gridColumns</key>\n\t<integer>24</integer>"), std::string::npos)
        << text;
    std::string error;
    const auto domain = decodePreferences(text, &error);
    ASSERT_TRUE(domain.has_value()) << error;
    EXPECT_EQ(domain->at("snapOnDrag"), DefaultsValue(false));
    EXPECT_EQ(domain->at("shortcut.zoneLeft"),
              DefaultsValue(Bytes(shortcutJson.begin(), shortcutJson.end())));
}

TEST_F(TesseractlTest, PrefsListShowsEveryKeyInOrderWithDefaultsAndOddValuesMarked) {
    test::writeTestFile(preferencesFile, R"(<plist version="1.0"><dict>
<key>windowGap</key><real>8</real>
<key>tightEdges</key><string>yes</string>
<key>snapOnDrag</key><date>2024-01-01T00:00:00Z</date>
<key>shortcut.zoneUp</key><data>/wAB</data>
<key>legacyOption</key><string>kept</string>
<key>lastSeen</key><date>2024-01-01T00:00:00Z</date>
</dict></plist>)");

    const auto result = run({"prefs", "list"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const auto output = lines(result.out);
    const auto& keys = preferenceKeys();
    ASSERT_EQ(output.size(), keys.size() + 2) << result.out;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_TRUE(output[i].starts_with(keys[i].key + " ")) << output[i];
    }
    EXPECT_EQ(output[0], "snapOnDrag = true (default; the stored value is of a type Tessera "
                         "doesn't read)");
    EXPECT_EQ(output[4], "tightEdges = \"yes\" (stored as a string; a bool is expected)");
    EXPECT_EQ(output[11], "AppleLanguages (not set)");
    EXPECT_EQ(output[15], "shortcut.zoneUp = base64:/wAB") << "bytes that aren't text";
    EXPECT_EQ(output[keys.size()], "legacyOption = \"kept\" (unknown to Tessera)");
    EXPECT_TRUE(output[keys.size() + 1].starts_with("lastSeen (unknown to Tessera"));
}

TEST_F(TesseractlTest, PrefsRefuseBadKeysAndValuesWithAMessage) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"set", "nope", "1"}, "unknown preference key \"nope\""},
        {{"unset", "nope"}, "unknown preference key \"nope\""},
        {{"set", "snapOnDrag", "maybe"}, "\"snapOnDrag\" is a bool preference"},
        {{"set", "gridColumns", "12.5"}, "\"gridColumns\" is an int preference"},
        {{"set", "windowGap", "8", "--type", "int"}, "\"windowGap\" is a double preference"},
        {{"set", "windowGap", "41"}, "between 0 and 40"},
        {{"set", "gridColumns", "10"}, "one of 4, 6, 8, 12, 16, 24"},
        {{"set", "shortcut.zoneUp", "{\"combo\":"}, "not the text of a JSON object"},
        {{"set", "shortcut.zoneUp", "{\"combo\":{\"keyCode\":-1}}"}, "not a key combination"},
        {{"set", "AppleLanguages", "en,,de"}, "empty"},
    };
    for (auto [arguments, message] : cases) {
        SCOPED_TRACE(arguments[0] + " " + arguments[1]);
        arguments.insert(arguments.begin(), "prefs");
        const auto result = run(arguments);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.err.find("tesseractl: "), std::string::npos);
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_NE(run({"prefs", "get", "nope"}).err.find("\n  shortcut.nextDisplay\n"),
              std::string::npos)
        << "the known keys are listed";
    EXPECT_FALSE(fs::exists(preferencesFile)) << "nothing was stored";
}

// ---- backup -------------------------------------------------------------------------------------

TEST_F(TesseractlTest, AnExportHoldsWhatTheUserSetAndCheckDescribesIt) {
    set({"gridColumns", "8"});
    set({"cardScale", "120"});
    const auto file = dir / "mine.json";
    const auto exported = run({"backup", "export", file.string()});
    ASSERT_EQ(exported.exitStatus, 0) << exported.err;
    EXPECT_NE(exported.out.find(file.string()), std::string::npos) << exported.out;
    const auto document = json::parse(test::readTestFile(file));
    EXPECT_EQ(document["version"], 1);
    EXPECT_EQ(document["preferences"]["gridColumns"], (json{{"int", {{"_0", 8}}}}));
    EXPECT_EQ(document["preferences"].size(), 2u) << "registered defaults are not exported";
    EXPECT_EQ(document["layouts"]["layouts"].size(), 5u);

    const auto checked = run({"backup", "check", file.string()});
    ASSERT_EQ(checked.exitStatus, 0) << checked.err;
    EXPECT_TRUE(checked.out.starts_with("OK\n")) << checked.out;
    EXPECT_NE(checked.out.find(document["createdAt"].get<std::string>()), std::string::npos);
    EXPECT_NE(checked.out.find("preferences    2: cardScale, gridColumns\n"), std::string::npos)
        << checked.out;

    // Into a folder, the file gets the name a save panel would offer.
    const auto folder = dir / "exports";
    fs::create_directories(folder);
    ASSERT_EQ(run({"backup", "export", folder.string()}).exitStatus, 0);
    const auto names = filesIn(folder);
    ASSERT_EQ(names.size(), 1u);
    const auto name = names[0].filename().string();
    EXPECT_TRUE(name.starts_with("Tessera ") && name.ends_with(".json")) << name;
    EXPECT_EQ(name.size(), std::string("Tessera 2026-12-05.json").size()) << name;
}

TEST_F(TesseractlTest, CheckAndImportRefuseWhatIsNotABackupOfThisVersion) {
    const auto damaged = "The file isn’t a Tessera backup or is damaged.";
    test::writeTestFile(dir / "layouts.json",
                        encodeJson(toJson(LayoutStorePayload{builtInLayouts(), {}, {}})));
    auto document = json::parse(test::readTestFile(writeOtherBackup()));
    document["version"] = 2;
    test::writeTestFile(dir / "newer.json", document.dump());
    for (const auto& [file, message] : std::vector<std::pair<std::string, std::string>>{
             {"layouts.json", damaged},
             {"missing.json", damaged},
             {"newer.json", "This backup was made by a newer version of Tessera."}}) {
        SCOPED_TRACE(file);
        const auto imported = run({"backup", "import", (dir / file).string(), "--yes"});
        EXPECT_EQ(imported.exitStatus, 1);
        EXPECT_NE(imported.err.find(message), std::string::npos) << imported.err;
        const auto checked = run({"backup", "check", (dir / file).string()});
        EXPECT_EQ(checked.exitStatus, 1);
        EXPECT_NE(checked.err.find(message), std::string::npos) << checked.err;
        EXPECT_EQ(checked.out, "");
    }
    EXPECT_FALSE(fs::exists(layoutsFile));
}

TEST_F(TesseractlTest, ImportAsksFirstThenSavesACopyOfTheCurrentStateAndReplacesEverything) {
    const auto file = writeOtherBackup();
    for (const auto& answer :
         {std::optional<std::string>("maybe\n"), std::optional<std::string>(std::nullopt)}) {
        const auto result = run({"backup", "import", file.string()}, {}, answer);
        EXPECT_EQ(result.exitStatus, 1) << answer.value_or("(no input)");
        EXPECT_NE(result.out.find("Replace your layouts and settings?"), std::string::npos);
        EXPECT_NE(result.err.find("nothing was imported"), std::string::npos) << result.err;
        EXPECT_TRUE(fs::is_empty(home));
    }
    // The question is asked in the interface language.
    set({"gridColumns", "16"});
    set({"appLanguage", "de"});
    const auto german = run({"backup", "import", file.string()}, {}, "n\n");
    EXPECT_EQ(german.out.find("Replace your layouts and settings?"), std::string::npos);
    EXPECT_NE(german.out.find("? [y/N] "), std::string::npos) << german.out;
    ASSERT_EQ(run({"prefs", "unset", "appLanguage"}).exitStatus, 0);

    const auto result = run({"backup", "import", file.string()}, {}, " Yes \n");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const auto copies = filesIn(copiesFolder);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_NE(result.out.find("Saved the current state as " + copies[0].string() + "\n"),
              std::string::npos)
        << result.out;
    const auto copy = readBackup(copies[0]);
    ASSERT_TRUE(copy) << copy.detail;
    EXPECT_EQ(copy.backup->layouts.layouts, builtInLayouts());
    EXPECT_EQ(copy.backup->preferences.at("gridColumns"), PreferenceValue(std::int64_t{16}));

    const auto layouts = decodePayload(test::readTestFile(layoutsFile));
    ASSERT_TRUE(layouts) << layouts.error;
    ASSERT_EQ(layouts.value->layouts.size(), 1u);
    EXPECT_EQ(layouts.value->layouts[0].name, "Imported");
    EXPECT_EQ(get("gridColumns"), "8");
    EXPECT_EQ(get("AppleLanguages"), "de");
    EXPECT_NE(test::readTestFile(autostartEntry).find("Exec="), std::string::npos);
    EXPECT_NE(result.out.find("Open at Login is now on"), std::string::npos) << result.out;
}

TEST_F(TesseractlTest, AnImportWhoseCopyCantBeSavedLeavesEverythingAsItWas) {
    set({"gridColumns", "16"});
    ASSERT_EQ(run({"layouts"}).exitStatus, 0);
    test::writeTestFile(copiesFolder, "in the way");
    const auto layoutsBefore = test::readTestFile(layoutsFile);
    const auto preferencesBefore = test::readTestFile(preferencesFile);

    const auto result = run({"backup", "import", writeOtherBackup().string(), "--yes"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("nothing was imported"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(copiesFolder.string()), std::string::npos) << result.err;
    EXPECT_EQ(test::readTestFile(layoutsFile), layoutsBefore);
    EXPECT_EQ(test::readTestFile(preferencesFile), preferencesBefore);
    EXPECT_FALSE(fs::exists(autostartEntry));
}

// ---- the login item -----------------------------------------------------------------------------

class XdgLoginItemTest : public ::testing::Test {
protected:
    UserFolders folders() const {
        UserFolders result;
        result.home = temp.path();
        result.preferences = temp / "config";
        return result;
    }

    test::TempDir temp{"tessera-loginitem"};
    fs::path entry = temp / "config" / "autostart" / "app.tessera.Tessera.desktop";
};

TEST_F(XdgLoginItemTest, AnEntryIsWrittenWithAQuotedPathAndRemovedAgain) {
    XdgLoginItem item(folders(), bundleIdentifier, R"(/opt/A B/$x%y\z"q`r)");
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    EXPECT_TRUE(item.unregisterItem()) << "nothing to remove is no error";
    ASSERT_TRUE(item.registerItem()) << item.lastError();
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    const auto text = test::readTestFile(entry);
    EXPECT_TRUE(text.starts_with("[Desktop Entry]\n")) << text;
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nExec=\"/opt/A B/\\\\$x%%y\\\\\\\\z\\\\\"q\\\\`r\"\n"), std::string::npos)
        << text;
    ASSERT_TRUE(item.unregisterItem()) << item.lastError();
    EXPECT_FALSE(fs::exists(entry));

    // A path no entry can hold writes nothing.
    XdgLoginItem broken(folders(), bundleIdentifier, "/opt/a\nb");
    EXPECT_FALSE(broken.registerItem());
    EXPECT_NE(broken.lastError(), "");
    EXPECT_FALSE(fs::exists(entry));
}

TEST_F(XdgLoginItemTest, AnEntryTheDesktopHidIsOffAndFailuresNameThePath) {
    XdgLoginItem item(folders(), bundleIdentifier, "/usr/bin/tessera");
    test::writeTestFile(entry, "[Desktop Entry]\nType=Application\nExec=tessera\nHidden = true\n");
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    test::writeTestFile(entry, "[Desktop Entry]\nExec=tessera\nHidden=false\n"
                               "[Desktop Action x]\nHidden=true\n");
    EXPECT_EQ(item.status(), LoginItemStatus::enabled) << "only the main group counts";
    test::writeTestFile(entry, "[Desktop Entry]\nHidden=true\n");
    ASSERT_TRUE(item.registerItem());
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);

    fs::remove_all(temp / "config" / "autostart");
    test::writeTestFile(temp / "config" / "autostart", "a file where the folder should be");
    EXPECT_FALSE(item.registerItem());
    EXPECT_NE(item.lastError().find((temp / "config" / "autostart").string()), std::string::npos)
        << item.lastError();
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    fs::remove(temp / "config" / "autostart");
    ASSERT_TRUE(item.registerItem());
    EXPECT_EQ(item.lastError(), "") << "a success clears the last error";
}

} // namespace
