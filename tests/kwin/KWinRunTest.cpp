// `tesseractl run --platform kwin` end to end: a headless kwin_wayland with two outputs, a
// Wayland-native window and an Xwayland one, shortcuts pressed through kglobalaccel and every
// frame read back from KWin itself. The expected frames come from the core's own frame rule
// applied to the outputs KWin was started with.

#include "KWinSession.h"

#include "../unit/PlacementTestSupport.h"
#include "../unit/TempDir.h"
#include "../x11/ZoneTargets.h"

#include "core/app/Preferences.h"
#include "core/hotkeys/KeyCombos.h"
#include "core/model/Screens.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/placement/CommandShortcuts.h"
#include "core/placement/WindowCommand.h"
#include "core/placement/ZoneMemory.h"
#include "platform/kwin/KWinBridge.h"
#include "platform/kwin/KWinPorts.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimLocalizer.h"

#include <QtCore/qnamespace.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <vector>

namespace tessera::kwintest {
namespace {

std::string describe(const std::optional<Rect>& frame) {
    return ::testing::PrintToString(frame);
}

// The name KWin lists a command's default shortcut under.
std::string shortcutOf(WindowCommand command) {
    const auto row = info(command);
    return *KWinHotkeys::shortcutName(row.defaultKeyCode, row.defaultCarbonModifiers);
}

// What "Fill Screen" makes of a window on output 0 or 1 (top-left system; no panels, so the
// free area is the whole output).
Rect filled(int output) {
    SimDefaults defaults;
    registerPreferenceDefaults(defaults);
    const Rect primary(0, 0, 1920, 1080);
    const Rect frame(1920.0 * output, 0, 1920, 1080);
    return fillWindowFrame(frame, primary, gapRule(defaults));
}

struct Placed {
    std::string id;
    // xterm sizes itself in character cells: within the core's own tolerance is there.
    bool exact = true;
};

// Presses the shortcut and waits until KWin has the window at the frame.
void pressAndExpect(KWinSession& session, const Placed& window, WindowCommand command,
                    const Rect& expected) {
    session.invokeShortcut(shortcutOf(command));
    std::optional<Rect> frame;
    const bool placed = session.waitUntil([&] {
        frame = session.frame(window.id);
        return frame && (window.exact ? *frame == expected : framesMatch(*frame, expected));
    });
    EXPECT_TRUE(placed) << shortcutOf(command) << ": expected " << describe(expected) << ", got "
                        << describe(frame);
}

TEST(KWinRun, ShortcutsPlaceWaylandAndXwaylandWindowsOnBothOutputsAndAReopenedOneInItsZone) {
    KWinSession session;
    const Placed wayland{session.openWindow("tessera-wayland-window", true), true};
    const Placed xwayland{session.openWindow("tessera-xwayland-window", false), false};
    // Zone Above on Meta+Up, which KWin's own "Quick Tile Window to the Top" holds.
    SimDefaults preferences;
    const KeyCombo metaUp{126, carbon::cmdKey, "Meta+Up"};
    ASSERT_TRUE(setShortcut(WindowCommand::zoneUp, metaUp, preferences));
    preferences.set(prefs::openInLastZone, DefaultsValue{true});
    const auto tessera =
        session.startTessera({}, encodePreferences(preferences.persistentDomain()));
    EXPECT_TRUE(session.scriptLoaded(KWinBridge::pluginName));
    // KDE's settings show the stored keys: Command is Meta, Option is Alt.
    EXPECT_EQ(session.shortcutKeys(shortcutOf(WindowCommand::fillScreen)),
              std::vector<int>{QKeyCombination(Qt::META | Qt::ALT, Qt::Key_Return).toCombined()});
    EXPECT_EQ(session.shortcutKeys(shortcutOf(WindowCommand::zoneLeft)),
              std::vector<int>{QKeyCombination(Qt::CTRL | Qt::ALT, Qt::Key_Left).toCombined()});
    EXPECT_TRUE(session.shortcutKeys("Tessera Meta+Up").empty());

    for (const auto& window : {wayland, xwayland}) {
        session.activate(window.id);
        pressAndExpect(session, window, WindowCommand::fillScreen, filled(0));
        // Only a second output known to tesseractl takes it there, and back.
        pressAndExpect(session, window, WindowCommand::nextDisplay, filled(1));
        pressAndExpect(session, window, WindowCommand::nextDisplay, filled(0));
    }
    // Named once, as on X11, though every shortcut is registered twice at start.
    EXPECT_EQ(tessera->errorOutput(),
              "tesseractl: " + linuxShortcutText(metaUp, makeSimLocalizer("en")) +
                  " is taken by another application; that shortcut does nothing until it is "
                  "free\n");

    // With "openInLastZone" on, a window put into a zone opens there again once closed.
    const auto first = session.openWindow("tessera-reopened", true);
    session.activate(first);
    const auto opened = session.frame(first);
    session.invokeShortcut(shortcutOf(WindowCommand::zoneRight));
    std::optional<Rect> zoned;
    ASSERT_TRUE(session.waitUntil([&] {
        zoned = session.frame(first);
        return zoned && zoned != opened;
    })) << tessera->errorOutput();
    session.closeLastWindow(first);
    const auto again = session.openWindow("tessera-reopened", true);
    EXPECT_TRUE(session.waitUntil([&] { return session.frame(again) == zoned; }))
        << describe(session.frame(again)) << ", expected " << describe(zoned);

    // Tiled by KWin's own shortcut, without a drag, it is forgotten.
    session.activate(again);
    session.invokeShortcut("Window Quick Tile Left");
    ASSERT_TRUE(session.waitUntil([&] { return session.frame(again) != zoned; }));
    EXPECT_TRUE(session.waitUntil([&] {
        const auto remembered = decodeRememberedWindows(
            test::readTestFile(session.home() + "/.local/state/Tessera/windows.json"));
        return remembered && remembered.value->empty();
    }));
}

#ifdef TESSERA_APPLICATION
// The application serves Plasma on Wayland as `tesseractl run` does, its windows a Wayland client
// of the same KWin: it finds KWin itself and its shortcuts place windows.
TEST(KWinRun, TheApplicationFindsKWinAndItsShortcutsPlaceWindows) {
    KWinSession session;
    const Placed wayland{session.openWindow("tessera-wayland-window", true), true};
    const auto tessera = session.startTessera({TESSERA_APPLICATION, "--hidden"}, {}, {});
    // "ready" comes before KWin has the shortcuts; KDE's settings say when it does.
    ASSERT_TRUE(session.waitUntil([&] {
        return !session.shortcutKeys(shortcutOf(WindowCommand::fillScreen)).empty();
    })) << tessera->errorOutput();
    session.activate(wayland.id);
    pressAndExpect(session, wayland, WindowCommand::fillScreen, filled(0));
    pressAndExpect(session, wayland, WindowCommand::nextDisplay, filled(1));

    // Scripts reach it on the name its bridge claimed: one owner and connection for both.
    const auto listed = session.start({TESSERA_TESSERACTL, "displays", "--json"});
    ASSERT_EQ(listed->waitForExit(), 0) << listed->errorOutput();
    const auto zone =
        nlohmann::json::parse(listed->output()).at("displays").at(0).at("zones").at(0);
    const auto& f = zone.at("frame");
    const Rect expected{f.at("x").get<double>(), f.at("y").get<double>(),
                        f.at("width").get<double>(), f.at("height").get<double>()};
    const auto placed = session.start(
        {TESSERA_TESSERACTL, "place", zone.at("id").get<std::string>(), "--window", wayland.id});
    EXPECT_EQ(placed->waitForExit(), 0) << placed->errorOutput();
    EXPECT_TRUE(session.waitUntil([&] { return session.frame(wayland.id) == expected; }));
}
#endif

enum class Grip { titleBar, titleBarThenEscape, metaAnywhere };

// Brings the window to the front, takes it with the left button (by its title bar, or with Meta
// held anywhere on it), moves it to the point in steps as a hand would and releases it there.
void drag(KWinSession& session, const std::string& id, Point to, Grip grip = Grip::titleBar) {
    session.activate(id);
    const auto frame = session.frame(id);
    ASSERT_TRUE(frame);
    const bool meta = grip == Grip::metaAnywhere;
    const Point from{frame->minX() + frame->width() / 2,
                     meta ? frame->minY() + frame->height() / 2 : frame->minY() + 12};
    const std::string leftMeta = "125";
    std::vector<std::string> steps{"to", std::to_string(from.x), std::to_string(from.y)};
    if (meta) {
        steps.insert(steps.end(), {"key", leftMeta, "1"});
    }
    steps.emplace_back("down");
    constexpr int count = 12;
    for (int i = 1; i <= count; ++i) {
        steps.insert(steps.end(), {"to", std::to_string(from.x + (to.x - from.x) * i / count),
                                   std::to_string(from.y + (to.y - from.y) * i / count)});
    }
    if (grip == Grip::titleBarThenEscape) {
        steps.insert(steps.end(), {"key", "1", "1", "key", "1", "0"});
    }
    steps.emplace_back("up");
    if (meta) {
        steps.insert(steps.end(), {"key", leftMeta, "0"});
    }
    session.input(steps);
}

TEST(KWinRun, DragToSnapPlacesOnDropRestoresOnDragOutAndIgnoresEscapeAndExcludedApplications) {
    KWinSession session;
    const Placed excluded{session.openWindow("tessera-xwayland-window", false), false};
    const auto window = session.openWindow("tessera-wayland-window", true);
    SimDefaults preferences;
    registerPreferenceDefaults(preferences);
    setIgnoredApps(preferences, {session.application(excluded.id)});
    const auto tessera =
        session.startTessera({}, encodePreferences(preferences.persistentDomain()));
    const std::vector<SystemDisplay> outputs{
        {Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1080), 1, "output-0"},
        {Rect(1920, 0, 1920, 1080), Rect(1920, 0, 1920, 1080), 1, "output-1"}};
    const auto targets =
        x11test::zoneTargets(outputs, session.layoutsFile(), preferences.persistentDomain());
    ASSERT_FALSE(targets.empty());
    const auto& target = targets.front();

    // Escape: KWin puts the window back and Tessera places nothing, as a shortcut handled after
    // the drop shows (exclusions hold for drags only).
    const auto start = session.frame(window);
    drag(session, window, target.cardCentre, Grip::titleBarThenEscape);
    session.activate(excluded.id);
    pressAndExpect(session, excluded, WindowCommand::fillScreen, filled(0));
    EXPECT_EQ(session.frame(window), start);

    drag(session, excluded.id, target.cardCentre);
    drag(session, window, target.cardCentre);
    std::optional<Rect> frame;
    EXPECT_TRUE(session.waitUntil([&] {
        frame = session.frame(window);
        return frame == target.windowFrame;
    })) << "expected "
        << describe(target.windowFrame) << ", got " << describe(frame);
    // Its drop was handled before the other's: the excluded window stays where KWin left it.
    const auto left = session.frame(excluded.id);
    ASSERT_TRUE(left);
    EXPECT_FALSE(framesMatch(*left, target.windowFrame)) << describe(left);

    // Dragged out of its zone, it gets back the size it had before.
    drag(session, window, Point{1400, 700});
    EXPECT_TRUE(session.waitUntil([&] {
        frame = session.frame(window);
        return frame && frame->size == start->size;
    })) << "expected the size of "
        << describe(start) << ", got " << describe(frame);

    // KWin's other way to move a window, Meta held anywhere on it, drops on a card too.
    const auto& other = targets.back();
    drag(session, window, other.cardCentre, Grip::metaAnywhere);
    EXPECT_TRUE(session.waitUntil([&] {
        frame = session.frame(window);
        return frame == other.windowFrame;
    })) << "expected "
        << describe(other.windowFrame) << ", got " << describe(frame);
}

TEST(KWinRun, FollowsAPredecessorThatDiedKWinThroughARestartAndItsScriptBeingStopped) {
    KWinSession session;
    const Placed window{session.openWindow("tessera-wayland-window", true), true};
    // Killed, so the script it loaded stays behind with its shortcuts and a poll of a peer
    // that is gone.
    session.startTessera({"--platform", "kwin"})->stop(SIGKILL);
    ASSERT_TRUE(session.scriptLoaded(KWinBridge::pluginName));
    const auto tessera = session.startTessera();
    session.activate(window.id);
    pressAndExpect(session, window, WindowCommand::fillScreen, filled(0));
    // Handled twice, the press would take the window to the other output and back.
    pressAndExpect(session, window, WindowCommand::nextDisplay, filled(1));

    session.restartKWin();
    ASSERT_TRUE(tessera->waitForLine("ready", 30)) << tessera->errorOutput();
    EXPECT_EQ(tessera->errorOutput(),
              "tesseractl: KWin left the session bus; waiting for it to come back\n");
    EXPECT_TRUE(session.scriptLoaded(KWinBridge::pluginName));
    const Placed again{session.openWindow("tessera-wayland-window", true), true};
    session.activate(again.id);
    pressAndExpect(session, again, WindowCommand::fillScreen, filled(0));

    // A script that no longer polls is noticed within the idle poll's answer and a grace.
    session.unloadScript(KWinBridge::pluginName);
    ASSERT_TRUE(tessera->waitForLine("ready", 30)) << tessera->errorOutput();
    EXPECT_NE(tessera->errorOutput().find("KWin's script stopped answering"), std::string::npos);
    EXPECT_TRUE(session.scriptLoaded(KWinBridge::pluginName));
    pressAndExpect(session, again, WindowCommand::nextDisplay, filled(1));

    EXPECT_EQ(tessera->stop(SIGTERM), 0);
    EXPECT_FALSE(session.scriptLoaded(KWinBridge::pluginName));
}

} // namespace
} // namespace tessera::kwintest
