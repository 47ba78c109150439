#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/backup/Backup.h"
#include "core/backup/BackupService.h"
#include "core/model/Json.h"
#include "core/store/BuiltInLayouts.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimLocalizer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace tessera;
using ::testing::HasSubstr;
namespace fs = std::filesystem;
namespace chrono = std::chrono;

namespace {
chrono::sys_seconds utc(int year, unsigned month, unsigned day, int hour, int minute, int second) {
    return chrono::sys_days{chrono::year{year} / month / day} + chrono::hours{hour} +
           chrono::minutes{minute} + chrono::seconds{second};
}

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

LayoutStorePayload smallPayload() {
    const auto layoutID = Uuid::fromLiteral("AAAAAAAA-0000-4000-8000-000000000001");
    Zone zone{Uuid::fromLiteral("AAAAAAAA-0000-4000-8000-0000000000A1"),
              "Left",
              0,
              0,
              0.5,
              1,
              KeyCombo{123, 0x1800, "⌃⌥←"}};
    return LayoutStorePayload{{Layout{layoutID, "Mine", {zone}}},
                              {{"5120x2880px|Desk", layoutID}},
                              std::vector<Uuid>{stackHalfLayoutID()}};
}

SettingsBackup sampleBackup() {
    SettingsBackup backup;
    backup.createdAt = utc(2026, 12, 5, 5, 52, 9);
    backup.appVersion = "1.4";
    backup.layouts = smallPayload();
    backup.preferences = {
        {"windowGap", PreferenceValue(8.0)},
        {"snapOnDrag", PreferenceValue(false)},
        {"gridColumns", PreferenceValue(std::int64_t{12})},
        {"ignoredApps", PreferenceValue(std::string("org.example.One\norg.example.Two"))},
        {"shortcut.zoneLeft", PreferenceValue(bytesOf("{}"))},
    };
    backup.openAtLogin = true;
    return backup;
}

std::string encoded(const SettingsBackup& backup) {
    std::string error;
    auto bytes = encodeBackupBytes(backup, &error);
    EXPECT_EQ(error, "");
    return bytes;
}

// A valid document with one member replaced (or removed when the value is discarded).
std::string validDocumentWith(const std::string& key, const nlohmann::json& value) {
    auto document = toJson(sampleBackup());
    if (value.is_discarded()) {
        document.erase(key);
    } else {
        document[key] = value;
    }
    return document.dump();
}

std::string withPreference(const nlohmann::json& value) {
    auto document = toJson(sampleBackup());
    document["preferences"]["snapOnDrag"] = value;
    return document.dump();
}

void expectUnreadable(std::string_view bytes, std::string_view why) {
    const auto result = decodeBackup(bytes);
    EXPECT_FALSE(result) << why;
    EXPECT_EQ(result.failure, BackupFailure::unreadable) << why << ": " << result.detail;
}
} // namespace

TEST(BackupFormat, WritesSortedPrettyJsonWithTaggedPreferenceValues) {
    const auto text = encoded(sampleBackup());
    const auto document = nlohmann::json::parse(text);
    EXPECT_EQ(text, encodeJson(document)) << "sorted keys, two-space indent, final newline";
    EXPECT_EQ(document, nlohmann::json::parse(R"({
      "appVersion": "1.4", "createdAt": "2026-12-05T05:52:09Z", "openAtLogin": true,
      "version": 1,
      "preferences": {
        "gridColumns": {"int": {"_0": 12}},
        "ignoredApps": {"string": {"_0": "org.example.One\norg.example.Two"}},
        "shortcut.zoneLeft": {"data": {"_0": "e30="}},
        "snapOnDrag": {"bool": {"_0": false}},
        "windowGap": {"double": {"_0": 8}}},
      "layouts": {
        "assignments": {"5120x2880px|Desk": "AAAAAAAA-0000-4000-8000-000000000001"},
        "layouts": [{"id": "AAAAAAAA-0000-4000-8000-000000000001", "name": "Mine", "zones": [{
          "id": "AAAAAAAA-0000-4000-8000-0000000000A1", "name": "Left",
          "x": 0.0, "y": 0.0, "width": 0.5, "height": 1.0,
          "shortcut": {"carbonModifiers": 6144, "display": "⌃⌥←", "keyCode": 123}}]}],
        "seeded": ["11111111-1111-1111-1111-111111111111"]}})"));
}

TEST(BackupDates, WritesUtcWithWholeSecondsReadsOnlyInternetDateTimesAndNamesExports) {
    EXPECT_EQ(iso8601(utc(1969, 7, 20, 20, 17, 40)), "1969-07-20T20:17:40Z");
    EXPECT_EQ(iso8601(utc(0, 1, 1, 0, 0, 0)), "0000-01-01T00:00:00Z");
    const auto expected = utc(2026, 12, 5, 5, 52, 9);
    for (const auto* text :
         {"2026-12-05T05:52:09Z", "2026-12-05T05:52:09.999Z", "2026-12-04T23:22:09-06:30"}) {
        EXPECT_EQ(parseIso8601(text), expected) << text;
    }
    EXPECT_EQ(parseIso8601("2028-02-29T00:00:00Z"), utc(2028, 2, 29, 0, 0, 0));
    // An export is named by its UTC day.
    EXPECT_EQ(exportFileName(chrono::system_clock::time_point(utc(2026, 12, 5, 23, 59, 59)) +
                             chrono::milliseconds(999)),
              "Tessera 2026-12-05.json");

    for (const auto* text :
         {"", "2026-12-05T05:52:09", "2026-12-05T05:52:09+0200", "2026-12-05T05:52:09Z ",
          "2026-13-05T05:52:09Z", "2026-02-29T05:52:09Z", "2026-12-05T24:00:00Z",
          // A real leap second: the clock has none, so it couldn't be written back.
          "2016-12-31T23:59:60Z",
          // Before the year 0000 once the offset is taken off: can't be written back.
          "0000-01-01T00:30:00+01:00"}) {
        EXPECT_FALSE(parseIso8601(text)) << text;
    }
}

TEST(BackupReading, RoundTripsEveryCaseAndExtremeValues) {
    auto backup = sampleBackup();
    backup.version = 0;
    backup.createdAt = utc(9999, 12, 31, 23, 59, 59);
    backup.appVersion = "2.0 «beta» \"quoted\"";
    backup.openAtLogin = false;
    backup.preferences = {
        {"min", PreferenceValue(std::numeric_limits<std::int64_t>::min())},
        {"max", PreferenceValue(std::numeric_limits<std::int64_t>::max())},
        {"huge", PreferenceValue(1.7976931348623157e308)},
        {"binary", PreferenceValue(Bytes{0, 255, 10, 0})},
        // Must come back as the double -3, not as an int.
        {"whole double", PreferenceValue(-3.0)},
    };
    const auto decoded = decodeBackup(encoded(backup));
    ASSERT_TRUE(decoded) << decoded.detail;
    EXPECT_EQ(*decoded.backup, backup);
}

// A backup of a later version may hold what this one can't keep: refused, in the user's language
// (tesseractl's test checks the English message).
TEST(BackupReading, ANewerVersionIsRefusedWithItsOwnMessage) {
    EXPECT_EQ(decodeBackup(validDocumentWith("version", 2)).failure, BackupFailure::newerVersion);
    const auto german = makeSimLocalizer("de");
    const auto english = failureMessage(BackupFailure::newerVersion);
    EXPECT_EQ(localizedFailureMessage(BackupFailure::newerVersion, german),
              german.lookup(english, "de"));
    EXPECT_NE(localizedFailureMessage(BackupFailure::newerVersion, german), english);
}

TEST(BackupReading, RefusesDocumentsThatArentBackupsAndPreferencesWithoutExactlyOneKnownCase) {
    const nlohmann::json removed(nlohmann::json::value_t::discarded);
    expectUnreadable("", "empty file");
    expectUnreadable(encodeJson(toJson(smallPayload())), "a layouts file");
    for (const auto* key : {"version", "createdAt", "layouts", "preferences"}) {
        expectUnreadable(validDocumentWith(key, removed), std::string("without ") + key);
    }
    expectUnreadable(validDocumentWith("version", 1.5), "fractional version");
    expectUnreadable(validDocumentWith("openAtLogin", "yes"), "openAtLogin as text");
    auto document = toJson(sampleBackup());
    document["layouts"]["layouts"][0]["zones"][0]["id"] = "not a uuid";
    expectUnreadable(document.dump(), "a malformed layout record");
    document["layouts"]["layouts"] = nlohmann::json::array();
    expectUnreadable(document.dump(), "no layouts");

    const auto twoCases =
        decodeBackup(withPreference({{"bool", {{"_0", true}}}, {"int", {{"_0", 1}}}}));
    EXPECT_EQ(twoCases.failure, BackupFailure::unreadable);
    EXPECT_THAT(twoCases.detail, HasSubstr("Invalid number of keys found, expected one."));
    const std::pair<nlohmann::json, const char*> values[] = {
        {{{"float", {{"_0", 1.5}}}}, "unknown case"},
        {{{"bool", true}}, "payload not wrapped in _0"},
        {{{"bool", {{"_0", 1}}}}, "a number for a bool"},
        {{{"int", {{"_0", 1.5}}}}, "a fraction for an int"},
        {{{"int", {{"_0", 9223372036854775808ULL}}}}, "an int beyond 64 bits"},
        {{{"string", {{"_0", 3}}}}, "a number for a string"},
        {{{"data", {{"_0", "e30"}}}}, "data without padding"},
    };
    for (const auto& [value, why] : values) {
        expectUnreadable(withPreference(value), why);
    }
    expectUnreadable(R"({"version":1,"createdAt":"2026-12-05T05:52:09Z","layouts":)" +
                         toJson(smallPayload()).dump() +
                         R"(,"preferences":{"windowGap":{"double":{"_0":1e400}}}})",
                     "a double too large to write back");

    test::TempDir dir;
    const auto missing = readBackup(dir / "missing.json");
    EXPECT_EQ(missing.failure, BackupFailure::unreadable);
    EXPECT_NE(missing.detail, "");
}

namespace {
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
    EXPECT_EQ(backup.openAtLogin, true);
    EXPECT_EQ(backup.layouts, store.payload());
    EXPECT_EQ(iso8601(backup.createdAt), "2026-12-05T05:52:09Z") << "whole seconds";
}

// Exported, changed, imported again: everything exported comes back, and each import first
// keeps the state it replaces in a copy of its own, even two in one second.
TEST_F(BackupServiceTest, ExportThenImportBringsBackTheStateAndKeepsACopyOfWhatItReplaced) {
    store.upsert(userLayout("Desk"));
    defaults.set("gridColumns", std::int64_t{6});
    defaults.set("ignoredApps", std::string("org.example.One"));
    const auto file = temp / "export.json";
    ASSERT_EQ(exportBackup(context(), file), "");
    const auto exported = makeBackup(context());
    const auto exportedPreferences = defaults.persistentDomain();

    const auto first = restore(otherState(), context());
    const auto changed = makeBackup(context());
    defaults.set("tightEdges", true);
    const auto read = readBackup(file);
    ASSERT_TRUE(read) << read.detail;
    EXPECT_EQ(*read.backup, exported);
    const auto second = restore(*read.backup, context()); // in the same second
    ASSERT_TRUE(first && second) << first.error << second.error;
    EXPECT_EQ(store.payload(), exported.layouts);
    EXPECT_EQ(LayoutStore(storeFile).payload(), exported.layouts) << "the store file was written";
    auto preferences = defaults.persistentDomain();
    preferences.erase("AppleLanguages"); // applied on every import
    auto expected = exportedPreferences;
    expected.erase("AppleLanguages");
    EXPECT_EQ(preferences, expected);

    EXPECT_EQ(folderNames(), (std::vector<std::string>{"Before import 2026-12-05T05-52-09 2.json",
                                                       "Before import 2026-12-05T05-52-09.json"}));
    const auto before = readBackup(second.automaticCopy);
    ASSERT_TRUE(before) << before.detail;
    EXPECT_EQ(before.backup->layouts, changed.layouts);
}

// Preferences the system won't save don't stop the layouts from coming in; the user is told.
TEST_F(BackupServiceTest, PreferencesThatCantBeSavedAreReportedAndTheImportGoesOn) {
    defaults.failWrites(true);
    const auto backup = otherState();
    const auto result = restore(backup, context());
    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(result.unsaved.size(), backupKeys().size());
    EXPECT_EQ(store.layouts().front(), backup.layouts.layouts.front());
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
        const auto result = restore(otherState(), context());
        ASSERT_TRUE(result) << result.error;
        // Dated on disk as by the clock, a minute apart.
        fs::last_write_time(result.automaticCopy, fileTime(now));
        now += chrono::minutes(1);
        copies.push_back(result.automaticCopy);
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
    EXPECT_THAT(result.error, HasSubstr(copiesFolder().string()));
    EXPECT_EQ(store.payload(), layoutsBefore);
    EXPECT_EQ(test::readTestFile(storeFile), fileBefore);
    EXPECT_EQ(defaults.persistentDomain(), preferencesBefore);
    EXPECT_EQ(defaults.writeCount(), writesBefore);
    EXPECT_TRUE(loginItemChanges.empty());
    EXPECT_EQ(registerAllCalls, 0);
    EXPECT_FALSE(result.languageChanged);
}

// A backed-up key the backup doesn't list is removed, so that its default applies again.
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
    // Shortcuts are registered again once everything is in place.
    bool sawNewState = false;
    auto withCenter = context();
    withCenter.registerAll = [&] {
        ++registerAllCalls;
        sawNewState = store.layouts().front().id == backup.layouts.layouts.front().id &&
                      defaults.object("shortcut.nextDisplay") == DefaultsValue(bytesOf("{}"));
    };
    ASSERT_TRUE(restore(backup, withCenter));
    EXPECT_EQ(registerAllCalls, 1);
    EXPECT_TRUE(sawNewState) << "registerAll ran before the layouts and shortcuts were replaced";
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
