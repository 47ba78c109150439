// Global shortcuts as key grabs on a private X server, pressed through XTest like a real
// keyboard, with a second client that holds grabs of its own. A press right after the keyboard
// map is written back is tested on tesseractl as a whole (RunShortcutKeyboardMap).

#include "PortTest.h"

#include "core/model/Records.h"
#include "platform/linux/MacKeyCodes.h"
#include "platform/sim/SimLog.h"
#include "platform/x11/X11Hotkeys.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <bit>
#include <cstdlib>
#include <memory>
#include <string>

using namespace tessera;
using tessera::x11test::OtherClient;
using tessera::x11test::XServer;

namespace {

constexpr std::uint32_t leftArrow = 123;
constexpr std::uint32_t controlOption = carbon::controlKey | carbon::optionKey;
constexpr std::uint16_t controlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

using ModifierMap = std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)>;

ModifierMap modifierMap(xcb_connection_t* xcb) {
    return {xcb_get_modifier_mapping_reply(xcb, xcb_get_modifier_mapping(xcb), nullptr),
            &std::free};
}

// Whether the modifier (0 to 7) holds the keycode; with keycode 0, whether it holds none.
bool modifierHolds(const ModifierMap& map, int modifier, std::uint8_t keycode) {
    const auto* codes = xcb_get_modifier_mapping_keycodes(map.get());
    bool any = false;
    for (int index = 0; index < map->keycodes_per_modifier; ++index) {
        const auto code = codes[modifier * map->keycodes_per_modifier + index];
        any = any || (keycode == 0 ? code != 0 : code == keycode);
    }
    return keycode == 0 ? !any : any;
}

class X11HotkeysTest : public tessera::x11test::PortTest {
protected:
    void SetUp() override {
        handler = hotkeys->installHandler([this](HotkeyID id) { pressed.push_back(id.id); });
        leftKeycode = server.keycodeOf(XK_Left).value_or(0);
        numLock = numLockModifier();
        ASSERT_NE(numLock, 0) << "the test server has Num Lock on a modifier";
    }

    // The modifier bit Num Lock sets, from the server's modifier map.
    std::uint16_t numLockModifier() {
        const auto map = modifierMap(server.connection());
        const auto code = server.keycodeOf(XK_Num_Lock);
        for (int modifier = 0; map && code && modifier < 8; ++modifier) {
            if (modifierHolds(map, modifier, *code)) {
                return static_cast<std::uint16_t>(1u << modifier);
            }
        }
        return 0;
    }

    HotkeyRegistration registerLeft(std::uint32_t id, std::uint32_t modifiers = controlOption) {
        return hotkeys->registerHotkey(leftArrow, modifiers, HotkeyID{hotkeySignature, id});
    }

    // Presses the chord and waits until the handlers have heard of it.
    void pressAndWait(const std::vector<std::string>& modifiers, std::size_t expectedCount) {
        server.chord(modifiers, "Left");
        ASSERT_TRUE(waitDispatching([&] { return pressed.size() >= expectedCount; }))
            << "the handler heard " << pressed.size() << " presses";
    }

    void toggle(const char* lockKey) {
        server.key(lockKey, true);
        server.key(lockKey, false);
    }

    // Each of the lock variants of Control+Alt+Left another client can (0) or can't grab.
    void expectOthersGrab(const std::vector<std::uint16_t>& locks, int expected) {
        OtherClient other(server);
        for (const auto lock : locks) {
            EXPECT_EQ(other.grab(leftKeycode, controlAlt | lock), expected) << "variant " << lock;
        }
    }

    std::unique_ptr<X11Hotkeys> hotkeys = std::make_unique<X11Hotkeys>(*connection, log);
    tessera::Connection handler;
    std::vector<std::uint32_t> pressed;
    std::uint8_t leftKeycode = 0;
    std::uint16_t numLock = 0;
};

TEST(MacKeyCodes, EveryCodeTravelsToAKeysymAndBack) {
    int mapped = 0;
    for (std::uint32_t code = 0; code < 128; ++code) {
        if (const auto keysym = keysymForMacKeyCode(code)) {
            ++mapped;
            EXPECT_EQ(macKeyCodeForKeysym(*keysym), code) << "code " << code;
        }
    }
    EXPECT_GT(mapped, 100);
    // What the keyboard reports with Shift, Caps Lock or Num Lock is still the same key.
    EXPECT_EQ(macKeyCodeForKeysym(XK_A), 0);
    EXPECT_EQ(macKeyCodeForKeysym(XK_ISO_Left_Tab), 48) << "Shift+Tab is still the Tab key";
    EXPECT_EQ(macKeyCodeForKeysym(XK_KP_Home), 0x59) << "keypad 7 with Num Lock off";
}

TEST_F(X11HotkeysTest, APressReachesEveryHandlerWhateverTheLockKeysAndHeldKeysAreRefusedWhole) {
    EXPECT_EQ(hotkeys->registerHotkey(0x34, controlOption, {}).status, HotkeyStatus::invalid)
        << "no key has that code";
    std::optional<std::uint32_t> missing;
    for (std::uint32_t code = 0; code < 128 && !missing; ++code) {
        if (const auto keysym = keysymForMacKeyCode(code); keysym && !server.keycodeOf(*keysym)) {
            missing = code;
        }
    }
    ASSERT_TRUE(missing) << "every key of the table is on the test keyboard";
    const auto result = hotkeys->registerHotkey(*missing, controlOption, {});
    EXPECT_EQ(result.status, HotkeyStatus::invalid) << "key code " << *missing;
    EXPECT_FALSE(result.ref);

    const auto first = registerLeft(1);
    ASSERT_TRUE(first.registered());
    const auto again = registerLeft(2);
    EXPECT_EQ(again.status, HotkeyStatus::alreadyTaken);
    EXPECT_FALSE(again.ref);
    EXPECT_EQ(registerLeft(3, controlOption | 0x400).status, HotkeyStatus::alreadyTaken)
        << "Caps Lock is no part of a combination";
    ASSERT_TRUE(registerLeft(4, carbon::controlKey).registered()) << "other modifiers are free";
    const std::vector<std::uint16_t> allLocks{
        0, XCB_MOD_MASK_LOCK, numLock, static_cast<std::uint16_t>(numLock | XCB_MOD_MASK_LOCK)};
    expectOthersGrab(allLocks, XCB_ACCESS);

    // Unregistered, every variant is free again (requests of two clients are ordered only by a
    // round trip).
    hotkeys->unregisterHotkey(*first.ref);
    connection->sync();
    expectOthersGrab(allLocks, 0);

    // Another client holds only the Num Lock variant, which we would ask for after the plain
    // and Caps Lock ones: the refusal must take those back.
    OtherClient other(server);
    ASSERT_EQ(other.grab(leftKeycode, controlAlt | numLock), 0);
    const auto refused = registerLeft(5);
    EXPECT_EQ(refused.status, HotkeyStatus::alreadyTaken);
    EXPECT_FALSE(refused.ref);
    expectOthersGrab({0, XCB_MOD_MASK_LOCK}, 0);
    toggle("Num_Lock");
    server.chord({"Control_L", "Alt_L"}, "Left");
    EXPECT_TRUE(server.waitUntil([&] { return other.keyPresses() == 1; }))
        << "the other client's grab still works";
    toggle("Num_Lock");

    other.ungrab(leftKeycode, controlAlt | numLock);
    ASSERT_TRUE(registerLeft(6).registered());
    ASSERT_TRUE(registerLeft(8, controlOption | carbon::shiftKey).registered());
    std::vector<std::uint32_t> second;
    auto secondHandler = hotkeys->installHandler([&](HotkeyID id) {
        EXPECT_EQ(id.signature, hotkeySignature);
        second.push_back(id.id);
    });
    pressAndWait({"Control_L", "Alt_L"}, 1);
    toggle("Num_Lock");
    pressAndWait({"Control_L", "Alt_L"}, 2);
    toggle("Caps_Lock");
    pressAndWait({"Control_L", "Alt_L"}, 3);
    pressAndWait({"Control_L", "Alt_L", "Shift_L"}, 4);
    EXPECT_EQ(pressed, (std::vector<std::uint32_t>{6, 6, 6, 8}));
    EXPECT_EQ(second, pressed);
    secondHandler.disconnect();
    pressAndWait({"Control_L", "Alt_L"}, 5);
    EXPECT_EQ(second.size(), 4u) << "an ended handler hears nothing more";
}

TEST_F(X11HotkeysTest, TheGrabsFollowTheKeyToItsNewKeycodeAndNumLockToItsNewModifier) {
    ASSERT_TRUE(registerLeft(9).registered());
    // A keycode the map leaves empty, and a modifier that holds no key.
    std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> symbols(
        xcb_key_symbols_alloc(server.connection()), xcb_key_symbols_free);
    int unused = 255;
    while (unused >= 8 && xcb_key_symbols_get_keysym(symbols.get(), std::uint8_t(unused), 0) != 0) {
        --unused;
    }
    ASSERT_GE(unused, 8);
    const auto map = modifierMap(server.connection());
    int movedIndex = 3;
    while (movedIndex < 8 && !modifierHolds(map, movedIndex, 0)) {
        ++movedIndex;
    }
    ASSERT_LT(movedIndex, 8) << "the test server has no free modifier";
    const auto moved = static_cast<std::uint16_t>(1u << movedIndex);
    const auto oldModifier = "mod" + std::to_string(std::countr_zero(numLock) - 2);
    const auto newModifier = "mod" + std::to_string(movedIndex - 2);
    const auto oldKeycode = leftKeycode;
    ASSERT_EQ(server.run({"xmodmap", "-e", "keycode " + std::to_string(oldKeycode) + " =", "-e",
                          "keycode " + std::to_string(unused) + " = Left", "-e",
                          "remove " + oldModifier + " = Num_Lock", "-e",
                          "add " + newModifier + " = Num_Lock"}),
              0);
    // xmodmap has finished, so the server has sent its notices before answering this.
    connection->sync();
    connection->dispatchPending();

    toggle("Num_Lock");
    pressAndWait({"Control_L", "Alt_L"}, 1);
    EXPECT_EQ(pressed, std::vector<std::uint32_t>{9});
    leftKeycode = static_cast<std::uint8_t>(unused);
    expectOthersGrab(
        {0, XCB_MOD_MASK_LOCK, moved, static_cast<std::uint16_t>(moved | XCB_MOD_MASK_LOCK)},
        XCB_ACCESS);
    expectOthersGrab({numLock}, 0);
    leftKeycode = oldKeycode;
    expectOthersGrab({0}, 0);
}

} // namespace
