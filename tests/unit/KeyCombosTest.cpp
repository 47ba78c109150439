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

// The US keyboard as it is laid out by key code, built from runs of characters so that a slip
// in one entry of the implementation's table does not repeat itself here.
std::map<std::uint32_t, std::string> usKeyboard() {
    std::map<std::uint32_t, std::string> names;
    const auto run = [&names](std::uint32_t first, std::string_view characters) {
        for (std::size_t i = 0; i < characters.size(); ++i) {
            if (characters[i] != '#') { // '#' marks a code that is not part of the run
                names[first + static_cast<std::uint32_t>(i)] = std::string(1, characters[i]);
            }
        }
    };
    run(0, "ASDFHGZXCV#BQWERYT123465=97-80]OU[IP#LJ'K;\\,/NM.##`");
    names[36] = "↩";
    names[48] = "⇥";
    names[49] = "␣";
    names[51] = "⌫";
    names[53] = "⎋";
    const std::vector<std::uint32_t> functionKeys{122, 120, 99,  118, 96,  97,
                                                  98,  100, 101, 109, 103, 111};
    for (std::size_t i = 0; i < functionKeys.size(); ++i) {
        names[functionKeys[i]] = "F" + std::to_string(i + 1);
    }
    names[123] = "←";
    names[124] = "→";
    names[125] = "↓";
    names[126] = "↑";
    return names;
}

// Codes below 128 that have no name of their own.
std::set<std::uint32_t> unnamedCodesBelow128() {
    std::set<std::uint32_t> codes{10, 52, 102, 110, 119, 121, 127};
    for (std::uint32_t code = 54; code <= 95; ++code) {
        codes.insert(code);
    }
    for (std::uint32_t code = 104; code <= 108; ++code) {
        codes.insert(code);
    }
    for (std::uint32_t code = 112; code <= 117; ++code) {
        codes.insert(code);
    }
    return codes;
}

class KeyCombosTest : public ::testing::Test {
protected:
    TableLocalizer english = makeSimLocalizer("en");
    TableLocalizer german = makeSimLocalizer("de");
};

} // namespace

TEST_F(KeyCombosTest, EventFlagsConvertToCarbonBits) {
    EXPECT_EQ(carbonModifiers(option | command), 0x900u);
    EXPECT_EQ(carbonModifiers(control | option), 0x1800u);
    EXPECT_EQ(carbonModifiers(control | option | command), 0x1900u);
    EXPECT_EQ(carbonModifiers(shift), 0x200u);
    EXPECT_EQ(carbonModifiers(0), 0u);

    // Caps Lock, Function and the numeric-pad flag never become part of a shortcut.
    EXPECT_EQ(carbonModifiers(capsLock | option | command), 0x900u);
    EXPECT_EQ(carbonModifiers(function | numericPad | capsLock), 0u);
    // The device-dependent low bits must not be mistaken for Carbon bits that share values.
    EXPECT_EQ(carbonModifiers(0x100 | 0x200 | 0x800 | 0x1000), 0u);
    EXPECT_EQ(carbonModifiers(0xFFFFFFFFFFFFFFFFull), 0x1B00u);
}

TEST_F(KeyCombosTest, CarbonBitsConvertBackToTheSameFlags) {
    const std::vector<std::uint64_t> flags{shift, control, option, command};
    for (unsigned subset = 0; subset < 16; ++subset) {
        std::uint64_t eventFlagsIn = 0;
        for (unsigned bit = 0; bit < 4; ++bit) {
            if ((subset & (1u << bit)) != 0) {
                eventFlagsIn |= flags[bit];
            }
        }
        EXPECT_EQ(eventFlagsFromCarbon(carbonModifiers(eventFlagsIn)), eventFlagsIn) << subset;
    }
    EXPECT_EQ(eventFlagsFromCarbon(0x1900), control | option | command);
    // Carbon's Caps Lock (0x400) and right-hand modifier bits have no event flag here.
    EXPECT_EQ(eventFlagsFromCarbon(0x400 | 0x2000 | 0x4000 | 0x8000), 0u);
}

TEST_F(KeyCombosTest, GlyphsFollowControlOptionShiftCommandWhateverTheFlags) {
    EXPECT_EQ(shortcutText(36, option | command, english), "⌥⌘↩");
    EXPECT_EQ(shortcutText(122, control | shift, english), "⌃⇧F1");
    EXPECT_EQ(shortcutText(0, 0, english), "A");
    EXPECT_EQ(shortcutText(123, command | shift | option | control, english), "⌃⌥⇧⌘←");

    // Every subset of the four modifiers shows its glyphs as a subsequence of ⌃⌥⇧⌘.
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
        EXPECT_EQ(shortcutText(1, flags, english), expected + "S") << subset;
    }
}

TEST_F(KeyCombosTest, AKeyPressBecomesACombo) {
    const auto combo = keyCombo(0, capsLock | shift | command, english);
    EXPECT_EQ(combo, (KeyCombo{0, 0x300, "⇧⌘A"}));

    const auto unnamed = keyCombo(105, function | control, german);
    EXPECT_EQ(unnamed, (KeyCombo{105, 0x1000, "⌃Taste 105"}));
}

TEST_F(KeyCombosTest, EveryCodeIsNamedAsOnTheUsKeyboard) {
    const auto names = usKeyboard();
    ASSERT_EQ(names.size(), 68u);
    const auto unnamed = unnamedCodesBelow128();
    for (std::uint32_t code = 0; code < 128; ++code) {
        const auto it = names.find(code);
        EXPECT_EQ(it == names.end(), unnamed.contains(code)) << "code " << code;
        const auto expected = it != names.end() ? it->second : "Key " + std::to_string(code);
        EXPECT_EQ(keyName(code, english), expected) << "code " << code;
    }
}

TEST_F(KeyCombosTest, CodesWithoutANameUseTheLocalizedKeyText) {
    EXPECT_EQ(keyName(105, english), "Key 105");
    EXPECT_EQ(keyName(105, german), "Taste 105");
    EXPECT_EQ(keyName(128, english), "Key 128");
    EXPECT_EQ(keyName(65535, english), "Key 65535");
    // Only the low 16 bits name the key, and the text shows those bits.
    EXPECT_EQ(keyName(65536, english), "A");
    EXPECT_EQ(keyName(65536 + 123, english), "←");
    EXPECT_EQ(keyName(65536 + 105, english), "Key 105");
    EXPECT_EQ(keyName(0xFFFFFFFF, english), "Key 65535");
}

TEST_F(KeyCombosTest, LinuxTextSpellsModifiersAndSpecialKeys) {
    EXPECT_EQ(linuxShortcutText({123, 0x1800, "⌃⌥←"}, english), "Ctrl+Alt+←");
    EXPECT_EQ(linuxShortcutText({7, 0x1B00, ""}, english), "Ctrl+Alt+Shift+Super+X");
    EXPECT_EQ(linuxShortcutText({122, 0, ""}, english), "F1");
    EXPECT_EQ(linuxShortcutText({105, 0x100, ""}, english), "Super+Key 105");

    EXPECT_EQ(linuxShortcutText({36, 0x900, "⌥⌘↩"}, english), "Alt+Super+Return");
    EXPECT_EQ(linuxShortcutText({48, 0, ""}, english), "Tab");
    EXPECT_EQ(linuxShortcutText({49, 0x200, ""}, english), "Shift+Space");
    EXPECT_EQ(linuxShortcutText({51, 0, ""}, english), "Backspace");
    EXPECT_EQ(linuxShortcutText({53, 0, ""}, english), "Escape");

    EXPECT_EQ(linuxShortcutText({49, 0x1200, ""}, german), "Strg+Umschalt+Leertaste");

    // The stored glyph text plays no part, and neither do Carbon bits outside the four.
    EXPECT_EQ(linuxShortcutText({124, 0x1800 | 0x400, "something else"}, english), "Ctrl+Alt+→");
}
