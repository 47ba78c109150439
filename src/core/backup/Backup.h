#pragma once

#include "../model/Files.h"
#include "../model/Records.h"
#include "../platform/Defaults.h"
#include "../platform/Localizer.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tessera {

// One backed-up preference: exactly one of bool, int, double, string or data, in that order.
// Unlike DefaultsValue it has no array case: arrays are never backed up.
using PreferenceValue = std::variant<bool, std::int64_t, double, std::string, Bytes>;

// "bool", "int", "double", "string" or "data": the member name of the value's case in a backup.
std::string_view caseName(const PreferenceValue& value);

// A stored preference as it goes into a backup; nothing for types a backup doesn't carry.
std::optional<PreferenceValue> preferenceValue(const DefaultsValue& stored);
// The value written back to the preferences when a backup is imported.
DefaultsValue defaultsValue(const PreferenceValue& value);

// Everything the user has set up, as one document.
struct SettingsBackup {
    // The format this program writes; files of later formats are refused.
    static constexpr std::int64_t currentVersion = 1;

    std::int64_t version = currentVersion;
    // Whole seconds: that is all the file keeps.
    std::chrono::sys_seconds createdAt{};
    // The application's short version at the time of writing, when it has one.
    std::optional<std::string> appVersion;
    LayoutStorePayload layouts;
    // Only keys the user's own domain held; registered defaults are not exported.
    std::map<std::string, PreferenceValue> preferences;
    // Absent: importing leaves the login item as it is.
    std::optional<bool> openAtLogin;

    friend bool operator==(const SettingsBackup&, const SettingsBackup&) = default;
};

// The seventeen preference keys a backup carries, in backup order: ten settings, then the seven
// command shortcuts. "migratedFromSandbox" and "AppleLanguages" are never among them.
const std::vector<std::string>& backupKeys();

// Why a file can't be imported.
enum class BackupFailure { newerVersion, unreadable };

// The English text, which is also the string-table key.
std::string_view failureMessage(BackupFailure failure);
std::string localizedFailureMessage(BackupFailure failure, const Localizer& localizer);

// The outcome of reading a backup: the document, or the failure and what exactly was wrong
// (the detail is for diagnostics; users are shown the failure's message).
struct BackupReadResult {
    std::optional<SettingsBackup> backup;
    BackupFailure failure = BackupFailure::unreadable;
    std::string detail;

    explicit operator bool() const { return backup.has_value(); }
};

// Decodes and validates a document: a missing or malformed member, a date that isn't an
// internet date-time, or a preference value without exactly one case is unreadable; version 2
// or later is newerVersion; an empty layout list is unreadable. Nothing is applied.
BackupReadResult decodeBackup(std::string_view bytes);
// decodeBackup of the whole file; a file that can't be read is unreadable.
BackupReadResult readBackup(const std::filesystem::path& file);

// The JSON of a preference value: {"<case>": {"_0": <payload>}}, data in standard Base64.
nlohmann::json toJson(const PreferenceValue& value);
// Throws std::out_of_range when createdAt lies outside the years 0000 to 9999, which the date
// form can't express.
nlohmann::json toJson(const SettingsBackup& backup);
// Pretty-printed with sorted keys; empty with the reason in *error when it can't be encoded.
std::string encodeBackupBytes(const SettingsBackup& backup, std::string* error);
// Writes the document to the file atomically. Returns the reason it couldn't, empty on success;
// the folder must exist.
std::string encodeBackup(const SettingsBackup& backup, const std::filesystem::path& file,
                         const WriteFault& writeFault = {});

// "2026-12-05T05:52:09Z". Throws std::out_of_range outside the years 0000 to 9999.
std::string iso8601(std::chrono::sys_seconds time);
// An internet date-time: "YYYY-MM-DDTHH:MM:SS", optional fraction (dropped), then "Z" or an
// offset "+HH:MM"/"-HH:MM". Nothing for any other text, a leap second (":60") or a time
// outside the years 0000 to 9999 in UTC.
std::optional<std::chrono::sys_seconds> parseIso8601(std::string_view text);

// Standard Base64 with padding (RFC 4648, section 4). Decoding refuses anything else,
// white space included.
std::string base64Encoded(const Bytes& bytes);
std::optional<Bytes> base64Decoded(std::string_view text);

// "Tessera 2026-12-05.json": the name an export is offered under (the UTC date).
std::string exportFileName(std::chrono::system_clock::time_point now);
// "Before import 2026-12-05T05-52-09.json": the name of an automatic copy (UTC).
std::string automaticCopyFileName(std::chrono::system_clock::time_point now);

} // namespace tessera
