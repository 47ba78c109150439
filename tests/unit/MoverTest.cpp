#include "PlacementTestSupport.h"

#include "core/app/Preferences.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/placement/WindowAccess.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimDisplays.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace tessera;
using placementtest::sameFrame;
using placementtest::zone;

namespace {

using Names = std::vector<std::string>;
const Names frameWrites{"AXPosition", "AXSize", "AXPosition"};

// Free area 1000 × 800 at the bottom-left origin under a 25-point menu bar: the primary display
// is 1000 × 825, so a top-left y is 825 minus a bottom-left maximum y.
constexpr Rect freeArea{0, 0, 1000, 800};
constexpr Rect primaryFrame{0, 0, 1000, 825};

} // namespace

TEST(FrameTolerance, OriginsWithinTwelveAndSizesWithinTwentyFourPoints) {
    const Rect placed{100, 100, 500, 400};
    EXPECT_TRUE(framesMatch(placed, {111.9, 88.1, 523.9, 376.1}));
    EXPECT_TRUE(framesMatch({111.9, 88.1, 523.9, 376.1}, placed));
    // Each limit is strict.
    for (const Rect& off : {Rect(112, 100, 500, 400), Rect(100, 88, 500, 400),
                            Rect(100, 100, 524, 400), Rect(100, 100, 500, 376)}) {
        EXPECT_FALSE(framesMatch(placed, off));
    }
}

TEST(ZoneWindowFrame, WholeGapAtTheEdgesHalfAGapBetweenZonesAndNoneAtTightEdges) {
    struct Case {
        Zone zone;
        GapRule gap;
        Rect frame;
    };
    // The gap is clamped to 40 points, and nonsense means none.
    const Case cases[] = {
        {zone(0, 0, 0.5, 1), {10, false}, {10, 35, 485, 780}},
        {zone(0.5, 0.5, 0.5, 0.5), {10, false}, {505, 430, 485, 385}},
        {zone(0, 0, 0.5, 1), {10, true}, {0, 25, 495, 800}},
        {zone(0.5, 0, 0.5, 1), {10, true}, {505, 25, 495, 800}},
        {zone(0, 0, 0.5, 1), {100, false}, {40, 65, 440, 720}},
        {zone(0, 0, 0.5, 1), {std::numeric_limits<double>::infinity(), false}, {40, 65, 440, 720}},
        {zone(0, 0, 0.5, 1), {-5, false}, {0, 25, 500, 800}},
        {zone(0, 0, 0.5, 1), {std::numeric_limits<double>::quiet_NaN(), false}, {0, 25, 500, 800}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zoneWindowFrame(c.zone, freeArea, primaryFrame, c.gap), c.frame)
            << c.zone.x << ", " << c.zone.y << " gap " << c.gap.gap << " tight "
            << c.gap.tightEdges;
    }
    // Edges within a tenth of a per mille of the display's count as touching it.
    EXPECT_PRED2(
        sameFrame,
        zoneWindowFrame(zone(0.0005, 0.0005, 0.999, 0.999), freeArea, primaryFrame, {10, false}),
        Rect(10.5, 35.4, 979, 779.2));
    EXPECT_PRED2(
        sameFrame,
        zoneWindowFrame(zone(0.002, 0.002, 0.996, 0.996), freeArea, primaryFrame, {10, false}),
        Rect(7, 31.6, 986, 786.8));
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

TEST(MostSimilarZone, LargestOverlapThenNearestCentreThenEarliest) {
    const auto leftHalf = zone(0, 0, 0.5, 1);
    const auto leftThird = zone(0, 0, 1.0 / 3, 1);
    // 1/3 ÷ 1/2 against 1/6 ÷ 2/3 and nothing.
    EXPECT_EQ(mostSimilarZone(leftHalf, {zone(2.0 / 3, 0, 1.0 / 3, 1), zone(1.0 / 3, 0, 1.0 / 3, 1),
                                         leftThird}),
              leftThird);
    EXPECT_EQ(mostSimilarZone(leftHalf, {}), std::nullopt);

    // No overlap at all: the nearest centre decides; equal distance, the earlier one.
    const auto near = zone(0.5, 0, 0.1, 0.1);
    EXPECT_EQ(mostSimilarZone(zone(0, 0, 0.1, 0.1), {zone(0.9, 0.9, 0.1, 0.1), near}), near);
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

    AccessibilityElement window(const Rect& frame, SimWindowFaults faults = {},
                                ProcessId process = editor) {
        SimWindowOptions options;
        options.faults = faults;
        return desktop.addWindow(process, frame, std::move(options));
    }

    std::string screenID() const { return makeScreenInfo(display).id; }

    SystemDisplay display = simscreens::display({0, 0, 1000, 825}, "Square Display", 1, 25, 0);
    SimDesktop desktop{{display}};
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
    EXPECT_EQ(mover.fillWindowFrame(display), Rect(0, 25, 1000, 800));
    // A value of the wrong type counts as the registered default (no gap); whole numbers do.
    defaults.set(prefs::windowGap, std::string("wide"));
    EXPECT_EQ(mover.zoneWindowFrame(leftHalf, display), leftFrame);
    defaults.set(prefs::windowGap, std::int64_t{10});
    defaults.set(prefs::tightEdges, false);
    EXPECT_EQ(mover.zoneWindowFrame(leftHalf, display), Rect(10, 35, 485, 780));
}

TEST_F(MoverTest, PlacingRaisesSetsTheFrameAndKeepsTheFrameFromBeforeTheFirstZone) {
    const auto w = window(start);
    desktop.clearCalls();
    EXPECT_TRUE(mover.placeInZone(w, leftHalf, display));
    EXPECT_EQ(desktop.writeNames(w), (Names{"AXRaise", "AXPosition", "AXSize", "AXPosition"}));
    EXPECT_EQ(mover.placements().at(w), (Placement{leftHalf.id, screenID(), leftFrame, start}));
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
    EXPECT_EQ(desktop.beepCount(), 0u);
}

TEST_F(MoverTest, RemembersTheFrameReadBackOrTheRequestedOneWhenItCannotBeRead) {
    SimWindowFaults wide;
    wide.minimumSize = Size{600, 300};
    const auto w = window(start, wide);
    EXPECT_TRUE(mover.placeInZone(w, leftHalf, display));
    EXPECT_EQ(mover.placements().at(w).frame, Rect(0, 25, 600, 800));

    // Reads start failing after the last write: the requested frame is remembered.
    const auto v = window(start, wide);
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

    // Never readable: moved, but nothing to remember.
    SimWindowFaults unreadable;
    unreadable.failFrameReads = true;
    const auto u = window(start, unreadable);
    EXPECT_TRUE(mover.placeInZone(u, leftHalf, display));
    EXPECT_EQ(desktop.frame(u), leftFrame);
    EXPECT_FALSE(mover.placements().contains(u));
}

TEST_F(MoverTest, SetWindowFrameMakesAllThreeCallsAndCountsAnyAcceptedOne) {
    const Rect target{10, 40, 500, 400};
    const auto sizeOnly = window(start, SimWindowFaults::onlySizeAccepted());
    desktop.clearCalls();
    EXPECT_TRUE(setWindowFrame(desktop, sizeOnly, target));
    EXPECT_EQ(desktop.writeNames(sizeOnly), frameWrites);
    EXPECT_EQ(desktop.frame(sizeOnly), Rect(100, 100, 500, 400));

    SimWindowFaults positionOnly;
    positionOnly.refuseSize = true;
    const auto fixedSize = window(start, positionOnly);
    EXPECT_TRUE(setWindowFrame(desktop, fixedSize, target));
    EXPECT_EQ(desktop.frame(fixedSize), Rect(10, 40, 300, 200));

    SimWindowFaults neither = SimWindowFaults::onlySizeAccepted();
    neither.refuseSize = true;
    const auto stuck = window(start, neither);
    desktop.clearCalls();
    EXPECT_FALSE(setWindowFrame(desktop, stuck, target));
    EXPECT_EQ(desktop.writeNames(stuck), frameWrites);
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
    const auto viewed = window(start, {}, viewer);
    mover.placeInZone(viewed, rightHalf, display);
    mover.placeInZone(window(start, {}, viewer), rightHalf, display);
    mover.placeInZone(window(start, {}, viewer), rightHalf, display);
    // Up to 48 entries nothing is pruned, gone or not.
    desktop.closeWindow(editorWindows[0]);
    mover.placeInZone(window(start), leftHalf, display);
    ASSERT_EQ(mover.placements().size(), 49u);

    // Ten are gone: seven closed, three with their application.
    for (std::size_t i = 0; i < 7; ++i) {
        desktop.closeWindow(editorWindows[i]);
    }
    desktop.quitApplication(viewer);
    mover.placeInZone(window(start), leftHalf, display);
    EXPECT_EQ(mover.placements().size(), 40u);
    EXPECT_FALSE(mover.placements().contains(viewed));
    EXPECT_TRUE(mover.placements().contains(editorWindows[7]));

    // Live windows stay: the table grows past 49 when nothing is gone.
    for (int i = 0; i < 10; ++i) {
        mover.placeInZone(window({10.0 * i, 300, 300, 200}), leftHalf, display);
    }
    EXPECT_EQ(mover.placements().size(), 50u);
}

TEST_F(MoverTest, DraggedOutOfItsZoneAWindowGetsItsSizeBackOnceAndOnlyFromItsZone) {
    const auto w = window(start);
    mover.placeInZone(w, leftHalf, display);
    desktop.clearCalls();
    EXPECT_TRUE(mover.restoreSizeAfterDragOut(w, leftFrame));
    EXPECT_EQ(desktop.writeNames(w), Names{"AXSize"});
    // The position stays, so the window remains under the pointer.
    EXPECT_EQ(desktop.frame(w), Rect(0, 25, 300, 200));
    EXPECT_TRUE(mover.placements().empty());
    EXPECT_FALSE(mover.restoreSizeAfterDragOut(w, Rect(0, 25, 300, 200)));

    // Every other path forgets the placement and writes nothing: never placed, no frame from
    // the start of the drag, out of its zone before the drag, or already of its original size.
    const auto fitting = window({50, 60, 500, 800});
    mover.placeInZone(fitting, leftHalf, display);
    struct Case {
        const char* what;
        AccessibilityElement window;
        std::optional<Rect> dragStart;
    };
    const Case cases[] = {
        {"never placed", window(start), start},
        {"no start frame", w, std::nullopt},
        {"out before the drag", w, Rect(300, 300, 500, 800)},
        {"original size", fitting, leftFrame},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.window == w) {
            mover.placeInZone(w, leftHalf, display);
        }
        desktop.clearCalls();
        EXPECT_FALSE(mover.restoreSizeAfterDragOut(c.window, c.dragStart));
        EXPECT_FALSE(mover.placements().contains(c.window));
        EXPECT_EQ(desktop.count(SimCallKind::setAttribute), 0u);
    }

    // The application refuses the size: tried once, reported as not restored.
    SimWindowFaults fixed;
    fixed.refuseSize = true;
    const auto refusing = window(leftFrame, fixed);
    mover.recordPlacement(refusing, Placement{leftHalf.id, screenID(), leftFrame, start});
    desktop.clearCalls();
    EXPECT_FALSE(mover.restoreSizeAfterDragOut(refusing, leftFrame));
    EXPECT_EQ(desktop.writeNames(refusing), Names{"AXSize"});
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
}

TEST_F(MoverTest, TheActiveWindowIsTheFocusedThenTheMainThenTheFirstOne) {
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

    // With Tessera in front, the window comes from the application the user came from.
    constexpr ProcessId tessera = 42;
    desktop.setWindowsAttribute(editor, std::nullopt);
    desktop.addApplication(tessera, "com.example.tessera", "Tessera");
    window({0, 0, 200, 200}, {}, tessera);
    const auto viewed = window({10, 10, 300, 300}, {}, viewer);
    desktop.setFrontmostApplication(tessera);
    EXPECT_EQ(activeWindow(desktop, desktop, tessera, viewer), viewed);
    EXPECT_EQ(activeWindow(desktop, desktop, tessera, std::nullopt), std::nullopt);
    desktop.setFrontmostApplication(std::nullopt);
    EXPECT_EQ(activeWindow(desktop, desktop, tessera, viewer), std::nullopt);
}

TEST_F(MoverTest, WindowOfElementWalksUpAtMostSixteenElements) {
    const auto w = window(start);
    const auto close = desktop.addCloseButton(w);
    EXPECT_EQ(windowOfElement(desktop, close), w);
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

    // A sheet is not a window: the walk goes on to the application and stops there.
    SimWindowOptions sheet;
    sheet.role = "AXSheet";
    EXPECT_EQ(windowOfElement(desktop, desktop.addWindow(editor, start, sheet)), std::nullopt);
}

TEST(DisplayOfWindow, DisplayHoldingTheCentreElseTheMainDisplay) {
    SimDesktop desktop{simscreens::sideBySide()};
    desktop.addApplication(7, std::nullopt, "App");
    const auto builtIn = simscreens::sideBySide()[0];
    const auto external = simscreens::sideBySide()[1];
    const auto of = [&](const Rect& frame, SimWindowOptions options = {}) {
        return displayOfWindow(desktop, desktop.displays(),
                               desktop.addWindow(7, frame, std::move(options)));
    };
    // Mostly on the built-in display, centre on the external one.
    EXPECT_EQ(of({1000, 100, 1000, 400}), external);
    // Top-left y 0 is the top of the primary display; the external one extends 180 above it.
    EXPECT_EQ(of({1500, -170, 100, 100}), external);
    EXPECT_EQ(of({100, 100, 200, 200}), builtIn);

    desktop.displays().setMainScreen(1);
    EXPECT_EQ(of({-5000, -5000, 100, 100}), external);
    SimWindowOptions unreadable;
    unreadable.faults.failFrameReads = true;
    EXPECT_EQ(of({100, 100, 200, 200}, unreadable), external);
    desktop.displays().setScreens({});
    EXPECT_EQ(of({100, 100, 200, 200}), std::nullopt);
}
