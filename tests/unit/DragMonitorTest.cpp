#include "PlacementTestSupport.h"
#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/drag/DragMonitor.h"
#include "core/drag/DragOverlayController.h"
#include "core/model/Screens.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimInputEvents.h"
#include "platform/sim/SimLocalizer.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimOverlaySurface.h"
#include "platform/sim/SimScheduler.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tessera;
using placementtest::zone;

namespace {

constexpr ProcessId ownPID = 100;
constexpr ProcessId editorPID = 200;
const std::string editorID = "com.example.editor";

// A 1440 × 900 primary display with a 25-point menu bar: its free area spans top-left y 25 to
// 900. The editor's window sits at (100, 100) and is 800 × 600, so its title band covers top-left
// y 100 to 186.
constexpr Rect editorFrame{100, 100, 800, 600};
// Where the left half of the free area puts a window (no gap), top-left.
constexpr Rect leftHalfFrame{0, 25, 720, 875};

using Lines = std::vector<std::string>;
using Names = std::vector<std::string>;

class DragMonitorFixture : public ::testing::Test {
protected:
    explicit DragMonitorFixture(std::vector<SystemDisplay> screens) : desktop(std::move(screens)) {
        registerPreferenceDefaults(defaults);
        desktop.addApplication(ownPID, std::string("app.tessera.Tessera"), "Tessera");
        desktop.addApplication(editorPID, editorID, "Editor");
        window = desktop.addWindow(editorPID, editorFrame);
        desktop.setFrontmostApplication(editorPID);

        left = zone(0, 0, 0.5, 1, "Left");
        right = zone(0.5, 0, 0.5, 1, "Right");
        halves = Layout{Uuid::random(), "Halves", {left, right}};
        store.upsert(halves);
        for (const auto& screen : desktop.displays().screens()) {
            store.assign(halves.id, makeScreenInfo(screen));
        }

        monitor =
            std::make_unique<DragMonitor>(input, desktop, desktop, desktop.displays(), scheduler,
                                          log, defaults, store, mover, overlay, ownPID);
        start();
    }

    // The set-up order the application uses.
    void start() {
        monitor->stop();
        monitor->installTap();
        monitor->installEventMonitors();
    }

    // Presses as the user would; later drags move the window's origin with the pointer, as the
    // system does with a window dragged by its title bar, and keep its current size.
    void press(Point p, std::uint64_t flags = 0) {
        pressPoint = p;
        pressOrigin = desktop.frame(window).value_or(Rect{}).origin;
        input.pressLeft(p, flags);
    }
    void systemDragTo(Point p) {
        if (const auto current = desktop.frame(window)) {
            desktop.setFrame(window, Rect(pressOrigin.x + p.x - pressPoint.x,
                                          pressOrigin.y + p.y - pressPoint.y, current->width(),
                                          current->height()));
        }
        input.dragTo(p);
    }

    // The centre of a zone's card (cards are centred in their zone), top-left.
    Point cardCentre(const Zone& z, std::size_t displayIndex = 0) const {
        const auto screens = desktop.displays().screens();
        const Rect r = zoneRect(z, screens[displayIndex].visibleFrame);
        return toTopLeft(Point{r.minX() + r.width() / 2, r.minY() + r.height() / 2},
                         primaryDisplay(screens).frame);
    }

    Lines messages() const { return log.messages(dragLogCategory); }
    bool overlayVisible() const { return overlay.isVisible(); }
    std::optional<Uuid> hovered() const {
        const auto& all = overlay.surfaces();
        return all.empty() ? std::nullopt : all.begin()->second.state->hoveredID();
    }
    std::size_t raises() const { return desktop.count(SimCallKind::performAction, "AXRaise"); }

    SimDesktop desktop;
    SimInputEvents input{desktop.displays()};
    SimScheduler scheduler;
    SimLog log;
    SimDefaults defaults;
    test::TempDir dir{"tessera-drag"};
    LayoutStore store{dir / "layouts.json"};
    AccessibilityWindowMover mover{desktop, desktop, desktop.displays(), defaults};
    TableLocalizer localizer = makeSimLocalizer();
    SimOverlaySurfaceFactory surfaces;
    DragOverlayController overlay{desktop.displays(), scheduler, localizer, defaults, surfaces};
    std::unique_ptr<DragMonitor> monitor;

    AccessibilityElement window;
    Zone left;
    Zone right;
    Layout halves;
    Point pressPoint;
    Point pressOrigin;
};

class DragMonitorTest : public DragMonitorFixture {
protected:
    DragMonitorTest() : DragMonitorFixture(simscreens::single()) {}
};

// The built-in display and a 1920 × 1080 display to its right, bottoms aligned: the second one
// spans top-left y −180 to 900 and has no menu bar but a 70-point dock at the bottom.
class DragMonitorTwoDisplaysTest : public DragMonitorFixture {
protected:
    DragMonitorTwoDisplaysTest() : DragMonitorFixture(simscreens::sideBySide()) {}
};

} // namespace

// --- Event sources ---

TEST_F(DragMonitorTest, SetUpInstallsAnEnabledListenOnlyTapAndBothMonitorsForTheDragEvents) {
    EXPECT_EQ(input.lastTapMask(), EventMask{1094});
    EXPECT_EQ(input.liveTapCount(), 1u);
    EXPECT_TRUE(input.isTapEnabled());
    EXPECT_EQ(input.tapEnableCalls(), std::vector<bool>{true});
    EXPECT_EQ(input.globalMonitorMasks(), std::vector<EventMask>{1094});
    EXPECT_EQ(input.localMonitorMasks(), std::vector<EventMask>{1094});
    EXPECT_TRUE(monitor->hasTap());
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DragMonitorTest, StopRemovesTapAndMonitorsDropsTheSessionAndHidesTheOverlay) {
    press({300, 120});
    input.dragTo({300, 160});
    ASSERT_TRUE(overlayVisible());

    monitor->stop();
    EXPECT_EQ(input.tapEnableCalls(), (std::vector<bool>{true, false}));
    EXPECT_EQ(input.liveTapCount(), 0u);
    EXPECT_EQ(input.globalMonitorCount(), 0u);
    EXPECT_EQ(input.localMonitorCount(), 0u);
    EXPECT_FALSE(monitor->session());
    EXPECT_FALSE(overlayVisible());

    // Nothing reaches the monitor any more.
    press({300, 120});
    EXPECT_FALSE(monitor->session());
}

TEST_F(DragMonitorTest, TapSwitchedOffByTheSystemIsSwitchedOnAgainByItsCallback) {
    input.disableTapByTimeout();
    EXPECT_TRUE(input.isTapEnabled());
    input.disableTapByUserInput();
    EXPECT_TRUE(input.isTapEnabled());
    EXPECT_EQ(input.tapEnableCalls(), (std::vector<bool>{true, true, true}));

    input.setDelivery(SimDelivery::tapOnly);
    press({300, 120});
    EXPECT_TRUE(monitor->session());
}

TEST_F(DragMonitorTest, RefusedTapIsLoggedAsAnErrorAndTheGlobalMonitorStillSnaps) {
    input.refuseTapCreation(true);
    log.clear();
    start();
    EXPECT_FALSE(monitor->hasTap());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], (LogLine{"drag", LogLevel::error, "event tap not created"}));

    // The refusal ends; the monitor does not try again.
    const auto attempts = input.tapCreationAttempts();
    input.refuseTapCreation(false);
    press({300, 120});
    systemDragTo(cardCentre(left));
    input.release();
    EXPECT_EQ(input.tapCreationAttempts(), attempts);
    EXPECT_EQ(desktop.frame(window), leftHalfFrame);
    EXPECT_EQ(raises(), 1u);
}

TEST_F(DragMonitorTest, MonitorEventsUseThePointerConvertedFromTheBottomLeftSystem) {
    // The event's own location is deliberately elsewhere: only the pointer counts.
    desktop.displays().setMouseLocation({300, 780});
    input.sendToGlobalMonitors({InputEventType::leftMouseDown, {5, 5}, 0, 0});
    ASSERT_TRUE(monitor->session());
    EXPECT_EQ(monitor->session()->startPoint, (Point{300, 120}));
}

TEST_F(DragMonitorTest, OptionComesFromTapFlagsAndFromMonitorModifierFlags) {
    // The middle of the window, far below the title band.
    const Point inside{500, 500};
    input.setDelivery(SimDelivery::tapOnly);
    press(inside, eventFlags::option);
    EXPECT_TRUE(monitor->session());
    monitor->cancelDrag();

    input.setDelivery(SimDelivery::monitorOnly);
    press(inside, eventFlags::option);
    EXPECT_TRUE(monitor->session());
    monitor->cancelDrag();

    // Other modifiers are no Option.
    press(inside, eventFlags::command | eventFlags::shift);
    EXPECT_FALSE(monitor->session());
}

TEST_F(DragMonitorTest, EventsForOwnWindowsArriveThroughTheLocalMonitorUnswallowed) {
    input.setDelivery(SimDelivery::monitorOnly);
    press({300, 120});
    input.dragTo({300, 160});
    ASSERT_TRUE(overlayVisible());

    // The pointer reaches one of Tessera's own windows; Escape is seen there too.
    input.setTarget(SimEventTarget::ownWindow);
    EXPECT_FALSE(input.keyDown(SimInputEvents::escapeKeyCode));
    EXPECT_FALSE(monitor->session());
    EXPECT_FALSE(overlayVisible());
}

TEST_F(DragMonitorTest, HandlersAndJobsOfADestroyedMonitorDoNothing) {
    press({300, 120});
    systemDragTo(cardCentre(left));
    input.release();
    monitor->previewZones(2.4);
    monitor.reset();

    // Connections went with the monitor; the two pending jobs are dropped unrun.
    EXPECT_EQ(input.liveTapCount(), 0u);
    EXPECT_EQ(input.globalMonitorCount(), 0u);
    scheduler.advance(3);
    EXPECT_TRUE(overlayVisible());
    for (const auto& line : messages()) {
        EXPECT_EQ(line.rfind("0.5 s after drop", 0), std::string::npos) << line;
    }
}

// --- Double delivery ---

TEST_F(DragMonitorTest, OnePhysicalEventReportedTwiceActsOnce) {
    for (const auto delivery : {SimDelivery::tapThenMonitor, SimDelivery::monitorThenTap}) {
        SCOPED_TRACE(static_cast<int>(delivery));
        desktop.setFrame(window, editorFrame);
        mover.recordPlacement(window, std::nullopt);
        desktop.clearCalls();
        log.clear();
        input.setDelivery(delivery);

        // Both reports of the press open the same session.
        press({300, 120});
        ASSERT_TRUE(monitor->session());
        EXPECT_EQ(*monitor->session(),
                  (DragSession{window, {300, 120}, editorFrame, false, false}));
        systemDragTo(cardCentre(left));
        EXPECT_EQ(hovered(), left.id);

        // The second release finds no session: one placement, one drop line.
        input.release();
        EXPECT_EQ(raises(), 1u);
        const Lines expected{
            "mouse down on com.example.editor frame (100, 100, 800, 600), title bar true",
            "mouse down on com.example.editor frame (100, 100, 800, 600), title bar true",
            "drag started, restored original size: false",
            "drop on Left: set true, expected (0, 25, 720, 875), got (0, 25, 720, 875)",
        };
        EXPECT_EQ(messages(), expected);
        EXPECT_FALSE(monitor->session());
    }
}

// --- Mouse down ---

TEST_F(DragMonitorTest, TitleBandBoundsAreInclusive) {
    struct Case {
        Point point;
        bool starts;
    };
    // Top edge, 86 points below it, 86.5 below, and both side edges. The right edge lies
    // outside the window for the hit test, so the editor's active window stands in there.
    const Case cases[] = {
        {{300, 100}, true}, {{300, 186}, true}, {{300, 186.5}, false},
        {{100, 150}, true}, {{900, 150}, true}, {{900.5, 150}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.point.x) + ", " + std::to_string(c.point.y));
        monitor->cancelDrag();
        press(c.point);
        EXPECT_EQ(monitor->session().has_value(), c.starts);
    }
    // Option starts a session below the band.
    monitor->cancelDrag();
    press({300, 186.5}, eventFlags::option);
    EXPECT_TRUE(monitor->session());
    EXPECT_EQ(messages().back(),
              "mouse down on com.example.editor frame (100, 100, 800, 600), title bar false");
}

TEST_F(DragMonitorTest, OwnIgnoredAndFullScreenWindowsNeverStartASession) {
    desktop.addWindow(ownPID, {1000, 100, 300, 300});
    desktop.addWindow(editorPID, {0, 400, 200, 200}, SimWindowOptions{}.inFullScreen());
    log.clear();

    press({1100, 110}, eventFlags::option);
    press({100, 410}, eventFlags::option);
    EXPECT_FALSE(monitor->session());
    // Only the no-window and mouse-down lines are ever written here; these presses write none.
    EXPECT_TRUE(messages().empty());

    // Two identifiers around an empty line, with a trailing newline.
    defaults.set(prefs::ignoredApps, std::string("com.other\n\n" + editorID + "\n"));
    press({300, 120}, eventFlags::option);
    EXPECT_FALSE(monitor->session());
    EXPECT_TRUE(messages().empty());

    // An entry with a leading blank matches nothing.
    defaults.set(prefs::ignoredApps, std::string("com.other\n " + editorID));
    press({300, 120});
    EXPECT_TRUE(monitor->session());
}

TEST_F(DragMonitorTest, ApplicationWithoutIdentifierIsNeverIgnoredAndLogsAQuestionMark) {
    desktop.addApplication(300, std::nullopt, "Anonymous");
    desktop.addWindow(300, {1000, 100, 300, 300});
    defaults.set(prefs::ignoredApps, std::string("?\n"));
    press({1100, 110});
    EXPECT_TRUE(monitor->session());
    EXPECT_EQ(messages().back(), "mouse down on ? frame (1000, 100, 300, 300), title bar true");
}

TEST_F(DragMonitorTest, NoWindowUnderThePointerFallsBackToTheFrontmostApplication) {
    // Nothing under the point: the editor's active window is used, and the band decides.
    press({300, 50});
    EXPECT_FALSE(monitor->session());
    EXPECT_EQ(messages().back(),
              "mouse down on com.example.editor frame (100, 100, 800, 600), title bar false");

    // Option does not make a stand-in window the press was not on a handle: an Option-drag on
    // the desktop leaves the window in front alone.
    press({300, 50}, eventFlags::option);
    EXPECT_FALSE(monitor->session());

    // A hit test the window does not answer, over its title band, or anywhere in it with Option.
    desktop.setFaults(window, SimWindowFaults{}.failingHitTest());
    press({300, 120});
    EXPECT_TRUE(monitor->session());
    monitor->cancelDrag();
    press({900, 700}, eventFlags::option);
    EXPECT_TRUE(monitor->session());
}

TEST_F(DragMonitorTest, NoWindowAtAllWritesTheNoWindowLine) {
    // Tessera itself in front gives no stand-in window, although it has one.
    desktop.addWindow(ownPID, {1000, 600, 300, 200});
    desktop.setFrontmostApplication(ownPID);
    press({1300, 50});
    const std::string noWindow =
        "mouse down at (1300, 50): no window, trusted true, AX error -25212";
    EXPECT_EQ(messages(), (Lines{noWindow, noWindow}));
    EXPECT_EQ(log.lines()[0].level, LogLevel::debug);

    log.clear();
    desktop.setFrontmostApplication(editorPID);
    desktop.setTrusted(false);
    input.setDelivery(SimDelivery::tapOnly);
    press({300, 120});
    EXPECT_EQ(messages(),
              Lines{"mouse down at (300, 120): no window, trusted false, AX error -25211"});
    EXPECT_FALSE(monitor->session());
}

TEST_F(DragMonitorTest, UnreadableFrameStartsASessionOnlyWithOption) {
    desktop.setFaults(window, SimWindowFaults{}.failingFrameReads());
    press({300, 120});
    EXPECT_FALSE(monitor->session());
    EXPECT_EQ(messages().back(), "mouse down on com.example.editor frame nil, title bar false");

    press({300, 120}, eventFlags::option);
    ASSERT_TRUE(monitor->session());
    EXPECT_FALSE(monitor->session()->startFrame);

    // Without a start frame only pointer travel brings the overlay.
    input.dragTo({300, 127});
    EXPECT_FALSE(overlayVisible());
    input.dragTo({300, 128});
    EXPECT_TRUE(overlayVisible());
}

// --- Dragging ---

TEST_F(DragMonitorTest, OverlayNeedsEightPointsOfTravelOrAMovedWindow) {
    press({300, 120});
    input.dragTo({307, 120});
    EXPECT_FALSE(overlayVisible());
    EXPECT_FALSE(monitor->session()->overlayShown);
    input.dragTo({300, 128});
    EXPECT_TRUE(overlayVisible());
    EXPECT_TRUE(monitor->session()->overlayShown);
    input.release({300, 128});

    // The window moved 2 points: not yet; 3 points: yes, with the pointer still near its start.
    desktop.setFrame(window, editorFrame);
    press({300, 120});
    desktop.setFrame(window, Rect(102, 100, 800, 600));
    input.dragTo({301, 120});
    EXPECT_FALSE(overlayVisible());
    EXPECT_FALSE(monitor->session()->leftZone);
    desktop.setFrame(window, Rect(103, 100, 800, 600));
    input.dragTo({301, 120});
    EXPECT_TRUE(overlayVisible());
    EXPECT_TRUE(monitor->session()->leftZone);
}

TEST_F(DragMonitorTest, HoverFollowsTheCardUnderThePointer) {
    press({300, 120});
    systemDragTo(cardCentre(left));
    EXPECT_EQ(hovered(), left.id);
    systemDragTo(cardCentre(right));
    EXPECT_EQ(hovered(), right.id);
    // Inside the right zone but well above its card.
    systemDragTo({1080, 200});
    EXPECT_EQ(hovered(), std::nullopt);
}

TEST_F(DragMonitorTest, PlacedWindowGetsItsSizeBackOnceWhenDraggedOut) {
    ASSERT_TRUE(mover.placeInZone(window, left, desktop.displays().screens()[0]));
    ASSERT_EQ(desktop.frame(window), leftHalfFrame);
    desktop.clearCalls();
    log.clear();

    press({300, 40});
    systemDragTo({303, 40});
    // Only the size changes; the window stays where the drag carries it.
    EXPECT_EQ(desktop.frame(window), Rect(3, 25, 800, 600));
    EXPECT_EQ(desktop.writeNames(window), Names{"AXSize"});
    EXPECT_TRUE(monitor->session()->leftZone);
    // The pointer moved 3 points, the window did too: the overlay is up.
    EXPECT_TRUE(overlayVisible());
    EXPECT_TRUE(mover.placements().empty());

    systemDragTo({320, 60});
    systemDragTo({303, 40});
    EXPECT_EQ(desktop.writeNames(window), Names{"AXSize"});
    const Lines expected{
        "mouse down on com.example.editor frame (0, 25, 720, 875), title bar true",
        "mouse down on com.example.editor frame (0, 25, 720, 875), title bar true",
        "drag started, restored original size: true",
    };
    EXPECT_EQ(messages(), expected);
}

TEST_F(DragMonitorTest, SizeIsRestoredWithSnapOnDragOffButNothingIsShownOrPlaced) {
    mover.placeInZone(window, left, desktop.displays().screens()[0]);
    defaults.set(prefs::snapOnDrag, false);
    desktop.clearCalls();
    log.clear();

    press({300, 40});
    systemDragTo({310, 40});
    EXPECT_EQ(desktop.frame(window)->size, (Size{800, 600}));
    systemDragTo(cardCentre(right));
    EXPECT_FALSE(overlayVisible());
    input.release();
    EXPECT_EQ(raises(), 0u);
    EXPECT_EQ(messages().back(), "drop without zone, overlay shown: false");
    EXPECT_EQ(messages()[2], "drag started, restored original size: true");
}

// Some window managers hold the size their move started with until the button is up; the
// size is then set again at the release, and every line says what really happened.
TEST_F(DragMonitorTest, SizeHeldDuringTheMoveIsRestoredAtTheRelease) {
    mover.placeInZone(window, left, desktop.displays().screens()[0]);
    log.clear();
    SimWindowFaults holding;
    holding.refuseSize = true;
    desktop.setFaults(window, holding);

    press({300, 40});
    systemDragTo({310, 40});
    EXPECT_EQ(desktop.frame(window)->size, leftHalfFrame.size);
    desktop.setFaults(window, {});
    input.release();
    EXPECT_EQ(desktop.frame(window)->size, (Size{800, 600}));
    const Lines expected{"drag started, restored original size: false",
                         "released, original size restored: true",
                         "drop without zone, overlay shown: true"};
    const auto lines = messages();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(Lines(lines.end() - 3, lines.end()), expected);

    // A window that never takes the size says so at the release too, and a later drag has
    // nothing left to confirm.
    mover.placeInZone(window, left, desktop.displays().screens()[0]);
    desktop.setFaults(window, holding);
    press({300, 40});
    systemDragTo({310, 40});
    input.release();
    const auto later = messages();
    EXPECT_EQ(later.end()[-2], "released, original size restored: false");
    press({300, 40});
    systemDragTo({330, 40});
    input.release();
    EXPECT_EQ(messages().back(), "drop without zone, overlay shown: true");
}

TEST_F(DragMonitorTest, RestoreOnDragOutOffLeavesSizeAndPlacement) {
    mover.placeInZone(window, left, desktop.displays().screens()[0]);
    defaults.set(prefs::restoreOnDragOut, false);
    desktop.clearCalls();
    log.clear();

    press({300, 40});
    systemDragTo({310, 40});
    EXPECT_TRUE(monitor->session()->leftZone);
    EXPECT_TRUE(desktop.writeNames(window).empty());
    EXPECT_EQ(mover.placements().size(), 1u);
    EXPECT_EQ(messages().size(), 2u);
}

TEST_F(DragMonitorTest, AfterLeavingTheZoneOnlyTheCurrentDistanceCounts) {
    // The first drag event sees the window moved while zones are off: leftZone is set.
    defaults.set(prefs::snapOnDrag, false);
    press({300, 120});
    desktop.setFrame(window, Rect(105, 100, 800, 600));
    input.dragTo({301, 120});
    ASSERT_TRUE(monitor->session()->leftZone);

    // Back at its start the window no longer counts as moved.
    defaults.set(prefs::snapOnDrag, true);
    desktop.setFrame(window, editorFrame);
    input.dragTo({301, 120});
    EXPECT_FALSE(overlayVisible());
    desktop.setFrame(window, Rect(103, 100, 800, 600));
    input.dragTo({301, 120});
    EXPECT_TRUE(overlayVisible());
}

TEST_F(DragMonitorTest, SwitchingSnapOnDragOffMidDragKeepsTheDropTarget) {
    press({300, 120});
    systemDragTo(cardCentre(right));
    defaults.set(prefs::snapOnDrag, false);
    systemDragTo(cardCentre(left));
    // The hover stays where it was, but the drop looks at the pointer.
    EXPECT_EQ(hovered(), right.id);
    input.release();
    EXPECT_EQ(desktop.frame(window), leftHalfFrame);
}

// --- Drop ---

TEST_F(DragMonitorTest, DropOnACardPlacesTheWindowAndLogsWhereItSettled) {
    press({300, 120});
    systemDragTo(cardCentre(left));
    desktop.clearCalls();
    log.clear();
    input.release();

    EXPECT_FALSE(overlayVisible());
    EXPECT_FALSE(monitor->session());
    EXPECT_EQ(desktop.writeNames(window), (Names{"AXRaise", "AXPosition", "AXSize", "AXPosition"}));
    EXPECT_EQ(desktop.frame(window), leftHalfFrame);
    ASSERT_EQ(mover.placements().count(window), 1u);
    EXPECT_EQ(mover.placements().at(window).zoneID, left.id);
    EXPECT_EQ(mover.placements().at(window).original, Rect(160, 442.5, 800, 600));

    // The application nudges the window after the move; the delayed line shows it.
    desktop.setFrame(window, Rect(0, 25, 720, 870));
    scheduler.advance(0.49);
    EXPECT_EQ(messages().size(), 1u);
    scheduler.advance(0.01);
    const Lines expected{
        "drop on Left: set true, expected (0, 25, 720, 875), got (0, 25, 720, 875)",
        "0.5 s after drop: (0, 25, 720, 870)",
    };
    EXPECT_EQ(messages(), expected);
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.level, LogLevel::debug);
        EXPECT_EQ(line.category, "drag");
    }
}

TEST_F(DragMonitorTest, DropAwayFromEveryCardPlacesNothing) {
    press({300, 120});
    systemDragTo({1080, 200});
    ASSERT_TRUE(overlayVisible());
    desktop.clearCalls();
    input.release();
    EXPECT_TRUE(desktop.writeNames(window).empty());
    EXPECT_FALSE(overlayVisible());
    EXPECT_EQ(messages().back(), "drop without zone, overlay shown: true");
    scheduler.advance(1);
    EXPECT_EQ(messages().back(), "drop without zone, overlay shown: true");
}

TEST_F(DragMonitorTest, PressAndReleaseWithoutMovementPlacesNothing) {
    // Even over a card: without the overlay shown no target is looked up.
    desktop.setFrame(window, Rect(200, 400, 800, 600));
    press(cardCentre(left));
    input.release();
    EXPECT_EQ(raises(), 0u);
    EXPECT_EQ(messages().back(), "drop without zone, overlay shown: false");
    EXPECT_EQ(surfaces.made().size(), 0u);
}

TEST_F(DragMonitorTest, RefusedMoveAndClosedWindowShowInTheDropLines) {
    press({300, 120});
    systemDragTo(cardCentre(right));
    desktop.setFaults(window, SimWindowFaults{}.refusingPosition().refusingSize());
    input.release();
    EXPECT_EQ(messages().back(), "drop on Right: set false, expected (720, 25, 720, 875), got "
                                 "(880, 442.5, 800, 600)");
    desktop.closeWindow(window);
    scheduler.advance(0.5);
    EXPECT_EQ(messages().back(), "0.5 s after drop: nil");
}

TEST_F(DragMonitorTwoDisplaysTest, DropOnTheSecondDisplayUsesThatDisplaysFreeArea) {
    press({300, 120});
    systemDragTo(cardCentre(left, 1));
    EXPECT_EQ(hovered(), left.id);
    input.release();
    EXPECT_EQ(desktop.frame(window), Rect(1440, -180, 960, 1010));
    EXPECT_EQ(mover.placements().at(window).screenID,
              makeScreenInfo(desktop.displays().screens()[1]).id);
}

// --- Escape and preview ---

TEST_F(DragMonitorTest, EscapeAbandonsTheDragAndTheReleaseThenDoesNothing) {
    press({300, 120});
    systemDragTo(cardCentre(left));
    log.clear();
    // Other keys are ignored.
    input.keyDown(36);
    EXPECT_TRUE(overlayVisible());

    EXPECT_FALSE(input.keyDown(SimInputEvents::escapeKeyCode));
    EXPECT_FALSE(monitor->session());
    EXPECT_FALSE(overlayVisible());
    input.release();
    EXPECT_EQ(raises(), 0u);
    EXPECT_TRUE(messages().empty());

    // In the pressed state, before any overlay.
    press({300, 120});
    input.keyDown(SimInputEvents::escapeKeyCode);
    EXPECT_FALSE(monitor->session());
}

TEST_F(DragMonitorTest, EscapeHidesAPreviewAndWithNothingShownChangesNothing) {
    input.keyDown(SimInputEvents::escapeKeyCode);
    EXPECT_EQ(surfaces.made().size(), 0u);
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    monitor->previewZones(2.4);
    ASSERT_TRUE(overlayVisible());
    input.keyDown(SimInputEvents::escapeKeyCode);
    EXPECT_FALSE(overlayVisible());
}

TEST_F(DragMonitorTest, PreviewHidesAfterItsDelayAndARepeatRestartsIt) {
    monitor->previewZones(2.4);
    EXPECT_TRUE(overlayVisible());
    EXPECT_EQ(hovered(), std::nullopt);
    scheduler.advance(2);
    monitor->previewZones(2.4);
    scheduler.advance(2.39);
    EXPECT_TRUE(overlayVisible());
    scheduler.advance(0.01);
    EXPECT_FALSE(overlayVisible());
}

TEST_F(DragMonitorTest, DragThatBringsUpTheOverlayCancelsAPreview) {
    monitor->previewZones(2.4);
    press({300, 120});
    systemDragTo(cardCentre(left));
    EXPECT_FALSE(monitor->isPreviewPending());
    scheduler.advance(3);
    EXPECT_TRUE(overlayVisible());
    EXPECT_EQ(hovered(), left.id);
    input.release();
    EXPECT_EQ(desktop.frame(window), leftHalfFrame);
}

TEST_F(DragMonitorTest, StopLeavesARunningPreviewToItsTimer) {
    monitor->previewZones(2.4);
    monitor->stop();
    EXPECT_FALSE(overlayVisible());
    EXPECT_TRUE(monitor->isPreviewPending());
    // Shown again by someone else, the overlay still goes when the preview's time is up.
    overlay.show(store, std::nullopt);
    scheduler.advance(2.4);
    EXPECT_FALSE(overlayVisible());
}
