#include "KeyCombos.h"

#include "../model/StringTables.h"

#include <array>
#include <string_view>

namespace tessera {

namespace {

struct ModifierRow {
    std::uint64_t flag;
    std::uint32_t carbonBit;
    std::string_view glyph;
};

// Display order of the glyphs: Control, Option, Shift, Command.
constexpr std::array<ModifierRow, 4> modifierRows{{
    {eventFlag::control, carbon::controlKey, "\u2303"},
    {eventFlag::option, carbon::optionKey, "\u2325"},
    {eventFlag::shift, carbon::shiftKey, "\u21E7"},
    {eventFlag::command, carbon::cmdKey, "\u2318"},
}};

struct NamedKey {
    std::uint32_t code;
    std::string_view name;
};

// Names printed on the keys of the US layout, by virtual key code. The actual keyboard layout
// is deliberately not consulted: a shortcut reads the same wherever it was recorded.
// clang-format off
constexpr NamedKey namedKeys[] = {
    // Letters
    {0, "A"}, {1, "S"}, {2, "D"}, {3, "F"}, {4, "H"}, {5, "G"}, {6, "Z"}, {7, "X"}, {8, "C"},
    {9, "V"}, {11, "B"}, {12, "Q"}, {13, "W"}, {14, "E"}, {15, "R"}, {16, "Y"}, {17, "T"},
    {31, "O"}, {32, "U"}, {34, "I"}, {35, "P"}, {37, "L"}, {38, "J"}, {40, "K"}, {45, "N"},
    {46, "M"},
    // Digits
    {18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}, {22, "6"}, {23, "5"}, {25, "9"}, {26, "7"},
    {28, "8"}, {29, "0"},
    // Punctuation
    {24, "="}, {27, "-"}, {30, "]"}, {33, "["}, {39, "'"}, {41, ";"}, {42, "\\"}, {43, ","},
    {44, "/"}, {47, "."}, {50, "`"},
    // Return, Tab, Space, Delete, Escape
    {36, "\u21A9"}, {48, "\u21E5"}, {49, "\u2423"}, {51, "\u232B"}, {53, "\u238B"},
    // Function keys
    {122, "F1"}, {120, "F2"}, {99, "F3"}, {118, "F4"}, {96, "F5"}, {97, "F6"}, {98, "F7"},
    {100, "F8"}, {101, "F9"}, {109, "F10"}, {103, "F11"}, {111, "F12"},
    // Arrows
    {123, "\u2190"}, {124, "\u2192"}, {125, "\u2193"}, {126, "\u2191"},
};
// clang-format on

// Empty for codes without a name.
constexpr std::string_view namedKey(std::uint32_t code) {
    for (const auto& key : namedKeys) {
        if (key.code == code) {
            return key.name;
        }
    }
    return {};
}

constexpr std::uint32_t virtualKeyCode(std::uint32_t keyCode) {
    return keyCode & 0xFFFF;
}

} // namespace

std::uint32_t carbonModifiers(std::uint64_t eventFlags) {
    const auto masked = eventFlags & eventFlag::modifierMask;
    std::uint32_t bits = 0;
    for (const auto& row : modifierRows) {
        if ((masked & row.flag) != 0) {
            bits |= row.carbonBit;
        }
    }
    return bits;
}

std::uint64_t eventFlagsFromCarbon(std::uint32_t carbonModifiers) {
    std::uint64_t flags = 0;
    for (const auto& row : modifierRows) {
        if ((carbonModifiers & row.carbonBit) != 0) {
            flags |= row.flag;
        }
    }
    return flags;
}

std::string keyName(std::uint32_t keyCode, const Localizer& localizer) {
    const auto code = virtualKeyCode(keyCode);
    if (const auto name = namedKey(code); !name.empty()) {
        return std::string(name);
    }
    return localizedFormat(localizer, "Key %lld", {std::to_string(code)});
}

std::string shortcutText(std::uint32_t keyCode, std::uint64_t maskedFlags,
                         const Localizer& localizer) {
    std::string text;
    for (const auto& row : modifierRows) {
        if ((maskedFlags & eventFlag::modifierMask & row.flag) != 0) {
            text += row.glyph;
        }
    }
    return text + keyName(keyCode, localizer);
}

KeyCombo keyCombo(std::uint32_t keyCode, std::uint64_t eventFlags, const Localizer& localizer) {
    const auto masked = eventFlags & eventFlag::modifierMask;
    return KeyCombo{keyCode, carbonModifiers(masked), shortcutText(keyCode, masked, localizer)};
}

std::string linuxShortcutText(const KeyCombo& combo, const Localizer& localizer) {
    std::string text;
    const auto add = [&text](const std::string& part) { text += part + "+"; };
    const auto bits = combo.carbonModifiers;
    if ((bits & carbon::controlKey) != 0) {
        add(localizer.localized("Ctrl"));
    }
    if ((bits & carbon::optionKey) != 0) {
        add(localizer.localized("Alt"));
    }
    if ((bits & carbon::shiftKey) != 0) {
        add(localizer.localized("Shift"));
    }
    if ((bits & carbon::cmdKey) != 0) {
        add(localizer.localized("Super"));
    }
    // The Mac's glyphs for these keys mean little on a PC keyboard; its labels do. Code 51 is
    // the key PC keyboards call Backspace (the forward Delete key has a code of its own).
    switch (virtualKeyCode(combo.keyCode)) {
    case 36:
        return text + localizer.localized("Return");
    case 48:
        return text + localizer.localized("Tab");
    case 49:
        return text + localizer.localized("Space");
    case 51:
        return text + localizer.localized("Backspace");
    case 53:
        return text + localizer.localized("Escape");
    default:
        return text + keyName(combo.keyCode, localizer);
    }
}

} // namespace tessera
