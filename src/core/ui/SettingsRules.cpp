#include "SettingsRules.h"

#include "../backup/BackupService.h"
#include "../model/StringTables.h"

namespace tessera {

std::string languageTitle(const LanguageOption& option, const Localizer& localizer) {
    return option.localizedTitle ? localizer.localized(option.title) : std::string(option.title);
}

AppLanguage chosenLanguage(const Defaults& defaults) {
    return currentLanguage(defaults);
}

std::string chooseLanguage(Defaults& defaults, AppLanguage language) {
    if (!defaults.set(prefs::appLanguage, std::string(rawValue(language)))) {
        return defaults.lastError();
    }
    if (!applyLanguage(defaults, language)) {
        return defaults.lastError();
    }
    return {};
}

std::string automaticCopiesFooter(const Localizer& localizer) {
    return localizedFormat(localizer,
                           "Before every import Tessera saves the current state as an automatic "
                           "copy. The last %lld are kept.",
                           {std::to_string(automaticCopiesKept)});
}

} // namespace tessera
