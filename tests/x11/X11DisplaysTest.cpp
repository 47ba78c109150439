// The displays port on a private X server, with openbox or with the root's properties set here
// as a window manager would: monitors split with `xrandr --setmonitor`, docks made here with
// their struts, panels known only from the work area, and the resource database on the root;
// and every port on a desktop whose primary monitor is not at the root's origin.

#include "PortTest.h"

#include "../unit/PlacementTestSupport.h"

#include "platform/sim/SimLog.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/X11InputEvents.h"
#include "platform/x11/X11Windows.h"
#include "platform/x11/X11Workspace.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

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

class X11DisplaysTest : public tessera::x11test::PortTest {
protected:
    explicit X11DisplaysTest(ServerOptions options = {}) : PortTest(std::move(options)) {}

    // Waits, delivering the port's events, until the displays satisfy the condition.
    bool waitForScreens(const std::function<bool(const std::vector<SystemDisplay>&)>& condition) {
        return waitDispatching([&] { return condition(displays->screens()); });
    }

    // Two monitors, side by side, with these visible frames.
    bool visibleFramesAre(const Rect& left, const Rect& right) {
        return waitForScreens([&](const std::vector<SystemDisplay>& screens) {
            return screens.size() == 2 && screens[0].visibleFrame == left &&
                   screens[1].visibleFrame == right;
        });
    }

    void setProperty(XWindow window, std::string_view name, std::uint32_t type,
                     const std::vector<std::uint32_t>& values) {
        xcb_change_property(server.connection(), XCB_PROP_MODE_REPLACE, window, server.atom(name),
                            type, 32, static_cast<std::uint32_t>(values.size()), values.data());
        server.sync();
    }

    std::unique_ptr<X11Displays> displays = std::make_unique<X11Displays>(*connection);
};

TEST_F(X11DisplaysTest, DockStrutsShrinkOnlyTheMonitorsTheyCover) {
    server.setMonitors({{"left", {0, 0, 960, 1080}}, {"right", {960, 0, 960, 1080}}});
    int changes = 0;
    const auto subscription = displays->onChange([&] { ++changes; });
    const struct {
        const char* what;
        Rect dock;
        std::string property;
        std::vector<std::uint32_t> strut;
        Rect left;
        Rect right;
    } docks[] = {
        {"40 pixels along the top, from x 960 to 1919: the right monitor only",
         {960, 0, 960, 40},
         "_NET_WM_STRUT_PARTIAL",
         {0, 0, 40, 0, 0, 0, 0, 0, 960, 1919, 0, 0},
         {0, 0, 960, 1080},
         {960, 0, 960, 1040}},
        {"the older whole-edge strut: 30 pixels along the entire bottom, on both monitors",
         {0, 1050, 1920, 30},
         "_NET_WM_STRUT",
         {0, 0, 0, 30},
         {0, 30, 960, 1050},
         {960, 30, 960, 1010}},
        {"a left strut that only covers the lower half of the screen's left edge",
         {0, 600, 50, 300},
         "_NET_WM_STRUT_PARTIAL",
         {50, 0, 0, 0, 600, 899, 0, 0, 0, 0, 0, 0},
         {50, 30, 910, 1050},
         {960, 30, 960, 1010}},
        {"one on the right edge, over the same rows",
         {1870, 600, 50, 300},
         "_NET_WM_STRUT_PARTIAL",
         {0, 50, 0, 0, 0, 0, 600, 899, 0, 0, 0, 0},
         {50, 30, 910, 1050},
         {960, 30, 910, 1010}},
    };
    for (const auto& dock : docks) {
        SCOPED_TRACE(dock.what);
        server.makeWindow(dock.dock, "_NET_WM_WINDOW_TYPE_DOCK", {{dock.property, dock.strut}});
        EXPECT_TRUE(visibleFramesAre(dock.left, dock.right));
    }
    // openbox announces the new work area, and that is news of the displays.
    EXPECT_GT(changes, 0);
}

// No window manager: the test writes the root's properties as one would.
class BareX11DisplaysTest : public X11DisplaysTest {
protected:
    BareX11DisplaysTest()
        : X11DisplaysTest({.windowManager = false,
                           .monitors = {{"L", {0, 0, 960, 1080}}, {"R", {960, 0, 960, 1080}}}}) {}
};

TEST_F(BareX11DisplaysTest, WorkAreaCutsMonitorsAlongEdgesNoStrutExplains) {
    int changes = 0;
    const auto subscription = displays->onChange([&] { ++changes; });
    const Rect left(0, 0, 960, 1080);
    const Rect right(960, 0, 960, 1080);

    // A taskbar 21 pixels high that publishes no strut, as icewm's: both monitors touch the
    // bottom edge. The high dpi makes toolkits draw bigger, not the monitors hold more pixels.
    const std::string resources = "Xft.dpi:\t192\n";
    xcb_change_property(server.connection(), XCB_PROP_MODE_REPLACE, server.root(),
                        server.atom("RESOURCE_MANAGER"), XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(resources.size()), resources.data());
    setProperty(server.root(), "_NET_WORKAREA", XCB_ATOM_CARDINAL, {0, 0, 1920, 1059});
    ASSERT_TRUE(visibleFramesAre({0, 21, 960, 1059}, {960, 21, 960, 1059}));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(makeScreenInfo(displays->screens()[0]).id, "960x1080|L|960x1080");

    // The current desktop's box counts; a left inset cuts only the monitor on the left edge.
    setProperty(server.root(), "_NET_WORKAREA", XCB_ATOM_CARDINAL,
                {0, 0, 1920, 1059, 48, 0, 1872, 1080});
    setProperty(server.root(), "_NET_CURRENT_DESKTOP", XCB_ATOM_CARDINAL, {1});
    ASSERT_TRUE(visibleFramesAre({48, 0, 912, 1080}, right));

    // A box larger than the screen is ignored; one that leaves the right monitor nothing is
    // ignored there only.
    setProperty(server.root(), "_NET_WORKAREA", XCB_ATOM_CARDINAL,
                {0, 0, 1920, 1059, 0, 0, 3000, 1080});
    ASSERT_TRUE(visibleFramesAre(left, right));
    setProperty(server.root(), "_NET_WORKAREA", XCB_ATOM_CARDINAL,
                {0, 0, 1920, 1059, 10, 0, 890, 1080});
    ASSERT_TRUE(visibleFramesAre({10, 0, 950, 1080}, right));

    // A dock on the right monitor's top edge, and the work area of the whole screen that its
    // strut explains (the current desktop has no box of its own, so the first counts): the left
    // monitor keeps its top edge. Growing the strut is news too.
    auto* xcb = server.connection();
    const XWindow dock = xcb_generate_id(xcb);
    xcb_create_window(xcb, XCB_COPY_FROM_PARENT, dock, server.root(), 960, 0, 960, 40, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    setProperty(dock, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL,
                {0, 0, 40, 0, 0, 0, 0, 0, 960, 1919, 0, 0});
    setProperty(server.root(), "_NET_CLIENT_LIST", XCB_ATOM_WINDOW, {dock});
    setProperty(server.root(), "_NET_WORKAREA", XCB_ATOM_CARDINAL, {0, 40, 1920, 1040});
    ASSERT_TRUE(visibleFramesAre(left, {960, 0, 960, 1040}));
    const int before = changes;
    setProperty(dock, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL,
                {0, 0, 60, 0, 0, 0, 0, 0, 960, 1919, 0, 0});
    ASSERT_TRUE(visibleFramesAre(left, {960, 0, 960, 1020}));
    EXPECT_EQ(changes, before + 1);
}

// The ports on a desktop whose primary monitor is not at the root's origin: two monitors side by
// side with the right one primary, so every core coordinate is 960 to the left of X's.

// The right monitor is 720 high so the bottom-left system's turn differs from the screen's.
constexpr Rect leftMonitor(0, 0, 960, 1080);
constexpr Rect rightMonitor(960, 0, 960, 720);

ServerOptions rightIsPrimary() {
    ServerOptions options;
    options.monitors = {{"L", leftMonitor}, {"*R", rightMonitor}};
    return options;
}

class X11CoordinatesTest : public X11DisplaysTest {
protected:
    X11CoordinatesTest() : X11DisplaysTest(rightIsPrimary()) {}

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
    EXPECT_EQ(displays->mainScreen()->name, "R") << "no window is active yet";

    // A window's frame, hit tests and moves.
    const XWindow window = server.launch({"xlogo"}).window;
    server.moveTo(window, Rect(1000, 100, 200, 150));
    const auto element = accessibility->windowElement(window);
    const auto position = accessibility->copyAttribute(element, ax::position);
    ASSERT_EQ(position.status, AccessibilityStatus::success);
    EXPECT_EQ(std::get<Point>(*position.value), Point(40, 100));
    EXPECT_EQ(accessibility->elementAtPosition({40 + 50, 100 + 50}).element, element);
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

    // tesseractl as a whole: Fill Screen fills the primary monitor where X puts it.
    // Its top-left corner on L, its centre on R: the centre decides.
    server.moveTo(window, Rect(850, 200, 300, 200));
    server.activate(window);
    EXPECT_EQ(displays->mainScreen()->name, "R");
    {
        TesseraRun run(server);
        server.chord({XK_Super_L, XK_Alt_L}, XK_Return);
        run.sync();
        EXPECT_TRUE(server.waitUntil([&] { return server.outerFrame(window) == rightMonitor; }))
            << "xlogo is at " << testing::PrintToString(server.outerFrame(window));
    }

    // With the primary mark gone, the monitor at the origin leads though RandR now lists it
    // last, and the ports notice without being told. The active window keeps R the main one.
    EXPECT_EQ(server.run({"xrandr", "--delmonitor", "R"}), 0);
    EXPECT_EQ(server.run({"xrandr", "--setmonitor", "R", "960/240x720/180+960+0", "none"}), 0);
    EXPECT_EQ(server.run({"xrandr", "--delmonitor", "L"}), 0);
    EXPECT_EQ(server.run({"xrandr", "--setmonitor", "L", "960/240x1080/270+0+0", "screen"}), 0);
    EXPECT_TRUE(waitDispatching([&] { return displays->mouseLocation() == Point(1000, 980); }));
    EXPECT_EQ(displays->screens().at(1).frame, Rect(960, 360, 960, 720));
    EXPECT_EQ(displays->mainScreen()->name, "R");
}

} // namespace
