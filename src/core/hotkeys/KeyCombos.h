#pragma once

#include "../model/Records.h"
#include "../platform/Localizer.h"

#include <cstdint>
#include <string>

namespace tessera {

// Device-independent modifier flags of a key event. Backends report their modifiers in these
// bits so that recording a shortcut works the same way on every platform.
namespace eventFlag {
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
// The four flags a shortcut may carry; Caps Lock, Function and the rest fall outside it.
inline constexpr std::uint64_t modifierMask = 0x1E0000;
} // namespace eventFlag

// Carbon bits of the modifier flags present in eventFlags (masked first, so Caps Lock,
// Function and anything else are dropped).
std::uint32_t carbonModifiers(std::uint64_t eventFlags);
// The event flags that correspond to Carbon bits; other Carbon bits are ignored. Used to build
// the text of shortcuts that were never typed, such as the defaults.
std::uint64_t eventFlagsFromCarbon(std::uint32_t carbonModifiers);

// The name printed on the key of the US layout (A, F1, ↩, ←, ...) for the low 16 bits of
// keyCode; "Key %lld" in the current language for codes without a name.
std::string keyName(std::uint32_t keyCode, const Localizer& localizer);

// The modifier glyphs, always in the order ⌃⌥⇧⌘, followed by the key name, no separator.
std::string shortcutText(std::uint32_t keyCode, std::uint64_t maskedFlags,
                         const Localizer& localizer);

// The shortcut a key press makes: its code, its modifiers as Carbon bits and its text, which
// is fixed now and never recomputed.
KeyCombo keyCombo(std::uint32_t keyCode, std::uint64_t eventFlags, const Localizer& localizer);

// The shortcut as Linux desktops write it, e.g. "Ctrl+Alt+←": Ctrl, Alt, Shift, Super, then
// the key, joined with "+". Computed from the key code and modifiers, not from the stored
// display text, which keeps the glyph form.
std::string linuxShortcutText(const KeyCombo& combo, const Localizer& localizer);

} // namespace tessera
