#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/backup/Backup.h"
#include "core/model/Json.h"
#include "core/store/BuiltInLayouts.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>

using namespace tessera;
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

    // Absent optionals are left out; empty preferences stay an object.
    auto bare = sampleBackup();
    bare.appVersion.reset();
    bare.openAtLogin.reset();
    bare.preferences.clear();
    const auto bareDocument = nlohmann::json::parse(encoded(bare));
    EXPECT_FALSE(bareDocument.contains("appVersion") || bareDocument.contains("openAtLogin"));
    EXPECT_EQ(bareDocument.at("preferences"), nlohmann::json::object());
}

TEST(BackupFormat, DoublesKeepTheirFractionAndTypeOnTheWayBack) {
    auto backup = sampleBackup();
    backup.preferences = {{"a", PreferenceValue(72.5)},
                          {"b", PreferenceValue(0.1)},
                          {"c", PreferenceValue(1e300)},
                          {"d", PreferenceValue(-3.0)}};
    const auto bytes = encoded(backup);
    const auto document = nlohmann::json::parse(bytes);
    EXPECT_EQ(document["preferences"]["a"]["double"]["_0"].dump(), "72.5");
    EXPECT_EQ(document["preferences"]["d"]["double"]["_0"].dump(), "-3");
    const auto decoded = decodeBackup(bytes);
    ASSERT_TRUE(decoded) << decoded.detail;
    // "-3" must come back as the double -3, not as an int.
    EXPECT_EQ(decoded.backup->preferences, backup.preferences);
}

TEST(BackupFormat, NothingIsWrittenForADateBeyondFourDigitYears) {
    auto backup = sampleBackup();
    backup.createdAt = utc(10000, 1, 1, 0, 0, 0);
    std::string error;
    EXPECT_EQ(encodeBackupBytes(backup, &error), "");
    EXPECT_NE(error, "");
    test::TempDir dir;
    EXPECT_NE(encodeBackup(backup, dir / "out.json"), "");
    EXPECT_FALSE(fs::exists(dir / "out.json"));
}

TEST(BackupDates, WritesUtcWithWholeSecondsAndReadsOnlyInternetDateTimes) {
    EXPECT_EQ(iso8601(utc(1969, 7, 20, 20, 17, 40)), "1969-07-20T20:17:40Z");
    EXPECT_EQ(iso8601(utc(0, 1, 1, 0, 0, 0)), "0000-01-01T00:00:00Z");
    const auto expected = utc(2026, 12, 5, 5, 52, 9);
    for (const auto* text : {"2026-12-05T05:52:09Z", "2026-12-05T05:52:09.999Z",
                             "2026-12-05T07:52:09+02:00", "2026-12-04T23:22:09-06:30"}) {
        EXPECT_EQ(parseIso8601(text), expected) << text;
    }
    EXPECT_EQ(parseIso8601("2028-02-29T00:00:00Z"), utc(2028, 2, 29, 0, 0, 0));

    for (const auto* text :
         {"", "2026-12-05", "2026-12-05 05:52:09Z", "2026-12-05T05:52:09", "2026-12-05T05:52Z",
          "2026-12-05T05:52:09+0200", "2026-12-05T05:52:09.Z", "2026-12-05T05:52:09Z ",
          "2026-13-05T05:52:09Z", "2026-02-29T05:52:09Z", "2026-12-05T24:00:00Z",
          "2026-12-05T05:60:00Z", "+2026-12-05T05:52:09Z", "20261205T055209Z",
          // A real leap second: the clock has none, so it couldn't be written back.
          "2016-12-31T23:59:60Z",
          // Before the year 0000 once the offset is taken off: can't be written back.
          "0000-01-01T00:30:00+01:00"}) {
        EXPECT_FALSE(parseIso8601(text)) << text;
    }
}

TEST(BackupBase64, FollowsTheStandardAlphabetWithPaddingAndRefusesAnythingElse) {
    // The test vectors of RFC 4648, section 10.
    const std::pair<std::string, std::string> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, coded] : vectors) {
        EXPECT_EQ(base64Encoded(bytesOf(plain)), coded);
        EXPECT_EQ(base64Decoded(coded), bytesOf(plain)) << coded;
    }
    Bytes everyByte(256);
    std::iota(everyByte.begin(), everyByte.end(), std::uint8_t{0});
    EXPECT_EQ(base64Decoded(base64Encoded(everyByte)), everyByte);
    for (const auto* text :
         {"Zg", "Zg=", "Z===", "====", "Zm9v\n", " Zm9v", "Zm=v", "Zg==Zm9v", "Zm9-", "Zm9_"}) {
        EXPECT_FALSE(base64Decoded(text)) << text;
    }
}

TEST(BackupFileNames, UseTheUtcDateAndTime) {
    const auto late =
        chrono::system_clock::time_point(utc(2026, 12, 5, 23, 59, 59)) + chrono::milliseconds(999);
    EXPECT_EQ(exportFileName(late), "Tessera 2026-12-05.json");
    EXPECT_EQ(automaticCopyFileName(late), "Before import 2026-12-05T23-59-59.json");
    const auto early = chrono::system_clock::time_point(utc(2027, 1, 2, 3, 4, 5));
    EXPECT_EQ(automaticCopyFileName(early), "Before import 2027-01-02T03-04-05.json");
}

TEST(BackupKeys, AreTheSeventeenSettingsAndShortcutsInBackupOrder) {
    const std::vector<std::string> expected{"snapOnDrag",          "restoreOnDragOut",
                                            "cardScale",           "windowGap",
                                            "tightEdges",          "ignoredApps",
                                            "gridColumns",         "appearance",
                                            "showsMenuBarIcon",    "appLanguage",
                                            "shortcut.fillScreen", "shortcut.zoneLeft",
                                            "shortcut.zoneRight",  "shortcut.zoneUp",
                                            "shortcut.zoneDown",   "shortcut.previousDisplay",
                                            "shortcut.nextDisplay"};
    EXPECT_EQ(backupKeys(), expected);
    for (const auto& key : backupKeys()) {
        EXPECT_NE(findPreferenceKey(key), nullptr) << key << " is not a preference key";
    }
    // Stored values are typed by what they hold, and go back to the same stored type.
    EXPECT_EQ(preferenceValue(DefaultsValue(std::vector<std::string>{"en"})), std::nullopt);
    for (const auto& value :
         {PreferenceValue(false), PreferenceValue(std::int64_t{-4}), PreferenceValue(2.5),
          PreferenceValue(std::string("x")), PreferenceValue(bytesOf("\x01\x02"))}) {
        EXPECT_EQ(preferenceValue(defaultsValue(value)), value) << caseName(value);
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
        {"tiny", PreferenceValue(5e-324)},
        {"huge", PreferenceValue(1.7976931348623157e308)},
        {"text", PreferenceValue(std::string("Ελληνικά\n\t\"/\\"))},
        {"empty data", PreferenceValue(Bytes{})},
        {"binary", PreferenceValue(Bytes{0, 255, 10, 0})},
        {"yes", PreferenceValue(true)},
    };
    const auto decoded = decodeBackup(encoded(backup));
    ASSERT_TRUE(decoded) << decoded.detail;
    EXPECT_EQ(*decoded.backup, backup);
}

TEST(BackupReading, AcceptsMissingOptionalsOlderVersionsAndOtherSpellings) {
    auto document = toJson(sampleBackup());
    document["appVersion"] = nullptr;
    document.erase("openAtLogin");
    document["version"] = 0;
    document["createdAt"] = "2026-12-05T07:52:09.5+02:00";
    document["unknown"] = {1, 2, 3};
    document["preferences"]["gridColumns"] = {{"int", {{"_0", 12.0}}}};
    const auto result = decodeBackup(document.dump());
    ASSERT_TRUE(result) << result.detail;
    EXPECT_EQ(result.backup->appVersion, std::nullopt);
    EXPECT_EQ(result.backup->openAtLogin, std::nullopt);
    EXPECT_EQ(result.backup->version, 0);
    EXPECT_EQ(result.backup->createdAt, utc(2026, 12, 5, 5, 52, 9));
    EXPECT_EQ(result.backup->preferences.at("gridColumns"), PreferenceValue(std::int64_t{12}));
}

TEST(BackupReading, ANewerVersionIsRefusedWithItsOwnLocalizedMessage) {
    for (const int version : {2, 1000}) {
        const auto result = decodeBackup(validDocumentWith("version", version));
        EXPECT_FALSE(result);
        EXPECT_EQ(result.failure, BackupFailure::newerVersion) << version;
    }
    EXPECT_EQ(failureMessage(BackupFailure::newerVersion),
              "This backup was made by a newer version of Tessera.");
    EXPECT_EQ(failureMessage(BackupFailure::unreadable),
              "The file isn’t a Tessera backup or is damaged.");
    const auto german = makeSimLocalizer("de");
    for (const auto failure : {BackupFailure::newerVersion, BackupFailure::unreadable}) {
        EXPECT_EQ(localizedFailureMessage(failure, german),
                  german.lookup(failureMessage(failure), "de"));
    }
}

TEST(BackupReading, RefusesDocumentsThatArentBackups) {
    const nlohmann::json removed(nlohmann::json::value_t::discarded);
    expectUnreadable("", "empty file");
    expectUnreadable("[]", "an array");
    expectUnreadable(encodeJson(toJson(smallPayload())), "a layouts file");
    for (const auto* key : {"version", "createdAt", "layouts", "preferences"}) {
        expectUnreadable(validDocumentWith(key, removed), std::string("without ") + key);
    }
    expectUnreadable(validDocumentWith("version", "1"), "version as text");
    expectUnreadable(validDocumentWith("version", 1.5), "fractional version");
    expectUnreadable(validDocumentWith("createdAt", "2026-12-05 05:52:09"), "malformed date");
    expectUnreadable(validDocumentWith("appVersion", 14), "appVersion as a number");
    expectUnreadable(validDocumentWith("openAtLogin", "yes"), "openAtLogin as text");
    expectUnreadable(validDocumentWith("preferences", nlohmann::json::array()), "prefs array");
    auto document = toJson(sampleBackup());
    document["layouts"]["layouts"][0]["zones"][0]["id"] = "not a uuid";
    expectUnreadable(document.dump(), "a malformed layout record");
    document["layouts"]["layouts"] = nlohmann::json::array();
    expectUnreadable(document.dump(), "no layouts");

    test::TempDir dir;
    const auto missing = readBackup(dir / "missing.json");
    EXPECT_EQ(missing.failure, BackupFailure::unreadable);
    EXPECT_NE(missing.detail, "");
    EXPECT_FALSE(readBackup(dir.path())) << "a folder";
}

TEST(BackupReading, APreferenceValueNeedsExactlyOneKnownCase) {
    const auto twoCases =
        decodeBackup(withPreference({{"bool", {{"_0", true}}}, {"int", {{"_0", 1}}}}));
    EXPECT_EQ(twoCases.failure, BackupFailure::unreadable);
    EXPECT_NE(twoCases.detail.find("Invalid number of keys found, expected one."),
              std::string::npos)
        << twoCases.detail;
    const std::pair<nlohmann::json, const char*> values[] = {
        {nlohmann::json::object(), "no case"},
        {{{"float", {{"_0", 1.5}}}}, "unknown case"},
        {{{"Bool", {{"_0", true}}}}, "case names are exact"},
        {true, "a bare value"},
        {{{"bool", true}}, "payload not wrapped in _0"},
        {{{"bool", {{"_1", true}}}}, "payload under another key"},
        {{{"bool", {{"_0", 1}}}}, "a number for a bool"},
        {{{"int", {{"_0", 1.5}}}}, "a fraction for an int"},
        {{{"int", {{"_0", 9223372036854775808ULL}}}}, "an int beyond 64 bits"},
        {{{"double", {{"_0", "8"}}}}, "text for a double"},
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
}
