#pragma once

#include <cstdint>

namespace tessera {

// A process of the system, as the accessibility, workspace and window-list services name it.
// Signed 32 bits so the value passes to every platform unchanged.
using ProcessId = std::int32_t;

} // namespace tessera
