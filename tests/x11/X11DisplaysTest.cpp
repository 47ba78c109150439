// The displays port on a private X server, with openbox or with the root's properties set here
// as a window manager would: monitors split with `xrandr --setmonitor`, docks made here with
// their struts, panels known only from the work area, and the resource database on the root.

#include "PortTest.h"

#include "../unit/PlacementTestSupport.h"

#include "platform/x11/X11Displays.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace tessera;
using tessera::x11test::ServerOptions;
using tessera::x11test::XServer;

namespace {

class X11DisplaysTest : public tessera::x11test::PortTest {
protected:
    explicit X11DisplaysTest(ServerOptions options = {}) : PortTest(std::move(options)) {}

    // Waits, delivering the port's events, until the displays satisfy the condition.
    bool waitForScreens(const std::function<bool(const std::vector<SystemDisplay>&)>& condition) {
        return waitDispatching([&] { return condition(displays->screens()); });
    }

    bool waitForNames(const std::vector<std::string>& names) {
        return waitForScreens([&](const std::vector<SystemDisplay>& screens) {
            return screens.size() == names.size() &&
                   std::equal(
                       names.begin(), names.end(), screens.begin(),
                       [](const auto& name, const auto& screen) { return name == screen.name; });
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

TEST_F(X11DisplaysTest, MonitorsComeInSystemOrderAndThePointersWindowMakesTheMainScreen) {
    // Unsplit, RandR reports the one automatic monitor over the whole screen.
    auto screens = displays->screens();
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0].frame, Rect(0, 0, 1920, 1080));
    EXPECT_EQ(screens[0].visibleFrame, screens[0].frame);
    EXPECT_EQ(screens[0].scale, 1);

    // Defined first but not at the origin: without a primary mark, the monitor at (0, 0) leads.
    // The smaller one hangs 200 pixels below the top, so its bottom-left y is 1080 − 200 − 480.
    // The change is news.
    int changes = 0;
    const auto subscription = displays->onChange([&] { ++changes; });
    server.setMonitors({{"side", {1280, 200, 640, 480}}, {"main", {0, 0, 1280, 1080}}});
    ASSERT_TRUE(waitForNames({"main", "side"}));
    EXPECT_GT(changes, 0);
    screens = displays->screens();
    EXPECT_EQ(screens[0].frame, Rect(0, 0, 1280, 1080));
    EXPECT_EQ(screens[1].frame, Rect(1280, 400, 640, 480));
    // Both systems meet on the primary display: the side monitor's top-left corner comes back.
    EXPECT_EQ(toTopLeft(screens[1].frame, screens[0].frame), Rect(1280, 200, 640, 480));
    server.pointerTo(1500, 300);
    EXPECT_EQ(displays->mouseLocation(), Point(1500, 780));

    // Before any client is active the primary display is the main one. (openbox may still
    // name the window the fixture used to probe it, which is gone.)
    ASSERT_TRUE(displays->mainScreen());
    EXPECT_EQ(displays->mainScreen()->name, "main");

    // The window whose centre lies on the side monitor makes that one the main display, even
    // with most of its frame's corners elsewhere.
    const auto window = server.launchClient({"xlogo"});
    server.moveResizeClient(window, {1200, 250, 300, 200});
    server.activate(window);
    // openbox may shift the client by its border; a few pixels don't move the centre across.
    // (Where it first placed the window, beside the pointer, the centre may lie on no monitor.)
    ASSERT_TRUE(server.waitUntil([&] {
        const auto frame = server.clientFrame(window);
        return server.activeWindow() == window && frame && frame->width() == 300 &&
               frame->minX() >= 1200 && frame->minX() < 1220;
    }));
    ASSERT_TRUE(displays->mainScreen());
    EXPECT_EQ(displays->mainScreen()->name, "side");
    EXPECT_EQ(displays->mainScreen()->frame, screens[1].frame);
    server.moveResizeClient(window, {1000, 250, 300, 200});
    ASSERT_TRUE(server.waitUntil([&] { return server.clientFrame(window)->minX() < 1100; }));
    EXPECT_EQ(displays->mainScreen()->name, "main");
}

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
        EXPECT_TRUE(waitForScreens([&](const std::vector<SystemDisplay>& screens) {
            return screens.size() == 2 && screens[0].visibleFrame == dock.left &&
                   screens[1].visibleFrame == dock.right;
        }));
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

    bool visibleFramesAre(const Rect& left, const Rect& right) {
        return waitForScreens([&](const std::vector<SystemDisplay>& screens) {
            return screens.size() == 2 && screens[0].visibleFrame == left &&
                   screens[1].visibleFrame == right;
        });
    }
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

} // namespace
