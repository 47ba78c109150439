#include "PlacementTestSupport.h"
#include "TempDir.h"
#include "core/app/Preferences.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/placement/WindowAccess.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimDisplays.h"

#include <gtest/gtest.h>

#include <limits>

using namespace tessera;
using placementtest::sameFrame;
using placementtest::zone;

namespace {
using Names = std::vector<std::string>;

// Free area 1000 × 800 at the bottom-left origin under a 25-point menu bar: the primary display
// is 1000 × 825, so a top-left y is 825 minus a bottom-left maximum y.
constexpr Rect freeArea{0, 0, 1000, 800};
constexpr Rect primaryFrame{0, 0, 1000, 825};
} // namespace

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
}

namespace {
constexpr ProcessId tesseraProcess = 42;
constexpr ProcessId editor = 501;
constexpr ProcessId viewer = 502;

// The mover on a simulated desktop: side by side displays unless a test arranges others.
class MoverTest : public ::testing::Test {
protected:
    void SetUp() override { arrange(simscreens::sideBySide()); }

    void arrange(std::vector<SystemDisplay> screens) {
        mover.reset();
        desktop.emplace(std::move(screens));
        mover.emplace(*desktop, *desktop, desktop->displays(), defaults);
        desktop->addApplication(editor, "com.example.editor", "Editor");
        desktop->addApplication(viewer, "com.example.viewer", "Viewer");
        desktop->setFrontmostApplication(editor);
    }
    // The 1000 × 825 display of `primaryFrame`, with its 25-point menu bar.
    void arrangeSquare() { arrange({simscreens::display(primaryFrame, "Square", 1, 25, 0)}); }

    SystemDisplay screen(std::size_t index) const {
        return desktop->displays().screens().at(index);
    }
    std::string screenID(std::size_t index) const { return makeScreenInfo(screen(index)).id; }

    // Shows a new layout of these zones on one display.
    Layout show(std::size_t index, std::vector<Zone> zones) {
        Layout layout{Uuid::random(), "Layout " + std::to_string(index), std::move(zones)};
        store.upsert(layout);
        store.assign(layout.id, makeScreenInfo(screen(index)));
        return layout;
    }

    AccessibilityElement window(const Rect& frame, SimWindowOptions options = {},
                                ProcessId process = editor) {
        return desktop->addWindow(process, frame, std::move(options));
    }
    Rect frameOf(const Zone& z, std::size_t index) const {
        return mover->zoneWindowFrame(z, screen(index));
    }
    std::optional<Uuid> zoneOf(const AccessibilityElement& w) const {
        return mover->placements().at(w).zoneID;
    }
    std::string displayOf(const AccessibilityElement& w) const {
        return mover->placements().at(w).screenID;
    }

    bool fill() { return mover->fillScreen(tesseraProcess, std::nullopt); }
    bool move(ZoneDirection direction) {
        return mover->moveToNeighbouringZone(direction, store, tesseraProcess, std::nullopt);
    }
    bool toDisplay(int step) {
        return mover->perform(step < 0 ? WindowCommand::previousDisplay
                                       : WindowCommand::nextDisplay,
                              store, tesseraProcess, std::nullopt);
    }

    test::TempDir temp{"tessera-commands"};
    SimDefaults defaults;
    LayoutStore store{temp / "layouts.json"};
    std::optional<SimDesktop> desktop;
    std::optional<AccessibilityWindowMover> mover;

    const Zone leftHalf = zone(0, 0, 0.5, 1, "Left");
    const Zone rightHalf = zone(0.5, 0, 0.5, 1, "Right");
    // On the square display.
    const Rect leftFrame{0, 25, 500, 800};
    const Rect rightFrame{500, 25, 500, 800};
    const Rect start{100, 125, 400, 300};
};
} // namespace

TEST_F(MoverTest, PlacingRaisesSetsTheFrameAndKeepsTheFrameFromBeforeTheFirstZone) {
    arrangeSquare();
    const auto w = window(start);
    desktop->clearCalls();
    EXPECT_TRUE(mover->placeInZone(w, leftHalf, screen(0)));
    EXPECT_EQ(desktop->writeNames(w), (Names{"AXRaise", "AXPosition", "AXSize", "AXPosition"}));
    EXPECT_EQ(mover->placements().at(w), (Placement{leftHalf.id, screenID(0), leftFrame, start}));
    mover->placeInZone(w, rightHalf, screen(0));
    EXPECT_EQ(mover->placements().at(w), (Placement{rightHalf.id, screenID(0), rightFrame, start}));

    // Nudged within the tolerance: still in its zone.
    desktop->setFrame(w, {511, 14, 523, 777});
    mover->placeInZone(w, leftHalf, screen(0));
    EXPECT_EQ(mover->placements().at(w).original, start);
    // Moved away by hand: that frame is what the window goes back to from now on.
    const Rect byHand{300, 300, 400, 300};
    desktop->setFrame(w, byHand);
    EXPECT_EQ(mover->placementFor(w, byHand), std::nullopt);
    mover->placeInZone(w, rightHalf, screen(0));
    EXPECT_EQ(mover->placements().at(w).original, byHand);
}

// The table of placements must not grow with every window ever placed, nor forget live ones.
TEST_F(MoverTest, PruningAboveFortyEightEntriesDropsOnlyWindowsThatAreGone) {
    arrangeSquare();
    std::vector<AccessibilityElement> placed;
    for (int i = 0; i < 46; ++i) {
        placed.push_back(window({10.0 * i, 100, 300, 200}, {}, i < 3 ? viewer : editor));
        mover->placeInZone(placed.back(), leftHalf, screen(0));
    }
    desktop->closeWindow(placed[3]);
    for (int i = 0; i < 3; ++i) {
        mover->placeInZone(window(start), leftHalf, screen(0));
    }
    ASSERT_EQ(mover->placements().size(), 49u) << "up to 48 entries nothing is pruned";
    // Ten gone: seven closed, three with their application.
    for (std::size_t i = 4; i < 11; ++i) {
        desktop->closeWindow(placed[i]);
    }
    desktop->quitApplication(viewer);
    mover->placeInZone(window(start), leftHalf, screen(0));
    EXPECT_EQ(mover->placements().size(), 39u);
    EXPECT_FALSE(mover->placements().contains(placed[0]));
    EXPECT_TRUE(mover->placements().contains(placed[11]));
    for (int i = 0; i < 11; ++i) {
        mover->placeInZone(window({10.0 * i, 300, 300, 200}), leftHalf, screen(0));
    }
    EXPECT_EQ(mover->placements().size(), 50u) << "live windows stay";
}

// Every path but the one that gives the size back (the drag monitor's test) forgets the placement
// and writes nothing.
TEST_F(MoverTest, DraggedOutOfItsZoneAWindowGetsItsSizeBackOnlyFromItsZone) {
    arrangeSquare();
    const auto w = window(start);
    const auto fitting = window({50, 60, 500, 800});
    mover->placeInZone(fitting, leftHalf, screen(0));
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
            mover->placeInZone(w, leftHalf, screen(0));
        }
        desktop->clearCalls();
        EXPECT_FALSE(mover->restoreSizeAfterDragOut(c.window, c.dragStart));
        EXPECT_FALSE(mover->placements().contains(c.window));
        EXPECT_EQ(desktop->count(SimCallKind::setAttribute), 0u);
    }
}

TEST_F(MoverTest, TheActiveWindowIsTheFocusedThenTheMainThenTheFirstOne) {
    const auto back = window(start);
    const auto front = window({200, 200, 300, 200});
    desktop->setFocusedWindow(editor, back);
    EXPECT_EQ(activeWindow(*desktop, *desktop, 42, std::nullopt), back);
    desktop->setFocusedWindow(editor, std::nullopt);
    desktop->setMainWindow(editor, back); // not the first listed window, which is the front one
    EXPECT_EQ(activeWindowOfApplication(*desktop, editor), back);
    desktop->setMainWindow(editor, std::nullopt);
    desktop->setWindowsAttribute(editor, std::vector<AccessibilityElement>{back, front});
    EXPECT_EQ(activeWindowOfApplication(*desktop, editor), back);
    desktop->setWindowsAttribute(editor, std::vector<AccessibilityElement>{});
    EXPECT_EQ(activeWindowOfApplication(*desktop, editor), std::nullopt);

    // With Tessera in front, the window comes from the application the user came from.
    desktop->setWindowsAttribute(editor, std::nullopt);
    desktop->addApplication(tesseraProcess, "com.example.tessera", "Tessera");
    window({0, 0, 200, 200}, {}, tesseraProcess);
    const auto viewed = window({10, 10, 300, 300}, {}, viewer);
    desktop->setFrontmostApplication(tesseraProcess);
    EXPECT_EQ(activeWindow(*desktop, *desktop, tesseraProcess, viewer), viewed);
    EXPECT_EQ(activeWindow(*desktop, *desktop, tesseraProcess, std::nullopt), std::nullopt);
    desktop->setFrontmostApplication(std::nullopt);
    EXPECT_EQ(activeWindow(*desktop, *desktop, tesseraProcess, viewer), std::nullopt);
}

TEST_F(MoverTest, FillScreenFillsTheFreeAreaAndASecondOneGivesTheFrameBack) {
    defaults.set(prefs::windowGap, 10.0);
    const auto w = window(start);
    EXPECT_TRUE(fill());
    // The built-in free area (0, 25, 1440, 875) less the gap.
    EXPECT_EQ(desktop->frame(w), Rect(10, 35, 1420, 855));
    EXPECT_EQ(mover->placements().at(w),
              (Placement{std::nullopt, screenID(0), Rect(10, 35, 1420, 855), start}));
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->frame(w), start);
    EXPECT_TRUE(mover->placements().empty());

    // From a zone, the frame from before the zone is kept.
    show(0, {leftHalf, rightHalf});
    mover->placeInZone(w, leftHalf, screen(0));
    EXPECT_TRUE(fill());
    EXPECT_EQ(mover->placements().at(w).original, start);
    // Moved by hand while filling: Fill Screen fills again, and goes back to the new frame.
    const Rect byHand{200, 200, 1000, 500};
    desktop->setFrame(w, byHand);
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->frame(w), mover->fillWindowFrame(screen(0)));
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->frame(w), byHand);

    // The display holding the window's centre is filled.
    desktop->setFrame(w, {1500, 0, 600, 400});
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->frame(w), Rect(1450, -170, 1900, 990));
    // A window in a zone is not given its frame back by Fill Screen: it fills.
    mover->placeInZone(w, rightHalf, screen(0));
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->frame(w), mover->fillWindowFrame(screen(0)));

    // A busy window manager answers after the write returned: the window gets there later, and
    // the second press still gives its frame back.
    const auto late =
        window(start, SimWindowOptions{}.withFaults(
                          SimWindowFaults{}.refusingPosition().refusingSize().withFailureStatus(
                              AccessibilityStatus::success)));
    desktop->bringToFront(late);
    EXPECT_TRUE(fill());
    desktop->setFrame(late, mover->fillWindowFrame(screen(0)));
    EXPECT_TRUE(fill());
    EXPECT_EQ(mover->placements().count(late), 0u);
}

TEST_F(MoverTest, FillScreenLeavesFullScreenAndActsOnThePreferredApplication) {
    SimWindowOptions full;
    full.fullScreen = true;
    const auto w = window(start, full);
    desktop->clearCalls();
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->writeNames(w), (std::vector<std::string>{"AXRaise", "AXFullScreen"}));
    EXPECT_FALSE(desktop->isFullScreen(w));
    EXPECT_EQ(desktop->frame(w), start);
    full.faults.refuseFullScreen = true;
    const auto stubborn = window(start, full);
    EXPECT_FALSE(fill());
    EXPECT_TRUE(desktop->isFullScreen(stubborn));
}

TEST_F(MoverTest, NeighbourMoveCrossesDisplaysAndBeepsAtTheEnd) {
    show(0, {leftHalf, rightHalf});
    show(1, {leftHalf, rightHalf});
    const auto w = window(start);
    mover->placeInZone(w, rightHalf, screen(0));
    // Both halves of the right display lie further right; the left one is nearer.
    EXPECT_TRUE(move(ZoneDirection::right));
    EXPECT_EQ(mover->placements().at(w),
              (Placement{leftHalf.id, screenID(1), frameOf(leftHalf, 1), start}));
    EXPECT_TRUE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->frame(w), frameOf(rightHalf, 1));
    desktop->clearCalls();
    EXPECT_FALSE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->beepCount(), 1u);
    EXPECT_TRUE(desktop->writeNames(w).empty());

    // The same layout on two displays counts as two sets of zones.
    arrange(simscreens::sideBySide());
    const auto whole = zone(0, 0, 1, 1, "Whole");
    const Layout shared{Uuid::random(), "Shared", {whole}};
    store.upsert(shared);
    store.assign(shared.id, makeScreenInfo(screen(0)));
    store.assign(shared.id, makeScreenInfo(screen(1)));
    const auto u = window(start);
    mover->placeInZone(u, whole, screen(0));
    EXPECT_TRUE(move(ZoneDirection::right));
    EXPECT_EQ(displayOf(u), screenID(1));

    // Silent without a window's frame.
    const auto lost =
        window(start, SimWindowOptions{}.withFaults(SimWindowFaults{}.failingFrameReads()));
    desktop->clearCalls();
    EXPECT_FALSE(move(ZoneDirection::right));
    EXPECT_TRUE(desktop->writeNames(lost).empty());
    EXPECT_EQ(desktop->beepCount(), 0u);
}

TEST_F(MoverTest, NeighbourMoveWeighsTheSidewaysOffsetDouble) {
    arrangeSquare();
    // Equally far up; 30 points to the side (listed first) against 10.
    const auto thirtyOff = zone(0.48, 0, 0.1, 0.25, "Thirty");
    const auto tenOff = zone(0.46, 0, 0.1, 0.25, "Ten");
    const auto layout = show(0, {thirtyOff, tenOff, zone(0.45, 0.75, 0.1, 0.25, "Below")});
    const Rect middle{400, 525, 200, 200};
    const auto w = window(middle);
    EXPECT_TRUE(move(ZoneDirection::up));
    EXPECT_EQ(zoneOf(w), tenOff.id);

    // To the left: 200 points away but 100 off (score 400) loses to 350 points in line.
    const auto nearButHigh = zone(0.25, 0.5, 0.1, 0.25, "Near");
    const auto farInLine = zone(0.1, 0.625, 0.1, 0.25, "Far");
    store.upsert(Layout{layout.id, layout.name, {nearButHigh, farInLine}});
    desktop->setFrame(w, middle);
    EXPECT_TRUE(move(ZoneDirection::left));
    EXPECT_EQ(zoneOf(w), farInLine.id);
}

TEST_F(MoverTest, NeighbourMoveNeedsTravelAndNeverOffersTheZoneTheWindowIsIn) {
    arrangeSquare();
    const auto layout = show(0, {zone(0, 0, 1, 1)});
    // The whole free area (0, 25, 1000, 800) has its centre at (500, 425): 4 points is too few.
    const auto w = window({396, 325, 200, 200});
    EXPECT_FALSE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->beepCount(), 1u);
    desktop->setFrame(w, {395, 325, 200, 200});
    EXPECT_TRUE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->frame(w), Rect(0, 25, 1000, 800));

    // Placed in a zone it didn't fit: the zone's centre lies 75 points left of the window's,
    // and it is skipped all the same.
    const auto narrow = zone(0, 0, 0.25, 1, "Narrow");
    store.upsert(Layout{layout.id, layout.name, {narrow}});
    const auto v =
        window(start, SimWindowOptions{}.withFaults(SimWindowFaults{}.withMinimumSize({400, 100})));
    mover->placeInZone(v, narrow, screen(0));
    ASSERT_EQ(desktop->frame(v), Rect(0, 25, 400, 800));
    EXPECT_FALSE(move(ZoneDirection::left));
}

TEST_F(MoverTest, DisplayMoveGoesLeftToRightBottomFirstAndWrapsAround) {
    // Listed centre (primary), right, left.
    arrange({simscreens::display({0, 0, 1920, 1080}, "Centre", 1, 25, 0),
             simscreens::display({1920, 0, 1920, 1080}, "Right", 1, 0, 0),
             simscreens::display({-1920, 0, 1920, 1080}, "Left", 1, 0, 0)});
    for (std::size_t i = 0; i < 3; ++i) {
        show(i, {leftHalf, rightHalf});
    }
    const auto w = window({2000, 100, 400, 300});
    mover->placeInZone(w, leftHalf, screen(1));
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(displayOf(w), screenID(2));
    EXPECT_EQ(desktop->frame(w), frameOf(leftHalf, 2));
    EXPECT_TRUE(toDisplay(-1));
    EXPECT_EQ(displayOf(w), screenID(1));
    EXPECT_TRUE(toDisplay(-1));
    EXPECT_EQ(displayOf(w), screenID(0));
    EXPECT_EQ(mover->placements().at(w).original, Rect(2000, 100, 400, 300));
}

TEST_F(MoverTest, DisplayMoveTakesTheMostSimilarZoneAndKeepsAFilledWindowFilled) {
    show(0, {leftHalf, rightHalf});
    const auto leftThird = zone(0, 0, 1.0 / 3, 1, "Left third");
    show(1, {zone(2.0 / 3, 0, 1.0 / 3, 1), zone(1.0 / 3, 0, 1.0 / 3, 1), leftThird});
    const auto w = window(start);
    mover->placeInZone(w, leftHalf, screen(0));
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(mover->placements().at(w),
              (Placement{leftThird.id, screenID(1), frameOf(leftThird, 1), start}));
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(zoneOf(w), leftHalf.id);

    fill();
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(mover->placements().at(w),
              (Placement{std::nullopt, screenID(1), mover->fillWindowFrame(screen(1)), start}));
    // Fill Screen on the new display still goes back to where the window was first.
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->frame(w), start);
}

TEST_F(MoverTest, DisplayMoveWithoutAZoneKeepsSizeAndRelativePosition) {
    // 800 × 600 at 100 points from the left and top of the built-in free area
    // (0, 25, 1440, 875), towards the external one (1440, -180, 1920, 1010).
    const auto w = window({100, 125, 800, 600});
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_PRED2(sameFrame, *desktop->frame(w),
                 Rect(1440 + 100.0 / 640 * 1120, -180 + 100.0 / 275 * 410, 800, 600));
    EXPECT_TRUE(mover->placements().empty());

    // Larger than the built-in free area: its size and its top-left corner.
    desktop->setFrame(w, {1500, -100, 1800, 1000});
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(desktop->frame(w), Rect(0, 25, 1440, 875));

    // Hanging off the left of its free area: pinned to the left edge of the other one.
    desktop->setFrame(w, {-50, 125, 400, 300});
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(desktop->frame(w)->minX(), 1440);
}
