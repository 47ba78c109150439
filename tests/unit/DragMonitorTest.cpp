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

using Names = std::vector<std::string>;

class DragMonitorTest : public ::testing::Test {
protected:
    DragMonitorTest() {
        registerPreferenceDefaults(defaults);
        desktop.addApplication(ownPID, std::string("app.tessera.Tessera"), "Tessera");
        desktop.addApplication(editorPID, editorID, "Editor");
        window = desktop.addWindow(editorPID, editorFrame);
        desktop.setFrontmostApplication(editorPID);

        left = zone(0, 0, 0.5, 1, "Left");
        right = zone(0.5, 0, 0.5, 1, "Right");
        halves = Layout{Uuid::random(), "Halves", {left, right}};
        store.upsert(halves);
        store.assign(halves.id, makeScreenInfo(desktop.displays().screens().at(0)));

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
    Point cardCentre(const Zone& z) const {
        const auto screen = desktop.displays().screens().at(0);
        const Rect r = zoneRect(z, screen.visibleFrame);
        return toTopLeft(Point{r.minX() + r.width() / 2, r.minY() + r.height() / 2}, screen.frame);
    }

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
} // namespace

TEST_F(DragMonitorTest, APressStartsADragOnlyOnTheTitleBandOrWithOptionOnTheWindow) {
    struct Case {
        Point point;
        std::uint64_t flags;
        bool starts;
    };
    // Bounds are inclusive. The right edge lies outside the window for the hit test, so the
    // editor's active window stands in there.
    const Case cases[] = {
        {{300, 100}, 0, true},
        {{300, 186}, 0, true},
        {{300, 186.5}, 0, false},
        {{100, 150}, 0, true},
        {{900, 150}, 0, true},
        {{900.5, 150}, 0, false},
        {{300, 186.5}, eventFlags::option, true},
        // The stand-in window off the pointer: an Option-drag on the desktop leaves it alone.
        {{300, 50}, 0, false},
        {{300, 50}, eventFlags::option, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.point.x) + ", " + std::to_string(c.point.y));
        monitor->cancelDrag();
        press(c.point, c.flags);
        EXPECT_EQ(monitor->session().has_value(), c.starts);
    }

    // A window that doesn't answer hit tests is found through the application in front: with
    // Tessera itself in front there is none.
    desktop.setFaults(window, SimWindowFaults{}.failingHitTest());
    monitor->cancelDrag();
    desktop.setFrontmostApplication(ownPID);
    press({300, 120});
    EXPECT_FALSE(monitor->session());
}

TEST_F(DragMonitorTest, OwnIgnoredAndFullScreenWindowsNeverStartADrag) {
    desktop.addWindow(ownPID, {1000, 100, 300, 300});
    desktop.addWindow(editorPID, {0, 400, 200, 200}, SimWindowOptions{}.inFullScreen());
    press({1100, 110}, eventFlags::option);
    EXPECT_FALSE(monitor->session());
    press({100, 410}, eventFlags::option);
    EXPECT_FALSE(monitor->session());

    // Two identifiers around an empty line, with a trailing newline.
    defaults.set(prefs::ignoredApps, std::string("com.other\n\n" + editorID + "\n"));
    press({300, 120}, eventFlags::option);
    EXPECT_FALSE(monitor->session());
}

TEST_F(DragMonitorTest, OverlayNeedsEightPointsOfTravelOrAWindowMovedThree) {
    press({300, 120});
    input.dragTo({307, 120});
    EXPECT_FALSE(overlayVisible());
    input.dragTo({300, 128});
    EXPECT_TRUE(overlayVisible());
    input.release({300, 128});

    desktop.setFrame(window, editorFrame);
    press({300, 120});
    desktop.setFrame(window, Rect(102, 100, 800, 600));
    input.dragTo({301, 120});
    EXPECT_FALSE(overlayVisible());
    desktop.setFrame(window, Rect(103, 100, 800, 600));
    input.dragTo({301, 120});
    EXPECT_TRUE(overlayVisible());
}

TEST_F(DragMonitorTest, APlacedWindowDraggedOutOfItsZoneGetsItsSizeBackOnce) {
    ASSERT_TRUE(mover.placeInZone(window, left, desktop.displays().screens()[0]));
    desktop.clearCalls();
    press({300, 40});
    systemDragTo({303, 40});
    // Only the size changes; the window stays where the drag carries it.
    EXPECT_EQ(desktop.frame(window), Rect(3, 25, 800, 600));
    EXPECT_TRUE(overlayVisible());
    EXPECT_TRUE(mover.placements().empty());
    systemDragTo({320, 60});
    systemDragTo({303, 40});
    EXPECT_EQ(desktop.writeNames(window), Names{"AXSize"});

    // With zones off the size still comes back, and nothing is shown or placed.
    input.release();
    mover.placeInZone(window, left, desktop.displays().screens()[0]);
    defaults.set(prefs::snapOnDrag, false);
    desktop.clearCalls();
    press({300, 40});
    systemDragTo({310, 40});
    EXPECT_EQ(desktop.frame(window)->size, (Size{800, 600}));
    systemDragTo(cardCentre(right));
    EXPECT_FALSE(overlayVisible());
    input.release();
    EXPECT_EQ(raises(), 0u);
}

// Some window managers hold the size their move started with until the button is up; the
// size is then set again at the release.
TEST_F(DragMonitorTest, SizeHeldDuringTheMoveIsRestoredAtTheReleaseButNotAfterEscape) {
    SimWindowFaults holding;
    holding.refuseSize = true;
    const auto dragOut = [&] {
        mover.placeInZone(window, left, desktop.displays().screens()[0]);
        desktop.setFaults(window, holding);
        press({300, 40});
        systemDragTo({310, 40});
        EXPECT_EQ(desktop.frame(window)->size, leftHalfFrame.size);
        desktop.setFaults(window, {});
    };
    dragOut();
    input.release();
    EXPECT_EQ(desktop.frame(window)->size, (Size{800, 600}));

    // Escape abandons the restore too: a later release has nothing to confirm.
    dragOut();
    input.keyDown(SimInputEvents::escapeKeyCode);
    press({300, 400}, eventFlags::option);
    input.release();
    EXPECT_EQ(desktop.frame(window)->size, leftHalfFrame.size);
}

TEST_F(DragMonitorTest, DropOnACardPlacesTheWindowInItsZone) {
    press({300, 120});
    systemDragTo(cardCentre(left));
    EXPECT_EQ(hovered(), left.id);
    systemDragTo(cardCentre(right));
    EXPECT_EQ(hovered(), right.id);
    systemDragTo(cardCentre(left));
    input.release();

    EXPECT_FALSE(overlayVisible());
    EXPECT_FALSE(monitor->session());
    EXPECT_EQ(desktop.frame(window), leftHalfFrame);
    EXPECT_EQ(mover.placements().at(window).zoneID, left.id);
    EXPECT_EQ(mover.placements().at(window).original, Rect(160, 442.5, 800, 600));
}

TEST_F(DragMonitorTest, ReleaseAwayFromACardOrWithoutMovementPlacesNothing) {
    press({300, 120});
    // Inside the right zone but well above its card.
    systemDragTo({1080, 200});
    ASSERT_TRUE(overlayVisible());
    EXPECT_EQ(hovered(), std::nullopt);
    input.release();
    EXPECT_FALSE(overlayVisible());

    // Even over a card: without the overlay shown no target is looked up.
    desktop.setFrame(window, Rect(200, 400, 800, 600));
    press(cardCentre(left));
    input.release();
    EXPECT_EQ(raises(), 0u);
    EXPECT_TRUE(mover.placements().empty());
}

TEST_F(DragMonitorTest, TheMonitorLivesFromStartToStopAndLeavesNothingBehind) {
    EXPECT_TRUE(input.isTapEnabled());
    EXPECT_EQ(input.globalMonitorCount(), 1u);
    EXPECT_EQ(input.localMonitorCount(), 1u);
    // The system switches a slow or interrupted tap off; the monitor switches it on again.
    input.disableTapByTimeout();
    input.disableTapByUserInput();
    EXPECT_TRUE(input.isTapEnabled());

    press({300, 120});
    input.dragTo({300, 160});
    ASSERT_TRUE(overlayVisible());
    monitor->stop();
    EXPECT_EQ(input.liveTapCount(), 0u);
    EXPECT_EQ(input.localMonitorCount(), 0u);
    EXPECT_FALSE(overlayVisible());
    press({300, 120});
    EXPECT_FALSE(monitor->session());

    // A refused tap is reported once, not tried again, and the monitors still place windows.
    input.refuseTapCreation(true);
    log.clear();
    start();
    EXPECT_EQ(log.lines(),
              (std::vector<LogLine>{{"drag", LogLevel::error, "event tap not created"}}));
    input.refuseTapCreation(false);
    const auto attempts = input.tapCreationAttempts();
    press({300, 120});
    systemDragTo(cardCentre(left));
    input.release();
    EXPECT_EQ(input.tapCreationAttempts(), attempts);
    EXPECT_EQ(desktop.frame(window), leftHalfFrame);

    // Destroyed, it leaves no tap or monitor, and its pending jobs do nothing.
    desktop.setFrame(window, editorFrame);
    press({300, 120});
    systemDragTo(cardCentre(left));
    input.release();
    monitor->previewZones(2.4);
    log.clear();
    monitor.reset();
    EXPECT_EQ(input.liveTapCount(), 0u);
    EXPECT_EQ(input.globalMonitorCount(), 0u);
    scheduler.advance(3);
    EXPECT_TRUE(overlayVisible());
    EXPECT_TRUE(log.messages(dragLogCategory).empty());
}

TEST_F(DragMonitorTest, OnePhysicalEventReportedTwiceActsOnce) {
    for (const auto delivery : {SimDelivery::tapThenMonitor, SimDelivery::monitorThenTap}) {
        SCOPED_TRACE(static_cast<int>(delivery));
        desktop.setFrame(window, editorFrame);
        mover.recordPlacement(window, std::nullopt);
        desktop.clearCalls();
        input.setDelivery(delivery);
        press({300, 120});
        ASSERT_TRUE(monitor->session());
        EXPECT_EQ(*monitor->session(),
                  (DragSession{window, {300, 120}, editorFrame, false, false}));
        systemDragTo(cardCentre(left));
        input.release();
        EXPECT_EQ(raises(), 1u);
        EXPECT_FALSE(monitor->session());
    }
}

TEST_F(DragMonitorTest, EscapeAbandonsADragOrPreviewAndAPreviewHidesAfterItsDelay) {
    press({300, 120});
    input.keyDown(SimInputEvents::escapeKeyCode);
    EXPECT_FALSE(monitor->session());

    press({300, 120});
    systemDragTo(cardCentre(left));
    input.keyDown(36);
    EXPECT_TRUE(overlayVisible());
    // The pointer over one of Tessera's own windows: the key is seen there too, unswallowed.
    input.setTarget(SimEventTarget::ownWindow);
    EXPECT_FALSE(input.keyDown(SimInputEvents::escapeKeyCode));
    EXPECT_FALSE(overlayVisible());
    input.release();
    EXPECT_EQ(raises(), 0u);
    input.setTarget(SimEventTarget::otherApplication);

    monitor->previewZones(2.4);
    input.keyDown(SimInputEvents::escapeKeyCode);
    EXPECT_FALSE(overlayVisible());

    // A preview asked again starts its delay again; a drag takes the overlay over.
    monitor->previewZones(2.4);
    EXPECT_EQ(hovered(), std::nullopt);
    scheduler.advance(2);
    monitor->previewZones(2.4);
    scheduler.advance(2.39);
    EXPECT_TRUE(overlayVisible());
    scheduler.advance(0.01);
    EXPECT_FALSE(overlayVisible());
    desktop.setFrame(window, editorFrame);
    monitor->previewZones(2.4);
    press({300, 120});
    systemDragTo(cardCentre(left));
    scheduler.advance(3);
    EXPECT_TRUE(overlayVisible());
    input.release();
    EXPECT_EQ(desktop.frame(window), leftHalfFrame);

    // Stopping leaves a running preview to its timer, even if someone shows the overlay again.
    monitor->previewZones(2.4);
    monitor->stop();
    overlay.show(store, std::nullopt);
    scheduler.advance(2.4);
    EXPECT_FALSE(overlayVisible());
}
