#include "Preferences.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace tessera {

std::string_view typeName(PreferenceType type) {
    switch (type) {
    case PreferenceType::boolean:
        return "bool";
    case PreferenceType::integer:
        return "int";
    case PreferenceType::real:
        return "double";
    case PreferenceType::string:
        return "string";
    case PreferenceType::data:
        return "data";
    case PreferenceType::stringArray:
        return "array";
    }
    return "";
}

const std::vector<PreferenceKey>& preferenceKeys() {
    static const auto keys = [] {
        using T = PreferenceType;
        std::vector<PreferenceKey> table{
            {std::string(prefs::snapOnDrag), T::boolean, DefaultsValue{true}, true},
            {std::string(prefs::restoreOnDragOut), T::boolean, DefaultsValue{true}, true},
            {std::string(prefs::cardScale), T::real, DefaultsValue{100.0}, true},
            {std::string(prefs::windowGap), T::real, DefaultsValue{0.0}, true},
            {std::string(prefs::tightEdges), T::boolean, DefaultsValue{false}, true},
            {std::string(prefs::gridColumns), T::integer, DefaultsValue{std::int64_t{12}}, true},
            {std::string(prefs::ignoredApps), T::string, DefaultsValue{std::string()}, false},
            {std::string(prefs::appearance), T::string, DefaultsValue{std::string("system")},
             false},
            {std::string(prefs::appLanguage), T::string, DefaultsValue{std::string("en")}, false},
            {std::string(prefs::showsMenuBarIcon), T::boolean, DefaultsValue{true}, false},
            {std::string(prefs::migratedFromSandbox), T::boolean, DefaultsValue{false}, false},
            {std::string(prefs::appleLanguages), T::stringArray, std::nullopt, false},
        };
        for (auto command : allWindowCommands) {
            table.push_back({shortcutKey(command), T::data, std::nullopt, false});
        }
        // Later additions go last, so the order people have seen in listings stays.
        table.push_back(
            {std::string(prefs::returnToZonesOnReconnect), T::boolean, DefaultsValue{true}, true});
        table.push_back(
            {std::string(prefs::openInLastZone), T::boolean, DefaultsValue{false}, true});
        return table;
    }();
    return keys;
}

const PreferenceKey* findPreferenceKey(std::string_view key) {
    const auto& keys = preferenceKeys();
    const auto it = std::find_if(keys.begin(), keys.end(),
                                 [key](const PreferenceKey& k) { return k.key == key; });
    return it == keys.end() ? nullptr : &*it;
}

const DefaultsDomain& registeredDefaults() {
    static const auto table = [] {
        DefaultsDomain domain;
        for (const auto& key : preferenceKeys()) {
            if (key.registered && key.defaultValue) {
                domain.emplace(key.key, *key.defaultValue);
            }
        }
        return domain;
    }();
    return table;
}

void registerPreferenceDefaults(Defaults& defaults) {
    defaults.registerDefaults(registeredDefaults());
}

namespace {

std::optional<DefaultsValue> registeredValue(std::string_view key) {
    const auto& table = registeredDefaults();
    const auto it = table.find(key);
    return it == table.end() ? std::nullopt : std::optional<DefaultsValue>(it->second);
}

std::optional<double> asDouble(const std::optional<DefaultsValue>& value) {
    if (!value) {
        return std::nullopt;
    }
    if (const auto* d = std::get_if<double>(&*value)) {
        return *d;
    }
    if (const auto* i = std::get_if<std::int64_t>(&*value)) {
        return static_cast<double>(*i);
    }
    return std::nullopt;
}

std::optional<bool> asBool(const std::optional<DefaultsValue>& value) {
    if (!value) {
        return std::nullopt;
    }
    if (const auto* b = std::get_if<bool>(&*value)) {
        return *b;
    }
    // A number stored by hand converts only when it is exactly 0 or 1.
    if (const auto d = asDouble(value); d && (*d == 0 || *d == 1)) {
        return *d == 1;
    }
    return std::nullopt;
}

} // namespace

double preferenceDouble(const Defaults& defaults, std::string_view key) {
    if (auto value = asDouble(defaults.object(key))) {
        return *value;
    }
    return asDouble(registeredValue(key)).value_or(0);
}

bool preferenceBool(const Defaults& defaults, std::string_view key) {
    if (auto value = asBool(defaults.object(key))) {
        return *value;
    }
    return asBool(registeredValue(key)).value_or(false);
}

double cardScaleFactor(const Defaults& defaults) {
    const auto percent = preferenceDouble(defaults, prefs::cardScale);
    // A NaN written by hand would pass through clamp and make every card NaN-sized.
    return std::isnan(percent) ? 1.0 : std::clamp(percent, 60.0, 160.0) / 100.0;
}

double windowGap(const Defaults& defaults) {
    const auto gap = preferenceDouble(defaults, prefs::windowGap);
    return std::isnan(gap) ? 0.0 : std::clamp(gap, 0.0, 40.0);
}

std::int64_t gridColumns(const Defaults& defaults) {
    const auto value = defaults.object(prefs::gridColumns);
    if (value) {
        if (const auto* i = std::get_if<std::int64_t>(&*value)) {
            return *i;
        }
    }
    return 12;
}

std::vector<std::string> decodeIgnoredApps(std::string_view stored) {
    std::vector<std::string> identifiers;
    std::size_t start = 0;
    while (start <= stored.size()) {
        const auto end = std::min(stored.find('\n', start), stored.size());
        if (end > start) {
            identifiers.emplace_back(stored.substr(start, end - start));
        }
        start = end + 1;
    }
    return identifiers;
}

std::string encodeIgnoredApps(const std::vector<std::string>& identifiers) {
    std::string joined;
    for (std::size_t i = 0; i < identifiers.size(); ++i) {
        if (i > 0) {
            joined.push_back('\n');
        }
        joined += identifiers[i];
    }
    return joined;
}

std::vector<std::string> ignoredApps(const Defaults& defaults) {
    const auto value = defaults.object(prefs::ignoredApps);
    if (value) {
        if (const auto* s = std::get_if<std::string>(&*value)) {
            return decodeIgnoredApps(*s);
        }
    }
    return {};
}

bool setIgnoredApps(Defaults& defaults, const std::vector<std::string>& identifiers) {
    return defaults.set(prefs::ignoredApps, encodeIgnoredApps(identifiers));
}

namespace {

constexpr std::array<std::pair<AppLanguage, std::string_view>, 7> languageNames{{
    {AppLanguage::system, "system"},
    {AppLanguage::en, "en"},
    {AppLanguage::ru, "ru"},
    {AppLanguage::fr, "fr"},
    {AppLanguage::es, "es"},
    {AppLanguage::el, "el"},
    {AppLanguage::de, "de"},
}};

constexpr std::array<std::pair<AppearanceChoice, std::string_view>, 3> appearanceNames{{
    {AppearanceChoice::system, "system"},
    {AppearanceChoice::light, "light"},
    {AppearanceChoice::dark, "dark"},
}};

} // namespace

std::string_view rawValue(AppLanguage language) {
    for (const auto& [value, name] : languageNames) {
        if (value == language) {
            return name;
        }
    }
    return "en";
}

std::optional<AppLanguage> appLanguageFromRaw(std::string_view raw) {
    for (const auto& [value, name] : languageNames) {
        if (name == raw) {
            return value;
        }
    }
    return std::nullopt;
}

std::string_view rawValue(AppearanceChoice choice) {
    for (const auto& [value, name] : appearanceNames) {
        if (value == choice) {
            return name;
        }
    }
    return "system";
}

std::optional<AppearanceChoice> appearanceFromRaw(std::string_view raw) {
    for (const auto& [value, name] : appearanceNames) {
        if (name == raw) {
            return value;
        }
    }
    return std::nullopt;
}

bool usesDarkScheme(std::string_view appearanceRaw, bool systemPrefersDark) {
    switch (appearanceFromRaw(appearanceRaw).value_or(AppearanceChoice::system)) {
    case AppearanceChoice::light:
        return false;
    case AppearanceChoice::dark:
        return true;
    case AppearanceChoice::system:
        break;
    }
    return systemPrefersDark;
}

AppLanguage currentLanguage(const Defaults& defaults) {
    const auto value = defaults.object(prefs::appLanguage);
    if (value) {
        if (const auto* s = std::get_if<std::string>(&*value)) {
            return appLanguageFromRaw(*s).value_or(AppLanguage::en);
        }
    }
    return AppLanguage::en;
}

bool applyLanguage(Defaults& defaults, AppLanguage language) {
    if (language == AppLanguage::system) {
        return defaults.remove(prefs::appleLanguages);
    }
    return defaults.set(prefs::appleLanguages,
                        std::vector<std::string>{std::string(rawValue(language))});
}

std::string languageInEffect(const Defaults& defaults, std::string_view systemLocale,
                             const std::vector<std::string>& shipped) {
    const auto isShipped = [&shipped](std::string_view code) {
        return std::find(shipped.begin(), shipped.end(), code) != shipped.end();
    };
    const auto override = defaults.object(prefs::appleLanguages);
    if (override) {
        if (const auto* list = std::get_if<std::vector<std::string>>(&*override)) {
            if (!list->empty() && isShipped(list->front())) {
                return list->front();
            }
        }
    }
    // "de_DE.UTF-8" and "el-GR" both name their language in the first two letters.
    const auto code = std::string(systemLocale.substr(0, systemLocale.find_first_of("_-.@")));
    if (isShipped(code)) {
        return code;
    }
    return "en";
}

std::string interfaceLanguage(const Defaults& defaults, std::string_view systemLocale,
                              const std::vector<std::string>& shipped) {
    const auto choice = currentLanguage(defaults);
    if (choice == AppLanguage::system) {
        return languageInEffect(defaults, systemLocale, shipped);
    }
    return std::string(rawValue(choice));
}

std::string shortcutKey(WindowCommand command) {
    return std::string(prefs::shortcutPrefix) + std::string(rawValue(command));
}

} // namespace tessera
