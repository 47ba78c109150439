// Drag-to-snap end to end: `tesseractl run` under openbox, with xterm and xlogo dragged by real
// (XTest) pointer input. After every injected step the test waits for tesseractl's sync answer,
// since tesseractl reads the pointer position when it handles an event; everything else is
// waited for as a condition on the server.

#include "XServerFixture.h"
#include "ZoneTargets.h"

#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "core/model/Screens.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/store/LayoutStore.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/sim/SimDefaults.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Displays.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessera::x11test {
namespace {

namespace fs = std::filesystem;

std::string describe(const std::optional<Rect>& r) {
    if (!r) {
        return "none";
    }
    return "(" + std::to_string(r->minX()) + ", " + std::to_string(r->minY()) + ", " +
           std::to_string(r->width()) + ", " + std::to_string(r->height()) + ")";
}

// A desktop with tesseractl running on it, and what the core says about its zones.
class Desk {
public:
    explicit Desk(ServerOptions options = {}, DefaultsDomain preferences = {})
        : server(std::move(options)), preferences_(std::move(preferences)) {
        // The drag monitor's debug lines tell what it made of each press and release.
        run = std::make_unique<TesseraRun>(
            server, preferences_.empty() ? std::string() : encodePreferences(preferences_),
            std::vector<std::string>{"TESSERA_DEBUG=1"});
        std::string error;
        connection_ = X11Connection::open(server.display(), error);
        if (!connection_) {
            throw std::runtime_error(error);
        }
        displays_ = std::make_unique<X11Displays>(*connection_);
    }

    // Every zone of every display whose card centre is a drop target for that zone, computed
    // by the core's own rules from the layouts file tesseractl uses and its preferences.
    std::vector<ZoneTarget> targets() {
        connection_->dispatchPending();
        return zoneTargets(displays_->screens(),
                           fs::path(run->home()) / ".local/share/Tessera/layouts.json",
                           preferences_);
    }

    // A point on the first display on no card at all: just inside a zone's corner.
    Pixel besideEveryCard() {
        const auto all = targets();
        const auto screens = displays_->screens();
        const Rect primary = primaryDisplay(screens).frame;
        SimDefaults defaults(preferences_);
        registerPreferenceDefaults(defaults);
        for (const auto& target : all) {
            const Rect area =
                toTopLeft(zoneRect(target.zone, screens.front().visibleFrame), primary);
            const Pixel corner{static_cast<int>(area.minX()) + 6,
                               static_cast<int>(area.maxY()) - 6};
            std::vector<Zone> zones;
            for (const auto& t : all) {
                zones.push_back(t.zone);
            }
            if (!cardHitTest(zones, screens.front().visibleFrame,
                             toBottomLeft(Point{double(corner.x), double(corner.y)}, primary),
                             preferenceDouble(defaults, prefs::cardScale))) {
                return corner;
            }
        }
        throw std::runtime_error("every corner is on a card");
    }

    // Starts the client and has openbox put it at a known place: with north-west gravity the
    // frame's corner goes to the given origin, the client area gets the given size.
    XWindow launch(const std::vector<std::string>& argv, const Rect& area) {
        const auto window = server.launchClient(argv);
        moveTo(window, area);
        return window;
    }
    void moveTo(XWindow window, const Rect& area) {
        server.moveResizeClient(window, area);
        const bool placed = server.waitUntil([&] { return isAt(window, area); });
        if (!placed) {
            throw std::runtime_error("the window manager did not move the window to " +
                                     describe(area));
        }
    }
    bool isAt(XWindow window, const Rect& area) {
        const auto outer = server.outerFrame(window);
        const auto client = server.clientFrame(window);
        return outer && client && outer->origin == area.origin && client->size == area.size;
    }

    // Every step of input is followed by the sync barrier.
    void pointerTo(Pixel p) {
        server.pointerTo(p.x, p.y);
        run->sync();
    }
    void button(bool press) {
        server.button(1, press);
        run->sync();
    }
    void key(std::string_view name, bool press) {
        server.key(name, press);
        run->sync();
    }
    // From the current position to the point in even steps, the first ones short so the drag
    // crosses the threshold only after a few events, as a hand would.
    void moveInSteps(Pixel from, Pixel to, int steps = 8) {
        for (int i = 1; i <= steps; ++i) {
            pointerTo({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
        }
    }

    // A point on the window's title bar: within the frame, above the client area, clear of
    // the buttons at either end.
    Pixel titleBarPoint(XWindow window) {
        const auto outer = server.outerFrame(window);
        const auto extents = server.frameExtents(window);
        if (!outer || extents.size() != 4 || extents[2] < 4) {
            throw std::runtime_error("the window has no title bar");
        }
        return {static_cast<int>(outer->minX() + outer->width() * 0.4),
                static_cast<int>(outer->minY() + extents[2] / 2)};
    }

    // Presses on the title bar and moves to the point; openbox moves the window along.
    // Returns the press point.
    Pixel grabTitleBarAndMoveTo(XWindow window, Pixel to) {
        const auto press = titleBarPoint(window);
        pointerTo(press);
        button(true);
        moveInSteps(press, to);
        return press;
    }

    // Where openbox puts a window it moves with the pointer: the start frame shifted by the
    // pointer's travel (the test configuration has no edge resistance).
    std::optional<Rect> waitUntilFollowed(XWindow window, const Rect& start, Pixel press,
                                          Pixel now) {
        const Rect expected{start.minX() + (now.x - press.x), start.minY() + (now.y - press.y),
                            start.width(), start.height()};
        EXPECT_TRUE(server.waitUntil([&] { return server.outerFrame(window) == expected; }))
            << describe(server.outerFrame(window)) << " is not " << describe(expected);
        return server.outerFrame(window);
    }

    // How often the text occurs in tesseractl's log so far (its standard error): the overlay's
    // lines and the drag monitor's.
    std::size_t count(std::string_view text) {
        const auto log = run->process().errorOutput();
        std::size_t n = 0;
        for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
            ++n;
        }
        return n;
    }
    // The overlay has come down: its panels left the screen (0.26 s after the hide), by which
    // time whatever the drop did has long reached the window manager.
    bool waitUntilOverlayGone(std::size_t panels = 1) {
        return server.waitUntil([&] { return count("off screen:") >= offScreenBefore_ + panels; },
                                10);
    }
    void noteOverlayState() { offScreenBefore_ = count("off screen:"); }

    XServer server;
    std::unique_ptr<TesseraRun> run;

private:
    DefaultsDomain preferences_;
    std::unique_ptr<X11Connection> connection_;
    std::unique_ptr<X11Displays> displays_;
    std::size_t offScreenBefore_ = 0;
};

// Drops the window by its title bar onto the card and waits until it fills the zone; the
// frame it ended with.
std::optional<Rect> dropOnCard(Desk& desk, XWindow window, const ZoneTarget& target, bool exact) {
    desk.noteOverlayState();
    desk.grabTitleBarAndMoveTo(window, pixelAt(target.cardCentre));
    desk.button(false);
    const auto expected = onPixels(target.windowFrame);
    desk.server.waitUntil([&] {
        const auto frame = desk.server.outerFrame(window);
        return frame && (exact ? *frame == expected : framesMatch(*frame, expected));
    });
    // Also keeps the next press on the title bar out of openbox's double-click time, within
    // which it would not start a move.
    EXPECT_TRUE(desk.waitUntilOverlayGone());
    return desk.server.outerFrame(window);
}

void setFullScreen(XServer& server, XWindow window) {
    // As the application itself asks.
    server.requestState(window, true, "_NET_WM_STATE_FULLSCREEN", {}, 1);
}

const Rect logoArea{200, 150, 300, 200};
const Rect termArea{900, 400, 484, 316};

// --- Placing ---

TEST(RunDrag, TitleBarDropOnACardFillsTheZone) {
    Desk desk({}, {{"windowGap", 10.0}});
    const auto logo = desk.launch({"xlogo"}, logoArea);
    const auto targets = desk.targets();
    ASSERT_GE(targets.size(), 2u);

    // Every zone, one after the other: exactly, since xlogo takes any size.
    for (const auto& target : targets) {
        SCOPED_TRACE(target.zone.name);
        EXPECT_EQ(dropOnCard(desk, logo, target, true), onPixels(target.windowFrame));
    }
    // The overlay came up and lit the card the pointer was on.
    EXPECT_GE(desk.count("on screen:"), targets.size());
    EXPECT_GE(desk.count("[highlighted]"), targets.size());

    // xterm sizes itself in character cells: within the tolerance of a placed frame.
    const auto term = desk.launch({"xterm"}, termArea);
    const auto& target = targets.back();
    const auto frame = dropOnCard(desk, term, target, false);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(framesMatch(*frame, target.windowFrame))
        << describe(frame) << " for " << describe(target.windowFrame);
}

TEST(RunDrag, DropBesideTheCardsLeavesTheWindowWhereTheWindowManagerPutIt) {
    Desk desk;
    const auto logo = desk.launch({"xlogo"}, logoArea);
    const auto start = desk.server.outerFrame(logo);
    ASSERT_TRUE(start);
    const auto beside = desk.besideEveryCard();

    const auto press = desk.grabTitleBarAndMoveTo(logo, beside);
    const auto moved = desk.waitUntilFollowed(logo, *start, press, beside);
    EXPECT_EQ(desk.count("on screen:"), 1u);
    desk.button(false);
    EXPECT_EQ(desk.count("drop without zone, overlay shown: true"), 1u);
    EXPECT_EQ(desk.count("drop on"), 0u);
    EXPECT_EQ(desk.server.outerFrame(logo), moved);
}

TEST(RunDrag, EscapeAbandonsTheDrag) {
    Desk desk;
    const auto logo = desk.launch({"xlogo"}, logoArea);
    const auto target = desk.targets().front();

    desk.noteOverlayState();
    desk.grabTitleBarAndMoveTo(logo, pixelAt(target.cardCentre));
    ASSERT_EQ(desk.count("on screen:"), 1u);
    desk.key("Escape", true);
    desk.key("Escape", false);
    // The overlay goes at once, before the button is up.
    ASSERT_TRUE(desk.waitUntilOverlayGone());
    // The release finds no drag any more: nothing is dropped, not even beside the cards.
    desk.button(false);
    EXPECT_EQ(desk.count("drop"), 0u);
    EXPECT_EQ(desk.count("on screen:"), 1u);
    EXPECT_NE(desk.server.outerFrame(logo), onPixels(target.windowFrame));
}

TEST(RunDrag, DraggingAPlacedWindowOutGivesItsSizeBack) {
    Desk desk;
    const auto logo = desk.launch({"xlogo"}, logoArea);
    const auto before = desk.server.outerFrame(logo);
    ASSERT_TRUE(before);
    const auto targets = desk.targets();
    const auto& target = targets.front();
    ASSERT_EQ(dropOnCard(desk, logo, target, true), onPixels(target.windowFrame));
    ASSERT_NE(before->size, onPixels(target.windowFrame).size);

    // Out of the zone and dropped beside the cards: the size from before the placement.
    const auto beside = desk.besideEveryCard();
    const auto placed = desk.server.outerFrame(logo);
    ASSERT_TRUE(placed);
    desk.grabTitleBarAndMoveTo(logo, beside);
    // Tessera restores the size when a motion finds the window moved out of its zone; on a busy
    // machine openbox may still be catching up with the pointer, so wait for it, then move on
    // a little, as a hand does.
    ASSERT_TRUE(desk.server.waitUntil([&] {
        const auto frame = desk.server.outerFrame(logo);
        return frame &&
               std::hypot(frame->minX() - placed->minX(), frame->minY() - placed->minY()) > 50;
    }));
    desk.pointerTo({beside.x + 2, beside.y});
    desk.pointerTo(beside);
    desk.button(false);
    EXPECT_TRUE(desk.server.waitUntil([&] {
        const auto frame = desk.server.outerFrame(logo);
        return frame && frame->size == before->size;
    })) << describe(desk.server.outerFrame(logo));
}

TEST(RunDrag, AltDragFromInsideTheWindowPlacesIt) {
    Desk desk;
    const auto logo = desk.launch({"xlogo"}, logoArea);
    const auto client = desk.server.clientFrame(logo);
    ASSERT_TRUE(client);
    const auto target = desk.targets().back();

    // Well below the title band, in the client area, which openbox leaves to xlogo.
    const Pixel inside{static_cast<int>(client->minX() + client->width() / 2),
                       static_cast<int>(client->maxY() - 20)};
    desk.pointerTo(inside);
    desk.key("Alt_L", true);
    desk.button(true);
    desk.moveInSteps(inside, pixelAt(target.cardCentre));
    desk.button(false);
    desk.key("Alt_L", false);
    EXPECT_TRUE(desk.server.waitUntil([&] {
        return desk.server.outerFrame(logo) == onPixels(target.windowFrame);
    })) << describe(desk.server.outerFrame(logo));

    // Without Alt the same press and path start nothing.
    desk.moveTo(logo, logoArea);
    const auto shown = desk.count("on screen:");
    // "drop on" and "drop without": the line half a second after the last drop may still come.
    const auto drops = desk.count("drop on") + desk.count("drop without");
    desk.pointerTo(inside);
    desk.button(true);
    desk.moveInSteps(inside, pixelAt(target.cardCentre));
    desk.button(false);
    // The presses were seen (by the tap and the monitor alike), and not as title-bar presses.
    EXPECT_GE(desk.count("title bar false"), 2u);
    EXPECT_EQ(desk.count("title bar true"), 0u);
    EXPECT_EQ(desk.count("on screen:"), shown);
    EXPECT_EQ(desk.count("drop on") + desk.count("drop without"), drops);
    EXPECT_TRUE(desk.isAt(logo, logoArea));
}

// --- Windows left alone ---

TEST(RunDrag, IgnoredApplicationIsNotPlaced) {
    Desk desk({}, {{"ignoredApps", std::string("org.example.Other\nXLogo")}});
    const auto logo = desk.launch({"xlogo"}, logoArea);
    const auto start = desk.server.outerFrame(logo);
    ASSERT_TRUE(start);
    const auto target = desk.targets().front();

    const auto press = desk.grabTitleBarAndMoveTo(logo, pixelAt(target.cardCentre));
    const auto moved = desk.waitUntilFollowed(logo, *start, press, pixelAt(target.cardCentre));
    desk.button(false);
    // Refused at the press: no session, so no overlay and no drop.
    EXPECT_EQ(desk.count("mouse down on"), 0u);
    EXPECT_EQ(desk.count("on screen:"), 0u);
    EXPECT_EQ(desk.count("drop"), 0u);
    EXPECT_EQ(desk.server.outerFrame(logo), moved);

    // xterm is not on the list and still snaps.
    const auto term = desk.launch({"xterm"}, termArea);
    const auto frame = dropOnCard(desk, term, target, false);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(framesMatch(*frame, target.windowFrame)) << describe(frame);
}

TEST(RunDrag, FullScreenWindowIsIgnored) {
    Desk desk;
    const auto logo = desk.launch({"xlogo"}, logoArea);
    setFullScreen(desk.server, logo);
    const Rect screen{0, 0, double(desk.server.width()), double(desk.server.height())};
    ASSERT_TRUE(desk.server.waitUntil([&] {
        return desk.server.hasState(logo, "_NET_WM_STATE_FULLSCREEN") &&
               desk.server.outerFrame(logo) == std::optional<Rect>(screen);
    }));
    const auto target = desk.targets().front();

    const Pixel top{desk.server.width() / 3, 10};
    desk.pointerTo(top);
    desk.button(true);
    desk.moveInSteps(top, pixelAt(target.cardCentre));
    desk.button(false);
    EXPECT_EQ(desk.count("mouse down on"), 0u);
    EXPECT_EQ(desk.count("on screen:"), 0u);
    EXPECT_EQ(desk.count("drop"), 0u);
    EXPECT_TRUE(desk.server.hasState(logo, "_NET_WM_STATE_FULLSCREEN"));
    EXPECT_EQ(desk.server.outerFrame(logo), std::optional<Rect>(screen));
}

// --- The desktop changing under a drag ---

TEST(RunDrag, WindowClosedDuringTheDragLeavesTesseraWorking) {
    Desk desk;
    const auto logo = desk.launch({"xlogo"}, logoArea);
    const auto term = desk.launch({"xterm"}, termArea);
    const auto targets = desk.targets();
    const auto& target = targets.front();

    desk.grabTitleBarAndMoveTo(term, pixelAt(targets.back().cardCentre));
    ASSERT_EQ(desk.count("on screen:"), 1u);
    xcb_kill_client(desk.server.connection(), term);
    xcb_flush(desk.server.connection());
    ASSERT_TRUE(desk.server.waitUntil([&] {
        const auto clients = desk.server.clientList();
        return std::find(clients.begin(), clients.end(), term) == clients.end();
    }));
    desk.moveInSteps(pixelAt(targets.back().cardCentre), pixelAt(target.cardCentre), 3);
    desk.button(false);

    // Still answering, and the next drag works.
    desk.run->sync();
    EXPECT_EQ(dropOnCard(desk, logo, target, true), onPixels(target.windowFrame));
}

TEST(RunDrag, MonitorRemovedDuringTheDragLeavesTesseraWorking) {
    ServerOptions options;
    options.monitors = {{"LEFT", Rect(0, 0, 960, 1080)}, {"RIGHT", Rect(960, 0, 960, 1080)}};
    Desk desk(options);
    const auto logo = desk.launch({"xlogo"}, logoArea);
    const auto twoMonitors = desk.targets();
    ASSERT_FALSE(twoMonitors.empty());
    const auto& last = twoMonitors.back();

    desk.grabTitleBarAndMoveTo(logo, pixelAt(last.cardCentre));
    // One panel per monitor.
    ASSERT_EQ(desk.count("on screen:"), 2u);
    desk.server.setMonitors({{"WHOLE", Rect(0, 0, 1920, 1080)}});
    desk.run->sync();
    desk.moveInSteps(pixelAt(last.cardCentre), Pixel{1500, 500}, 3);
    desk.button(false);
    desk.run->sync();

    // The desktop tesseractl sees now has one monitor, and drops go by it.
    const auto oneMonitor = desk.targets();
    ASSERT_FALSE(oneMonitor.empty());
    const auto& target = oneMonitor.front();
    EXPECT_EQ(dropOnCard(desk, logo, target, true), onPixels(target.windowFrame));
}

} // namespace
} // namespace tessera::x11test
