#include "Cli.h"

#include "core/app/Preferences.h"
#include "core/backup/Backup.h"
#include "core/model/Json.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/linux/XdgFolders.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>

namespace tessera::cli {

namespace {

constexpr const char* usage = R"(Usage: tesseractl prefs list
       tesseractl prefs get KEY
       tesseractl prefs set KEY VALUE [--type bool|int|double|string]
       tesseractl prefs unset KEY

VALUE is read by the key's type: a bool as true, false, yes, no, 1 or 0; an int as a whole
number; a double as a decimal number; a "shortcut." key as the JSON text of a shortcut record
(for example {} for no shortcut); "AppleLanguages" as language codes separated by commas.
)";

int usageError(const Context& context, std::string_view message) {
    context.err << "tesseractl: " << message << "\n\n" << usage;
    return 2;
}

std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string withArticle(std::string_view noun) {
    const bool vowel = !noun.empty() && std::string_view("aeiou").find(noun[0]) != noun.npos;
    return (vowel ? "an " : "a ") + std::string(noun);
}

// ---- Showing values ---------------------------------------------------------------------------

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t point = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            point = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            point = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            point = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            point = (point << 6) | (next & 0x3F);
        }
        const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
        if (overlong || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string doubleText(double value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

// A string in double quotes, with what would break the line or the quoting escaped.
std::string escaped(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static constexpr std::string_view hex = "0123456789abcdef";
                out += "\\u00";
                out.push_back(hex[static_cast<unsigned char>(c) >> 4]);
                out.push_back(hex[static_cast<unsigned char>(c) & 0xF]);
            } else {
                out.push_back(c);
            }
        }
    }
    return out + "\"";
}

enum class Style {
    listed, // one line per key: strings quoted and escaped, arrays as ["a", "b"]
    plain,  // the value as `set` takes it: strings and data text as they are
};

// The shortcut keys hold UTF-8 JSON text, shown as such; other bytes are shown in Base64.
std::string dataText(const Bytes& bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (isValidUtf8(text) && text.find('\0') == text.npos) {
        return std::string(text);
    }
    return "base64:" + base64Encoded(bytes);
}

std::string valueText(const DefaultsValue& value, Style style) {
    return std::visit(
        [style](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                return v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return std::to_string(v);
            } else if constexpr (std::is_same_v<T, double>) {
                return doubleText(v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return style == Style::listed ? escaped(v) : v;
            } else if constexpr (std::is_same_v<T, Bytes>) {
                return dataText(v);
            } else {
                std::string out = style == Style::listed ? "[" : "";
                for (std::size_t i = 0; i < v.size(); ++i) {
                    if (i > 0) {
                        out += style == Style::listed ? ", " : ",";
                    }
                    out += style == Style::listed ? escaped(v[i]) : v[i];
                }
                return style == Style::listed ? out + "]" : out;
            }
        },
        value);
}

PreferenceType typeOf(const DefaultsValue& value) {
    return std::visit(
        [](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                return PreferenceType::boolean;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return PreferenceType::integer;
            } else if constexpr (std::is_same_v<T, double>) {
                return PreferenceType::real;
            } else if constexpr (std::is_same_v<T, std::string>) {
                return PreferenceType::string;
            } else if constexpr (std::is_same_v<T, Bytes>) {
                return PreferenceType::data;
            } else {
                return PreferenceType::stringArray;
            }
        },
        value);
}

bool isForeign(const PlistDefaults& defaults, std::string_view key) {
    const auto keys = defaults.foreignKeys();
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// "KEY = VALUE" with what the reader should know about where the value comes from.
std::string describe(const PlistDefaults& defaults, const PreferenceKey& key, Style style) {
    const auto stored = defaults.persistentDomain();
    const auto prefix = style == Style::listed ? key.key + " = " : std::string();
    if (const auto it = stored.find(key.key); it != stored.end()) {
        auto text = prefix + valueText(it->second, style);
        const auto type = typeOf(it->second);
        // A whole number where a double is expected reads as that number.
        const bool convertible =
            type == PreferenceType::integer && key.type == PreferenceType::real;
        if (type != key.type && !convertible) {
            text += " (stored as " + withArticle(typeName(type)) + "; " +
                    withArticle(typeName(key.type)) + " is expected)";
        }
        return text;
    }
    const std::string ignored =
        isForeign(defaults, key.key) ? "; the stored value is of a type Tessera doesn't read" : "";
    if (key.defaultValue) {
        return prefix + valueText(*key.defaultValue, style) + " (default" + ignored + ")";
    }
    return (style == Style::listed ? key.key + " " : std::string()) + "(not set" + ignored + ")";
}

PlistDefaults loadDefaults(const Context& context) {
    return PlistDefaults(preferencesFile(context.folders), &context.err);
}

int unknownKey(const Context& context, std::string_view key) {
    context.err << "tesseractl: unknown preference key " << inQuotes(key) << "\nKnown keys:\n";
    for (const auto& known : preferenceKeys()) {
        context.err << "  " << known.key << "\n";
    }
    return 1;
}

int list(const Context& context) {
    const auto defaults = loadDefaults(context);
    for (const auto& key : preferenceKeys()) {
        context.out << describe(defaults, key, Style::listed) << "\n";
    }
    for (const auto& [name, value] : defaults.persistentDomain()) {
        if (findPreferenceKey(name) == nullptr) {
            context.out << name << " = " << valueText(value, Style::listed)
                        << " (unknown to Tessera)\n";
        }
    }
    for (const auto& name : defaults.foreignKeys()) {
        if (findPreferenceKey(name) == nullptr) {
            context.out << name << " (unknown to Tessera; its value is of a type Tessera doesn't "
                        << "read)\n";
        }
    }
    return 0;
}

int get(const Context& context, std::string_view name) {
    const auto* key = findPreferenceKey(name);
    if (key == nullptr) {
        return unknownKey(context, name);
    }
    const auto defaults = loadDefaults(context);
    context.out << describe(defaults, *key, Style::plain) << "\n";
    return 0;
}

// ---- Reading values ---------------------------------------------------------------------------

// The value for the key, or the message saying why the text isn't one.
using Parsed = std::variant<DefaultsValue, std::string>;

std::string lowercase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::optional<bool> parseBool(std::string_view text) {
    const auto word = lowercase(text);
    if (word == "true" || word == "yes" || word == "1") {
        return true;
    }
    if (word == "false" || word == "no" || word == "0") {
        return false;
    }
    return std::nullopt;
}

template <typename Number> std::optional<Number> parseNumber(std::string_view text) {
    Number value{};
    const auto* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> shortcutProblem(std::string_view text) {
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return "it is not the text of a JSON object";
    }
    if (const auto combo = json.find("combo"); combo != json.end() && !combo->is_null()) {
        try {
            keyComboFromJson(*combo);
        } catch (const std::exception& error) {
            return std::string("its \"combo\" is not a key combination: ") + error.what();
        }
    }
    return std::nullopt;
}

std::vector<std::string> languageList(std::string_view text) {
    std::vector<std::string> codes;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = std::min(text.find(',', start), text.size());
        auto piece = text.substr(start, end - start);
        while (!piece.empty() && piece.front() == ' ') {
            piece.remove_prefix(1);
        }
        while (!piece.empty() && piece.back() == ' ') {
            piece.remove_suffix(1);
        }
        codes.emplace_back(piece);
        start = end + 1;
    }
    return codes;
}

Parsed parseValue(const PreferenceKey& key, std::string_view text) {
    const auto expected = inQuotes(key.key) + " is " + withArticle(typeName(key.type)) +
                          " preference: " + inQuotes(text) + " is not ";
    switch (key.type) {
    case PreferenceType::boolean:
        if (const auto value = parseBool(text)) {
            return DefaultsValue(*value);
        }
        return expected + "one of true, false, yes, no, 1, 0";
    case PreferenceType::integer:
        if (const auto value = parseNumber<std::int64_t>(text)) {
            return DefaultsValue(*value);
        }
        return expected + "a whole number";
    case PreferenceType::real:
        if (const auto value = parseNumber<double>(text); value && std::isfinite(*value)) {
            return DefaultsValue(*value);
        }
        return expected + "a finite number";
    case PreferenceType::string:
        return DefaultsValue(std::string(text));
    case PreferenceType::data:
        if (const auto problem = shortcutProblem(text)) {
            return inQuotes(key.key) + " takes the JSON text of a shortcut record, such as " +
                   "{\"combo\":{\"keyCode\":123,\"carbonModifiers\":6144,\"display\":\"\"}} " +
                   "or {} for no shortcut; " + *problem;
        }
        return DefaultsValue(Bytes(text.begin(), text.end()));
    case PreferenceType::stringArray: {
        auto codes = languageList(text);
        if (std::any_of(codes.begin(), codes.end(), [](const auto& c) { return c.empty(); })) {
            return inQuotes(key.key) + " takes language codes separated by commas, such as en or " +
                   "de,en; " + inQuotes(text) + " has an empty one";
        }
        return DefaultsValue(std::move(codes));
    }
    }
    return std::string("unsupported preference type");
}

// The values the application offers for the key; anything else is refused.
std::optional<std::string> outOfRange(const PreferenceKey& key, const DefaultsValue& value) {
    const auto name = inQuotes(key.key);
    if (key.key == prefs::appearance) {
        const auto& text = std::get<std::string>(value);
        if (!appearanceFromRaw(text)) {
            return name + " must be one of system, light, dark (not " + inQuotes(text) + ")";
        }
    } else if (key.key == prefs::appLanguage) {
        const auto& text = std::get<std::string>(value);
        if (!appLanguageFromRaw(text)) {
            return name + " must be one of system, en, ru, fr, es, el, de (not " + inQuotes(text) +
                   ")";
        }
    } else if (key.key == prefs::cardScale || key.key == prefs::windowGap) {
        const auto number = std::get<double>(value);
        const double low = key.key == prefs::cardScale ? 60 : 0;
        const double high = key.key == prefs::cardScale ? 160 : 40;
        if (number < low || number > high) {
            return name + " must be between " + doubleText(low) + " and " + doubleText(high) +
                   " (not " + doubleText(number) + ")";
        }
    } else if (key.key == prefs::gridColumns) {
        static constexpr std::array<std::int64_t, 6> choices{4, 6, 8, 12, 16, 24};
        const auto columns = std::get<std::int64_t>(value);
        if (std::find(choices.begin(), choices.end(), columns) == choices.end()) {
            return name + " must be one of 4, 6, 8, 12, 16, 24 (not " + std::to_string(columns) +
                   ")";
        }
    }
    return std::nullopt;
}

std::optional<PreferenceType> typeNamed(std::string_view name) {
    for (const auto type :
         {PreferenceType::boolean, PreferenceType::integer, PreferenceType::real,
          PreferenceType::string, PreferenceType::data, PreferenceType::stringArray}) {
        if (typeName(type) == name) {
            return type;
        }
    }
    return std::nullopt;
}

int set(const Context& context, const std::vector<std::string>& arguments) {
    std::vector<std::string_view> positional;
    std::optional<std::string_view> typeOption;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (optionsEnded || !argument.starts_with("--")) {
            positional.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--type" && i + 1 < arguments.size()) {
            typeOption = arguments[++i];
        } else if (argument.starts_with("--type=")) {
            typeOption = argument.substr(7);
        } else {
            return usageError(context, "unknown option " + inQuotes(argument) + " for prefs set");
        }
    }
    if (positional.size() != 2) {
        return usageError(context, "prefs set takes a key and a value");
    }
    std::optional<PreferenceType> requested;
    if (typeOption) {
        requested = typeNamed(*typeOption);
        if (!requested) {
            return usageError(context, "--type takes bool, int, double or string, not " +
                                           inQuotes(*typeOption));
        }
    }

    const auto* key = findPreferenceKey(positional[0]);
    if (key == nullptr) {
        return unknownKey(context, positional[0]);
    }
    if (requested && *requested != key->type) {
        context.err << "tesseractl: " << inQuotes(key->key) << " is "
                    << withArticle(typeName(key->type)) << " preference, not "
                    << typeName(*requested) << "\n";
        return 1;
    }
    auto parsed = parseValue(*key, positional[1]);
    if (const auto* problem = std::get_if<std::string>(&parsed)) {
        context.err << "tesseractl: " << *problem << "\n";
        return 1;
    }
    auto value = std::get<DefaultsValue>(std::move(parsed));
    if (const auto problem = outOfRange(*key, value)) {
        context.err << "tesseractl: " << *problem << "\n";
        return 1;
    }

    auto defaults = loadDefaults(context);
    if (!defaults.set(key->key, std::move(value))) {
        context.err << "tesseractl: " << defaults.lastError() << "\n";
        return 1;
    }
    return 0;
}

int unset(const Context& context, std::string_view name) {
    const auto* key = findPreferenceKey(name);
    if (key == nullptr) {
        return unknownKey(context, name);
    }
    auto defaults = loadDefaults(context);
    if (!defaults.remove(key->key)) {
        context.err << "tesseractl: " << defaults.lastError() << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int runPrefs(const Context& context, const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return usageError(context, "prefs needs a subcommand");
    }
    const auto& command = arguments.front();
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (command == "list") {
        return rest.empty() ? list(context) : usageError(context, "prefs list takes no arguments");
    }
    if (command == "get") {
        return rest.size() == 1 ? get(context, rest[0])
                                : usageError(context, "prefs get takes one key");
    }
    if (command == "set") {
        return set(context, rest);
    }
    if (command == "unset") {
        return rest.size() == 1 ? unset(context, rest[0])
                                : usageError(context, "prefs unset takes one key");
    }
    return usageError(context, "unknown prefs subcommand " + inQuotes(command));
}

} // namespace tessera::cli
