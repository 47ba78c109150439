#pragma once

#include "../app/Preferences.h"
#include "../platform/Defaults.h"
#include "../platform/Localizer.h"

#include <array>
#include <string>
#include <string_view>

namespace tessera {

// One entry of the General pane's Language picker.
struct LanguageOption {
    AppLanguage language;
    // Each language is named in its own tongue, so someone who can't read the current interface
    // still finds theirs; only the system entry is a localization key.
    std::string_view title;
    bool localizedTitle = false;
};

inline constexpr std::array<LanguageOption, 7> languageOptions{{
    {AppLanguage::system, "System Language", true},
    {AppLanguage::en, "English", false},
    {AppLanguage::ru, "Русский", false},
    {AppLanguage::fr, "Français", false},
    {AppLanguage::es, "Español", false},
    {AppLanguage::el, "Ελληνικά", false},
    {AppLanguage::de, "Deutsch", false},
}};

// The title as the picker shows it in the current interface language.
std::string languageTitle(const LanguageOption& option, const Localizer& localizer);

// One entry of the theme picker; the title is a localization key.
struct AppearanceOption {
    AppearanceChoice choice;
    std::string_view title;
};

inline constexpr std::array<AppearanceOption, 3> appearanceOptions{{
    {AppearanceChoice::system, "System"},
    {AppearanceChoice::light, "Light"},
    {AppearanceChoice::dark, "Dark"},
}};

// What the Language picker shows as chosen: "appLanguage" when it holds a known value, else
// English, which is also the language applied at launch in that case.
AppLanguage chosenLanguage(const Defaults& defaults);

// Saves a choice of the Language picker at once: "appLanguage", then the "AppleLanguages"
// override the next launch reads (removed for the system language rather than written empty,
// so the system's own list applies). Returns the reason when either write could not be made
// durable, empty on success; the values hold for this run either way.
std::string chooseLanguage(Defaults& defaults, AppLanguage language);

// The Backup section's footer, naming how many automatic copies are kept.
std::string automaticCopiesFooter(const Localizer& localizer);

} // namespace tessera
