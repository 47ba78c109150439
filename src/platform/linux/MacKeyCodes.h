#pragma once

#include <cstdint>
#include <optional>

namespace tessera {

// Shortcuts are stored with macOS virtual key codes on every platform, so files move between
// machines. These translate between those codes and keysyms (layout-independent names of keys:
// XK_a, XK_Left, XK_F5, ...). Keysyms are X's names, and xkbcommon gives Wayland the same values,
// so the table serves every Linux backend and the windows' own key presses alike. Letters and
// digits map to the US positions the codes name.
std::optional<std::uint32_t> keysymForMacKeyCode(std::uint32_t macKeyCode);
// Lower-case letters and upper-case letters both give the letter's code.
std::optional<std::uint16_t> macKeyCodeForKeysym(std::uint32_t keysym);

} // namespace tessera
