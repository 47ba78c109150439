#include "Backup.h"

#include "../app/Preferences.h"
#include "../model/Files.h"
#include "../model/Json.h"
#include "../placement/WindowCommand.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <stdexcept>

namespace tessera {

using nlohmann::json;
namespace chrono = std::chrono;

namespace {

constexpr std::array<std::string_view, 5> caseNames{"bool", "int", "double", "string", "data"};

// ---- Dates ------------------------------------------------------------------------------------

const chrono::sys_seconds earliestDate = chrono::sys_days{chrono::year{0} / 1 / 1};
const chrono::sys_seconds latestDate = chrono::sys_days{chrono::year{9999} / 12 / 31} +
                                       chrono::hours{23} + chrono::minutes{59} +
                                       chrono::seconds{59};

// Fixed-width decimal digits at `pos`; nothing when any is not a digit.
std::optional<int> digits(std::string_view text, std::size_t pos, std::size_t count) {
    if (pos + count > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

struct UtcParts {
    chrono::year_month_day date;
    chrono::hh_mm_ss<chrono::seconds> time{chrono::seconds{0}};
};

// In whole seconds throughout: the clock's own nanoseconds cover only the years 1678 to 2261.
UtcParts utcParts(chrono::sys_seconds seconds) {
    const auto day = chrono::floor<chrono::days>(seconds);
    return {chrono::year_month_day{day}, chrono::hh_mm_ss<chrono::seconds>{seconds - day}};
}

std::string dateText(const chrono::year_month_day& date) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return buffer;
}

std::string timeText(const chrono::hh_mm_ss<chrono::seconds>& time, char separator) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d%c%02d%c%02d", static_cast<int>(time.hours().count()),
                  separator, static_cast<int>(time.minutes().count()), separator,
                  static_cast<int>(time.seconds().count()));
    return buffer;
}

// ---- Base64 -----------------------------------------------------------------------------------

constexpr std::string_view base64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Digit(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

// ---- Decoding ---------------------------------------------------------------------------------

const json* optionalMember(const json& object, const char* key) {
    const auto it = object.find(key);
    // A null member counts as absent, as it does for every optional value of the records.
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

const json& requiredMember(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end()) {
        throw DecodeError(std::string("backup lacks \"") + key + "\"");
    }
    return *it;
}

// A signed 64-bit integer; 3.0 still counts as 3.
std::optional<std::int64_t> integerValue(const json& value) {
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(v);
    }
    if (value.is_number_integer()) {
        return value.get<std::int64_t>();
    }
    if (value.is_number_float()) {
        const auto v = value.get<double>();
        // 2^63 itself is out of range; every double below it converts exactly.
        if (std::trunc(v) != v || !(v >= -9223372036854775808.0 && v < 9223372036854775808.0)) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(v);
    }
    return std::nullopt;
}

PreferenceValue preferenceFromJson(const json& object, const std::string& key) {
    const auto where = "preference \"" + key + "\"";
    if (!object.is_object()) {
        throw DecodeError(where + " is not an object");
    }
    if (object.size() != 1) {
        throw DecodeError(where + ": Invalid number of keys found, expected one.");
    }
    const auto only = object.begin();
    const auto& name = only.key();
    const auto& inner = only.value();
    if (!inner.is_object()) {
        throw DecodeError(where + " \"" + name + "\" is not an object");
    }
    const auto payload = inner.find("_0");
    if (payload == inner.end()) {
        throw DecodeError(where + " \"" + name + "\" lacks \"_0\"");
    }
    const auto wrong = [&](const char* what) {
        return DecodeError(where + " \"" + name + "\" is not " + what);
    };
    if (name == "bool") {
        if (!payload->is_boolean()) {
            throw wrong("true or false");
        }
        return payload->get<bool>();
    }
    if (name == "int") {
        if (const auto value = integerValue(*payload)) {
            return *value;
        }
        throw wrong("a signed 64-bit integer");
    }
    if (name == "double") {
        if (!payload->is_number()) {
            throw wrong("a number");
        }
        const auto value = payload->get<double>();
        // 1e400 reads as infinity, which can't be written back.
        if (!std::isfinite(value)) {
            throw wrong("a finite number");
        }
        return value;
    }
    if (name == "string") {
        if (!payload->is_string()) {
            throw wrong("a string");
        }
        return payload->get<std::string>();
    }
    if (name == "data") {
        if (!payload->is_string()) {
            throw wrong("a Base64 string");
        }
        if (auto bytes = base64Decoded(payload->get_ref<const std::string&>())) {
            return std::move(*bytes);
        }
        throw wrong("valid Base64");
    }
    throw DecodeError(where + " has the unknown case \"" + name + "\"");
}

SettingsBackup backupFromJson(const json& document) {
    if (!document.is_object()) {
        throw DecodeError("the backup is not a JSON object");
    }
    SettingsBackup backup;
    const auto version = integerValue(requiredMember(document, "version"));
    if (!version) {
        throw DecodeError("backup \"version\" is not an integer");
    }
    backup.version = *version;

    const auto& createdAt = requiredMember(document, "createdAt");
    if (!createdAt.is_string()) {
        throw DecodeError("backup \"createdAt\" is not a string");
    }
    const auto date = parseIso8601(createdAt.get_ref<const std::string&>());
    if (!date) {
        throw DecodeError("backup \"createdAt\" is not an ISO 8601 date and time: \"" +
                          createdAt.get<std::string>() + "\"");
    }
    backup.createdAt = *date;

    if (const auto* appVersion = optionalMember(document, "appVersion")) {
        if (!appVersion->is_string()) {
            throw DecodeError("backup \"appVersion\" is not a string");
        }
        backup.appVersion = appVersion->get<std::string>();
    }

    backup.layouts = payloadFromJson(requiredMember(document, "layouts"));

    const auto& preferences = requiredMember(document, "preferences");
    if (!preferences.is_object()) {
        throw DecodeError("backup \"preferences\" is not an object");
    }
    for (const auto& [key, value] : preferences.items()) {
        backup.preferences.emplace(key, preferenceFromJson(value, key));
    }

    if (const auto* openAtLogin = optionalMember(document, "openAtLogin")) {
        if (!openAtLogin->is_boolean()) {
            throw DecodeError("backup \"openAtLogin\" is not true or false");
        }
        backup.openAtLogin = openAtLogin->get<bool>();
    }
    return backup;
}

} // namespace

std::string_view caseName(const PreferenceValue& value) {
    return caseNames[value.index()];
}

std::optional<PreferenceValue> preferenceValue(const DefaultsValue& stored) {
    return std::visit(
        [](const auto& v) -> std::optional<PreferenceValue> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::vector<std::string>>) {
                return std::nullopt;
            } else {
                return PreferenceValue(std::in_place_type<T>, v);
            }
        },
        stored);
}

DefaultsValue defaultsValue(const PreferenceValue& value) {
    return std::visit(
        [](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            return DefaultsValue(std::in_place_type<T>, v);
        },
        value);
}

const std::vector<std::string>& backupKeys() {
    static const auto keys = [] {
        std::vector<std::string> list;
        for (const auto key :
             {prefs::snapOnDrag, prefs::restoreOnDragOut, prefs::cardScale, prefs::windowGap,
              prefs::tightEdges, prefs::ignoredApps, prefs::gridColumns, prefs::appearance,
              prefs::showsMenuBarIcon, prefs::appLanguage}) {
            list.emplace_back(key);
        }
        for (const auto command : allWindowCommands) {
            list.push_back(shortcutKey(command));
        }
        return list;
    }();
    return keys;
}

std::string_view failureMessage(BackupFailure failure) {
    switch (failure) {
    case BackupFailure::newerVersion:
        return "This backup was made by a newer version of Tessera.";
    case BackupFailure::unreadable:
        break;
    }
    return "The file isn’t a Tessera backup or is damaged.";
}

std::string localizedFailureMessage(BackupFailure failure, const Localizer& localizer) {
    switch (failure) {
    case BackupFailure::newerVersion:
        return localizer.localized("This backup was made by a newer version of Tessera.");
    case BackupFailure::unreadable:
        break;
    }
    return localizer.localized("The file isn’t a Tessera backup or is damaged.");
}

BackupReadResult decodeBackup(std::string_view bytes) {
    BackupReadResult result;
    try {
        auto backup = backupFromJson(json::parse(bytes.begin(), bytes.end()));
        if (backup.version > SettingsBackup::currentVersion) {
            result.failure = BackupFailure::newerVersion;
            result.detail = "format version " + std::to_string(backup.version) + "; this " +
                            "program reads version " +
                            std::to_string(SettingsBackup::currentVersion) + " and earlier";
            return result;
        }
        if (backup.layouts.layouts.empty()) {
            result.detail = "the backup holds no layouts";
            return result;
        }
        result.backup = std::move(backup);
    } catch (const DecodeError& error) {
        result.detail = error.what();
    } catch (const json::exception& error) {
        result.detail = std::string("not valid JSON: ") + error.what();
    }
    return result;
}

BackupReadResult readBackup(const std::filesystem::path& file) {
    std::string error;
    const auto bytes = readWholeFile(file, &error);
    if (!bytes) {
        BackupReadResult result;
        result.detail = std::move(error);
        return result;
    }
    return decodeBackup(*bytes);
}

json toJson(const PreferenceValue& value) {
    json payload = std::visit(
        [](const auto& v) -> json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Bytes>) {
                return base64Encoded(v);
            } else if constexpr (std::is_same_v<T, double>) {
                // A whole number is written without a fraction ("8", not "8.0"), as the
                // application's other platforms write it; it still reads back as a double.
                constexpr double exact = 9007199254740992.0; // 2^53
                if (std::trunc(v) == v && v > -exact && v < exact) {
                    return static_cast<std::int64_t>(v);
                }
                return v;
            } else {
                return v;
            }
        },
        value);
    return json{{std::string(caseName(value)), json{{"_0", std::move(payload)}}}};
}

json toJson(const SettingsBackup& backup) {
    json preferences = json::object();
    for (const auto& [key, value] : backup.preferences) {
        preferences[key] = toJson(value);
    }
    json document{{"version", backup.version},
                  {"createdAt", iso8601(backup.createdAt)},
                  {"layouts", toJson(backup.layouts)},
                  {"preferences", std::move(preferences)}};
    if (backup.appVersion) {
        document["appVersion"] = *backup.appVersion;
    }
    if (backup.openAtLogin) {
        document["openAtLogin"] = *backup.openAtLogin;
    }
    return document;
}

std::string encodeBackupBytes(const SettingsBackup& backup, std::string* error) {
    try {
        return encodeJson(toJson(backup));
    } catch (const std::exception& failure) {
        if (error) {
            *error = std::string("Can't encode the backup: ") + failure.what();
        }
        return {};
    }
}

std::string encodeBackup(const SettingsBackup& backup, const std::filesystem::path& file,
                         const WriteFault& writeFault) {
    std::string error;
    const auto bytes = encodeBackupBytes(backup, &error);
    if (!error.empty()) {
        return error;
    }
    return writeFileAtomically(file, bytes, writeFault);
}

std::string iso8601(chrono::sys_seconds time) {
    if (time < earliestDate || time > latestDate) {
        throw std::out_of_range("the date lies outside the years 0000 to 9999");
    }
    const auto parts = utcParts(time);
    return dateText(parts.date) + "T" + timeText(parts.time, ':') + "Z";
}

std::optional<chrono::sys_seconds> parseIso8601(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS
    const auto year = digits(text, 0, 4);
    const auto month = digits(text, 5, 2);
    const auto day = digits(text, 8, 2);
    const auto hour = digits(text, 11, 2);
    const auto minute = digits(text, 14, 2);
    const auto second = digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || text[4] != '-' ||
        text[7] != '-' || (text[10] != 'T' && text[10] != 't') || text[13] != ':' ||
        text[16] != ':') {
        return std::nullopt;
    }
    const chrono::year_month_day date{chrono::year{*year}, chrono::month{unsigned(*month)},
                                      chrono::day{unsigned(*day)}};
    // Leap seconds (":60") are not accepted: the platform's clock has none either.
    if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    std::size_t pos = 19;
    if (pos < text.size() && text[pos] == '.') {
        const auto start = ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            ++pos;
        }
        if (pos == start) {
            return std::nullopt;
        }
    }
    if (pos >= text.size()) {
        return std::nullopt;
    }
    chrono::seconds offset{0};
    if (text[pos] == 'Z' || text[pos] == 'z') {
        ++pos;
    } else if (text[pos] == '+' || text[pos] == '-') {
        const auto offsetHours = digits(text, pos + 1, 2);
        const auto offsetMinutes = digits(text, pos + 4, 2);
        if (!offsetHours || !offsetMinutes || text[pos + 3] != ':' || *offsetHours > 23 ||
            *offsetMinutes > 59) {
            return std::nullopt;
        }
        offset = chrono::hours{*offsetHours} + chrono::minutes{*offsetMinutes};
        if (text[pos] == '-') {
            offset = -offset;
        }
        pos += 6;
    } else {
        return std::nullopt;
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    // The local time minus its offset is the time in UTC.
    const auto utc = chrono::sys_days{date} + chrono::hours{*hour} + chrono::minutes{*minute} +
                     chrono::seconds{*second} - offset;
    if (utc < earliestDate || utc > latestDate) {
        return std::nullopt;
    }
    return chrono::sys_seconds{utc};
}

std::string base64Encoded(const Bytes& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t chunk = (std::uint32_t{bytes[i]} << 16) |
                                    (i + 1 < bytes.size() ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                    (i + 2 < bytes.size() ? std::uint32_t{bytes[i + 2]} : 0);
        out.push_back(base64Alphabet[(chunk >> 18) & 0x3F]);
        out.push_back(base64Alphabet[(chunk >> 12) & 0x3F]);
        out.push_back(i + 1 < bytes.size() ? base64Alphabet[(chunk >> 6) & 0x3F] : '=');
        out.push_back(i + 2 < bytes.size() ? base64Alphabet[chunk & 0x3F] : '=');
    }
    return out;
}

std::optional<Bytes> base64Decoded(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    Bytes bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int padding = 0;
        std::uint32_t chunk = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            // "=" only in the last two places of the last group, and nothing but "=" after it.
            if (c == '=' && last && k >= 2 && (k == 3 || text[i + 3] == '=')) {
                ++padding;
                chunk <<= 6;
                continue;
            }
            const int digit = base64Digit(c);
            if (digit < 0 || padding > 0) {
                return std::nullopt;
            }
            chunk = (chunk << 6) | static_cast<std::uint32_t>(digit);
        }
        bytes.push_back(static_cast<std::uint8_t>(chunk >> 16));
        if (padding < 2) {
            bytes.push_back(static_cast<std::uint8_t>((chunk >> 8) & 0xFF));
        }
        if (padding < 1) {
            bytes.push_back(static_cast<std::uint8_t>(chunk & 0xFF));
        }
    }
    return bytes;
}

std::string exportFileName(chrono::system_clock::time_point now) {
    return "Tessera " + dateText(utcParts(chrono::floor<chrono::seconds>(now)).date) + ".json";
}

std::string automaticCopyFileName(chrono::system_clock::time_point now) {
    const auto parts = utcParts(chrono::floor<chrono::seconds>(now));
    return "Before import " + dateText(parts.date) + "T" + timeText(parts.time, '-') + ".json";
}

} // namespace tessera
