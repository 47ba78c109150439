// Tessera's global shortcuts end to end: `tesseractl run` on a private X server with openbox,
// driven by real key presses on real clients. Every expected frame comes from the core's own
// frame computation, applied to the layouts tesseractl saved and to the monitors the server was
// given. xlogo takes any size, so it has to land exactly there; xterm sizes itself in character
// cells, so each side may fall short by less than a cell.

#include "TesseraDesk.h"
#include "XServerFixture.h"

#include "../unit/PlacementTestSupport.h"
#include "../unit/TempDir.h"

#include "core/app/Preferences.h"
#include "core/hotkeys/KeyCombos.h"
#include "core/model/Json.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/placement/WindowCommand.h"
#include "core/placement/ZoneMemory.h"
#include "core/store/BuiltInLayouts.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessera::x11test {
namespace {

namespace fs = std::filesystem;

// A command's shortcut while the user has set none.
KeyCombo defaultCombo(WindowCommand command) {
    const auto row = info(command);
    return {row.defaultKeyCode, row.defaultCarbonModifiers, {}};
}

// --- The desk: a server, its clients, tesseractl and what the core makes of them ---

struct Client {
    std::string name;
    XWindow window = 0;
};

// A shortcut written into a zone of the layouts file before tesseractl starts.
struct ZoneShortcut {
    Uuid layoutID;
    std::string zoneName;
    KeyCombo combo;
};

struct DeskOptions {
    ServerOptions server;
    std::vector<ZoneShortcut> zoneShortcuts;
    bool openInLastZone = false;
};

// Under openbox with the test configuration, which has no panels.
class Desk : public TesseraDesk {
public:
    explicit Desk(DeskOptions options) : TesseraDesk(options.server) {
        preferences.set(prefs::openInLastZone, options.openInLastZone);
        if (!options.zoneShortcuts.empty()) {
            writeZoneShortcuts(options.zoneShortcuts);
        }
    }

    // Apart from construction so that a test can take keys before tesseractl starts.
    void start() {
        TesseraDesk::start();
        auto decoded = decodePayload(test::readTestFile(layoutsFile()));
        if (!decoded) {
            throw std::runtime_error("the layouts tesseractl saved can't be read: " +
                                     decoded.error);
        }
        layouts_ = std::move(*decoded.value);
    }

    Client launch(const std::string& program) { return {program, server.launch({program}).window}; }

    // The layout tesseractl shows on the display, by the store's own rule.
    Layout layoutOn(const SystemDisplay& display) const {
        if (auto layout = LayoutStore::resolveLayout(makeScreenInfo(display), layouts_.layouts,
                                                     layouts_.assignments)) {
            return std::move(*layout);
        }
        return layouts_.layouts.at(0);
    }

    Zone zone(const Layout& layout, std::string_view name) const {
        const auto found = std::find_if(layout.zones.begin(), layout.zones.end(),
                                        [&](const Zone& zone) { return zone.name == name; });
        if (found == layout.zones.end()) {
            throw std::runtime_error("no zone " + std::string(name) + " in " + layout.name);
        }
        return *found;
    }

    using TesseraDesk::zoneFrame;
    // Where a window goes for the zone of the layout the display shows.
    Rect zoneFrame(const SystemDisplay& display, std::string_view zoneName) {
        return zoneFrame(display, zone(layoutOn(display), zoneName));
    }

    // Puts the window's outer frame there by asking openbox, as the user would by dragging, and
    // makes it the active window; the frame it got.
    Rect placeByHand(const Client& client, const Rect& outer) {
        const auto extents = server.frameExtents(client.window);
        if (extents.size() != 4) {
            throw std::runtime_error(client.name + " has no frame extents");
        }
        server.moveResizeClient(client.window, Rect(outer.minX(), outer.minY(),
                                                    outer.width() - extents[0] - extents[1],
                                                    outer.height() - extents[2] - extents[3]));
        const bool placed = server.waitUntil([&] {
            const auto frame = server.outerFrame(client.window);
            return frame && frame->origin == outer.origin && framesMatch(*frame, outer);
        });
        if (!placed) {
            throw std::runtime_error(client.name + " did not go where the test put it");
        }
        server.activate(client.window);
        return *server.outerFrame(client.window);
    }

    using TesseraDesk::press;
    void press(WindowCommand command) { press(defaultCombo(command)); }

    // The window stayed where it is: checked once openbox has dealt with everything sent
    // before, so a move tesseractl asked for would show. openbox answers requests in the order
    // they reach it: once it shows a state asked for now, it has acted on every request
    // tesseractl made before.
    ::testing::AssertionResult stays(const Client& client, const Rect& frame) {
        for (const bool wanted : {true, false}) {
            server.requestState(client.window, wanted, "_NET_WM_STATE_SKIP_PAGER");
            if (!server.waitUntil([&] {
                    return server.hasState(client.window, "_NET_WM_STATE_SKIP_PAGER") == wanted;
                })) {
                throw std::runtime_error("openbox did not answer a state change");
            }
        }
        const auto now = server.outerFrame(client.window);
        if (now && *now == frame) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << client.name << " moved from " << ::testing::PrintToString(frame) << " to "
               << ::testing::PrintToString(now);
    }

    bool stillRuns() { return !run->process().waitForExit(0).has_value(); }

private:
    void writeZoneShortcuts(const std::vector<ZoneShortcut>& shortcuts) {
        LayoutStore store(layoutsFile());
        for (const auto& shortcut : shortcuts) {
            const auto& layouts = store.layouts();
            auto changed = *std::find_if(layouts.begin(), layouts.end(), [&](const Layout& l) {
                return l.id == shortcut.layoutID;
            });
            for (auto& zone : changed.zones) {
                if (zone.name == shortcut.zoneName) {
                    zone.shortcut = shortcut.combo;
                }
            }
            store.upsert(changed);
        }
        if (!store.lastSaveError().empty()) {
            throw std::runtime_error("cannot write the layouts: " + store.lastSaveError());
        }
    }

    LayoutStorePayload layouts_;
};

// Two monitors of the same size side by side on one screen.
DeskOptions sideBySide() {
    DeskOptions options;
    options.server.width = 2560;
    options.server.height = 800;
    options.server.monitors = {{"LEFT", Rect(0, 0, 1280, 800)},
                               {"RIGHT", Rect(1280, 0, 1280, 800)}};
    return options;
}

// A window of a fixed size whose centre lies at the fractions of the display.
Rect frameAround(const Rect& display, double fx, double fy) {
    constexpr double width = 400;
    constexpr double height = 300;
    return {std::round(display.minX() + fx * display.width() - width / 2),
            std::round(display.minY() + fy * display.height() - height / 2), width, height};
}

// --- Windows back in their zones; neighbouring zones, previous and next display ---

TEST(RunShortcutZones, WindowsReturnToTheirZonesAndNeighbourAndDisplayKeysMoveThemAcrossDisplays) {
    auto options = sideBySide();
    options.openInLastZone = true;
    Desk desk(options);
    desk.start();
    const auto left = desk.display("LEFT");
    const auto right = desk.display("RIGHT");
    const auto zoned = desk.zoneFrame(right, "Bottom Left");
    const auto client = desk.launch("xlogo");
    desk.placeByHand(client, frameAround(desk.topLeftFrame(right), 0.5, 0.8));
    desk.press(WindowCommand::zoneLeft);
    ASSERT_TRUE(desk.arrives(client.window, zoned));

    // The monitor goes, the window is moved by the user meanwhile, the monitor comes back.
    desk.setMonitors({options.server.monitors.front()});
    desk.run->sync();
    desk.placeByHand(client, frameAround(desk.topLeftFrame(left), 0.5, 0.5));
    desk.setMonitors(options.server.monitors);
    desk.run->sync();
    EXPECT_TRUE(desk.arrives(client.window, zoned));

    // Quit and started again, it opens in that zone.
    xcb_kill_client(desk.server.connection(), client.window);
    xcb_flush(desk.server.connection());
    // Gone from the manager's list first: the new client may get the same window id.
    ASSERT_TRUE(desk.server.waitUntilGone(client.window));
    const auto reopened = desk.launch("xlogo");
    ASSERT_TRUE(desk.arrives(reopened.window, zoned));

    // Moved to the other display without a drag, it is forgotten once the move has settled:
    // the monitor going and coming back leaves it where the user put it.
    const auto put = desk.placeByHand(reopened, frameAround(desk.topLeftFrame(left), 0.5, 0.5));
    const auto memory = fs::path(desk.run->home()) / ".local/state/Tessera/windows.json";
    ASSERT_TRUE(desk.server.waitUntil([&] {
        const auto remembered = decodeRememberedWindows(test::readTestFile(memory));
        return remembered && remembered.value->empty();
    }));
    desk.setMonitors({options.server.monitors.front()});
    desk.run->sync();
    desk.setMonitors(options.server.monitors);
    desk.run->sync();
    EXPECT_TRUE(desk.stays(reopened, put));

    // The rules for choosing the zone or display are the core's (MoverTest); here each key acts
    // on an X window, across the X displays. A landscape display of no particular size shows the
    // first layout.
    ASSERT_EQ(desk.layoutOn(left).id, stackHalfLayoutID());
    // xterm: its zone is recognised though it sizes itself in character cells.
    const auto terminal = desk.launch("xterm");
    // Below the middle: of the two zones on the left the lower one lies nearer.
    desk.placeByHand(terminal, frameAround(desk.topLeftFrame(left), 0.5, 0.8));
    desk.press(WindowCommand::zoneLeft);
    EXPECT_TRUE(desk.arrives(terminal.window, desk.zoneFrame(left, "Bottom Left")));
    desk.press(WindowCommand::zoneUp);
    EXPECT_TRUE(desk.arrives(terminal.window, desk.zoneFrame(left, "Top Left")));
    desk.press(WindowCommand::zoneDown);
    EXPECT_TRUE(desk.arrives(terminal.window, desk.zoneFrame(left, "Bottom Left")));
    desk.press(WindowCommand::zoneRight);
    EXPECT_TRUE(desk.arrives(terminal.window, desk.zoneFrame(left, "Right")));
    desk.press(WindowCommand::zoneRight);
    EXPECT_TRUE(desk.arrives(terminal.window, desk.zoneFrame(right, "Top Left")));
    desk.press(WindowCommand::zoneRight);
    EXPECT_TRUE(desk.arrives(terminal.window, desk.zoneFrame(right, "Right")));
    const auto atRightEdge = *desk.server.outerFrame(terminal.window);
    desk.press(WindowCommand::zoneRight);
    EXPECT_TRUE(desk.stays(terminal, atRightEdge));

    // Both displays have the same size, so a window moved in proportion keeps its size and its
    // place relative to the display.
    const double across = desk.topLeftFrame(right).minX() - desk.topLeftFrame(left).minX();
    const auto logo = desk.launch("xlogo");
    const auto start = desk.placeByHand(logo, frameAround(desk.topLeftFrame(left), 0.3, 0.55));
    desk.press(WindowCommand::nextDisplay);
    const Rect onRight(start.minX() + across, start.minY(), start.width(), start.height());
    EXPECT_TRUE(desk.arrives(logo.window, onRight));

    // A window filling its display fills the other one, and still remembers its frame.
    desk.press(WindowCommand::fillScreen);
    EXPECT_TRUE(desk.arrives(logo.window, desk.fillFrame(right)));
    desk.press(WindowCommand::previousDisplay);
    EXPECT_TRUE(desk.arrives(logo.window, desk.fillFrame(left)));
    desk.press(WindowCommand::nextDisplay);
    EXPECT_TRUE(desk.arrives(logo.window, desk.fillFrame(right)));
    desk.press(WindowCommand::fillScreen);
    EXPECT_TRUE(desk.arrives(logo.window, onRight));

    // A window in a zone goes to the most similar zone of the other display.
    desk.press(WindowCommand::zoneRight);
    EXPECT_TRUE(desk.arrives(logo.window, desk.zoneFrame(right, "Right")));
    desk.press(WindowCommand::previousDisplay);
    EXPECT_TRUE(desk.arrives(logo.window, desk.zoneFrame(left, "Right")));
}

// --- Zone shortcuts, shortcuts another client holds, nothing to act on ---

TEST(RunShortcutKeys, ZoneKeysFollowThePointerHeldKeysAreLeftToTheirOwnerAndTesseraCarriesOn) {
    const auto english = makeSimLocalizer("en");
    const KeyCombo controlOption1{0x12, carbon::controlKey | carbon::optionKey, "⌃⌥1"};
    const KeyCombo controlOption2{0x13, carbon::controlKey | carbon::optionKey, "⌃⌥2"};
    // The same keys as Zone Above: the zone is registered first and keeps them, which is no
    // other application's doing.
    const auto zoneAboveKeys = defaultCombo(WindowCommand::zoneUp);
    auto options = sideBySide();
    options.zoneShortcuts = {
        {stackHalfLayoutID(), "Bottom Left", controlOption1},
        {stackHalfLayoutID(), "Top Left", zoneAboveKeys},
        // A layout no display shows.
        {Uuid::fromLiteral(builtin::threeColumnsID), "Center", controlOption2},
    };
    Desk desk(options);
    auto& server = desk.server;
    // Zone to the Left and Previous Display by default.
    const auto taken = defaultCombo(WindowCommand::zoneLeft);
    OtherClient other(server);
    const auto leftArrow = *server.keycodeOf(XK_Left);
    ASSERT_EQ(other.grab(leftArrow, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1), 0);
    ASSERT_EQ(other.grab(leftArrow, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4), 0);
    desk.start();
    desk.run->sync();

    // The user can free the keys or choose others, so tesseractl names them as the desktop's
    // own settings write them. Starting registers every shortcut twice (the second time once
    // the permissions have been handed on); each held one is still named once.
    const auto errors = desk.run->process().errorOutput();
    std::string reported;
    std::istringstream lines(errors);
    for (std::string line; std::getline(lines, line);) {
        reported += line.starts_with("tesseractl: ") ? line + "\n" : "";
    }
    const auto conflict = [&](WindowCommand command) {
        return "tesseractl: " + linuxShortcutText(defaultCombo(command), english) +
               " is taken by another application; that shortcut does nothing until it is free\n";
    };
    EXPECT_EQ(reported,
              conflict(WindowCommand::zoneLeft) + conflict(WindowCommand::previousDisplay))
        << errors;

    // With no window, and with a desktop window active, no shortcut does anything.
    const auto pressEach = [&](const std::function<void()>& check) {
        for (const auto command : allWindowCommands) {
            SCOPED_TRACE(std::string(rawValue(command)));
            desk.press(command);
            EXPECT_TRUE(desk.stillRuns());
            check();
        }
    };
    pressEach([&] { EXPECT_TRUE(server.clientList().empty()); });
    // Zone to the Left and Previous Display went to the client that holds them.
    EXPECT_TRUE(server.waitUntil([&] { return other.keyPresses() == 2; }));

    const auto left = desk.display("LEFT");
    const auto right = desk.display("RIGHT");
    ASSERT_EQ(desk.layoutOn(right).id, stackHalfLayoutID());
    const auto centre =
        desk.zone(*builtInLayout(Uuid::fromLiteral(builtin::threeColumnsID)), "Center");
    const auto pointerOn = [&](const SystemDisplay& display) {
        const auto frame = desk.topLeftFrame(display);
        server.pointerTo(static_cast<int>(frame.minX() + frame.width() / 2),
                         static_cast<int>(frame.minY() + frame.height() / 2));
    };
    const Client xlogo = desk.launch("xlogo");
    desk.placeByHand(xlogo, frameAround(desk.topLeftFrame(left), 0.5, 0.3));

    // Both displays show the zone's layout: the one under the pointer is taken, wherever the
    // window is.
    pointerOn(right);
    desk.press(controlOption1);
    EXPECT_TRUE(desk.arrives(xlogo.window, desk.zoneFrame(right, "Bottom Left")));
    pointerOn(left);
    desk.press(controlOption1);
    EXPECT_TRUE(desk.arrives(xlogo.window, desk.zoneFrame(left, "Bottom Left")));

    // No display shows the zone's layout: the zone goes onto the display under the pointer.
    desk.press(controlOption2);
    EXPECT_TRUE(desk.arrives(xlogo.window, desk.zoneFrame(left, centre)));
    pointerOn(right);
    desk.press(controlOption2);
    EXPECT_TRUE(desk.arrives(xlogo.window, desk.zoneFrame(right, centre)));

    // Zone Above would stay on the right display; the zone's shortcut follows the pointer.
    pointerOn(left);
    desk.press(zoneAboveKeys);
    EXPECT_TRUE(desk.arrives(xlogo.window, desk.zoneFrame(left, "Top Left")));

    // The held keys reach their owner and move nothing; the others still work.
    const auto before = *server.outerFrame(xlogo.window);
    desk.press(taken);
    EXPECT_TRUE(server.waitUntil([&] { return other.keyPresses() == 3; }));
    EXPECT_TRUE(desk.stays(xlogo, before));

    // A shortcut whose key stays where it was must keep working while the keyboard map changes:
    // each round the maps are announced again just before the keys go down, while tesseractl may
    // still be busy taking its grabs again.
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        server.rewriteKeyboardMaps();
        const bool toTheRight = round % 2 == 0;
        desk.press(toTheRight ? defaultCombo(WindowCommand::zoneRight) : controlOption1);
        ASSERT_TRUE(
            desk.arrives(xlogo.window, desk.zoneFrame(left, toTheRight ? "Right" : "Bottom Left")));
    }

    // A desktop window over the whole screen, as a file manager draws the desktop with, active.
    const auto windowFrame = *server.outerFrame(xlogo.window);
    const XWindow desktop = server.makeWindow(Rect(0, 0, server.width(), server.height()),
                                              "_NET_WM_WINDOW_TYPE_DESKTOP");
    const Client desktopClient{"the desktop", desktop};
    server.activate(desktop);
    const auto desktopFrame = *server.outerFrame(desktop);
    pressEach([&] {
        EXPECT_TRUE(desk.stays(desktopClient, desktopFrame));
        EXPECT_TRUE(desk.stays(xlogo, windowFrame));
    });

    // Still listening.
    server.activate(xlogo.window);
    desk.press(WindowCommand::fillScreen);
    EXPECT_TRUE(desk.arrives(xlogo.window, desk.fillFrame(left)));
}

} // namespace
} // namespace tessera::x11test
