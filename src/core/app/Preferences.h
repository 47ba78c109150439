#pragma once

#include "../placement/WindowCommand.h"
#include "../platform/Defaults.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// Every preference key. Values are read at each use and never cached.
namespace prefs {
inline constexpr std::string_view snapOnDrag = "snapOnDrag";
inline constexpr std::string_view restoreOnDragOut = "restoreOnDragOut";
inline constexpr std::string_view cardScale = "cardScale";
inline constexpr std::string_view windowGap = "windowGap";
inline constexpr std::string_view tightEdges = "tightEdges";
inline constexpr std::string_view gridColumns = "gridColumns";
inline constexpr std::string_view returnToZonesOnReconnect = "returnToZonesOnReconnect";
inline constexpr std::string_view openInLastZone = "openInLastZone";
inline constexpr std::string_view ignoredApps = "ignoredApps";
inline constexpr std::string_view appearance = "appearance";
inline constexpr std::string_view appLanguage = "appLanguage";
inline constexpr std::string_view showsMenuBarIcon = "showsMenuBarIcon";
inline constexpr std::string_view migratedFromSandbox = "migratedFromSandbox";
inline constexpr std::string_view appleLanguages = "AppleLanguages";
inline constexpr std::string_view shortcutPrefix = "shortcut.";
} // namespace prefs

enum class PreferenceType { boolean, integer, real, string, data, stringArray };

std::string_view typeName(PreferenceType type);

// One row of the key table. The default is what a control shows for an unset key; only the
// registered ones also answer reads through the Defaults port.
struct PreferenceKey {
    std::string key;
    PreferenceType type;
    std::optional<DefaultsValue> defaultValue;
    bool registered = false;
};

// The whole table, the seven command shortcut keys included, in a stable order.
const std::vector<PreferenceKey>& preferenceKeys();
const PreferenceKey* findPreferenceKey(std::string_view key);

// The defaults registered at start, before anything reads a preference.
const DefaultsDomain& registeredDefaults();
void registerPreferenceDefaults(Defaults& defaults);

// Typed readers: the stored value when it converts to the type, else the registered default.
// Only keys of registeredDefaults are read this way.
double preferenceDouble(const Defaults& defaults, std::string_view key);
bool preferenceBool(const Defaults& defaults, std::string_view key);

// "cardScale" clamped to 60...160 percent, as a factor (1.0 for 100 percent).
double cardScaleFactor(const Defaults& defaults);
// "windowGap" clamped to 0...40 points.
double windowGap(const Defaults& defaults);
// "gridColumns", 12 when unset or not an integer.
std::int64_t gridColumns(const Defaults& defaults);

// "ignoredApps": identifiers joined by line feeds; empty pieces dropped, pieces not trimmed.
std::vector<std::string> decodeIgnoredApps(std::string_view stored);
std::string encodeIgnoredApps(const std::vector<std::string>& identifiers);
std::vector<std::string> ignoredApps(const Defaults& defaults);
bool setIgnoredApps(Defaults& defaults, const std::vector<std::string>& identifiers);

enum class AppLanguage { system, en, ru, fr, es, el, de };
enum class AppearanceChoice { system, light, dark };

std::string_view rawValue(AppLanguage language);
std::optional<AppLanguage> appLanguageFromRaw(std::string_view raw);
std::string_view rawValue(AppearanceChoice choice);
std::optional<AppearanceChoice> appearanceFromRaw(std::string_view raw);
// Whether the windows are drawn dark: the choice, or the desktop's own preference for "system"
// and for a stored value that isn't one of the choices.
bool usesDarkScheme(std::string_view appearanceRaw, bool systemPrefersDark);

// "appLanguage" as a language; missing or unrecognised gives English.
AppLanguage currentLanguage(const Defaults& defaults);
// Sets (or for system, removes) the "AppleLanguages" override. False when the change could not
// be made durable (the reason is the defaults' lastError()).
bool applyLanguage(Defaults& defaults, AppLanguage language);
// The language the process runs in: the "AppleLanguages" override when it names a shipped
// language, else the system locale's language when shipped, else English.
std::string languageInEffect(const Defaults& defaults, std::string_view systemLocale,
                             const std::vector<std::string>& shipped);

// The language the interface shows: "appLanguage" as chosen, with "system" resolved as the
// process resolves it (languageInEffect).
std::string interfaceLanguage(const Defaults& defaults, std::string_view systemLocale,
                              const std::vector<std::string>& shipped);

// "shortcut." followed by the command's raw value.
std::string shortcutKey(WindowCommand command);

} // namespace tessera
