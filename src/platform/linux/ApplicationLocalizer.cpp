#include "ApplicationLocalizer.h"

#include "ShippedStrings.h"
#include "core/app/Preferences.h"

#include <cstdlib>

namespace tessera {

TableLocalizer applicationLocalizer(const Defaults& defaults) {
    auto tables = shippedStringTables();
    const char* locale = std::getenv("LANG");
    auto language = interfaceLanguage(defaults, locale ? locale : "", tables->languages());
    return TableLocalizer(std::move(tables), std::move(language));
}

} // namespace tessera
