#pragma once

#include "core/model/StringTables.h"

#include <memory>

namespace tessera {

// The tables compiled into the program, parsed once per call. A malformed table is caught by
// the unit tests; at run time it aborts, as any other broken resource of the program would.
std::shared_ptr<const StringTables> shippedStringTables();

} // namespace tessera
