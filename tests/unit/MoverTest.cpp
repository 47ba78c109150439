#include "PlacementTestSupport.h"

#include "core/app/Preferences.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/placement/WindowAccess.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimDisplays.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace tessera;
using placementtest::sameFrame;
using placementtest::zone;

namespace {

using Names = std::vector<std::string>;
const Names placeWrites{"AXRaise", "AXPosition", "AXSize", "AXPosition"};

// Free area 1000 × 800 at the bottom-left origin under a 25-point menu bar: the primary display
// is 1000 × 825, so a top-left y is 825 minus a bottom-left maximum y.
SystemDisplay squareDisplay() {
    return simscreens::display({0, 0, 1000, 825}, "Square Display", 1, 25, 0);
}

constexpr Rect freeArea{0, 0, 1000, 800};
constexpr Rect primaryFrame{0, 0, 1000, 825};

} // namespace

TEST(FrameTolerance, OriginsWithinTwelveAndSizesWithinTwentyFourPoints) {
    const Rect placed{100, 100, 500, 400};
    EXPECT_TRUE(framesMatch(placed, placed));
    EXPECT_TRUE(framesMatch(placed, {111.9, 88.1, 523.9, 376.1}));
    EXPECT_TRUE(framesMatch({111.9, 88.1, 523.9, 376.1}, placed));
    // Each limit is strict.
    EXPECT_FALSE(framesMatch(placed, {112, 100, 500, 400}));
    EXPECT_FALSE(framesMatch(placed, {100, 88, 500, 400}));
    EXPECT_FALSE(framesMatch(placed, {100, 100, 524, 400}));
    EXPECT_FALSE(framesMatch(placed, {100, 100, 500, 376}));
}

TEST(ZoneWindowFrame, WholeGapAtTheEdgesHalfAGapBetweenZonesAndNoneAtTightEdges) {
    struct Case {
        Zone zone;
        GapRule gap;
        Rect frame;
    };
    // Bottom-left rectangles seen from the top of the 825-point primary display. The gap is
    // clamped to 40 points, and nonsense means none.
    const Case cases[] = {
        {zone(0, 0, 0.5, 1), {10, false}, {10, 35, 485, 780}},
        {zone(0.5, 0, 0.5, 1), {10, false}, {505, 35, 485, 780}},
        {zone(0, 0, 0.5, 0.5), {10, false}, {10, 35, 485, 385}},
        {zone(0.5, 0.5, 0.5, 0.5), {10, false}, {505, 430, 485, 385}},
        {zone(0, 0, 0.5, 1), {10, true}, {0, 25, 495, 800}},
        {zone(0.5, 0, 0.5, 1), {10, true}, {505, 25, 495, 800}},
        {zone(0, 0, 1, 1), {10, true}, {0, 25, 1000, 800}},
        {zone(0, 0, 0.5, 1), {40, false}, {40, 65, 440, 720}},
        {zone(0, 0, 0.5, 1), {100, false}, {40, 65, 440, 720}},
        {zone(0, 0, 0.5, 1), {std::numeric_limits<double>::infinity(), false}, {40, 65, 440, 720}},
        {zone(0, 0, 0.5, 1), {-5, false}, {0, 25, 500, 800}},
        {zone(0, 0, 0.5, 1), {0, false}, {0, 25, 500, 800}},
        {zone(0, 0, 0.5, 1), {std::numeric_limits<double>::quiet_NaN(), false}, {0, 25, 500, 800}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zoneWindowFrame(c.zone, freeArea, primaryFrame, c.gap), c.frame)
            << c.zone.x << ", " << c.zone.y << " gap " << c.gap.gap << " tight "
            << c.gap.tightEdges;
    }
}

TEST(ZoneWindowFrame, ZoneTooSmallForTheGapKeepsItsWholeRectangle) {
    // 960 points wide, so a zone of width 0.0625 is exactly 60 points.
    constexpr Rect area{0, 0, 960, 960};
    constexpr Rect primary{0, 0, 960, 985};
    const GapRule gap20{20, false};
    // 60 − 10 − 10 = 40 is not above 40: no gap on any side, not even top and bottom.
    EXPECT_EQ(zoneWindowFrame(zone(0.25, 0.25, 0.0625, 0.5), area, primary, gap20),
              Rect(240, 265, 60, 480));
    EXPECT_EQ(zoneWindowFrame(zone(0.25, 0.25, 0.5, 0.0625), area, primary, gap20),
              Rect(240, 265, 480, 60));
    // 67.5 points leaves 47.5: the gap applies.
    EXPECT_EQ(zoneWindowFrame(zone(0.25, 0.25, 0.0703125, 0.5), area, primary, gap20),
              Rect(250, 275, 47.5, 460));
}

TEST(ZoneWindowFrame, EdgesWithinATenthOfAPerMilleCountAsTouching) {
    const GapRule gap10{10, false};
    // x 0.0005 touches the left edge and x + width 0.9995 the right one: a whole gap each.
    EXPECT_PRED2(sameFrame,
                 zoneWindowFrame(zone(0.0005, 0.0005, 0.999, 0.999), freeArea, primaryFrame, gap10),
                 Rect(10.5, 35.4, 979, 779.2));
    // A little further in, they are shared edges with half a gap.
    EXPECT_PRED2(sameFrame,
                 zoneWindowFrame(zone(0.002, 0.002, 0.996, 0.996), freeArea, primaryFrame, gap10),
                 Rect(7, 31.6, 986, 786.8));
}

TEST(ZoneWindowFrame, ConvertsThroughThePrimaryDisplayWhereverItIsListed) {
    SimDesktop desktop{simscreens::sideBySide()};
    SimDefaults defaults;
    AccessibilityWindowMover mover{desktop, desktop, desktop.displays(), defaults};
    const auto builtIn = simscreens::sideBySide()[0];
    const auto external = simscreens::sideBySide()[1];
    const auto whole = zone(0, 0, 1, 1);
    // Visible frame (1440, 70, 1920, 1010) under a 900-point primary display.
    EXPECT_EQ(mover.zoneWindowFrame(whole, external), Rect(1440, -180, 1920, 1010));
    desktop.displays().setScreens({external, builtIn});
    EXPECT_EQ(mover.zoneWindowFrame(whole, external), Rect(1440, -180, 1920, 1010));

    desktop.displays().setScreens(simscreens::stacked());
    EXPECT_EQ(mover.zoneWindowFrame(whole, simscreens::stacked()[1]), Rect(0, -1080, 1920, 1010));
}

TEST(MostSimilarZone, LargestOverlapThenNearestCentreThenEarliest) {
    const auto leftHalf = zone(0, 0, 0.5, 1);
    const auto leftThird = zone(0, 0, 1.0 / 3, 1);
    const auto middleThird = zone(1.0 / 3, 0, 1.0 / 3, 1);
    const auto rightThird = zone(2.0 / 3, 0, 1.0 / 3, 1);
    // 1/3 ÷ 1/2 against 1/6 ÷ 2/3 and nothing.
    EXPECT_EQ(mostSimilarZone(leftHalf, {rightThird, middleThird, leftThird}), leftThird);
    EXPECT_EQ(mostSimilarZone(leftHalf, {}), std::nullopt);

    // No overlap at all: the nearest centre decides.
    const auto corner = zone(0, 0, 0.1, 0.1);
    const auto near = zone(0.5, 0, 0.1, 0.1);
    const auto far = zone(0.9, 0.9, 0.1, 0.1);
    EXPECT_EQ(mostSimilarZone(corner, {far, near}), near);
    // Equal overlap and equal distance: the earlier candidate stays.
    const auto mirrorLeft = zone(0.2, 0, 0.1, 0.1);
    const auto mirrorRight = zone(0.6, 0, 0.1, 0.1);
    const auto middle = zone(0.4, 0, 0.1, 0.1);
    EXPECT_EQ(mostSimilarZone(middle, {mirrorLeft, mirrorRight}), mirrorLeft);
    EXPECT_EQ(mostSimilarZone(middle, {mirrorRight, mirrorLeft}), mirrorRight);
    // Zones without area have no overlap (and no division by zero): the distance decides.
    const auto dot = zone(0, 0, 0, 0);
    EXPECT_EQ(mostSimilarZone(dot, {leftHalf, dot}), dot);
}

namespace {

class MoverTest : public ::testing::Test {
protected:
    static constexpr ProcessId editor = 501;
    static constexpr ProcessId viewer = 502;

    void SetUp() override {
        desktop.addApplication(editor, "com.example.editor", "Editor");
        desktop.addApplication(viewer, "com.example.viewer", "Viewer");
        desktop.setFrontmostApplication(editor);
    }

    AccessibilityElement window(const Rect& frame, SimWindowOptions options = {},
                                ProcessId process = editor) {
        return desktop.addWindow(process, frame, std::move(options));
    }

    static SimWindowOptions withFaults(const SimWindowFaults& faults) {
        SimWindowOptions options;
        options.faults = faults;
        return options;
    }

    std::string screenID() const { return makeScreenInfo(display).id; }

    SystemDisplay display = squareDisplay();
    SimDesktop desktop{{squareDisplay()}};
    SimDefaults defaults;
    AccessibilityWindowMover mover{desktop, desktop, desktop.displays(), defaults};
    const Zone leftHalf = zone(0, 0, 0.5, 1, "Left");
    const Zone rightHalf = zone(0.5, 0, 0.5, 1, "Right");
    const Rect leftFrame{0, 25, 500, 800};
    const Rect rightFrame{500, 25, 500, 800};
    const Rect start{100, 100, 300, 200};
};

} // namespace

TEST_F(MoverTest, FrameComputationReadsThePreferencesAtEveryUse) {
    EXPECT_EQ(mover.zoneWindowFrame(leftHalf, display), leftFrame);
    defaults.set(prefs::windowGap, 10.0);
    EXPECT_EQ(mover.zoneWindowFrame(leftHalf, display), Rect(10, 35, 485, 780));
    EXPECT_EQ(mover.fillWindowFrame(display), Rect(10, 35, 980, 780));
    defaults.set(prefs::tightEdges, true);
    EXPECT_EQ(mover.zoneWindowFrame(leftHalf, display), Rect(0, 25, 495, 800));
    EXPECT_EQ(mover.fillWindowFrame(display), Rect(0, 25, 1000, 800));
    // A value of the wrong type counts as the registered default (no gap); whole numbers do.
    defaults.set(prefs::windowGap, std::string("wide"));
    EXPECT_EQ(mover.zoneWindowFrame(leftHalf, display), leftFrame);
    defaults.set(prefs::windowGap, std::int64_t{10});
    defaults.set(prefs::tightEdges, false);
    EXPECT_EQ(mover.zoneWindowFrame(leftHalf, display), Rect(10, 35, 485, 780));
}

TEST_F(MoverTest, PlaceInZoneRaisesThenSetsPositionSizePositionAndRemembersTheWindow) {
    const auto w = window(start);
    desktop.clearCalls();
    EXPECT_TRUE(mover.placeInZone(w, leftHalf, display));
    EXPECT_EQ(desktop.writeNames(w), placeWrites);
    EXPECT_EQ(desktop.frame(w), leftFrame);
    ASSERT_EQ(mover.placements().size(), 1u);
    EXPECT_EQ(mover.placements().at(w), (Placement{leftHalf.id, screenID(), leftFrame, start}));
    EXPECT_EQ(mover.placementFor(w, leftFrame)->zoneID, leftHalf.id);
    EXPECT_EQ(desktop.beepCount(), 0u);
}

TEST_F(MoverTest, OriginalSurvivesMovesFromZoneToZoneButNotAMoveByHand) {
    const auto w = window(start);
    mover.placeInZone(w, leftHalf, display);
    mover.placeInZone(w, rightHalf, display);
    EXPECT_EQ(mover.placements().at(w), (Placement{rightHalf.id, screenID(), rightFrame, start}));

    // Nudged within the tolerance: still in its zone.
    desktop.setFrame(w, {511, 14, 523, 777});
    mover.placeInZone(w, leftHalf, display);
    EXPECT_EQ(mover.placements().at(w).original, start);

    // Moved away by hand: that frame is what the window goes back to from now on.
    const Rect byHand{300, 300, 400, 300};
    desktop.setFrame(w, byHand);
    EXPECT_EQ(mover.placementFor(w, byHand), std::nullopt);
    mover.placeInZone(w, rightHalf, display);
    EXPECT_EQ(mover.placements().at(w).original, byHand);
    EXPECT_EQ(mover.placements().size(), 1u);
    mover.recordPlacement(w, std::nullopt);
    EXPECT_TRUE(mover.placements().empty());
}

TEST_F(MoverTest, RemembersTheFrameReadBackOrTheRequestedOneWhenItCannotBeRead) {
    SimWindowFaults wide;
    wide.minimumSize = Size{600, 300};
    const auto w = window(start, withFaults(wide));
    EXPECT_TRUE(mover.placeInZone(w, leftHalf, display));
    EXPECT_EQ(mover.placements().at(w).frame, Rect(0, 25, 600, 800));
    EXPECT_TRUE(mover.placementFor(w, *desktop.frame(w)).has_value());

    // Reads start failing after the last write: the requested frame is remembered.
    const auto v = window(start, withFaults(wide));
    int sets = 0;
    desktop.setCallHook([&](const SimCall& call) {
        if (call.kind == SimCallKind::setAttribute && call.element == v && ++sets == 3) {
            auto faults = wide;
            faults.failFrameReads = true;
            desktop.setFaults(v, faults);
        }
    });
    EXPECT_TRUE(mover.placeInZone(v, rightHalf, display));
    EXPECT_EQ(mover.placements().at(v), (Placement{rightHalf.id, screenID(), rightFrame, start}));
}

TEST_F(MoverTest, WindowWhoseFrameCannotBeReadIsMovedButNotRemembered) {
    SimWindowFaults unreadable;
    unreadable.failFrameReads = true;
    const auto w = window(start, withFaults(unreadable));
    desktop.clearCalls();
    EXPECT_TRUE(mover.placeInZone(w, leftHalf, display));
    EXPECT_EQ(desktop.writeNames(w), placeWrites);
    EXPECT_EQ(desktop.frame(w), leftFrame);
    EXPECT_TRUE(mover.placements().empty());
}

TEST_F(MoverTest, SetWindowFrameMakesAllThreeCallsAndCountsAnyAcceptedOne) {
    const Rect target{10, 40, 500, 400};
    const auto sizeOnly = window(start, withFaults(SimWindowFaults::onlySizeAccepted()));
    desktop.clearCalls();
    EXPECT_TRUE(setWindowFrame(desktop, sizeOnly, target));
    EXPECT_EQ(desktop.writeNames(sizeOnly), (Names{"AXPosition", "AXSize", "AXPosition"}));
    EXPECT_EQ(desktop.frame(sizeOnly), Rect(100, 100, 500, 400));
    // Through the mover too: a partly accepted frame is success.
    EXPECT_TRUE(mover.placeInZone(sizeOnly, leftHalf, display));

    SimWindowFaults positionOnly;
    positionOnly.refuseSize = true;
    const auto fixedSize = window(start, withFaults(positionOnly));
    EXPECT_TRUE(setWindowFrame(desktop, fixedSize, target));
    EXPECT_EQ(desktop.frame(fixedSize), Rect(10, 40, 300, 200));

    SimWindowFaults neither = SimWindowFaults::onlySizeAccepted();
    neither.refuseSize = true;
    const auto stuck = window(start, withFaults(neither));
    desktop.clearCalls();
    EXPECT_FALSE(setWindowFrame(desktop, stuck, target));
    EXPECT_EQ(desktop.writeNames(stuck), (Names{"AXPosition", "AXSize", "AXPosition"}));
    EXPECT_FALSE(mover.placeInZone(stuck, leftHalf, display));
    // Refused, but its frame was read: what it is now is what is remembered.
    EXPECT_EQ(mover.placements().at(stuck).frame, start);

    desktop.closeWindow(stuck);
    EXPECT_FALSE(setWindowFrame(desktop, stuck, target));
}

TEST_F(MoverTest, PruningAboveFortyEightEntriesDropsOnlyWindowsThatAreGone) {
    std::vector<AccessibilityElement> editorWindows;
    for (int i = 0; i < 45; ++i) {
        editorWindows.push_back(window({10.0 * i, 100, 300, 200}));
        mover.placeInZone(editorWindows.back(), leftHalf, display);
    }
    std::vector<AccessibilityElement> viewerWindows;
    for (int i = 0; i < 3; ++i) {
        viewerWindows.push_back(window({10.0 * i, 200, 300, 200}, {}, viewer));
        mover.placeInZone(viewerWindows.back(), rightHalf, display);
    }
    // Up to 48 entries nothing is pruned, gone or not.
    desktop.closeWindow(editorWindows[0]);
    mover.placeInZone(window(start), leftHalf, display);
    ASSERT_EQ(mover.placements().size(), 49u);

    // Ten are gone: seven closed, three with their application.
    for (int i = 0; i < 7; ++i) {
        desktop.closeWindow(editorWindows[static_cast<std::size_t>(i)]);
    }
    desktop.quitApplication(viewer);
    const auto next = window(start);
    mover.placeInZone(next, leftHalf, display);
    EXPECT_EQ(mover.placements().size(), 40u);
    EXPECT_FALSE(mover.placements().contains(editorWindows[1]));
    EXPECT_TRUE(mover.placements().contains(next));
    EXPECT_FALSE(mover.placements().contains(editorWindows[0]));
    EXPECT_FALSE(mover.placements().contains(viewerWindows[0]));
    EXPECT_TRUE(mover.placements().contains(editorWindows[7]));

    // Live windows stay: the table grows past 49 when nothing is gone.
    for (int i = 0; i < 10; ++i) {
        mover.placeInZone(window({10.0 * i, 300, 300, 200}), leftHalf, display);
    }
    EXPECT_EQ(mover.placements().size(), 50u);
}

TEST_F(MoverTest, RestoreAfterDragOutGivesBackTheOriginalSizeWherever) {
    const auto w = window(start);
    mover.placeInZone(w, leftHalf, display);
    desktop.clearCalls();
    EXPECT_TRUE(mover.restoreSizeAfterDragOut(w, leftFrame));
    EXPECT_EQ(desktop.writeNames(w), Names{"AXSize"});
    // The position stays, so the window remains under the pointer.
    EXPECT_EQ(desktop.frame(w), Rect(0, 25, 300, 200));
    EXPECT_TRUE(mover.placements().empty());
    // Once restored there is nothing left to restore.
    EXPECT_FALSE(mover.restoreSizeAfterDragOut(w, Rect(0, 25, 300, 200)));
}

TEST_F(MoverTest, RestoreAfterDragOutForgetsThePlacementOnEveryOtherPath) {
    // Never placed.
    const auto stranger = window(start);
    desktop.clearCalls();
    EXPECT_FALSE(mover.restoreSizeAfterDragOut(stranger, start));
    EXPECT_EQ(desktop.count(SimCallKind::setAttribute), 0u);

    // No frame from the start of the drag.
    const auto w = window(start);
    mover.placeInZone(w, leftHalf, display);
    desktop.clearCalls();
    EXPECT_FALSE(mover.restoreSizeAfterDragOut(w, std::nullopt));
    EXPECT_FALSE(mover.placements().contains(w));
    EXPECT_EQ(desktop.count(SimCallKind::setAttribute), 0u);

    // Had left its zone before the drag began.
    desktop.setFrame(w, start);
    mover.placeInZone(w, leftHalf, display);
    desktop.clearCalls();
    EXPECT_FALSE(mover.restoreSizeAfterDragOut(w, Rect(300, 300, 500, 800)));
    EXPECT_FALSE(mover.placements().contains(w));
    EXPECT_EQ(desktop.count(SimCallKind::setAttribute), 0u);

    // The original size is the zone's size: nothing to restore.
    const auto fitting = window({50, 60, 500, 800});
    mover.placeInZone(fitting, leftHalf, display);
    desktop.clearCalls();
    EXPECT_FALSE(mover.restoreSizeAfterDragOut(fitting, leftFrame));
    EXPECT_FALSE(mover.placements().contains(fitting));
    EXPECT_EQ(desktop.count(SimCallKind::setAttribute), 0u);

    // The application refuses the size: tried once, reported as not restored.
    SimWindowFaults fixed;
    fixed.refuseSize = true;
    const auto refusing = window(leftFrame, withFaults(fixed));
    mover.recordPlacement(refusing, Placement{leftHalf.id, screenID(), leftFrame, start});
    EXPECT_FALSE(mover.restoreSizeAfterDragOut(refusing, leftFrame));
    EXPECT_FALSE(mover.placements().contains(refusing));
    EXPECT_EQ(desktop.writeNames(refusing), Names{"AXSize"});
    EXPECT_EQ(desktop.count(SimCallKind::setAttribute), 1u);
    EXPECT_TRUE(mover.placements().empty());
}

TEST_F(MoverTest, FrameAndFullScreenReadsNeedSuccessAndValuesOfTheRightKind) {
    const auto w = window(start);
    EXPECT_EQ(windowFrame(desktop, w), start);
    desktop.overrideAttribute(w, "AXSize", AttributeResult{AccessibilityStatus::success, Point{}});
    EXPECT_EQ(windowFrame(desktop, w), std::nullopt);
    desktop.overrideAttribute(w, "AXSize", std::nullopt);
    desktop.overrideAttribute(w, "AXPosition",
                              AttributeResult{AccessibilityStatus::cannotComplete, Point{1, 2}});
    EXPECT_EQ(windowFrame(desktop, w), std::nullopt);

    desktop.setFullScreen(w, true);
    EXPECT_TRUE(isFullScreen(desktop, w));
    desktop.overrideAttribute(w, "AXFullScreen",
                              AttributeResult{AccessibilityStatus::failure, true});
    EXPECT_FALSE(isFullScreen(desktop, w));
    desktop.overrideAttribute(w, "AXFullScreen",
                              AttributeResult{AccessibilityStatus::success, std::string("1")});
    EXPECT_FALSE(isFullScreen(desktop, w));
    desktop.closeWindow(w);
    EXPECT_EQ(windowFrame(desktop, w), std::nullopt);
}

TEST_F(MoverTest, ActiveWindowFallsFromFocusedToMainToFirstWindow) {
    const auto back = window(start);
    const auto front = window({200, 200, 300, 200});
    desktop.setFocusedWindow(editor, back);
    EXPECT_EQ(activeWindow(desktop, desktop, 42, std::nullopt), back);

    desktop.setFocusedWindow(editor, std::nullopt);
    desktop.setMainWindow(editor, back); // not the first listed window, which is the front one
    EXPECT_EQ(activeWindowOfApplication(desktop, editor), back);
    desktop.setMainWindow(editor, std::nullopt);
    desktop.setWindowsAttribute(editor, std::vector<AccessibilityElement>{back, front});
    EXPECT_EQ(activeWindowOfApplication(desktop, editor), back);
    desktop.setWindowsAttribute(editor, std::vector<AccessibilityElement>{});
    EXPECT_EQ(activeWindowOfApplication(desktop, editor), std::nullopt);
    desktop.setWindowsAttribute(editor, std::nullopt);
    EXPECT_EQ(activeWindowOfApplication(desktop, editor), std::nullopt);
}

TEST_F(MoverTest, ActiveWindowWithTesseraInFrontComesFromThePreferredApplication) {
    constexpr ProcessId tessera = 42;
    desktop.addApplication(tessera, "com.example.tessera", "Tessera");
    window({0, 0, 200, 200}, {}, tessera);
    const auto edited = window(start);
    const auto viewed = window({10, 10, 300, 300}, {}, viewer);

    EXPECT_EQ(activeWindow(desktop, desktop, tessera, viewer), edited);
    desktop.setFrontmostApplication(tessera);
    EXPECT_EQ(activeWindow(desktop, desktop, tessera, viewer), viewed);
    EXPECT_EQ(activeWindow(desktop, desktop, tessera, editor), edited);
    EXPECT_EQ(activeWindow(desktop, desktop, tessera, std::nullopt), std::nullopt);
    desktop.setFrontmostApplication(std::nullopt);
    EXPECT_EQ(activeWindow(desktop, desktop, tessera, viewer), std::nullopt);
}

TEST_F(MoverTest, WindowOfElementWalksUpAtMostSixteenElements) {
    const auto w = window(start);
    const auto close = desktop.addCloseButton(w);
    EXPECT_EQ(windowOfElement(desktop, close), w);
    EXPECT_EQ(windowOfElement(desktop, w), w);
    EXPECT_EQ(windowUnderPoint(desktop, {100 + 12, 100 + 10}), w);
    EXPECT_EQ(windowUnderPoint(desktop, {900, 700}), std::nullopt);

    // A chain of 15 nested elements: the window is the sixteenth element looked at.
    std::vector<AccessibilityElement> chain{w};
    for (int i = 0; i < 16; ++i) {
        chain.push_back(desktop.addChild(chain.back(), "AXGroup", {0, 0, 100, 100}));
    }
    EXPECT_EQ(windowOfElement(desktop, chain[15]), w);
    EXPECT_EQ(windowOfElement(desktop, chain[16]), std::nullopt);

    // A parent that is not an element, or can't be read, ends the walk.
    desktop.overrideAttribute(close, "AXParent",
                              AttributeResult{AccessibilityStatus::success, std::string("x")});
    EXPECT_EQ(windowOfElement(desktop, close), std::nullopt);
    desktop.overrideAttribute(close, "AXParent", AttributeResult{AccessibilityStatus::failure, w});
    EXPECT_EQ(windowOfElement(desktop, close), std::nullopt);

    // A sheet on top of its parent chain is not a window: the walk goes on to the application
    // and stops there.
    SimWindowOptions sheet;
    sheet.role = "AXSheet";
    EXPECT_EQ(windowOfElement(desktop, window(start, sheet)), std::nullopt);
}

TEST(DisplayOfWindow, DisplayHoldingTheCentreElseTheMainDisplay) {
    SimDesktop desktop{simscreens::sideBySide()};
    desktop.addApplication(7, std::nullopt, "App");
    const auto builtIn = simscreens::sideBySide()[0];
    const auto external = simscreens::sideBySide()[1];
    // Mostly on the built-in display, centre on the external one.
    const auto straddling = desktop.addWindow(7, {1000, 100, 1000, 400});
    EXPECT_EQ(displayOfWindow(desktop, desktop.displays(), straddling), external);
    // Top-left y 0 is the top of the primary display; the external one extends 180 above it.
    const auto high = desktop.addWindow(7, {1500, -170, 100, 100});
    EXPECT_EQ(displayOfWindow(desktop, desktop.displays(), high), external);
    const auto low = desktop.addWindow(7, {100, 100, 200, 200});
    EXPECT_EQ(displayOfWindow(desktop, desktop.displays(), low), builtIn);

    desktop.displays().setMainScreen(1);
    const auto lost = desktop.addWindow(7, {-5000, -5000, 100, 100});
    EXPECT_EQ(displayOfWindow(desktop, desktop.displays(), lost), external);
    SimWindowOptions unreadable;
    unreadable.faults.failFrameReads = true;
    EXPECT_EQ(displayOfWindow(desktop, desktop.displays(),
                              desktop.addWindow(7, {100, 100, 200, 200}, unreadable)),
              external);
    desktop.displays().setScreens({});
    EXPECT_EQ(displayOfWindow(desktop, desktop.displays(), low), std::nullopt);
}
