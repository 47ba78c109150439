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

const nlohmann::json removed = nlohmann::json(nlohmann::json::value_t::discarded);

void expectUnreadable(std::string_view bytes, std::string_view why) {
    const auto result = decodeBackup(bytes);
    EXPECT_FALSE(result) << why;
    EXPECT_EQ(result.failure, BackupFailure::unreadable) << why << ": " << result.detail;
}

} // namespace

// ---- Writing ----------------------------------------------------------------------------------

TEST(BackupFormat, WritesSortedPrettyJsonWithTaggedPreferenceValues) {
    EXPECT_EQ(encoded(sampleBackup()), R"({
  "appVersion": "1.4",
  "createdAt": "2026-12-05T05:52:09Z",
  "layouts": {
    "assignments": {
      "5120x2880px|Desk": "AAAAAAAA-0000-4000-8000-000000000001"
    },
    "layouts": [
      {
        "id": "AAAAAAAA-0000-4000-8000-000000000001",
        "name": "Mine",
        "zones": [
          {
            "height": 1.0,
            "id": "AAAAAAAA-0000-4000-8000-0000000000A1",
            "name": "Left",
            "shortcut": {
              "carbonModifiers": 6144,
              "display": "⌃⌥←",
              "keyCode": 123
            },
            "width": 0.5,
            "x": 0.0,
            "y": 0.0
          }
        ]
      }
    ],
    "seeded": [
      "11111111-1111-1111-1111-111111111111"
    ]
  },
  "openAtLogin": true,
  "preferences": {
    "gridColumns": {
      "int": {
        "_0": 12
      }
    },
    "ignoredApps": {
      "string": {
        "_0": "org.example.One\norg.example.Two"
      }
    },
    "shortcut.zoneLeft": {
      "data": {
        "_0": "e30="
      }
    },
    "snapOnDrag": {
      "bool": {
        "_0": false
      }
    },
    "windowGap": {
      "double": {
        "_0": 8
      }
    }
  },
  "version": 1
}
)");
}

TEST(BackupFormat, LeavesOutAbsentOptionalsButKeepsEmptyPreferences) {
    auto backup = sampleBackup();
    backup.appVersion.reset();
    backup.openAtLogin.reset();
    backup.preferences.clear();
    const auto document = nlohmann::json::parse(encoded(backup));
    EXPECT_FALSE(document.contains("appVersion"));
    EXPECT_FALSE(document.contains("openAtLogin"));
    EXPECT_EQ(document.at("preferences"), nlohmann::json::object());

    backup.openAtLogin = false;
    EXPECT_EQ(nlohmann::json::parse(encoded(backup)).at("openAtLogin"), false);
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

TEST(BackupFormat, DateCanOnlyBeWrittenForFourDigitYears) {
    auto backup = sampleBackup();
    backup.createdAt = utc(10000, 1, 1, 0, 0, 0);
    std::string error;
    EXPECT_EQ(encodeBackupBytes(backup, &error), "");
    EXPECT_NE(error, "");
    test::TempDir dir;
    const auto file = dir / "out.json";
    EXPECT_NE(encodeBackup(backup, file), "");
    EXPECT_FALSE(fs::exists(file)) << "nothing is written for a backup that can't be encoded";
}

// ---- Dates, Base64, file names ----------------------------------------------------------------

TEST(BackupDates, WritesUtcWithWholeSecondsAndReadsInternetDateTimes) {
    EXPECT_EQ(iso8601(utc(2026, 12, 5, 5, 52, 9)), "2026-12-05T05:52:09Z");
    EXPECT_EQ(iso8601(utc(1969, 7, 20, 20, 17, 40)), "1969-07-20T20:17:40Z");
    EXPECT_EQ(iso8601(utc(0, 1, 1, 0, 0, 0)), "0000-01-01T00:00:00Z");

    EXPECT_EQ(parseIso8601("2026-12-05T05:52:09Z"), utc(2026, 12, 5, 5, 52, 9));
    EXPECT_EQ(parseIso8601("2026-12-05T05:52:09.999Z"), utc(2026, 12, 5, 5, 52, 9));
    EXPECT_EQ(parseIso8601("2026-12-05T07:52:09+02:00"), utc(2026, 12, 5, 5, 52, 9));
    EXPECT_EQ(parseIso8601("2026-12-04T23:22:09-06:30"), utc(2026, 12, 5, 5, 52, 9));
    EXPECT_EQ(parseIso8601("2028-02-29T00:00:00Z"), utc(2028, 2, 29, 0, 0, 0));
}

TEST(BackupDates, RefusesWhatIsNotAnInternetDateTime) {
    for (const auto* text : {
             "",
             "2026-12-05",
             "2026-12-05 05:52:09Z",
             "2026-12-05T05:52:09",
             "2026-12-05T05:52Z",
             "2026-12-05T05:52:09+0200",
             "2026-12-05T05:52:09.Z",
             "2026-12-05T05:52:09Z ",
             "2026-13-05T05:52:09Z",
             "2026-02-29T05:52:09Z",
             "2026-12-05T24:00:00Z",
             "2026-12-05T05:60:00Z",
             // Even a real leap second: the clock has none, so it couldn't be written back.
             "2016-12-31T23:59:60Z",
             "+2026-12-05T05:52:09Z",
             "20261205T055209Z",
             // Before the year 0000 once the offset is taken off: can't be written back.
             "0000-01-01T00:30:00+01:00",
         }) {
        EXPECT_FALSE(parseIso8601(text)) << text;
    }
}

TEST(BackupBase64, FollowsTheStandardAlphabetWithPadding) {
    // The test vectors of RFC 4648, section 10.
    const std::vector<std::pair<std::string, std::string>> vectors{{"", ""},
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
    const auto text = base64Encoded(everyByte);
    EXPECT_NE(text.find('+'), std::string::npos);
    EXPECT_NE(text.find('/'), std::string::npos);
    EXPECT_EQ(base64Decoded(text), everyByte);
}

TEST(BackupBase64, RefusesAnythingElse) {
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
    EXPECT_EQ(exportFileName(early), "Tessera 2027-01-02.json");
    EXPECT_EQ(automaticCopyFileName(early), "Before import 2027-01-02T03-04-05.json");
}

// ---- Keys and typing --------------------------------------------------------------------------

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
}

TEST(BackupKeys, StoredValuesAreTypedByWhatTheyHold) {
    EXPECT_EQ(preferenceValue(DefaultsValue(bytesOf("{}"))), PreferenceValue(bytesOf("{}")));
    EXPECT_EQ(preferenceValue(DefaultsValue(std::string("dark"))),
              PreferenceValue(std::string("dark")));
    EXPECT_EQ(preferenceValue(DefaultsValue(true)), PreferenceValue(true));
    EXPECT_EQ(preferenceValue(DefaultsValue(100.0)), PreferenceValue(100.0));
    EXPECT_EQ(preferenceValue(DefaultsValue(std::int64_t{12})), PreferenceValue(std::int64_t{12}));
    EXPECT_EQ(preferenceValue(DefaultsValue(std::vector<std::string>{"en"})), std::nullopt);

    // And back again, each to the same stored type.
    for (const auto& value :
         {PreferenceValue(false), PreferenceValue(std::int64_t{-4}), PreferenceValue(2.5),
          PreferenceValue(std::string("x")), PreferenceValue(bytesOf("\x01\x02"))}) {
        EXPECT_EQ(preferenceValue(defaultsValue(value)), value) << caseName(value);
    }
}

// ---- Reading ----------------------------------------------------------------------------------

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
        {"tenth", PreferenceValue(0.1)},
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
    document.erase("appVersion");
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

    document["appVersion"] = nullptr;
    document["openAtLogin"] = nullptr;
    EXPECT_TRUE(decodeBackup(document.dump())) << "null reads as absent";
}

TEST(BackupReading, ANewerVersionIsRefusedWithItsOwnMessage) {
    for (const int version : {2, 3, 1000}) {
        const auto result = decodeBackup(validDocumentWith("version", version));
        EXPECT_FALSE(result);
        EXPECT_EQ(result.failure, BackupFailure::newerVersion) << version;
    }
    EXPECT_EQ(failureMessage(BackupFailure::newerVersion),
              "This backup was made by a newer version of Tessera.");
    EXPECT_EQ(failureMessage(BackupFailure::unreadable),
              "The file isn’t a Tessera backup or is damaged.");
}

TEST(BackupReading, FailureMessagesAreLocalized) {
    for (const auto failure : {BackupFailure::newerVersion, BackupFailure::unreadable}) {
        const auto key = failureMessage(failure);
        EXPECT_EQ(localizedFailureMessage(failure, makeSimLocalizer("en")), key);
        const auto german = makeSimLocalizer("de");
        EXPECT_EQ(localizedFailureMessage(failure, german), german.lookup(key, "de"));
        EXPECT_NE(localizedFailureMessage(failure, german), key);
    }
}

TEST(BackupReading, RefusesDocumentsThatArentBackups) {
    expectUnreadable("", "empty file");
    expectUnreadable("not json", "not JSON");
    expectUnreadable("[]", "an array");
    expectUnreadable(encodeJson(toJson(smallPayload())), "a layouts file");
    for (const auto* key : {"version", "createdAt", "layouts", "preferences"}) {
        expectUnreadable(validDocumentWith(key, removed), std::string("without ") + key);
    }
    expectUnreadable(validDocumentWith("version", "1"), "version as text");
    expectUnreadable(validDocumentWith("version", 1.5), "fractional version");
    expectUnreadable(validDocumentWith("createdAt", "2026-12-05 05:52:09"), "malformed date");
    expectUnreadable(validDocumentWith("createdAt", 1733377929), "date as a number");
    expectUnreadable(validDocumentWith("appVersion", 14), "appVersion as a number");
    expectUnreadable(validDocumentWith("openAtLogin", "yes"), "openAtLogin as text");
    expectUnreadable(validDocumentWith("preferences", nlohmann::json::array()),
                     "preferences as an array");

    auto badZone = toJson(sampleBackup());
    badZone["layouts"]["layouts"][0]["zones"][0]["id"] = "not a uuid";
    expectUnreadable(badZone.dump(), "a malformed layout record");
}

TEST(BackupReading, AnEmptyLayoutListIsUnreadableEvenInAValidDocument) {
    auto document = toJson(sampleBackup());
    document["layouts"]["layouts"] = nlohmann::json::array();
    expectUnreadable(document.dump(), "no layouts");
}

TEST(BackupReading, APreferenceValueNeedsExactlyOneKnownCase) {
    const auto withPreference = [](const nlohmann::json& value) {
        auto document = toJson(sampleBackup());
        document["preferences"]["snapOnDrag"] = value;
        return document.dump();
    };
    const auto twoCases =
        decodeBackup(withPreference({{"bool", {{"_0", true}}}, {"int", {{"_0", 1}}}}));
    EXPECT_FALSE(twoCases);
    EXPECT_EQ(twoCases.failure, BackupFailure::unreadable);
    EXPECT_NE(twoCases.detail.find("Invalid number of keys found, expected one."),
              std::string::npos)
        << twoCases.detail;
    const auto noCase = decodeBackup(withPreference(nlohmann::json::object()));
    EXPECT_NE(noCase.detail.find("Invalid number of keys found, expected one."), std::string::npos)
        << noCase.detail;

    expectUnreadable(withPreference({{"float", {{"_0", 1.5}}}}), "unknown case");
    expectUnreadable(withPreference({{"Bool", {{"_0", true}}}}), "case names are exact");
    expectUnreadable(withPreference(true), "a bare value");
    expectUnreadable(withPreference({{"bool", true}}), "payload not wrapped in _0");
    expectUnreadable(withPreference({{"bool", {{"_1", true}}}}), "payload under another key");
    expectUnreadable(withPreference({{"bool", {{"_0", 1}}}}), "a number for a bool");
    expectUnreadable(withPreference({{"int", {{"_0", 1.5}}}}), "a fraction for an int");
    expectUnreadable(withPreference({{"int", {{"_0", 9223372036854775808ULL}}}}),
                     "an int beyond 64 bits");
    expectUnreadable(withPreference({{"double", {{"_0", "8"}}}}), "text for a double");
    expectUnreadable(R"({"version":1,"createdAt":"2026-12-05T05:52:09Z","layouts":)" +
                         toJson(smallPayload()).dump() +
                         R"(,"preferences":{"windowGap":{"double":{"_0":1e400}}}})",
                     "a double too large to write back");
    expectUnreadable(withPreference({{"string", {{"_0", 3}}}}), "a number for a string");
    expectUnreadable(withPreference({{"data", {{"_0", "e30"}}}}), "data without padding");
    expectUnreadable(withPreference({{"data", {{"_0", 3}}}}), "data as a number");
}

TEST(BackupReading, AFileThatCantBeReadIsUnreadable) {
    test::TempDir dir;
    const auto missing = readBackup(dir / "missing.json");
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.failure, BackupFailure::unreadable);
    EXPECT_NE(missing.detail, "");
    EXPECT_FALSE(readBackup(dir.path())) << "a folder";
}
