#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/backup/BackupService.h"
#include "core/store/BuiltInLayouts.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tessera;
namespace fs = std::filesystem;
namespace chrono = std::chrono;

namespace {

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Layout userLayout(const std::string& name) {
    return Layout{Uuid::random(), name, {Zone{Uuid::random(), "Only", 0, 0, 1, 1, std::nullopt}}};
}

class BackupServiceTest : public ::testing::Test {
protected:
    void SetUp() override { registerPreferenceDefaults(defaults); }

    BackupContext context() {
        return BackupContext{
            store,
            defaults,
            std::string("1.4"),
            [this] { return loginItemOn; },
            [this](bool on) {
                loginItemChanges.push_back(on);
                loginItemOn = on;
            },
            [this] { ++registerAllCalls; },
            [this] { return now; },
        };
    }

    // A backup of the current state with some changes: what an import would bring in.
    SettingsBackup otherState() {
        auto backup = makeBackup(context());
        backup.layouts.layouts = {userLayout("Imported")};
        backup.layouts.assignments = {{"5120x2880px|Desk", backup.layouts.layouts[0].id}};
        backup.preferences = {{"gridColumns", PreferenceValue(std::int64_t{24})}};
        return backup;
    }

    fs::path copiesFolder() const { return automaticCopiesFolder(storeFile); }

    std::vector<std::string> folderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(copiesFolder())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // One import whose copy is dated `now` on disk too, then the clock moves on a minute.
    fs::path importOnce() {
        const auto result = restore(otherState(), context());
        EXPECT_TRUE(result) << result.error;
        fs::last_write_time(result.automaticCopy, fileTime(now));
        now += chrono::minutes(1);
        return result.automaticCopy;
    }

    static fs::file_time_type fileTime(chrono::system_clock::time_point time) {
        return chrono::time_point_cast<fs::file_time_type::duration>(
            fs::file_time_type::clock::from_sys(time));
    }

    test::TempDir temp{"tessera-backup"};
    fs::path storeFile = temp / "data" / "Tessera" / "layouts.json";
    LayoutStore store{storeFile};
    SimDefaults defaults;
    bool loginItemOn = false;
    std::vector<bool> loginItemChanges;
    int registerAllCalls = 0;
    chrono::system_clock::time_point now = chrono::sys_days{chrono::year{2026} / 12 / 5} +
                                           chrono::hours{5} + chrono::minutes{52} +
                                           chrono::seconds{9} + chrono::milliseconds{750};
};

} // namespace

TEST_F(BackupServiceTest, ABackupHoldsWhatTheUserStoredTypedByItsValue) {
    auto withoutLoginItem = context();
    withoutLoginItem.openAtLogin = nullptr;
    const auto fresh = makeBackup(withoutLoginItem);
    EXPECT_TRUE(fresh.preferences.empty());
    EXPECT_EQ(fresh.openAtLogin, std::nullopt);
    EXPECT_EQ(fresh.layouts.layouts, builtInLayouts());

    defaults.set("gridColumns", std::int64_t{12});
    defaults.set("cardScale", 100.0);
    defaults.set("snapOnDrag", false);
    defaults.set("ignoredApps", std::string("org.example.One"));
    defaults.set("shortcut.fillScreen", bytesOf("{}"));
    // Never part of a backup: an array (even under a backed-up key), the migration flag, the
    // language override, keys Tessera doesn't know.
    defaults.set("appearance", std::vector<std::string>{"dark"});
    defaults.set("migratedFromSandbox", true);
    defaults.set("AppleLanguages", std::vector<std::string>{"de"});
    defaults.set("somethingElse", std::int64_t{1});
    loginItemOn = true;

    const auto backup = makeBackup(context());
    const std::map<std::string, PreferenceValue> expected{
        {"gridColumns", PreferenceValue(std::int64_t{12})},
        {"cardScale", PreferenceValue(100.0)},
        {"snapOnDrag", PreferenceValue(false)},
        {"ignoredApps", PreferenceValue(std::string("org.example.One"))},
        {"shortcut.fillScreen", PreferenceValue(bytesOf("{}"))},
    };
    EXPECT_EQ(backup.preferences, expected)
        << "registered defaults (windowGap, restoreOnDragOut, ...) are not exported";
    EXPECT_EQ(backup.version, 1);
    EXPECT_EQ(backup.appVersion, "1.4");
    EXPECT_EQ(backup.openAtLogin, true);
    EXPECT_EQ(backup.layouts, store.payload());
    EXPECT_EQ(iso8601(backup.createdAt), "2026-12-05T05:52:09Z") << "whole seconds";
}

TEST_F(BackupServiceTest, ExportThenImportBringsBackTheExportedState) {
    store.upsert(userLayout("Desk"));
    defaults.set("gridColumns", std::int64_t{6});
    defaults.set("ignoredApps", std::string("org.example.One"));
    defaults.set("shortcut.zoneUp", bytesOf(R"({"combo":null})"));
    const auto file = temp / "export.json";
    ASSERT_EQ(exportBackup(context(), file), "");
    const auto exported = makeBackup(context());
    const auto exportedPreferences = defaults.persistentDomain();

    store.restoreBuiltIns();
    store.upsert(userLayout("Later"));
    defaults.set("gridColumns", std::int64_t{16});
    defaults.remove("ignoredApps");
    defaults.set("tightEdges", true);

    const auto read = readBackup(file);
    ASSERT_TRUE(read) << read.detail;
    EXPECT_EQ(*read.backup, exported);
    ASSERT_TRUE(restore(*read.backup, context()));
    EXPECT_EQ(store.payload(), exported.layouts);
    auto preferences = defaults.persistentDomain();
    // The language override is applied on every import; everything else is as exported.
    EXPECT_EQ(preferences.at("AppleLanguages"), DefaultsValue(std::vector<std::string>{"en"}));
    preferences.erase("AppleLanguages");
    EXPECT_EQ(preferences, exportedPreferences);
    EXPECT_EQ(LayoutStore(storeFile).payload(), exported.layouts) << "the store file was written";
}

// ---- Automatic copies -------------------------------------------------------------------------

TEST_F(BackupServiceTest, EachImportKeepsTheStateBeforeItInACopyOfItsOwn) {
    defaults.set("gridColumns", std::int64_t{8});
    const auto before = makeBackup(context());
    const auto first = restore(otherState(), context());
    const auto second = restore(otherState(), context()); // in the same second
    ASSERT_TRUE(first && second) << first.error << second.error;
    EXPECT_EQ(copiesFolder(), storeFile.parent_path() / "Backups");
    EXPECT_EQ(folderNames(), (std::vector<std::string>{"Before import 2026-12-05T05-52-09 2.json",
                                                       "Before import 2026-12-05T05-52-09.json"}));
    EXPECT_EQ(first.automaticCopy, copiesFolder() / "Before import 2026-12-05T05-52-09.json");
    const auto copy = readBackup(first.automaticCopy);
    ASSERT_TRUE(copy) << copy.detail;
    EXPECT_EQ(*copy.backup, before);
}

TEST_F(BackupServiceTest, TheFiveNewestCopiesStayAndPruningAndCleanUpTouchNothingElse) {
    fs::create_directories(copiesFolder());
    const auto old = fileTime(now - chrono::hours(24 * 365));
    const std::vector<std::string> others{"Before import notes.txt",
                                          "Before import 1.JSON",
                                          "Before import",
                                          "Tessera 2020-01-01.json",
                                          "before import 2020-01-01T00-00-00.json",
                                          ".Before import notes.txt.ab12CD"};
    for (const auto& name : others) {
        test::writeTestFile(copiesFolder() / name, "{}");
        fs::last_write_time(copiesFolder() / name, old);
    }
    fs::create_directory(copiesFolder() / "Before import folder.json");
    fs::last_write_time(copiesFolder() / "Before import folder.json", old);
    // What a cut-short write of a copy left goes with the next copy.
    test::writeTestFile(copiesFolder() / ".Before import 1.json.ab12CD", "{");
    std::vector<fs::path> copies;
    for (int i = 0; i < 7; ++i) {
        copies.push_back(importOnce());
        EXPECT_EQ(folderNames().size(), others.size() + 1 + std::min<std::size_t>(i + 1, 5));
    }
    EXPECT_FALSE(fs::exists(copiesFolder() / ".Before import 1.json.ab12CD"));
    EXPECT_FALSE(fs::exists(copies[0]) || fs::exists(copies[1])) << "the oldest copies go";
    EXPECT_TRUE(std::ranges::all_of(copies.begin() + 2, copies.end(),
                                    [](const fs::path& copy) { return fs::exists(copy); }));
    for (const auto& name : others) {
        EXPECT_TRUE(fs::exists(copiesFolder() / name)) << name;
    }
    EXPECT_TRUE(fs::is_directory(copiesFolder() / "Before import folder.json"));
}

TEST_F(BackupServiceTest, AnUndatedItemCountsAsTheOldest) {
    const auto first = importOnce();
    importOnce();
    importOnce();
    // A dangling link has no date to read; its name would make it the newest.
    const auto undated = copiesFolder() / "Before import 2099-01-01T00-00-00.json";
    fs::create_symlink(temp / "gone.json", undated);
    importOnce();
    EXPECT_TRUE(fs::is_symlink(undated)) << "five items: nothing removed yet";
    importOnce();
    EXPECT_FALSE(fs::is_symlink(undated));
    EXPECT_TRUE(fs::exists(first)) << "the oldest dated copy stays while an undated item goes";
    EXPECT_EQ(folderNames().size(), 5u);
}

TEST_F(BackupServiceTest, TheNewCopyStaysEvenWhenOthersLookNewer) {
    fs::create_directories(copiesFolder());
    const auto future = fileTime(now + chrono::hours(24 * 365 * 10));
    for (int i = 0; i < 5; ++i) {
        const auto file =
            copiesFolder() / ("Before import 2090-01-0" + std::to_string(i + 1) + "T00-00-00.json");
        test::writeTestFile(file, "{}");
        fs::last_write_time(file, future + chrono::hours(i));
    }
    const auto result = restore(otherState(), context());
    ASSERT_TRUE(result) << result.error;
    EXPECT_TRUE(fs::exists(result.automaticCopy));
    EXPECT_FALSE(fs::exists(copiesFolder() / "Before import 2090-01-01T00-00-00.json"));
    EXPECT_EQ(folderNames().size(), 5u);
}

TEST_F(BackupServiceTest, ABlockedCopiesFolderStopsTheImportBeforeAnyChange) {
    defaults.set("gridColumns", std::int64_t{8});
    test::writeTestFile(copiesFolder(), "a file where the folder should be");
    const auto layoutsBefore = store.payload();
    const auto fileBefore = test::readTestFile(storeFile);
    const auto preferencesBefore = defaults.persistentDomain();
    const auto writesBefore = defaults.writeCount();

    auto backup = otherState();
    backup.openAtLogin = true;
    backup.preferences["appLanguage"] = PreferenceValue(std::string("de"));
    const auto result = restore(backup, context());
    EXPECT_FALSE(result);
    EXPECT_NE(result.error.find(copiesFolder().string()), std::string::npos) << result.error;
    EXPECT_EQ(store.payload(), layoutsBefore);
    EXPECT_EQ(test::readTestFile(storeFile), fileBefore);
    EXPECT_EQ(defaults.persistentDomain(), preferencesBefore);
    EXPECT_EQ(defaults.writeCount(), writesBefore);
    EXPECT_TRUE(loginItemChanges.empty());
    EXPECT_EQ(registerAllCalls, 0);
    EXPECT_FALSE(result.languageChanged);
}

// ---- Restoring --------------------------------------------------------------------------------

// A restore writes each backed-up value with the type of its case, removes every backed-up key
// the backup doesn't list (so the default applies again) and touches no other key; the layouts
// are replaced, with built-ins missing from a backup of an earlier version offered once.
TEST_F(BackupServiceTest, ARestoreReplacesLayoutsAndEveryBackedUpPreferenceOnly) {
    for (const auto& key : backupKeys()) {
        defaults.set(key, std::string("set by the user"));
    }
    defaults.set("migratedFromSandbox", true);
    auto backup = otherState();
    backup.layouts.seeded.reset();
    backup.preferences = {
        {"snapOnDrag", PreferenceValue(false)},
        {"windowGap", PreferenceValue(8.0)},
        {"appearance", PreferenceValue(std::string("dark"))},
        {"shortcut.nextDisplay", PreferenceValue(bytesOf("{}"))},
        {"migratedFromSandbox", PreferenceValue(false)},
        {"notAPreference", PreferenceValue(true)},
    };
    ASSERT_TRUE(restore(backup, context()));
    auto stored = defaults.persistentDomain();
    stored.erase("AppleLanguages");
    EXPECT_EQ(stored, (DefaultsDomain{{"snapOnDrag", false},
                                      {"windowGap", 8.0},
                                      {"appearance", std::string("dark")},
                                      {"shortcut.nextDisplay", bytesOf("{}")},
                                      {"migratedFromSandbox", true}}));
    EXPECT_EQ(gridColumns(defaults), 12);

    // The four older built-ins count as offered, so only "Vertical Rows" is added.
    ASSERT_EQ(store.layouts().size(), 2u);
    EXPECT_EQ(store.layouts()[0], backup.layouts.layouts[0]);
    EXPECT_EQ(store.layouts()[1].id, verticalRowsLayoutID());
    EXPECT_EQ(store.assignments(), backup.layouts.assignments);
    EXPECT_EQ(LayoutStore(storeFile).payload(), store.payload());
}

TEST_F(BackupServiceTest, TheLoginItemChangesOnlyWhenTheBackupRecordsAnotherState) {
    auto backup = otherState();
    loginItemOn = true;
    for (const auto recorded : {std::optional<bool>(), std::optional(true), std::optional(false)}) {
        backup.openAtLogin = recorded;
        ASSERT_TRUE(restore(backup, context()));
    }
    EXPECT_EQ(loginItemChanges, std::vector<bool>{false});
}

TEST_F(BackupServiceTest, ShortcutsAreRegisteredAgainOnceEverythingIsInPlace) {
    auto backup = otherState();
    backup.preferences["shortcut.fillScreen"] = PreferenceValue(bytesOf("{}"));
    bool sawNewState = false;
    auto withCenter = context();
    withCenter.registerAll = [&] {
        ++registerAllCalls;
        sawNewState = store.layouts().front().id == backup.layouts.layouts.front().id &&
                      defaults.persistentDomain().contains("shortcut.fillScreen");
    };
    ASSERT_TRUE(restore(backup, withCenter));
    EXPECT_EQ(registerAllCalls, 1);
    EXPECT_TRUE(sawNewState) << "registerAll ran before the layouts and shortcuts were replaced";

    auto withoutCenter = context();
    withoutCenter.registerAll = nullptr;
    EXPECT_TRUE(restore(backup, withoutCenter));
}

TEST_F(BackupServiceTest, ALanguageChangeIsReportedAndApplied) {
    auto backup = otherState();
    backup.preferences["appLanguage"] = PreferenceValue(std::string("de"));
    auto result = restore(backup, context());
    ASSERT_TRUE(result);
    EXPECT_TRUE(result.languageChanged);
    EXPECT_EQ(defaults.object("AppleLanguages"), DefaultsValue(std::vector<std::string>{"de"}));

    result = restore(backup, context());
    EXPECT_FALSE(result.languageChanged) << "German again";

    backup.preferences["appLanguage"] = PreferenceValue(std::string("system"));
    result = restore(backup, context());
    EXPECT_TRUE(result.languageChanged);
    EXPECT_FALSE(defaults.persistentDomain().contains("AppleLanguages"))
        << "the system language needs no override";

    // No language in the backup: back to the default, English.
    backup.preferences.erase("appLanguage");
    result = restore(backup, context());
    EXPECT_TRUE(result.languageChanged);
    EXPECT_EQ(currentLanguage(defaults), AppLanguage::en);
}

TEST_F(BackupServiceTest, PreferencesThatCantBeSavedAreReportedAndTheImportGoesOn) {
    defaults.failWrites(true);
    const auto backup = otherState();
    const auto result = restore(backup, context());
    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(result.unsaved.size(), backupKeys().size());
    EXPECT_NE(result.unsaved.front().find("snapOnDrag"), std::string::npos);
    EXPECT_EQ(store.layouts().front(), backup.layouts.layouts.front());
}

// ---- Showing copies and texts -----------------------------------------------------------------

TEST_F(BackupServiceTest, ShowingTheCopiesCreatesTheFolderAndRevealsIt) {
    SimDesktop desktop;
    showAutomaticCopies(storeFile, desktop);
    EXPECT_TRUE(fs::is_directory(copiesFolder()));
    ASSERT_EQ(desktop.calls().size(), 1u);
    EXPECT_EQ(desktop.calls()[0].kind, SimCallKind::revealInFileBrowser);
    EXPECT_EQ(desktop.calls()[0].items, std::vector<fs::path>{copiesFolder()});
}

TEST(BackupTexts, TheImportQuestionNamesTheBackupsDate) {
    const auto english = importConfirmation(makeSimLocalizer("en"), "5 December 2026 at 06:52");
    EXPECT_EQ(english.title, "Replace your layouts and settings?");
    EXPECT_EQ(english.message,
              "The backup from 5 December 2026 at 06:52 replaces all layouts, zones and "
              "settings. The current state is saved as an automatic copy first.");
    EXPECT_EQ(english.importButton, "Import");
    EXPECT_EQ(failureAlertTitle(makeSimLocalizer("en")), "Couldn’t use this file");
    const auto russian = importConfirmation(makeSimLocalizer("ru"), "5 декабря 2026 г.");
    EXPECT_NE(russian.message.find("5 декабря 2026 г."), std::string::npos) << russian.message;
    EXPECT_NE(russian.title, english.title);
}
