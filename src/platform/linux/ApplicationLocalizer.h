#pragma once

#include "core/model/StringTables.h"

namespace tessera {

class Defaults;

// The shipped string tables in the language Tessera's programs show: "appLanguage", with
// "system" resolved from $LANG. The application and tesseractl speak the same language.
TableLocalizer applicationLocalizer(const Defaults& defaults);

} // namespace tessera
