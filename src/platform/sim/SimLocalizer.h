#pragma once

#include "ShippedStrings.h"
#include "core/model/StringTables.h"

#include <string>
#include <utility>

namespace tessera {

// The shipped tables in one language: the simulated desktop translates exactly as the real
// application does.
inline TableLocalizer makeSimLocalizer(std::string language = "en") {
    return TableLocalizer(shippedStringTables(), std::move(language));
}

} // namespace tessera
