#include "PlacementTestSupport.h"
#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimDisplays.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using namespace tessera;
using placementtest::sameFrame;
using placementtest::zone;

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const Names placeWrites{"AXRaise", "AXPosition", "AXSize", "AXPosition"};

constexpr ProcessId tesseraProcess = 42;
constexpr ProcessId editor = 501;

// Displays whose main display the test chooses freely, even one that is not in the list (as
// during a configuration change).
class FixedDisplays final : public Displays {
public:
    FixedDisplays(std::vector<SystemDisplay> screens, std::optional<SystemDisplay> main)
        : screens_(std::move(screens)), main_(std::move(main)) {}
    std::vector<SystemDisplay> screens() const override { return screens_; }
    std::optional<SystemDisplay> mainScreen() const override { return main_; }
    Point mouseLocation() const override { return {}; }
    [[nodiscard]] Connection onChange(std::function<void()>) override { return {}; }

private:
    std::vector<SystemDisplay> screens_;
    std::optional<SystemDisplay> main_;
};

// Three 1920 × 1080 displays in a row, listed centre (primary), right, left.
std::vector<SystemDisplay> threeInARow() {
    return {simscreens::display({0, 0, 1920, 1080}, "Centre", 1, 25, 0),
            simscreens::display({1920, 0, 1920, 1080}, "Right", 1, 0, 0),
            simscreens::display({-1920, 0, 1920, 1080}, "Left", 1, 0, 0)};
}

class WindowCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.emplace(temp / "layouts.json");
        arrange(simscreens::sideBySide());
    }

    void arrange(std::vector<SystemDisplay> screens) {
        mover.reset();
        desktop.emplace(std::move(screens));
        mover.emplace(*desktop, *desktop, desktop->displays(), defaults);
        desktop->addApplication(editor, "com.example.editor", "Editor");
        desktop->setFrontmostApplication(editor);
    }

    SystemDisplay screen(std::size_t index) const {
        return desktop->displays().screens().at(index);
    }
    std::string screenID(std::size_t index) const { return makeScreenInfo(screen(index)).id; }

    // Shows a new layout of these zones on one display.
    Layout show(std::size_t index, std::vector<Zone> zones) {
        Layout layout{Uuid::random(), "Layout " + std::to_string(index), std::move(zones)};
        store->upsert(layout);
        store->assign(layout.id, makeScreenInfo(screen(index)));
        return layout;
    }

    AccessibilityElement window(const Rect& frame, SimWindowOptions options = {}) {
        return desktop->addWindow(editor, frame, std::move(options));
    }
    // The frame a zone gives on a display, as the mover computes it.
    Rect frameOf(const Zone& z, std::size_t index) const {
        return mover->zoneWindowFrame(z, screen(index));
    }

    bool fill() { return mover->fillScreen(tesseraProcess, std::nullopt); }
    bool move(ZoneDirection direction) {
        return mover->moveToNeighbouringZone(direction, *store, tesseraProcess, std::nullopt);
    }
    bool toDisplay(int step) {
        return mover->moveToDisplay(step, *store, tesseraProcess, std::nullopt);
    }

    test::TempDir temp{"tessera-commands"};
    SimDefaults defaults;
    std::optional<LayoutStore> store;
    std::optional<SimDesktop> desktop;
    std::optional<AccessibilityWindowMover> mover;

    const Zone leftHalf = zone(0, 0, 0.5, 1, "Left");
    const Zone rightHalf = zone(0.5, 0, 0.5, 1, "Right");
    const Rect start{100, 125, 400, 300};
};

} // namespace

// --- Fill screen ---

TEST_F(WindowCommandsTest, FillScreenFillsTheFreeAreaAndASecondOneGivesTheFrameBack) {
    defaults.set(prefs::windowGap, 10.0);
    const auto w = window(start);
    desktop->clearCalls();
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->writeNames(w),
              (Names{"AXRaise", "AXRaise", "AXPosition", "AXSize", "AXPosition"}));
    // The built-in free area (0, 25, 1440, 875) less the gap.
    EXPECT_EQ(desktop->frame(w), Rect(10, 35, 1420, 855));
    EXPECT_EQ(mover->placements().at(w),
              (Placement{std::nullopt, screenID(0), Rect(10, 35, 1420, 855), start}));

    desktop->clearCalls();
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->writeNames(w), placeWrites);
    EXPECT_EQ(desktop->frame(w), start);
    EXPECT_TRUE(mover->placements().empty());
    EXPECT_EQ(desktop->beepCount(), 0u);

    // The display holding the window's centre is filled.
    desktop->setFrame(w, {1500, 0, 600, 400});
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->frame(w), Rect(1450, -170, 1900, 990));
    EXPECT_EQ(mover->placements().at(w).screenID, screenID(1));
}

TEST_F(WindowCommandsTest, FillScreenKeepsTheFrameFromBeforeAZoneButNotFromBeforeAHandMove) {
    show(0, {leftHalf, rightHalf});
    const auto w = window(start);
    mover->placeInZone(w, leftHalf, screen(0));
    EXPECT_TRUE(fill());
    EXPECT_EQ(mover->placements().at(w).original, start);
    EXPECT_EQ(mover->placements().at(w).zoneID, std::nullopt);

    // Moved by hand while filling: Fill Screen fills again instead of going back.
    const Rect byHand{200, 200, 1000, 500};
    desktop->setFrame(w, byHand);
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->frame(w), mover->fillWindowFrame(screen(0)));
    EXPECT_EQ(mover->placements().at(w).original, byHand);
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->frame(w), byHand);

    // A window in a zone is not toggled back by Fill Screen: it fills.
    mover->placeInZone(w, rightHalf, screen(0));
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->frame(w), mover->fillWindowFrame(screen(0)));
}

TEST_F(WindowCommandsTest, FillScreenOnAFullScreenWindowOnlyLeavesFullScreen) {
    SimWindowOptions full;
    full.fullScreen = true;
    const auto w = window(start, full);
    desktop->clearCalls();
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->writeNames(w), (Names{"AXRaise", "AXFullScreen"}));
    EXPECT_FALSE(desktop->isFullScreen(w));
    EXPECT_EQ(desktop->frame(w), start);
    EXPECT_TRUE(mover->placements().empty());

    full.faults.refuseFullScreen = true;
    const auto stubborn = window(start, full);
    EXPECT_FALSE(fill());
    EXPECT_TRUE(desktop->isFullScreen(stubborn));
    EXPECT_EQ(desktop->beepCount(), 0u);
}

TEST_F(WindowCommandsTest, FillScreenActsOnThePreferredApplicationWhileTesseraIsInFront) {
    desktop->addApplication(tesseraProcess, "com.example.tessera", "Tessera");
    const auto ours = desktop->addWindow(tesseraProcess, start);
    const auto theirs = window(start);
    desktop->setFrontmostApplication(tesseraProcess);
    EXPECT_TRUE(mover->fillScreen(tesseraProcess, editor));
    EXPECT_EQ(desktop->frame(theirs), mover->fillWindowFrame(screen(0)));
    EXPECT_EQ(desktop->frame(ours), start);

    desktop->clearCalls();
    EXPECT_FALSE(mover->fillScreen(tesseraProcess, std::nullopt));
    EXPECT_EQ(desktop->count(SimCallKind::setAttribute), 0u);
    EXPECT_EQ(desktop->count(SimCallKind::performAction), 0u);

    // Failing silently: no application in front, one without windows, and a window whose
    // frame can't be read (raised but not moved).
    desktop->setFrontmostApplication(std::nullopt);
    EXPECT_FALSE(fill());
    desktop->addApplication(7, "com.example.empty", "Empty");
    desktop->setFrontmostApplication(7);
    EXPECT_FALSE(fill());
    SimWindowOptions unreadable;
    unreadable.faults.failFrameReads = true;
    const auto w = desktop->addWindow(7, start, unreadable);
    desktop->clearCalls();
    EXPECT_FALSE(fill());
    EXPECT_EQ(desktop->writeNames(w), Names{"AXRaise"});
    EXPECT_EQ(desktop->beepCount(), 0u);
}

// --- Move to the neighbouring zone ---

TEST_F(WindowCommandsTest, NeighbourMoveContinuesOntoTheDisplayToTheRight) {
    show(0, {leftHalf, rightHalf});
    show(1, {leftHalf, rightHalf});
    const auto w = window(start);
    mover->placeInZone(w, rightHalf, screen(0));

    // Both halves of the right display lie further right; the left one is nearer.
    desktop->clearCalls();
    EXPECT_TRUE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->writeNames(w), placeWrites);
    EXPECT_EQ(desktop->frame(w), frameOf(leftHalf, 1));
    EXPECT_EQ(mover->placements().at(w),
              (Placement{leftHalf.id, screenID(1), frameOf(leftHalf, 1), start}));

    EXPECT_TRUE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->frame(w), frameOf(rightHalf, 1));
    desktop->clearCalls();
    EXPECT_FALSE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->beepCount(), 1u);
    EXPECT_TRUE(desktop->writeNames(w).empty());

    EXPECT_TRUE(move(ZoneDirection::left));
    EXPECT_TRUE(move(ZoneDirection::left));
    EXPECT_EQ(desktop->frame(w), frameOf(rightHalf, 0));
    EXPECT_EQ(mover->placements().at(w).original, start);
    EXPECT_EQ(desktop->beepCount(), 1u);
}

TEST_F(WindowCommandsTest, NeighbourMoveUpAndDownAcrossStackedDisplays) {
    arrange(simscreens::stacked());
    const auto top = zone(0, 0, 1, 0.5, "Top");
    const auto bottom = zone(0, 0.5, 1, 0.5, "Bottom");
    show(0, {top, bottom});
    show(1, {top, bottom});
    const auto w = window(start);
    mover->placeInZone(w, top, screen(0));

    EXPECT_TRUE(move(ZoneDirection::up));
    EXPECT_EQ(desktop->frame(w), frameOf(bottom, 1));
    EXPECT_TRUE(move(ZoneDirection::up));
    EXPECT_EQ(desktop->frame(w), frameOf(top, 1));
    EXPECT_FALSE(move(ZoneDirection::up));
    EXPECT_EQ(desktop->beepCount(), 1u);

    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(move(ZoneDirection::down));
    }
    EXPECT_EQ(desktop->frame(w), frameOf(bottom, 0));
    EXPECT_FALSE(move(ZoneDirection::down));
    EXPECT_EQ(desktop->beepCount(), 2u);
    EXPECT_EQ(mover->placements().at(w).original, start);

    // Left onto a display at negative coordinates.
    arrange(simscreens::negativeOrigin());
    show(0, {leftHalf, rightHalf});
    show(1, {leftHalf, rightHalf});
    const auto v = window(start);
    mover->placeInZone(v, leftHalf, screen(0));
    EXPECT_TRUE(move(ZoneDirection::left));
    EXPECT_EQ(desktop->frame(v), frameOf(rightHalf, 1));
    EXPECT_EQ(mover->placements().at(v).screenID, screenID(1));
}

TEST_F(WindowCommandsTest, NeighbourMoveIntoAPortraitDisplayPrefersTheRowInLine) {
    arrange(simscreens::withPortrait());
    show(0, {leftHalf, rightHalf});
    const auto topRow = zone(0, 0, 1, 1.0 / 3, "Top");
    const auto middleRow = zone(0, 1.0 / 3, 1, 1.0 / 3, "Middle");
    const auto bottomRow = zone(0, 2.0 / 3, 1, 1.0 / 3, "Bottom");
    show(1, {topRow, middleRow, bottomRow});
    const auto w = window(start);
    mover->placeInZone(w, rightHalf, screen(0));
    // All rows are equally far right; the bottom row's centre is 117.5 points off the window's
    // and the middle row's 522.5.
    EXPECT_TRUE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->frame(w), frameOf(bottomRow, 1));
    EXPECT_TRUE(move(ZoneDirection::up));
    EXPECT_EQ(desktop->frame(w), frameOf(middleRow, 1));
}

TEST_F(WindowCommandsTest, NeighbourMoveWeighsTheSidewaysOffsetDouble) {
    arrange({simscreens::display({0, 0, 1000, 825}, "Square", 1, 25, 0)});
    // Equally far up; 30 points to the side (listed first) against 10.
    const auto thirtyOff = zone(0.48, 0, 0.1, 0.25, "Thirty");
    const auto tenOff = zone(0.46, 0, 0.1, 0.25, "Ten");
    const auto below = zone(0.45, 0.75, 0.1, 0.25, "Below");
    show(0, {thirtyOff, tenOff, below});
    const auto w = window({400, 525, 200, 200});
    EXPECT_TRUE(move(ZoneDirection::up));
    EXPECT_EQ(desktop->frame(w), frameOf(tenOff, 0));
    EXPECT_EQ(mover->placements().at(w).zoneID, tenOff.id);

    // To the left: 200 points away but 100 off (score 400) loses to 350 points in line.
    const auto nearButHigh = zone(0.25, 0.5, 0.1, 0.25, "Near");
    const auto farInLine = zone(0.1, 0.625, 0.1, 0.25, "Far");
    show(0, {nearButHigh, farInLine});
    desktop->setFrame(w, {400, 525, 200, 200});
    EXPECT_TRUE(move(ZoneDirection::left));
    EXPECT_EQ(mover->placements().at(w).zoneID, farInLine.id);

    // Down: 150 points away but 100 aside (350) loses to 175 points straight below.
    const auto nearButAside = zone(0.55, 0.875, 0.1, 0.125, "Aside");
    const auto straightBelow = zone(0.45, 0.9375, 0.1, 0.0625, "Below");
    show(0, {nearButAside, straightBelow});
    desktop->setFrame(w, {400, 525, 200, 200});
    EXPECT_TRUE(move(ZoneDirection::down));
    EXPECT_EQ(mover->placements().at(w).zoneID, straightBelow.id);
}

TEST_F(WindowCommandsTest, NeighbourMoveGivesEqualScoresToTheEarlierZone) {
    // 1024 points wide so both offsets come out exactly 16 points.
    arrange({simscreens::display({0, 0, 1024, 825}, "Wide", 1, 25, 0)});
    const auto leftOf = zone(0.421875, 0, 0.125, 0.25, "Left of");
    const auto rightOf = zone(0.453125, 0, 0.125, 0.25, "Right of");
    const Rect below{448, 525, 128, 200};
    const auto layout = show(0, {leftOf, rightOf});
    const auto w = window(below);
    EXPECT_TRUE(move(ZoneDirection::up));
    EXPECT_EQ(mover->placements().at(w).zoneID, leftOf.id);

    store->upsert(Layout{layout.id, layout.name, {rightOf, leftOf}});
    desktop->setFrame(w, below);
    EXPECT_TRUE(move(ZoneDirection::up));
    EXPECT_EQ(mover->placements().at(w).zoneID, rightOf.id);
}

TEST_F(WindowCommandsTest, NeighbourMoveNeedsTravelAndNeverOffersTheZoneTheWindowIsIn) {
    arrange({simscreens::display({0, 0, 1000, 825}, "Square", 1, 25, 0)});
    const auto whole = zone(0, 0, 1, 1);
    const auto layout = show(0, {whole});
    // The whole free area (0, 25, 1000, 800) has its centre at (500, 425): 4 points is too few.
    const auto w = window({396, 325, 200, 200});
    EXPECT_FALSE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->beepCount(), 1u);
    EXPECT_EQ(desktop->frame(w), Rect(396, 325, 200, 200));
    desktop->setFrame(w, {395, 325, 200, 200});
    EXPECT_TRUE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->frame(w), Rect(0, 25, 1000, 800));

    // Never placed, but within the tolerance of the left half: its centre 8 points to the left
    // is still no candidate.
    store->upsert(Layout{layout.id, layout.name, {leftHalf, rightHalf}});
    desktop->setFrame(w, {8, 25, 500, 800});
    EXPECT_FALSE(move(ZoneDirection::left));
    EXPECT_EQ(desktop->beepCount(), 2u);
    desktop->setFrame(w, {13, 25, 500, 800});
    EXPECT_TRUE(move(ZoneDirection::left));
    EXPECT_EQ(desktop->frame(w), Rect(0, 25, 500, 800));

    // Placed in a zone it didn't fit: 400 wide where the zone is 250, so the zone's centre lies
    // 75 points left of the window's, and it is skipped all the same.
    const auto narrow = zone(0, 0, 0.25, 1, "Narrow");
    store->upsert(Layout{layout.id, layout.name, {narrow}});
    SimWindowOptions wide;
    wide.faults.minimumSize = Size{400, 100};
    const auto v = window(start, wide);
    mover->placeInZone(v, narrow, screen(0));
    ASSERT_EQ(desktop->frame(v), Rect(0, 25, 400, 800));
    desktop->clearCalls();
    EXPECT_FALSE(move(ZoneDirection::left));
    EXPECT_EQ(desktop->beepCount(), 1u); // counted since the last clearCalls
    EXPECT_TRUE(desktop->writeNames(v).empty());
}

TEST_F(WindowCommandsTest, NeighbourMoveCountsTheSameLayoutOnTwoDisplaysSeparately) {
    const auto whole = zone(0, 0, 1, 1, "Whole");
    const Layout shared{Uuid::random(), "Shared", {whole}};
    store->upsert(shared);
    store->assign(shared.id, makeScreenInfo(screen(0)));
    store->assign(shared.id, makeScreenInfo(screen(1)));
    const auto w = window(start);
    mover->placeInZone(w, whole, screen(0));
    EXPECT_TRUE(move(ZoneDirection::right));
    EXPECT_EQ(mover->placements().at(w),
              (Placement{whole.id, screenID(1), frameOf(whole, 1), start}));

    // Silent without a window's frame.
    SimWindowOptions unreadable;
    unreadable.faults.failFrameReads = true;
    const auto v = window(start, unreadable);
    desktop->clearCalls();
    EXPECT_FALSE(move(ZoneDirection::right));
    EXPECT_TRUE(desktop->writeNames(v).empty());
    EXPECT_EQ(desktop->beepCount(), 0u);
}

// --- Move to another display ---

TEST_F(WindowCommandsTest, DisplayMoveGoesLeftToRightAndWrapsAround) {
    arrange(threeInARow());
    for (std::size_t i = 0; i < 3; ++i) {
        show(i, {leftHalf, rightHalf});
    }
    const auto w = window({2000, 100, 400, 300});
    mover->placeInZone(w, leftHalf, screen(1)); // the display at 1920

    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(mover->placements().at(w).screenID, screenID(2)); // the display at −1920
    EXPECT_EQ(desktop->frame(w), frameOf(leftHalf, 2));
    EXPECT_TRUE(toDisplay(-1));
    EXPECT_EQ(mover->placements().at(w).screenID, screenID(1));
    EXPECT_TRUE(toDisplay(-1));
    EXPECT_EQ(mover->placements().at(w).screenID, screenID(0));
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(mover->placements().at(w).screenID, screenID(1));
    EXPECT_EQ(mover->placements().at(w).original, Rect(2000, 100, 400, 300));
    EXPECT_EQ(desktop->beepCount(), 0u);
}

TEST_F(WindowCommandsTest, DisplayMoveOrdersDisplaysOnOneLeftEdgeBottomFirst) {
    // Listed above, built-in, right: the order is built-in, above, right.
    auto above = simscreens::stacked()[1];
    above.name = "Above";
    const auto sideBySide = simscreens::sideBySide();
    arrange({above, sideBySide[0], sideBySide[1]});
    for (std::size_t i = 0; i < 3; ++i) {
        show(i, {leftHalf, rightHalf});
    }
    const auto w = window(start);
    mover->placeInZone(w, rightHalf, screen(1));
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(mover->placements().at(w).screenID, screenID(0));
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(mover->placements().at(w).screenID, screenID(2));
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(mover->placements().at(w).screenID, screenID(1));
}

TEST_F(WindowCommandsTest, DisplayMoveTakesTheMostSimilarZone) {
    show(0, {leftHalf, rightHalf});
    const auto leftThird = zone(0, 0, 1.0 / 3, 1, "Left third");
    const auto middleThird = zone(1.0 / 3, 0, 1.0 / 3, 1, "Middle third");
    const auto rightThird = zone(2.0 / 3, 0, 1.0 / 3, 1, "Right third");
    show(1, {rightThird, middleThird, leftThird});
    const auto w = window(start);
    mover->placeInZone(w, leftHalf, screen(0));
    desktop->clearCalls();
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(desktop->writeNames(w), placeWrites);
    EXPECT_EQ(mover->placements().at(w),
              (Placement{leftThird.id, screenID(1), frameOf(leftThird, 1), start}));
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(mover->placements().at(w).zoneID, leftHalf.id);
}

TEST_F(WindowCommandsTest, DisplayMoveKeepsAFilledWindowFilled) {
    show(0, {leftHalf, rightHalf});
    show(1, {leftHalf, rightHalf});
    const auto w = window(start);
    fill();
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(desktop->frame(w), mover->fillWindowFrame(screen(1)));
    EXPECT_EQ(mover->placements().at(w),
              (Placement{std::nullopt, screenID(1), mover->fillWindowFrame(screen(1)), start}));
    // Fill Screen on the new display still goes back to where the window was first.
    EXPECT_TRUE(fill());
    EXPECT_EQ(desktop->frame(w), start);
}

TEST_F(WindowCommandsTest, DisplayMoveWithoutPlacementKeepsSizeAndRelativePosition) {
    // 800 × 600 at 100 points from the left and top of the built-in free area
    // (0, 25, 1440, 875), towards the external one (1440, -180, 1920, 1010).
    const auto w = window({100, 125, 800, 600});
    desktop->clearCalls();
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(desktop->writeNames(w), placeWrites);
    EXPECT_PRED2(sameFrame, *desktop->frame(w),
                 Rect(1440 + 100.0 / 640 * 1120, -180 + 100.0 / 275 * 410, 800, 600));
    EXPECT_EQ(1440 + 100.0 / 640 * 1120, 1615);
    EXPECT_TRUE(mover->placements().empty());

    // Larger than the built-in free area: its size and its top-left corner.
    desktop->setFrame(w, {1500, -100, 1800, 1000});
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(desktop->frame(w), Rect(0, 25, 1440, 875));

    // Hanging off the left of its free area: pinned to the left edge of the other one.
    desktop->setFrame(w, {-50, 125, 400, 300});
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(desktop->frame(w)->minX(), 1440);
    EXPECT_EQ(desktop->beepCount(), 0u);
}

TEST_F(WindowCommandsTest, DisplayMoveFallsBackToProportionalWhenTheZoneCannotBeMatched) {
    const auto layout = show(0, {leftHalf, rightHalf});
    show(1, {});
    const auto w = window(start);
    mover->placeInZone(w, leftHalf, screen(0));
    // The other display's layout has no zones: the left half (0, 25, 720, 875) keeps its size.
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(desktop->frame(w), Rect(1440, -180, 720, 875));
    // Nothing recorded or removed: the stale entry simply no longer matches.
    EXPECT_EQ(mover->placements().at(w).screenID, screenID(0));

    // The zone the window was in is gone from its display's layout.
    show(1, {leftHalf, rightHalf});
    mover->placeInZone(w, leftHalf, screen(0));
    store->upsert(Layout{layout.id, layout.name, {rightHalf}});
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(desktop->frame(w), Rect(1440, -180, 720, 875));
}

TEST_F(WindowCommandsTest, DisplayMoveBeepsOnEveryFailureBeforeTheMove) {
    // One display only.
    arrange(simscreens::single());
    const auto lone = window(start);
    desktop->clearCalls();
    EXPECT_FALSE(toDisplay(+1));
    EXPECT_EQ(desktop->beepCount(), 1u);
    EXPECT_TRUE(desktop->writeNames(lone).empty());

    // No active window.
    arrange(simscreens::sideBySide());
    EXPECT_FALSE(toDisplay(+1));
    EXPECT_EQ(desktop->beepCount(), 1u);

    // No frame.
    SimWindowOptions unreadable;
    unreadable.faults.failFrameReads = true;
    const auto w = window(start, unreadable);
    EXPECT_FALSE(toDisplay(-1));
    EXPECT_EQ(desktop->beepCount(), 2u);
    EXPECT_TRUE(desktop->writeNames(w).empty());

    // The window's display unknown: outside every display and no main display, or a main
    // display that is not among the listed ones.
    arrange(simscreens::sideBySide());
    const auto lost = window({-5000, -5000, 400, 300});
    const auto screens = simscreens::sideBySide();

    // Outside every display and no main display.
    FixedDisplays none{screens, std::nullopt};
    AccessibilityWindowMover withoutMain{*desktop, *desktop, none, defaults};
    EXPECT_FALSE(withoutMain.moveToDisplay(+1, *store, tesseraProcess, std::nullopt));
    EXPECT_EQ(desktop->beepCount(), 1u);

    // The main display is not among the listed ones.
    FixedDisplays elsewhere{screens, simscreens::stacked()[1]};
    AccessibilityWindowMover withStrayMain{*desktop, *desktop, elsewhere, defaults};
    EXPECT_FALSE(withStrayMain.moveToDisplay(+1, *store, tesseraProcess, std::nullopt));
    EXPECT_EQ(desktop->beepCount(), 2u);
    EXPECT_TRUE(desktop->writeNames(lost).empty());
}
