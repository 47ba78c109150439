#include "core/hotkeys/KeyCombos.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace tessera;

namespace {

// Raw flag values as a key event delivers them, written out rather than taken from the code
// under test.
constexpr std::uint64_t capsLock = 0x10000;
constexpr std::uint64_t shift = 0x20000;
constexpr std::uint64_t control = 0x40000;
constexpr std::uint64_t option = 0x80000;
constexpr std::uint64_t command = 0x100000;
constexpr std::uint64_t numericPad = 0x200000;
constexpr std::uint64_t function = 0x800000;

class KeyCombosTest : public ::testing::Test {
protected:
    TableLocalizer english = makeSimLocalizer("en");
    TableLocalizer german = makeSimLocalizer("de");
};

} // namespace

TEST_F(KeyCombosTest, EventFlagsConvertToCarbonBitsAndBack) {
    // Caps Lock, Function and the numeric-pad flag never become part of a shortcut, and the
    // device-dependent low bits must not be mistaken for Carbon bits that share values.
    EXPECT_EQ(carbonModifiers(capsLock | option | command), 0x900u);
    EXPECT_EQ(carbonModifiers(control | option), 0x1800u);
    EXPECT_EQ(carbonModifiers(function | numericPad | capsLock), 0u);
    EXPECT_EQ(carbonModifiers(0x100 | 0x200 | 0x800 | 0x1000), 0u);
    EXPECT_EQ(carbonModifiers(0xFFFFFFFFFFFFFFFFull), 0x1B00u);
    // Carbon's Caps Lock (0x400) and right-hand modifier bits have no event flag here.
    EXPECT_EQ(eventFlagsFromCarbon(0x400 | 0x2000 | 0x4000 | 0x8000), 0u);

    // Every subset of the four modifiers goes there and back, and shows its glyphs as a
    // subsequence of ⌃⌥⇧⌘ whatever the order of the flags.
    const std::vector<std::pair<std::uint64_t, std::string>> inOrder{
        {control, "⌃"}, {option, "⌥"}, {shift, "⇧"}, {command, "⌘"}};
    for (unsigned subset = 0; subset < 16; ++subset) {
        std::uint64_t flags = 0;
        std::string expected;
        for (unsigned bit = 0; bit < 4; ++bit) {
            if ((subset & (1u << bit)) != 0) {
                flags |= inOrder[bit].first;
                expected += inOrder[bit].second;
            }
        }
        EXPECT_EQ(eventFlagsFromCarbon(carbonModifiers(flags)), flags) << subset;
        EXPECT_EQ(shortcutText(1, flags, english), expected + "S") << subset;
    }
    EXPECT_EQ(keyCombo(0, capsLock | shift | command, english), (KeyCombo{0, 0x300, "⇧⌘A"}));
    EXPECT_EQ(keyCombo(105, function | control, german), (KeyCombo{105, 0x1000, "⌃Taste 105"}));
}

TEST_F(KeyCombosTest, CodesAreNamedAsOnTheUsKeyboardAndOthersByTheLocalizedKeyText) {
    const std::vector<std::pair<std::uint32_t, std::string>> names{
        {0, "A"},
        {10, "Key 10"},
        {11, "B"},
        {42, "\\"},
        {36, "↩"},
        {53, "⎋"},
        {54, "Key 54"},
        {122, "F1"},
        {111, "F12"},
        {123, "←"},
        {128, "Key 128"},
        // Only the low 16 bits name the key, and the text shows those bits.
        {65536, "A"},
        {65536 + 123, "←"},
        {65536 + 105, "Key 105"},
        {0xFFFFFFFF, "Key 65535"},
    };
    for (const auto& [code, name] : names) {
        EXPECT_EQ(keyName(code, english), name) << "code " << code;
    }
    EXPECT_EQ(keyName(105, german), "Taste 105");
}

TEST_F(KeyCombosTest, LinuxTextSpellsModifiersAndSpecialKeys) {
    EXPECT_EQ(linuxShortcutText({123, 0x1800, "⌃⌥←"}, english), "Ctrl+Alt+←");
    EXPECT_EQ(linuxShortcutText({7, 0x1B00, ""}, english), "Ctrl+Alt+Shift+Super+X");
    EXPECT_EQ(linuxShortcutText({105, 0x100, ""}, english), "Super+Key 105");
    EXPECT_EQ(linuxShortcutText({36, 0x900, "⌥⌘↩"}, english), "Alt+Super+Return");
    EXPECT_EQ(linuxShortcutText({48, 0, ""}, english), "Tab");
    EXPECT_EQ(linuxShortcutText({51, 0, ""}, english), "Backspace");
    EXPECT_EQ(linuxShortcutText({53, 0, ""}, english), "Escape");

    EXPECT_EQ(linuxShortcutText({49, 0x1200, ""}, german), "Strg+Umschalt+Leertaste");

    // The stored glyph text plays no part, and neither do Carbon bits outside the four.
    EXPECT_EQ(linuxShortcutText({124, 0x1800 | 0x400, "something else"}, english), "Ctrl+Alt+→");
}
