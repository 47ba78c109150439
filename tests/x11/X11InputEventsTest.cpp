// System-wide mouse and keys through XInput2 raw events on a private X server, driven by XTest
// as a physical device would be. Every step waits until the port has seen its event before the
// next one, so the pointer position each event reads is the one that step left.

#include "PortTest.h"

#include "../unit/PlacementTestSupport.h"

#include "platform/sim/SimLog.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/X11InputEvents.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace tessera;

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
    // The raw events this client has selected on the root window for all master devices.
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
    EXPECT_TRUE(tap->isEnabled());
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
    server.key("Alt_L", true);
    server.pointerTo(310, 260);
    ASSERT_TRUE(seen(5));
    server.button(1, false);
    ASSERT_TRUE(seen(6));
    server.key("Alt_L", false);
    // Other buttons are not the left mouse, and motion after the release is no drag. A key held
    // down repeats its press; a release may come twice.
    server.button(3, true);
    server.button(3, false);
    server.pointerTo(500, 400);
    for (const bool press : {true, true, false, false}) {
        server.key("Escape", press);
    }
    ASSERT_TRUE(seen(8));
    // The flags are the modifiers held when the port handles the press, so they go down first.
    for (const auto* modifier : {"Shift_L", "Control_L", "Super_L"}) {
        server.key(modifier, true);
    }
    server.key("a", true);
    ASSERT_TRUE(seen(9));
    server.key("a", false);
    for (const auto* modifier : {"Super_L", "Control_L", "Shift_L"}) {
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
    // The key-only monitor saw the key downs and nothing of the mouse.
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
    EXPECT_FALSE(off->isEnabled());
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

    // Switched on again, the tap hears what comes next.
    off->setEnabled(true);
    EXPECT_TRUE(off->isEnabled());
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

} // namespace
