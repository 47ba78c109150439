// The ports on a desktop whose primary monitor is not at the root's origin: two monitors side by
// side with the right one primary, so every core coordinate is 960 to the left of X's.

#include "PortTest.h"

#include "../unit/PlacementTestSupport.h"

#include "platform/sim/SimLog.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/X11InputEvents.h"
#include "platform/x11/X11Windows.h"
#include "platform/x11/X11Workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

using namespace tessera;
using tessera::x11test::ServerOptions;
using tessera::x11test::TesseraRun;
using tessera::x11test::XServer;

namespace {

// The right monitor is 720 high so the bottom-left system's turn differs from the screen's.
constexpr Rect leftMonitor(0, 0, 960, 1080);
constexpr Rect rightMonitor(960, 0, 960, 720);

ServerOptions rightIsPrimary() {
    ServerOptions options;
    options.monitors = {{"L", leftMonitor}, {"*R", rightMonitor}};
    return options;
}

class X11CoordinatesTest : public tessera::x11test::PortTest {
protected:
    X11CoordinatesTest() : PortTest(rightIsPrimary()) {}

    std::unique_ptr<X11Displays> displays = std::make_unique<X11Displays>(*connection);
    std::unique_ptr<X11Windows> windows = std::make_unique<X11Windows>(*connection);
    std::unique_ptr<X11Accessibility> accessibility = std::make_unique<X11Accessibility>(*windows);
};

TEST_F(X11CoordinatesTest, DisplaysPointerWindowsEventsAndFillScreenGoByThePrimaryMonitor) {
    const auto screens = displays->screens();
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].name, "R");
    EXPECT_EQ(screens[0].frame, Rect(0, 0, 960, 720));
    EXPECT_EQ(screens[1].name, "L");
    // 1080 high against the primary's 720: it reaches 360 below the primary's bottom edge.
    EXPECT_EQ(screens[1].frame, Rect(-960, -360, 960, 1080));
    server.pointerTo(10, 700);
    EXPECT_EQ(displays->mouseLocation(), Point(-950, 20));

    // A window's frame, hit tests and moves.
    const XWindow window = server.launchClient({"xlogo"});
    server.moveTo(window, Rect(1000, 100, 200, 150));
    const auto element = accessibility->windowElement(window);
    const auto position = accessibility->copyAttribute(element, ax::position);
    ASSERT_EQ(position.status, AccessibilityStatus::success);
    EXPECT_EQ(std::get<Point>(*position.value), Point(40, 100));
    EXPECT_EQ(accessibility->elementAtPosition({40 + 50, 100 + 50}).element, element);
    // The same point of the root lies on the left monitor, far from the window.
    EXPECT_NE(accessibility->elementAtPosition({1000 - 960 - 50, 100 + 50}).element, element);
    ASSERT_EQ(accessibility->setAttribute(element, ax::position, Point(-900, 300)),
              AccessibilityStatus::success);
    EXPECT_EQ(server.outerFrame(window)->origin, Point(60, 300));
    const auto pid = windows->processOf(window);
    ASSERT_TRUE(pid);
    X11Workspace workspace(*windows, log);
    EXPECT_TRUE(waitDispatching([&] {
        const auto entries = workspace.onScreenWindows();
        return std::any_of(entries.begin(), entries.end(), [&](const WindowListEntry& entry) {
            return entry.ownerPID == *pid && entry.bounds.origin == Point(-900, 300);
        });
    }));

    // Input events; each press is handled before the next input, since its position is read
    // when it is.
    X11InputEvents input(*connection, log);
    std::vector<TapEvent> tapped;
    std::vector<MonitorEvent> monitored;
    auto tap = input.createListenOnlyTap(dragEventMask,
                                         [&](const TapEvent& event) { tapped.push_back(event); });
    ASSERT_TRUE(tap);
    const auto monitor = input.addGlobalMonitor(
        dragEventMask, [&](const MonitorEvent& event) { monitored.push_back(event); });
    connection->sync();
    server.pointerTo(1000, 100);
    server.button(1, true);
    ASSERT_TRUE(waitDispatching([&] { return !tapped.empty() && !monitored.empty(); }));
    server.button(1, false);
    EXPECT_EQ(tapped.front().location, Point(40, 100));
    EXPECT_EQ(monitored.front().location, Point(40, 620));

    // tesseractl as a whole: Fill Screen fills the primary monitor where X puts it. (The first
    // faked key switches the keyboard over to XTest; that announcement stays out of the
    // shortcut.)
    server.key("Shift_L", true);
    server.key("Shift_L", false);
    server.moveTo(window, Rect(1100, 200, 300, 200));
    server.activate(window);
    {
        TesseraRun run(server);
        server.chord({"Super_L", "Alt_L"}, "Return");
        run.sync();
        EXPECT_TRUE(server.waitUntil([&] { return server.outerFrame(window) == rightMonitor; }))
            << "xlogo is at " << testing::PrintToString(server.outerFrame(window));
    }

    // Moving the primary mark moves the origin, and the ports notice without being told.
    EXPECT_EQ(server.run({"xrandr", "--delmonitor", "R"}), 0);
    EXPECT_EQ(server.run({"xrandr", "--setmonitor", "R", "960/240x720/180+960+0", "none"}), 0);
    EXPECT_EQ(server.run({"xrandr", "--delmonitor", "L"}), 0);
    EXPECT_EQ(server.run({"xrandr", "--setmonitor", "*L", "960/240x1080/270+0+0", "screen"}), 0);
    EXPECT_TRUE(waitDispatching([&] { return displays->mouseLocation() == Point(1000, 980); }));
    EXPECT_EQ(displays->screens().at(1).frame, Rect(960, 360, 960, 720));
}

} // namespace
