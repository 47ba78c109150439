#include "RunProcess.h"
#include "TempDir.h"

#include "core/backup/Backup.h"
#include "core/model/Json.h"
#include "core/store/BuiltInLayouts.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/linux/XdgFolders.h"
#include "platform/linux/XdgLoginItem.h"

#include <gtest/gtest.h>

using namespace tessera;
using tessera::test::EnvironmentChanges;
using tessera::test::ProcessResult;
using tessera::test::runProcess;
namespace fs = std::filesystem;

namespace {

class CliBackupTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(home); }

    // tesseractl with a fresh HOME, the XDG variables unset, and `answer` on standard input.
    ProcessResult run(std::vector<std::string> arguments,
                      std::optional<std::string> answer = std::nullopt) {
        EnvironmentChanges changes{{"HOME", home.string()},
                                   {"XDG_CONFIG_HOME", std::nullopt},
                                   {"XDG_DATA_HOME", std::nullopt},
                                   {"LANG", "C"}};
        fs::path input = "/dev/null";
        if (answer) {
            input = dir / "answer.txt";
            test::writeTestFile(input, *answer);
        }
        return runProcess(TESSERACTL_PATH, arguments, changes, input);
    }

    void prefsSet(const std::string& key, const std::string& value) {
        const auto result = run({"prefs", "set", key, value});
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }

    std::string prefsGet(const std::string& key) {
        const auto result = run({"prefs", "get", key});
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        return result.out;
    }

    // A backup unlike the built-in state, written where an import can pick it up.
    fs::path writeOtherBackup(std::optional<bool> openAtLogin = true) {
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
        backup.openAtLogin = openAtLogin;
        const auto file = dir / "other.json";
        EXPECT_EQ(encodeBackup(backup, file), "");
        return file;
    }

    test::TempDir temp{"tessera-clibackup"};
    fs::path dir = temp.path();
    fs::path home = dir / "home";
    fs::path layoutsFile = home / ".local" / "share" / "Tessera" / "layouts.json";
    fs::path copiesFolder = layoutsFile.parent_path() / "Backups";
    fs::path preferencesFile = home / ".config" / "Tessera" / "preferences.plist";
    fs::path autostartEntry = home / ".config" / "autostart" / "app.tessera.Tessera.desktop";
};

} // namespace

TEST_F(CliBackupTest, ExportWritesABackupThatCheckDescribes) {
    prefsSet("gridColumns", "8");
    prefsSet("cardScale", "120");
    const auto file = dir / "mine.json";
    const auto exported = run({"backup", "export", file.string()});
    ASSERT_EQ(exported.exitStatus, 0) << exported.err;
    EXPECT_NE(exported.out.find(file.string()), std::string::npos) << exported.out;

    const auto document = nlohmann::json::parse(test::readTestFile(file));
    EXPECT_EQ(document["version"], 1);
    EXPECT_EQ(document["preferences"]["gridColumns"], (nlohmann::json{{"int", {{"_0", 8}}}}));
    EXPECT_EQ(document["preferences"]["cardScale"], (nlohmann::json{{"double", {{"_0", 120}}}}));
    EXPECT_EQ(document["preferences"].size(), 2u) << "registered defaults are not exported";
    EXPECT_EQ(document["layouts"]["layouts"].size(), 5u);
    EXPECT_EQ(document["openAtLogin"], false);
    EXPECT_TRUE(document["appVersion"].is_string());

    const auto checked = run({"backup", "check", file.string()});
    ASSERT_EQ(checked.exitStatus, 0) << checked.err;
    EXPECT_TRUE(checked.out.starts_with("OK\n")) << checked.out;
    EXPECT_NE(checked.out.find(document["createdAt"].get<std::string>()), std::string::npos)
        << checked.out;
    EXPECT_NE(checked.out.find("layouts        5\n"), std::string::npos) << checked.out;
    EXPECT_NE(checked.out.find("preferences    2: cardScale, gridColumns\n"), std::string::npos)
        << checked.out;
}

TEST_F(CliBackupTest, ExportIntoAFolderUsesTheOfferedName) {
    const auto folder = dir / "exports";
    fs::create_directories(folder);
    const auto result = run({"backup", "export", folder.string()});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].starts_with("Tessera ") && names[0].ends_with(".json")) << names[0];
    EXPECT_EQ(names[0].size(), std::string("Tessera 2026-12-05.json").size()) << names[0];
    EXPECT_TRUE(readBackup(folder / names[0]));
}

TEST_F(CliBackupTest, AnExportTargetThatCantBeWrittenIsReported) {
    test::writeTestFile(dir / "plain", "a file, not a folder");
    const auto target = dir / "plain" / "backup.json";
    const auto result = run({"backup", "export", target.string()});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("can't write the backup to " + target.string()), std::string::npos)
        << result.err;
    EXPECT_EQ(result.out, "");
}

TEST_F(CliBackupTest, CheckNamesWhatIsWrongWithAFile) {
    const auto layouts = dir / "layouts.json";
    test::writeTestFile(layouts, encodeJson(toJson(LayoutStorePayload{builtInLayouts(), {}, {}})));
    auto result = run({"backup", "check", layouts.string()});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("The file isn’t a Tessera backup or is damaged."), std::string::npos)
        << result.err;
    EXPECT_EQ(result.out, "");

    auto document = nlohmann::json::parse(test::readTestFile(writeOtherBackup()));
    document["version"] = 2;
    test::writeTestFile(dir / "newer.json", document.dump());
    result = run({"backup", "check", (dir / "newer.json").string()});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("This backup was made by a newer version of Tessera."),
              std::string::npos)
        << result.err;

    result = run({"backup", "check", (dir / "missing.json").string()});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("The file isn’t a Tessera backup or is damaged."), std::string::npos);
}

TEST_F(CliBackupTest, ImportWithYesSavesACopyThenReplacesEverything) {
    prefsSet("gridColumns", "16");
    const auto file = writeOtherBackup();
    const auto result = run({"backup", "import", file.string(), "--yes"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;

    // The copy holds the state before the import, and the output says where it is.
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(copiesFolder)) {
        copies.push_back(entry.path());
    }
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
    EXPECT_EQ(prefsGet("gridColumns"), "8\n");
    EXPECT_EQ(prefsGet("AppleLanguages"), "de\n");
    EXPECT_NE(result.out.find("language"), std::string::npos) << result.out;

    // "Open at Login" was off and the backup has it on.
    const auto entry = test::readTestFile(autostartEntry);
    EXPECT_NE(entry.find("Exec="), std::string::npos) << entry;
    EXPECT_NE(result.out.find("Open at Login is now on"), std::string::npos) << result.out;
}

TEST_F(CliBackupTest, ImportAsksFirstAndDecliningChangesNothing) {
    const auto file = writeOtherBackup();
    for (const auto& answer :
         {std::optional<std::string>("n\n"), std::optional<std::string>(""),
          std::optional<std::string>("maybe\n"), std::optional<std::string>(std::nullopt)}) {
        const auto result = run({"backup", "import", file.string()}, answer);
        EXPECT_EQ(result.exitStatus, 1) << answer.value_or("(no input)");
        EXPECT_NE(result.out.find("Replace your layouts and settings?"), std::string::npos)
            << result.out;
        EXPECT_NE(result.err.find("nothing was imported"), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(layoutsFile));
        EXPECT_FALSE(fs::exists(copiesFolder));
        EXPECT_FALSE(fs::exists(preferencesFile));
        EXPECT_FALSE(fs::exists(autostartEntry));
    }

    const auto result = run({"backup", "import", file.string()}, " Yes \n");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.out.find("The backup from "), std::string::npos) << result.out;
    EXPECT_EQ(prefsGet("gridColumns"), "8\n");
}

TEST_F(CliBackupTest, TheQuestionIsAskedInTheInterfaceLanguage) {
    prefsSet("appLanguage", "de");
    const auto result = run({"backup", "import", writeOtherBackup().string()}, "n\n");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out.find("Replace your layouts and settings?"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("? [y/N] "), std::string::npos) << result.out;
}

TEST_F(CliBackupTest, ABlockedCopiesFolderLeavesEverythingAsItWas) {
    prefsSet("gridColumns", "16");
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

TEST_F(CliBackupTest, AnUnreadableBackupIsNotImported) {
    test::writeTestFile(dir / "broken.json", "{\"version\":1");
    const auto result = run({"backup", "import", (dir / "broken.json").string(), "--yes"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("The file isn’t a Tessera backup or is damaged."), std::string::npos);
    EXPECT_FALSE(fs::exists(layoutsFile));
}

TEST_F(CliBackupTest, UsageErrors) {
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"backup"},
                                               {"backup", "export"},
                                               {"backup", "check", "a", "b"},
                                               {"backup", "export", "a", "--yes"},
                                               {"backup", "restore", "a"}}) {
        const auto result = run(arguments);
        EXPECT_EQ(result.exitStatus, 2) << arguments.back();
        EXPECT_NE(result.err.find("Usage: tesseractl backup"), std::string::npos) << result.err;
    }
}

// ---- The login item -----------------------------------------------------------------------------

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

TEST_F(XdgLoginItemTest, RegisteringWritesAnEntryThatUnregisteringRemoves) {
    XdgLoginItem item(folders(), bundleIdentifier, "/opt/tessera/bin/tessera");
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    EXPECT_TRUE(item.unregisterItem()) << "nothing to remove is no error";

    ASSERT_TRUE(item.registerItem()) << item.lastError();
    EXPECT_EQ(item.file(), entry);
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    const auto text = test::readTestFile(entry);
    EXPECT_TRUE(text.starts_with("[Desktop Entry]\n")) << text;
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nExec=\"/opt/tessera/bin/tessera\"\n"), std::string::npos) << text;

    ASSERT_TRUE(item.unregisterItem()) << item.lastError();
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
}

TEST_F(XdgLoginItemTest, AnEntryTheDesktopHidIsOff) {
    XdgLoginItem item(folders(), bundleIdentifier, "/usr/bin/tessera");
    test::writeTestFile(entry, "[Desktop Entry]\nType=Application\nExec=tessera\nHidden = true\n");
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    test::writeTestFile(entry, "[Desktop Entry]\nExec=tessera\nHidden=false\n"
                               "[Desktop Action x]\nHidden=true\n");
    EXPECT_EQ(item.status(), LoginItemStatus::enabled) << "only the main group counts";

    test::writeTestFile(entry, "[Desktop Entry]\nHidden=true\n");
    ASSERT_TRUE(item.registerItem());
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
}

TEST_F(XdgLoginItemTest, ThePathIsQuotedAsAnExecArgument) {
    std::string error;
    const auto text = XdgLoginItem::desktopEntry(R"(/opt/A B/$x%y\z"q`r)", &error);
    EXPECT_EQ(error, "");
    EXPECT_NE(text.find("\nExec=\"/opt/A B/\\\\$x%%y\\\\\\\\z\\\\\"q\\\\`r\"\n"), std::string::npos)
        << text;

    EXPECT_EQ(XdgLoginItem::desktopEntry("/opt/a\nb", &error), "");
    EXPECT_NE(error, "");
    XdgLoginItem item(folders(), bundleIdentifier, "/opt/a\nb");
    EXPECT_FALSE(item.registerItem());
    EXPECT_NE(item.lastError(), "");
    EXPECT_FALSE(fs::exists(entry));
}

TEST_F(XdgLoginItemTest, FailuresAreReportedWithThePath) {
    test::writeTestFile(temp / "config" / "autostart", "a file where the folder should be");
    XdgLoginItem item(folders(), bundleIdentifier, "/usr/bin/tessera");
    EXPECT_FALSE(item.registerItem());
    EXPECT_NE(item.lastError().find((temp / "config" / "autostart").string()), std::string::npos)
        << item.lastError();
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);

    fs::remove(temp / "config" / "autostart");
    ASSERT_TRUE(item.registerItem());
    EXPECT_EQ(item.lastError(), "") << "a success clears the last error";
}
