// System-wide mouse and keys through XInput2 raw events, and global shortcuts as key grabs, on a
// private X server driven by XTest as a physical device would be. Every step waits until the port
// has seen its event before the next one, so the pointer position each event reads is the one
// that step left. A shortcut pressed right after the keyboard map is written back is tested on
// tesseractl as a whole (RunShortcutKeys).

#include "PortTest.h"

#include "../unit/PlacementTestSupport.h"

#include "core/model/Records.h"
#include "platform/linux/MacKeyCodes.h"
#include "platform/sim/SimLog.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/X11Hotkeys.h"
#include "platform/x11/X11InputEvents.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xinput.h>

#include <bit>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

using namespace tessera;
using tessera::x11test::OtherClient;

namespace {

constexpr std::uint16_t escapeKeyCode = 53;
constexpr EventMask mouseDownMask = eventMaskBit(InputEventType::leftMouseDown);
constexpr EventMask keyDownMask = eventMaskBit(InputEventType::keyDown);

template <typename Event> std::vector<InputEventType> typesOf(const std::vector<Event>& events) {
    std::vector<InputEventType> types;
    for (const auto& event : events) {
        types.push_back(event.type);
    }
    return types;
}

class X11InputEventsTest : public tessera::x11test::PortTest {
protected:
    std::uint32_t selectedRawEvents() {
        auto* xcb = connection->xcb();
        std::unique_ptr<xcb_input_xi_get_selected_events_reply_t, decltype(&std::free)> reply(
            xcb_input_xi_get_selected_events_reply(
                xcb, xcb_input_xi_get_selected_events(xcb, connection->root()), nullptr),
            &std::free);
        std::uint32_t raw = 0;
        for (auto it = xcb_input_xi_get_selected_events_masks_iterator(reply.get()); it.rem > 0;
             xcb_input_event_mask_next(&it)) {
            if (it.data->deviceid == XCB_INPUT_DEVICE_ALL_MASTER && it.data->mask_len > 0) {
                raw |= *xcb_input_event_mask_mask(it.data);
            }
        }
        return raw;
    }

    void click() {
        server.button(1, true);
        server.button(1, false);
    }

    std::unique_ptr<X11InputEvents> input = std::make_unique<X11InputEvents>(*connection, log);
};

TEST_F(X11InputEventsTest, DeviceInputReachesTapsAndGlobalMonitorsOnceAndLocalOnesOnlyHandedIn) {
    ASSERT_TRUE(input->preflightListenEventAccess());
    // A drag begun before anyone listens comes as it is, without its press.
    server.pointerTo(50, 50);
    server.button(1, true);
    std::vector<TapEvent> tapped;
    std::vector<MonitorEvent> monitored;
    std::vector<MonitorEvent> keysOnly;
    std::vector<MonitorEvent> local;
    // The displays' pointer during an event is where the event found it, even after it moved.
    X11Displays displays(*connection);
    displays.sharePointer(input->sharedPointer());
    std::vector<Point> pointerDuringEvent;
    auto tap = input->createListenOnlyTap(dragEventMask | keyDownMask,
                                          [&](const TapEvent& event) { tapped.push_back(event); });
    ASSERT_TRUE(tap);
    const auto global =
        input->addGlobalMonitor(dragEventMask | keyDownMask,
                                [&](const MonitorEvent& event) { monitored.push_back(event); });
    const auto keys = input->addGlobalMonitor(keyDownMask, [&](const MonitorEvent& event) {
        keysOnly.push_back(event);
        if (keysOnly.size() == 3) {
            server.pointerTo(700, 600);
            pointerDuringEvent.push_back(displays.mouseLocation());
        }
    });
    // Local monitors serve Tessera's own windows: the devices never reach them, the toolkit's
    // events are handed in, and one may swallow an event so the later ones don't see it.
    const auto swallowEscape = input->addLocalMonitor(keyDownMask, [&](const MonitorEvent& event) {
        local.push_back(event);
        return event.keyCode == escapeKeyCode;
    });
    const auto watchAll = input->addLocalMonitor(dragEventMask, [&](const MonitorEvent& event) {
        local.push_back(event);
        pointerDuringEvent.push_back(displays.mouseLocation());
        return false;
    });
    const auto seen = [&](std::size_t count) {
        return waitDispatching([&] { return tapped.size() >= count && monitored.size() >= count; });
    };

    server.pointerTo(80, 90);
    server.button(1, false);
    ASSERT_TRUE(seen(2));
    // A move without the button is no event of the mask.
    server.pointerTo(100, 100);
    server.button(1, true);
    ASSERT_TRUE(seen(3));
    server.pointerTo(300, 250);
    ASSERT_TRUE(seen(4));
    // Alt is Option; pressing it alone is no key down.
    server.key(XK_Alt_L, true);
    server.pointerTo(310, 260);
    ASSERT_TRUE(seen(5));
    server.button(1, false);
    ASSERT_TRUE(seen(6));
    server.key(XK_Alt_L, false);
    // Other buttons are not the left mouse, and motion after the release is no drag. A key held
    // down repeats its press; a release may come twice.
    server.button(3, true);
    server.button(3, false);
    server.pointerTo(500, 400);
    for (const bool press : {true, true, false, false}) {
        server.key(XK_Escape, press);
    }
    ASSERT_TRUE(seen(8));
    // The flags are the modifiers held when the port handles the press, so they go down first.
    for (const auto modifier : {XK_Shift_L, XK_Control_L, XK_Super_L}) {
        server.key(modifier, true);
    }
    server.key(XK_a, true);
    ASSERT_TRUE(seen(9));
    server.key(XK_a, false);
    for (const auto modifier : {XK_Super_L, XK_Control_L, XK_Shift_L}) {
        server.key(modifier, false);
    }

    using enum InputEventType;
    const std::vector<InputEventType> expected{leftMouseDragged, leftMouseUp,      leftMouseDown,
                                               leftMouseDragged, leftMouseDragged, leftMouseUp,
                                               keyDown,          keyDown,          keyDown};
    EXPECT_EQ(typesOf(tapped), expected);
    EXPECT_EQ(typesOf(monitored), expected);
    const std::vector<Point> positions{{80, 90},   {80, 90},   {100, 100}, {300, 250}, {310, 260},
                                       {310, 260}, {500, 400}, {500, 400}, {500, 400}};
    const std::uint64_t all = eventFlags::shift | eventFlags::control | eventFlags::command;
    const std::vector<std::uint64_t> flags{0, 0, 0,  0, eventFlags::option, eventFlags::option,
                                           0, 0, all};
    // Escape twice, then the letter at the US position of A.
    const std::vector<std::uint16_t> keyCodes{0, 0, 0, 0, 0, 0, escapeKeyCode, escapeKeyCode, 0};
    for (std::size_t index = 0; index < tapped.size() && index < positions.size(); ++index) {
        SCOPED_TRACE("event " + std::to_string(index));
        EXPECT_EQ(tapped[index].location, positions[index]);
        EXPECT_EQ(tapped[index].flags, flags[index]);
        EXPECT_EQ(tapped[index].keyCode, keyCodes[index]);
        // The monitors' system has y upward from the bottom of the 1080-pixel screen.
        EXPECT_EQ(monitored[index].location, Point(positions[index].x, 1080 - positions[index].y));
        EXPECT_EQ(monitored[index].modifierFlags, flags[index]);
        EXPECT_EQ(monitored[index].keyCode, keyCodes[index]);
    }
    EXPECT_EQ(typesOf(keysOnly), (std::vector{keyDown, keyDown, keyDown}));
    EXPECT_EQ(pointerDuringEvent, std::vector<Point>{Point(500, 680)});
    EXPECT_EQ(displays.mouseLocation(), Point(700, 480));
    ASSERT_TRUE(local.empty());

    const MonitorEvent escape{keyDown, {10, 20}, 0, escapeKeyCode};
    const MonitorEvent letter{keyDown, {10, 20}, 0, 0};
    const MonitorEvent press{leftMouseDown, {10, 20}, eventFlags::option, 0};
    EXPECT_TRUE(input->deliverLocalEvent(escape));
    EXPECT_FALSE(input->deliverLocalEvent(letter));
    EXPECT_FALSE(input->deliverLocalEvent(press));
    // The swallowed Escape went no further; the letter and the press did, with the pointer where
    // each event says while it is handled.
    ASSERT_EQ(local.size(), 4u);
    EXPECT_EQ(local[2].keyCode, 0);
    EXPECT_EQ(local[3].type, leftMouseDown);
    EXPECT_EQ(local[3].modifierFlags, eventFlags::option);
    EXPECT_EQ(pointerDuringEvent, (std::vector<Point>{{500, 680}, {10, 20}, {10, 20}}));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(X11InputEventsTest, DisabledTapsAndEndedMonitorsHearNothingEvenWhenEndedMidDelivery) {
    std::vector<TapEvent> witness;
    std::vector<TapEvent> disabled;
    std::vector<MonitorEvent> ended;
    int selfEnding = 0;

    auto off = input->createListenOnlyTap(
        dragEventMask, [&](const TapEvent& event) { disabled.push_back(event); });
    off->setEnabled(false);
    // A tap that goes away inside its own callback runs exactly once.
    std::unique_ptr<EventTap> once;
    once = input->createListenOnlyTap(dragEventMask, [&](const TapEvent&) {
        ++selfEnding;
        once.reset();
    });
    auto gone = input->addGlobalMonitor(dragEventMask,
                                        [&](const MonitorEvent& event) { ended.push_back(event); });
    gone.disconnect();
    auto goneLocal = input->addLocalMonitor(dragEventMask, [&](const MonitorEvent& event) {
        ended.push_back(event);
        return true;
    });
    goneLocal.disconnect();
    // The first monitor ends the next one while the same event is being delivered.
    Connection victim;
    const auto killer =
        input->addGlobalMonitor(dragEventMask, [&](const MonitorEvent&) { victim.disconnect(); });
    victim = input->addGlobalMonitor(dragEventMask,
                                     [&](const MonitorEvent& event) { ended.push_back(event); });
    auto reference = input->createListenOnlyTap(
        dragEventMask, [&](const TapEvent& event) { witness.push_back(event); });

    server.pointerTo(200, 200);
    click();
    ASSERT_TRUE(waitDispatching([&] { return witness.size() >= 2; }));
    EXPECT_FALSE(input->deliverLocalEvent({InputEventType::leftMouseDown, {10, 20}, 0, 0}));
    EXPECT_TRUE(disabled.empty());
    EXPECT_TRUE(ended.empty());
    EXPECT_EQ(selfEnding, 1);
    EXPECT_FALSE(once);

    off->setEnabled(true);
    click();
    ASSERT_TRUE(waitDispatching([&] { return witness.size() >= 4; }));
    EXPECT_EQ(typesOf(disabled),
              (std::vector{InputEventType::leftMouseDown, InputEventType::leftMouseUp}));

    // The whole port may go from inside a callback: the rest of that delivery is dropped, and
    // the taps and subscriptions that outlive it end quietly.
    // (Selections belong to the client, so a second port gets a connection of its own.)
    std::string error;
    const auto secondConnection = X11Connection::open(server.display(), error);
    ASSERT_TRUE(secondConnection) << error;
    auto second = std::make_unique<X11InputEvents>(*secondConnection, log);
    auto teardown =
        second->createListenOnlyTap(mouseDownMask, [&](const TapEvent&) { second.reset(); });
    auto orphan = second->addGlobalMonitor(
        mouseDownMask, [&](const MonitorEvent& event) { ended.push_back(event); });
    click();
    ASSERT_TRUE(waitDispatching([&] {
        secondConnection->dispatchPending();
        return witness.size() >= 6 && !second;
    }));
    EXPECT_TRUE(ended.empty());
    teardown->setEnabled(false);
    teardown.reset();
    orphan.disconnect();
}

TEST_F(X11InputEventsTest, RawEventsAreSelectedOnlyWhileSomeoneListens) {
    constexpr std::uint32_t press = XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS;
    constexpr std::uint32_t release = XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
    constexpr std::uint32_t motion = XCB_INPUT_XI_EVENT_MASK_RAW_MOTION;
    constexpr std::uint32_t keyPress = XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS;

    EXPECT_EQ(selectedRawEvents(), 0u);
    auto tap = input->createListenOnlyTap(keyDownMask, [](const TapEvent&) {});
    EXPECT_EQ(selectedRawEvents(), keyPress);
    tap->setEnabled(false);
    EXPECT_EQ(selectedRawEvents(), 0u);

    // Motion alone would not tell a drag from a move; the button's events come with it.
    auto dragged = input->addGlobalMonitor(eventMaskBit(InputEventType::leftMouseDragged),
                                           [](const MonitorEvent&) {});
    EXPECT_EQ(selectedRawEvents(), press | release | motion);
    tap->setEnabled(true);
    EXPECT_EQ(selectedRawEvents(), press | release | motion | keyPress);
    dragged.disconnect();
    EXPECT_EQ(selectedRawEvents(), keyPress);
    tap.reset();
    // Local monitors need nothing from the server.
    const auto local =
        input->addLocalMonitor(dragEventMask, [](const MonitorEvent&) { return true; });
    EXPECT_EQ(selectedRawEvents(), 0u);

    // A port that goes while its tap lives on stops listening at once.
    auto orphan = input->createListenOnlyTap(dragEventMask, [](const TapEvent&) {});
    EXPECT_EQ(selectedRawEvents(), press | release | motion | keyPress);
    input.reset();
    EXPECT_EQ(selectedRawEvents(), 0u);
    orphan->setEnabled(true);
    EXPECT_EQ(selectedRawEvents(), 0u);
}

// --- Global shortcuts: key grabs, with a second client that holds grabs of its own ---

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

    void pressAndWait(const std::vector<std::uint32_t>& modifiers, std::size_t expectedCount) {
        server.chord(modifiers, XK_Left);
        ASSERT_TRUE(waitDispatching([&] { return pressed.size() >= expectedCount; }))
            << "the handler heard " << pressed.size() << " presses";
    }

    void toggle(std::uint32_t lockKey) {
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
    for (std::uint32_t code = 0; code < 128; ++code) {
        if (const auto keysym = keysymForMacKeyCode(code)) {
            EXPECT_EQ(macKeyCodeForKeysym(*keysym), code) << "code " << code;
        }
    }
    // Stored shortcuts name Mac key codes, and the stories press keys through this table: the
    // keys a default shortcut uses must be the ones a Mac has under those codes.
    using Key = std::pair<std::uint32_t, std::uint32_t>;
    for (const auto& [code, keysym] : {Key{0x7B, XK_Left},
                                       {0x7C, XK_Right},
                                       {0x7D, XK_Down},
                                       {0x7E, XK_Up},
                                       {0x24, XK_Return},
                                       {0x12, XK_1},
                                       {0x13, XK_2}}) {
        EXPECT_EQ(keysymForMacKeyCode(code), keysym) << "code " << code;
    }
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
    EXPECT_EQ(hotkeys->registerHotkey(*missing, controlOption, {}).status, HotkeyStatus::invalid)
        << "key code " << *missing;

    const auto first = registerLeft(1);
    ASSERT_TRUE(first.registered());
    EXPECT_EQ(registerLeft(2).status, HotkeyStatus::alreadyTaken);
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
    EXPECT_EQ(registerLeft(5).status, HotkeyStatus::alreadyTaken);
    expectOthersGrab({0, XCB_MOD_MASK_LOCK}, 0);

    other.ungrab(leftKeycode, controlAlt | numLock);
    ASSERT_TRUE(registerLeft(6).registered());
    ASSERT_TRUE(registerLeft(8, controlOption | carbon::shiftKey).registered());
    std::vector<std::uint32_t> second;
    auto secondHandler = hotkeys->installHandler([&](HotkeyID id) {
        EXPECT_EQ(id.signature, hotkeySignature);
        second.push_back(id.id);
    });
    pressAndWait({XK_Control_L, XK_Alt_L}, 1);
    toggle(XK_Num_Lock);
    pressAndWait({XK_Control_L, XK_Alt_L}, 2);
    toggle(XK_Caps_Lock);
    pressAndWait({XK_Control_L, XK_Alt_L}, 3);
    pressAndWait({XK_Control_L, XK_Alt_L, XK_Shift_L}, 4);
    EXPECT_EQ(pressed, (std::vector<std::uint32_t>{6, 6, 6, 8}));
    EXPECT_EQ(second, pressed);
    secondHandler.disconnect();
    pressAndWait({XK_Control_L, XK_Alt_L}, 5);
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

    toggle(XK_Num_Lock);
    pressAndWait({XK_Control_L, XK_Alt_L}, 1);
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
