// tesseractl run as a user runs it: a process with a fresh HOME, no XDG folders unless a test
// sets them, LANG=C, and its answers on standard input.

#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/backup/Backup.h"
#include "core/model/Json.h"
#include "core/store/BuiltInLayouts.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/linux/XdgFolders.h"
#include "platform/linux/XdgLoginItem.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sys/wait.h>

using namespace tessera;
using ::testing::HasSubstr;
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

struct ProcessResult {
    int exitStatus = -1; // -1 when it ended by a signal
    std::string out;
    std::string err;
};

// Changes to the environment: a value sets the variable, nothing removes it.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
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
        // Through the shell, with the output in files so that a chatty run never blocks.
        std::string command = "env";
        for (const auto& [name, value] : changes) {
            command += value ? "" : " -u " + quoted(name);
        }
        for (const auto& [name, value] : changes) {
            command += value ? " " + quoted(name + "=" + *value) : "";
        }
        command += " " + quoted(TESSERACTL_PATH);
        for (const auto& argument : arguments) {
            command += " " + quoted(argument);
        }
        command += " <" + quoted(input.string()) + " >" + quoted((dir / "out").string()) + " 2>" +
                   quoted((dir / "err").string());
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::readTestFile(dir / "out"),
                test::readTestFile(dir / "err")};
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

TEST_F(TesseractlTest, AFreshHomeGetsTheBuiltInLayoutsListedForScriptsAndPeople) {
    const auto outcome = run({"layouts", "--json"});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    const auto stored = decodePayload(test::readTestFile(layoutsFile));
    ASSERT_TRUE(stored) << stored.error;

    const auto listing = json::parse(outcome.out);
    ASSERT_EQ(listing["layouts"].size(), 5U);
    const auto& first = listing["layouts"][0];
    EXPECT_EQ(first["id"], stored.value->layouts[0].id.string());
    EXPECT_EQ(listing["assignments"]["2560x1440"], builtin::stackHalfID);

    const auto before = test::readTestFile(layoutsFile);
    const auto text = run({"layouts"});
    ASSERT_EQ(text.exitStatus, 0) << text.err;
    EXPECT_THAT(text.out, HasSubstr(stored.value->layouts[4].id.string()));
    EXPECT_THAT(text.out, HasSubstr("3440x1440px"));
    EXPECT_EQ(test::readTestFile(layoutsFile), before) << "listing rewrites nothing";
}

TEST_F(TesseractlTest, PrefsRoundTripEveryTypeThroughAnXmlPropertyList) {
    set({"snapOnDrag", "no"});
    set({"showsMenuBarIcon", "YES", "--type", "bool"});
    set({"gridColumns", "24", "--type=int"});
    set({"cardScale", "72.5"});
    set({"shortcut.zoneLeft", shortcutJson});
    set({"AppleLanguages", "fr, de"});

    EXPECT_EQ(get("showsMenuBarIcon"), "true");
    EXPECT_EQ(get("cardScale"), "72.5");
    EXPECT_EQ(get("shortcut.zoneLeft"), shortcutJson);
    EXPECT_EQ(get("AppleLanguages"), "fr,de");
    EXPECT_EQ(get("restoreOnDragOut"), "true (default)");
    EXPECT_EQ(get("shortcut.zoneRight"), "(not set)");
    EXPECT_EQ(run({"prefs", "unset", "cardScale"}).exitStatus, 0);
    EXPECT_EQ(get("cardScale"), "100 (default)");

    const auto text = test::readTestFile(preferencesFile);
    EXPECT_TRUE(text.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << text;
    std::string error;
    const auto domain = decodePreferences(text, &error);
    ASSERT_TRUE(domain.has_value()) << error;
    EXPECT_EQ(domain->at("snapOnDrag"), DefaultsValue(false));
    EXPECT_EQ(domain->at("shortcut.zoneLeft"),
              DefaultsValue(Bytes(shortcutJson.begin(), shortcutJson.end())));
}

// Usage errors exit with 2, refused keys and values with 1; either way nothing is stored.
TEST_F(TesseractlTest, WrongArgumentsKeysAndValuesAreRefusedWithAMessage) {
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases{
        {{"layouts", "--bogus"}, 2, "--bogus"},
        {{"prefs", "frobnicate"}, 2, "Usage: tesseractl prefs"},
        {{"backup", "export", "a", "--yes"}, 2, "Usage: tesseractl backup"},
        {{"prefs", "set", "nope", "1"}, 1, "tesseractl: unknown preference key \"nope\""},
        {{"prefs", "set", "snapOnDrag", "maybe"}, 1, "\"snapOnDrag\" is a bool preference"},
        {{"prefs", "set", "windowGap", "8", "--type", "int"},
         1,
         "\"windowGap\" is a double preference"},
        {{"prefs", "set", "windowGap", "41"}, 1, "between 0 and 40"},
        {{"prefs", "set", "gridColumns", "10"}, 1, "one of 4, 6, 8, 12, 16, 24"},
        {{"prefs", "set", "shortcut.zoneUp", "{\"combo\":"}, 1, "not the text of a JSON object"},
        {{"prefs", "set", "shortcut.zoneUp", "{\"combo\":{\"keyCode\":-1}}"},
         1,
         "not a key combination"},
    };
    for (const auto& [arguments, status, message] : cases) {
        SCOPED_TRACE(message);
        const auto result = run(arguments);
        EXPECT_EQ(result.exitStatus, status);
        EXPECT_THAT(result.err, HasSubstr(message));
        EXPECT_EQ(result.out, "");
    }
    EXPECT_THAT(run({"prefs", "get", "nope"}).err, HasSubstr("\n  shortcut.nextDisplay\n"))
        << "the known keys are listed";
    EXPECT_TRUE(fs::is_empty(home));
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
             {"newer.json", "This backup was made by a newer version of Tessera."}}) {
        SCOPED_TRACE(file);
        const auto imported = run({"backup", "import", (dir / file).string(), "--yes"});
        EXPECT_EQ(imported.exitStatus, 1);
        EXPECT_THAT(imported.err, HasSubstr(message));
        const auto checked = run({"backup", "check", (dir / file).string()});
        EXPECT_EQ(checked.exitStatus, 1);
        EXPECT_THAT(checked.err, HasSubstr(message));
        EXPECT_EQ(checked.out, "");
    }
    EXPECT_FALSE(fs::exists(layoutsFile));
}

// An export holds what the user set and check describes it; an import asks first, then saves a
// copy of the current state (or stops if it can't) and replaces everything.
TEST_F(TesseractlTest, ExportCheckAndImportWhichAsksFirstAndSavesACopyOfTheCurrentState) {
    const auto file = writeOtherBackup();
    for (const auto& answer :
         {std::optional<std::string>("maybe\n"), std::optional<std::string>(std::nullopt)}) {
        const auto result = run({"backup", "import", file.string()}, {}, answer);
        EXPECT_EQ(result.exitStatus, 1) << answer.value_or("(no input)");
        EXPECT_THAT(result.out, HasSubstr("Replace your layouts and settings?"));
        EXPECT_THAT(result.err, HasSubstr("nothing was imported"));
        EXPECT_TRUE(fs::is_empty(home));
    }
    set({"gridColumns", "16"});
    set({"cardScale", "120"});
    const auto mine = dir / "mine.json";
    const auto exported = run({"backup", "export", mine.string()});
    ASSERT_EQ(exported.exitStatus, 0) << exported.err;
    EXPECT_THAT(exported.out, HasSubstr(mine.string()));
    const auto checked = run({"backup", "check", mine.string()});
    ASSERT_EQ(checked.exitStatus, 0) << checked.err;
    EXPECT_TRUE(checked.out.starts_with("OK\n")) << checked.out;
    EXPECT_THAT(checked.out,
                HasSubstr(json::parse(test::readTestFile(mine))["createdAt"].get<std::string>()));
    EXPECT_THAT(checked.out, HasSubstr("preferences    2: cardScale, gridColumns\n"));

    // A copy that can't be saved stops the import (what stays unchanged: BackupServiceTest).
    test::writeTestFile(copiesFolder, "in the way");
    const auto layoutsBefore = test::readTestFile(layoutsFile);
    const auto blocked = run({"backup", "import", file.string(), "--yes"});
    EXPECT_EQ(blocked.exitStatus, 1);
    EXPECT_THAT(blocked.err, HasSubstr("nothing was imported"));
    EXPECT_THAT(blocked.err, HasSubstr(copiesFolder.string()));
    EXPECT_EQ(test::readTestFile(layoutsFile), layoutsBefore);
    fs::remove(copiesFolder);

    const auto result = run({"backup", "import", file.string()}, {}, " Yes \n");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::vector<fs::path> copies{fs::directory_iterator(copiesFolder), {}};
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_THAT(result.out, HasSubstr("Saved the current state as " + copies[0].string() + "\n"));

    const auto layouts = decodePayload(test::readTestFile(layoutsFile));
    ASSERT_TRUE(layouts) << layouts.error;
    ASSERT_EQ(layouts.value->layouts.size(), 1u);
    EXPECT_EQ(layouts.value->layouts[0].name, "Imported");
    EXPECT_EQ(get("gridColumns"), "8");
    EXPECT_EQ(get("AppleLanguages"), "de");
    EXPECT_THAT(test::readTestFile(autostartEntry), HasSubstr("Exec="));
    EXPECT_THAT(result.out, HasSubstr("Open at Login is now on"));
}

// The desktop reads Exec with its own quoting rules: every character of the path stays literal,
// and a path no entry can hold writes nothing.
TEST(XdgLoginItemTest, AnEntryHoldsTheQuotedPathAndGoesAgain) {
    test::TempDir temp{"tessera-loginitem"};
    UserFolders folders;
    folders.home = temp.path();
    folders.preferences = temp / "config";
    const auto entry = temp / "config" / "autostart" / "app.tessera.Tessera.desktop";
    XdgLoginItem item(folders, bundleIdentifier, R"(/opt/A B/$x%y\z"q`r)");
    ASSERT_TRUE(item.registerItem()) << item.lastError();
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    EXPECT_THAT(test::readTestFile(entry),
                HasSubstr("\nExec=\"/opt/A B/\\\\$x%%y\\\\\\\\z\\\\\"q\\\\`r\"\n"));
    ASSERT_TRUE(item.unregisterItem()) << item.lastError();
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(XdgLoginItem(folders, bundleIdentifier, "/opt/a\nb").registerItem());
    EXPECT_FALSE(fs::exists(entry));
}

} // namespace
