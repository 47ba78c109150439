#include "PlacementTestSupport.h"
#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimDisplays.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace tessera;
using placementtest::sameFrame;
using placementtest::zone;

namespace {

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

class WindowCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { arrange(simscreens::sideBySide()); }

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
        store.upsert(layout);
        store.assign(layout.id, makeScreenInfo(screen(index)));
        return layout;
    }

    AccessibilityElement window(const Rect& frame, SimWindowOptions options = {}) {
        return desktop->addWindow(editor, frame, std::move(options));
    }
    static SimWindowOptions unreadable() {
        SimWindowOptions options;
        options.faults.failFrameReads = true;
        return options;
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
        return mover->moveToDisplay(step, store, tesseraProcess, std::nullopt);
    }

    test::TempDir temp{"tessera-commands"};
    SimDefaults defaults;
    LayoutStore store{temp / "layouts.json"};
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
    EXPECT_EQ(desktop->beepCount(), 0u);
}

TEST_F(WindowCommandsTest, FillScreenLeavesFullScreenAndActsOnThePreferredApplication) {
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

    // Tessera in front: the window of the application the user came from, never Tessera's.
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
    const auto v = desktop->addWindow(7, start, unreadable());
    desktop->clearCalls();
    EXPECT_FALSE(fill());
    EXPECT_EQ(desktop->writeNames(v), std::vector<std::string>{"AXRaise"});
    EXPECT_EQ(desktop->beepCount(), 0u);
}

// --- Move to the neighbouring zone ---

TEST_F(WindowCommandsTest, NeighbourMoveCrossesDisplaysAndBeepsAtTheEnd) {
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
    EXPECT_TRUE(move(ZoneDirection::left));
    EXPECT_TRUE(move(ZoneDirection::left));
    EXPECT_EQ(desktop->frame(w), frameOf(rightHalf, 0));

    // Up and down across stacked displays.
    arrange(simscreens::stacked());
    const auto top = zone(0, 0, 1, 0.5, "Top");
    const auto bottom = zone(0, 0.5, 1, 0.5, "Bottom");
    show(0, {top, bottom});
    show(1, {top, bottom});
    const auto v = window(start);
    mover->placeInZone(v, top, screen(0));
    EXPECT_TRUE(move(ZoneDirection::up));
    EXPECT_EQ(desktop->frame(v), frameOf(bottom, 1));
    EXPECT_TRUE(move(ZoneDirection::up));
    EXPECT_FALSE(move(ZoneDirection::up));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(move(ZoneDirection::down));
    }
    EXPECT_EQ(desktop->frame(v), frameOf(bottom, 0));
    EXPECT_FALSE(move(ZoneDirection::down));
    EXPECT_EQ(desktop->beepCount(), 2u);

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
    const auto lost = window(start, unreadable());
    desktop->clearCalls();
    EXPECT_FALSE(move(ZoneDirection::right));
    EXPECT_TRUE(desktop->writeNames(lost).empty());
    EXPECT_EQ(desktop->beepCount(), 0u);
}

TEST_F(WindowCommandsTest, NeighbourMoveWeighsTheSidewaysOffsetDoubleAndTiesGoToTheEarlierZone) {
    arrange({simscreens::display({0, 0, 1000, 825}, "Square", 1, 25, 0)});
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

    // Equal scores: both 16 points off to either side, the earlier zone wins.
    arrange({simscreens::display({0, 0, 1024, 825}, "Wide", 1, 25, 0)});
    const auto leftOf = zone(0.421875, 0, 0.125, 0.25, "Left of");
    const auto rightOf = zone(0.453125, 0, 0.125, 0.25, "Right of");
    const Rect below{448, 525, 128, 200};
    const auto pair = show(0, {leftOf, rightOf});
    const auto v = window(below);
    EXPECT_TRUE(move(ZoneDirection::up));
    EXPECT_EQ(zoneOf(v), leftOf.id);
    store.upsert(Layout{pair.id, pair.name, {rightOf, leftOf}});
    desktop->setFrame(v, below);
    EXPECT_TRUE(move(ZoneDirection::up));
    EXPECT_EQ(zoneOf(v), rightOf.id);
}

TEST_F(WindowCommandsTest, NeighbourMoveNeedsTravelAndNeverOffersTheZoneTheWindowIsIn) {
    arrange({simscreens::display({0, 0, 1000, 825}, "Square", 1, 25, 0)});
    const auto layout = show(0, {zone(0, 0, 1, 1)});
    // The whole free area (0, 25, 1000, 800) has its centre at (500, 425): 4 points is too few.
    const auto w = window({396, 325, 200, 200});
    EXPECT_FALSE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->beepCount(), 1u);
    desktop->setFrame(w, {395, 325, 200, 200});
    EXPECT_TRUE(move(ZoneDirection::right));
    EXPECT_EQ(desktop->frame(w), Rect(0, 25, 1000, 800));

    // Never placed, but within the tolerance of the left half: its centre 8 points to the left
    // is still no candidate; 13 points is.
    store.upsert(Layout{layout.id, layout.name, {leftHalf, rightHalf}});
    desktop->setFrame(w, {8, 25, 500, 800});
    EXPECT_FALSE(move(ZoneDirection::left));
    desktop->setFrame(w, {13, 25, 500, 800});
    EXPECT_TRUE(move(ZoneDirection::left));
    EXPECT_EQ(desktop->frame(w), Rect(0, 25, 500, 800));

    // Placed in a zone it didn't fit: the zone's centre lies 75 points left of the window's,
    // and it is skipped all the same.
    const auto narrow = zone(0, 0, 0.25, 1, "Narrow");
    store.upsert(Layout{layout.id, layout.name, {narrow}});
    SimWindowOptions wide;
    wide.faults.minimumSize = Size{400, 100};
    const auto v = window(start, wide);
    mover->placeInZone(v, narrow, screen(0));
    ASSERT_EQ(desktop->frame(v), Rect(0, 25, 400, 800));
    EXPECT_FALSE(move(ZoneDirection::left));
}

// --- Move to another display ---

TEST_F(WindowCommandsTest, DisplayMoveGoesLeftToRightBottomFirstAndWrapsAround) {
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

    // On one left edge the lower display comes first: listed above, built-in, right, the
    // order is built-in, above, right.
    auto above = simscreens::stacked()[1];
    above.name = "Above";
    arrange({above, simscreens::sideBySide()[0], simscreens::sideBySide()[1]});
    for (std::size_t i = 0; i < 3; ++i) {
        show(i, {leftHalf, rightHalf});
    }
    const auto v = window(start);
    mover->placeInZone(v, rightHalf, screen(1));
    const std::size_t order[] = {0, 2, 1};
    for (const auto next : order) {
        EXPECT_TRUE(toDisplay(+1));
        EXPECT_EQ(displayOf(v), screenID(next));
    }
    EXPECT_EQ(desktop->beepCount(), 0u);
}

TEST_F(WindowCommandsTest, DisplayMoveTakesTheMostSimilarZoneAndKeepsAFilledWindowFilled) {
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

TEST_F(WindowCommandsTest, DisplayMoveWithoutAZoneKeepsSizeAndRelativePosition) {
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

    // A zone with no match on the other display (no zones there, or its own zone gone) moves
    // the window as it is.
    const auto layout = show(0, {leftHalf, rightHalf});
    show(1, {});
    mover->placeInZone(w, leftHalf, screen(0));
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(desktop->frame(w), Rect(1440, -180, 720, 875));
    show(1, {leftHalf, rightHalf});
    mover->placeInZone(w, leftHalf, screen(0));
    store.upsert(Layout{layout.id, layout.name, {rightHalf}});
    EXPECT_TRUE(toDisplay(+1));
    EXPECT_EQ(desktop->frame(w), Rect(1440, -180, 720, 875));
    EXPECT_EQ(desktop->beepCount(), 0u);
}

TEST_F(WindowCommandsTest, DisplayMoveBeepsOnEveryFailureBeforeTheMove) {
    arrange(simscreens::single());
    window(start);
    EXPECT_FALSE(toDisplay(+1));
    EXPECT_EQ(desktop->beepCount(), 1u);

    // No active window, and one without a frame.
    arrange(simscreens::sideBySide());
    EXPECT_FALSE(toDisplay(+1));
    const auto w = window(start, unreadable());
    EXPECT_FALSE(toDisplay(-1));
    EXPECT_EQ(desktop->beepCount(), 2u);
    EXPECT_TRUE(desktop->writeNames(w).empty());

    // The window outside every display and no main display, or a main display that is not
    // among the listed ones.
    arrange(simscreens::sideBySide());
    const auto lost = window({-5000, -5000, 400, 300});
    for (const auto& main :
         {std::optional<SystemDisplay>{}, std::optional(simscreens::stacked()[1])}) {
        FixedDisplays displays{simscreens::sideBySide(), main};
        AccessibilityWindowMover withoutMain{*desktop, *desktop, displays, defaults};
        EXPECT_FALSE(withoutMain.moveToDisplay(+1, store, tesseraProcess, std::nullopt));
    }
    EXPECT_EQ(desktop->beepCount(), 2u);
    EXPECT_TRUE(desktop->writeNames(lost).empty());
}
