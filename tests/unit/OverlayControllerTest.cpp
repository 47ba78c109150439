#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "core/store/BuiltInLayouts.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimLocalizer.h"
#include "platform/sim/SimOverlaySurface.h"
#include "platform/sim/SimScheduler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

using namespace tessera;
using Call = SimOverlaySurfaceRecord::Call;

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

Zone zone(const std::string& name, double x, double y, double width, double height) {
    return Zone{Uuid::random(), name, x, y, width, height, std::nullopt};
}

Rect centredCard(const Rect& zoneRect, Size card) {
    return {zoneRect.minX() + (zoneRect.width() - card.width) / 2,
            zoneRect.minY() + (zoneRect.height() - card.height) / 2, card.width, card.height};
}

Point centre(const Rect& r) {
    return {r.minX() + r.width() / 2, r.minY() + r.height() / 2};
}

// ---------------------------------------------------------------------------------------------
// Card size and the rounded-card test: pure geometry.

TEST(CardSize, FollowsTheZoneBetweenFloorAndCeiling) {
    EXPECT_EQ(cardSize(1280, 720, 100), (Size{260, 110}));
    EXPECT_EQ(cardSize(300, 200, 100), (Size{132, 64}));
    EXPECT_EQ(cardSize(60, 40, 100), (Size{48, 32}));
    // Between the limits the card is 42 % by 28 % of the zone.
    EXPECT_DOUBLE_EQ(cardSize(500, 300, 100).width, 210);
    EXPECT_DOUBLE_EQ(cardSize(500, 300, 100).height, 84);
    // The zone minus 16 points caps the card before the scaled base does.
    EXPECT_EQ(cardSize(140, 70, 160), (Size{124, 54}));
    // A zone of no size still gets the 48 × 32 floor.
    EXPECT_EQ(cardSize(0, 0, 100), (Size{48, 32}));
}

TEST(CardSize, ScaleIsClampedToSixtyAndOneHundredSixtyPercent) {
    EXPECT_EQ(cardSize(1280, 720, 60), (Size{156, 66}));
    EXPECT_EQ(cardSize(1280, 720, 30), (Size{156, 66}));
    EXPECT_EQ(cardSize(1280, 720, -5), (Size{156, 66}));
    EXPECT_DOUBLE_EQ(cardSize(1280, 720, 61).width, 0.61 * 260);
    EXPECT_EQ(cardSize(1280, 720, 160), (Size{416, 176}));
    EXPECT_EQ(cardSize(1280, 720, 400), (Size{416, 176}));
    EXPECT_EQ(cardSize(1280, 720, std::numeric_limits<double>::infinity()), (Size{416, 176}));
}

TEST(CardSize, ScaleThatIsNotANumberCountsAsTheDefault) {
    EXPECT_EQ(cardSize(1280, 720, nan), cardSize(1280, 720, 100));
}

TEST(CardSize, ZoneThatIsNotANumberGivesNoUsableCard) {
    const Size card = cardSize(nan, 200, 100);
    EXPECT_FALSE(card.width > 0);
    EXPECT_FALSE(pointInRoundedCard({0, 0}, Rect(0, 0, card.width, card.height)));
}

TEST(RoundedCard, MinimumEdgesAreInsideMaximumEdgesOutside) {
    const Rect card(100, 50, 260, 110);
    EXPECT_TRUE(pointInRoundedCard({100, 105}, card));  // left edge, middle
    EXPECT_TRUE(pointInRoundedCard({230, 50}, card));   // bottom edge, middle
    EXPECT_FALSE(pointInRoundedCard({360, 105}, card)); // right edge
    EXPECT_FALSE(pointInRoundedCard({230, 160}, card)); // top edge
    EXPECT_TRUE(pointInRoundedCard({359.999, 105}, card));
    EXPECT_FALSE(pointInRoundedCard({99.999, 105}, card));
}

TEST(RoundedCard, CornersAreCutAway) {
    const Rect card(100, 50, 260, 110); // radius 20
    // One point inside both edges at every corner: 19² + 19² = 722 > 400.5.
    EXPECT_FALSE(pointInRoundedCard({101, 51}, card));
    EXPECT_FALSE(pointInRoundedCard({359, 51}, card));
    EXPECT_FALSE(pointInRoundedCard({101, 159}, card));
    EXPECT_FALSE(pointInRoundedCard({359, 159}, card));
    // Where the straight edges end the cross still holds them.
    EXPECT_TRUE(pointInRoundedCard({120, 50}, card));
    EXPECT_TRUE(pointInRoundedCard({100, 70}, card));
    // On the curve (distance 20 from the corner centre at 45°) and just beyond it.
    const double onCurve = 20 - 20 / std::sqrt(2.0);
    EXPECT_TRUE(pointInRoundedCard({100 + onCurve, 50 + onCurve}, card));
    const double beyond = 20 - 20.1 / std::sqrt(2.0);
    EXPECT_FALSE(pointInRoundedCard({100 + beyond, 50 + beyond}, card));
    // Half a square point of slack: a squared distance of 400.4 counts, 400.6 does not.
    const double inside = std::sqrt(400.4 / 2);
    const double outside = std::sqrt(400.6 / 2);
    EXPECT_TRUE(pointInRoundedCard({120 - inside, 70 - inside}, card));
    EXPECT_FALSE(pointInRoundedCard({120 - outside, 70 - outside}, card));
    EXPECT_TRUE(pointInRoundedCard({340 + inside, 140 + inside}, card));
    EXPECT_FALSE(pointInRoundedCard({340 + outside, 140 + outside}, card));
}

TEST(RoundedCard, SmallCardsUseHalfTheShorterSideAsRadius) {
    const Rect card(0, 0, 48, 32); // radius 16
    EXPECT_TRUE(pointInRoundedCard({16, 0}, card));
    EXPECT_TRUE(pointInRoundedCard({0, 16}, card));
    // Near the corner: (1, 1) is 15·√2 ≈ 21.2 from the corner centre (16, 16).
    EXPECT_FALSE(pointInRoundedCard({1, 1}, card));
    EXPECT_TRUE(pointInRoundedCard({6, 6}, card)); // 10·√2 ≈ 14.1
}

TEST(RoundedCard, CardsWithoutPositiveSizeHoldNothing) {
    EXPECT_FALSE(pointInRoundedCard({0, 0}, Rect(0, 0, 0, 0)));
    EXPECT_FALSE(pointInRoundedCard({5, 5}, Rect(0, 0, 10, 0)));
    EXPECT_FALSE(pointInRoundedCard({5, 5}, Rect(0, 0, -10, 10)));
    EXPECT_FALSE(pointInRoundedCard({5, 5}, Rect(0, 0, nan, 10)));
}

// ---------------------------------------------------------------------------------------------
// Card hit test over a layout.

class CardHitTest : public ::testing::Test {
protected:
    // A free area 1440 × 875 points, like the built-in display below a menu bar.
    const Rect visible{0, 0, 1440, 875};

    Point cardCentre(const Zone& z) const { return centre(zoneRect(z, visible)); }
};

TEST_F(CardHitTest, SmallestCardWinsWhereCardsOverlap) {
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    const Zone middle = zone("Middle", 0.45, 0.45, 0.1, 0.1);
    // Both cards are centred on the same point; the order of the layout must not matter.
    EXPECT_EQ(cardHitTest({whole, middle}, visible, cardCentre(middle), 100), middle);
    EXPECT_EQ(cardHitTest({middle, whole}, visible, cardCentre(middle), 100), middle);
    // Off the small card but on the large one, the large one takes it.
    const Rect small = centredCard(zoneRect(middle, visible), cardSize(144, 87.5, 100));
    EXPECT_EQ(cardHitTest({whole, middle}, visible, {small.maxX() + 10, centre(small).y}, 100),
              whole);
}

TEST_F(CardHitTest, EqualCardsGoToTheZoneEarlierInTheLayout) {
    const Zone first = zone("First", 0.25, 0.25, 0.5, 0.5);
    const Zone second = zone("Second", 0.25, 0.25, 0.5, 0.5);
    EXPECT_EQ(cardHitTest({first, second}, visible, cardCentre(first), 100), first);
    EXPECT_EQ(cardHitTest({second, first}, visible, cardCentre(first), 100), second);
}

TEST_F(CardHitTest, InsideTheZoneButOffItsCardIsNoTarget) {
    const Zone left = zone("Left", 0, 0, 0.5, 1);
    const Rect z = zoneRect(left, visible);
    EXPECT_EQ(cardHitTest({left}, visible, centre(z), 100), left);
    EXPECT_EQ(cardHitTest({left}, visible, {z.minX() + 5, z.minY() + 5}, 100), std::nullopt);
    EXPECT_EQ(cardHitTest({}, visible, centre(z), 100), std::nullopt);
}

TEST_F(CardHitTest, CardScaleChangesWhatIsHit) {
    const Zone left = zone("Left", 0, 0, 0.5, 1); // 720 × 875: card 260 × 110 at 100 %
    const Point c = cardCentre(left);
    const Point nearEdge{c.x + 150, c.y};
    EXPECT_EQ(cardHitTest({left}, visible, nearEdge, 100), std::nullopt);
    EXPECT_EQ(cardHitTest({left}, visible, nearEdge, 160), left);
}

TEST_F(CardHitTest, ZoneOfNoSizeIsHitOnItsMinimumCard) {
    // The overlay draws a 48 × 32 card even for a zone of no size, so that card is a target.
    const Zone dot = zone("Dot", 0.5, 0.5, 0, 0);
    const Point p = cardCentre(dot);
    EXPECT_EQ(cardHitTest({dot}, visible, p, 100), dot);
    EXPECT_EQ(cardHitTest({dot}, visible, {p.x + 23, p.y}, 100), dot);
    EXPECT_EQ(cardHitTest({dot}, visible, {p.x + 24, p.y}, 100), std::nullopt);
    // On a free area of no size every zone is such a dot at the area's corner.
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    EXPECT_EQ(cardHitTest({whole}, Rect(10, 10, 0, 0), {10, 10}, 100), whole);
}

TEST_F(CardHitTest, ZoneThatIsNotANumberIsNeverHitNorHidesOthers) {
    const Zone broken = zone("Broken", nan, 0, 0.5, 1);
    const Zone left = zone("Left", 0, 0, 0.5, 1);
    EXPECT_EQ(cardHitTest({broken, left}, visible, cardCentre(left), 100), left);
    EXPECT_EQ(cardHitTest({broken}, visible, cardCentre(left), 100), std::nullopt);
}

// ---------------------------------------------------------------------------------------------
// The controller with simulated displays, panels and clock.

class OverlayControllerTest : public ::testing::Test {
protected:
    OverlayControllerTest() {
        registerPreferenceDefaults(defaults);
        makeController();
    }

    void makeController() {
        controller = std::make_unique<DragOverlayController>(displays, scheduler, localizer,
                                                             defaults, factory);
    }

    // Gives the display a layout of its own with these zones.
    Layout assign(const SystemDisplay& display, std::vector<Zone> zones) {
        Layout layout{Uuid::random(), "Custom " + display.name, std::move(zones)};
        store.upsert(layout);
        store.assign(layout.id, makeScreenInfo(display));
        return layout;
    }

    std::string idOf(const SystemDisplay& display) const { return makeScreenInfo(display).id; }

    const DragOverlayController::Surface& surfaceOf(const SystemDisplay& display,
                                                    std::size_t occurrence = 0) const {
        const auto it = controller->surfaces().find({idOf(display), occurrence});
        if (it == controller->surfaces().end()) {
            ADD_FAILURE() << "no surface for " << idOf(display) << " #" << occurrence;
            static const DragOverlayController::Surface none{};
            return none;
        }
        return it->second;
    }

    // The record of the panel whose view draws this surface's state.
    const SimOverlaySurfaceRecord& recordOf(const DragOverlayController::Surface& surface) const {
        for (const auto& record : factory.made()) {
            if (record->state == surface.state) {
                return *record;
            }
        }
        ADD_FAILURE() << "no panel record for that surface";
        static const SimOverlaySurfaceRecord none{};
        return none;
    }

    Point topLeft(Point bottomLeft) const {
        return toTopLeft(bottomLeft, primaryDisplay(displays.screens()).frame);
    }

    Point cardCentreOf(const SystemDisplay& display, const Zone& z) const {
        return topLeft(centre(zoneRect(z, display.visibleFrame)));
    }

    std::size_t totalHoveredAssignments() const {
        std::size_t total = 0;
        for (const auto& record : factory.made()) {
            total += record->hoveredAssignments;
        }
        return total;
    }

    test::TempDir dir{"tessera-overlay"};
    SimDisplays displays{simscreens::sideBySide()};
    SimScheduler scheduler;
    TableLocalizer localizer = makeSimLocalizer();
    SimDefaults defaults;
    SimOverlaySurfaceFactory factory;
    LayoutStore store{dir / "layouts.json"};
    std::unique_ptr<DragOverlayController> controller;

    const SystemDisplay builtIn = simscreens::sideBySide()[0];
    const SystemDisplay external = simscreens::sideBySide()[1];
};

// --- Drop targets over display arrangements --------------------------------------------------

TEST_F(OverlayControllerTest, DropTargetFindsTheDisplayAndZoneUnderThePoint) {
    const Zone left = zone("Left", 0, 0, 0.5, 1);
    const Zone right = zone("Right", 0.5, 0, 0.5, 1);
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    assign(builtIn, {left, right});
    assign(external, {whole});

    EXPECT_EQ(controller->dropTarget(cardCentreOf(builtIn, right), store),
              (DropTarget{builtIn, right}));
    EXPECT_EQ(controller->dropTarget(cardCentreOf(external, whole), store),
              (DropTarget{external, whole}));
    // The same spot of the built-in display's right zone, but shifted onto the external display:
    // the external layout has no card there.
    const Point onBuiltIn = cardCentreOf(builtIn, right);
    EXPECT_EQ(controller->dropTarget({onBuiltIn.x + 1440, onBuiltIn.y}, store), std::nullopt);
}

TEST_F(OverlayControllerTest, DropTargetWorksWithoutTheOverlayShown) {
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    assign(builtIn, {whole});
    EXPECT_FALSE(controller->isVisible());
    EXPECT_EQ(controller->dropTarget(cardCentreOf(builtIn, whole), store),
              (DropTarget{builtIn, whole}));
}

TEST_F(OverlayControllerTest, DropTargetOnTheOuterEdgeUsesTheTwoPointMargin) {
    // A zone of no size on the right edge: its 48 × 32 card overhangs the arrangement.
    const Zone edge = zone("Edge", 1, 0.5, 0, 0);
    assign(external, {edge});
    const Point c = cardCentreOf(external, edge);
    ASSERT_DOUBLE_EQ(c.x, external.frame.maxX());
    EXPECT_EQ(controller->dropTarget(c, store), (DropTarget{external, edge}));
    EXPECT_EQ(controller->dropTarget({c.x + 1.5, c.y}, store), (DropTarget{external, edge}));
    // From 2 points out no display is under the point, although the card reaches that far.
    EXPECT_EQ(controller->dropTarget({c.x + 2, c.y}, store), std::nullopt);
    EXPECT_EQ(controller->dropTarget({c.x + 10, c.y}, store), std::nullopt);
}

TEST_F(OverlayControllerTest, DropTargetOnArrangementsLeftOfAndAboveThePrimary) {
    for (const auto& arrangement : {simscreens::negativeOrigin(), simscreens::stacked()}) {
        displays.setScreens(arrangement);
        const SystemDisplay& other = arrangement[1];
        const Zone top = zone("Top", 0, 0, 1, 0.5);
        assign(other, {top});
        const Point p = cardCentreOf(other, top);
        EXPECT_EQ(controller->dropTarget(p, store), (DropTarget{other, top})) << other.frame.minX();
        // The top-left system puts a display above the primary at negative y.
        if (other.frame.minY() > 0) {
            EXPECT_LT(p.y, 0);
        } else {
            EXPECT_LT(p.x, 0);
        }
    }
}

TEST_F(OverlayControllerTest, DropTargetIsNoneOffEveryDisplayAndOnEmptyLayouts) {
    assign(builtIn, {});
    assign(external, {zone("Whole", 0, 0, 1, 1)});
    EXPECT_EQ(controller->dropTarget(cardCentreOf(builtIn, zone("Any", 0, 0, 1, 1)), store),
              std::nullopt);
    EXPECT_EQ(controller->dropTarget({-500, 100}, store), std::nullopt);
    displays.setScreens({});
    EXPECT_EQ(controller->dropTarget({100, 100}, store), std::nullopt);
}

TEST_F(OverlayControllerTest, DropTargetReadsCardScaleAtEachCall) {
    const Zone whole = zone("Whole", 0, 0, 1, 1); // 1440 × 875: card 260 × 110 at 100 %
    assign(builtIn, {whole});
    const Point c = cardCentreOf(builtIn, whole);
    const Point nearEdge{c.x + 150, c.y};
    EXPECT_EQ(controller->dropTarget(nearEdge, store), std::nullopt);
    defaults.set(prefs::cardScale, 160.0);
    EXPECT_EQ(controller->dropTarget(nearEdge, store), (DropTarget{builtIn, whole}));
    // An integer preference reads as a number too.
    defaults.set(prefs::cardScale, std::int64_t{150});
    EXPECT_EQ(controller->cardSize(1280, 720), (Size{390, 165}));
    // A value of the wrong type falls back to the registered 100 %.
    defaults.set(prefs::cardScale, std::string("big"));
    EXPECT_EQ(controller->cardSize(1280, 720), (Size{260, 110}));
}

// --- Show, hide and the delayed jobs ---------------------------------------------------------

TEST_F(OverlayControllerTest, ShowOrdersPanelsFrontAndFadesInAfterSixteenMilliseconds) {
    controller->show(store, std::nullopt);
    EXPECT_TRUE(controller->isVisible());
    ASSERT_EQ(controller->surfaces().size(), 2u);
    for (const auto* display : {&builtIn, &external}) {
        const auto& surface = surfaceOf(*display);
        const auto& record = recordOf(surface);
        EXPECT_EQ(record.createdFrame, display->frame);
        EXPECT_TRUE(record.onScreen);
        EXPECT_EQ(record.calls, std::vector<Call>{Call::orderFront});
        EXPECT_FALSE(surface.state->visible());
        EXPECT_EQ(surface.state->screen().id, idOf(*display));
    }
    scheduler.advance(0.015);
    EXPECT_FALSE(surfaceOf(builtIn).state->visible());
    scheduler.advance(0.001);
    EXPECT_TRUE(surfaceOf(builtIn).state->visible());
    EXPECT_TRUE(surfaceOf(external).state->visible());
    EXPECT_EQ(recordOf(surfaceOf(builtIn)).visibleAssignments, 1u);
}

TEST_F(OverlayControllerTest, FadeInDoesNothingAfterAHide) {
    controller->show(store, std::nullopt);
    scheduler.advance(0.01);
    controller->hide();
    scheduler.advance(0.01);
    EXPECT_FALSE(surfaceOf(builtIn).state->visible());
    EXPECT_EQ(recordOf(surfaceOf(builtIn)).visibleAssignments, 0u);
}

TEST_F(OverlayControllerTest, HideFadesOutThenOrdersOutAfterTwoHundredSixtyMilliseconds) {
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    assign(builtIn, {whole});
    controller->show(store, whole.id);
    scheduler.advance(0.1);
    controller->hide();
    EXPECT_FALSE(controller->isVisible());
    EXPECT_FALSE(surfaceOf(builtIn).state->visible());
    scheduler.advance(0.259);
    EXPECT_EQ(factory.onScreenCount(), 2u);
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), whole.id);
    scheduler.advance(0.001);
    EXPECT_EQ(factory.onScreenCount(), 0u);
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
    EXPECT_EQ(recordOf(surfaceOf(builtIn)).calls,
              (std::vector<Call>{Call::orderFront, Call::orderOut}));
    // Panels are kept for the next show.
    EXPECT_EQ(factory.liveCount(), 2u);
}

TEST_F(OverlayControllerTest, ShowDuringTheFadeOutWinsAndNothingIsOrderedOut) {
    controller->show(store, std::nullopt);
    scheduler.advance(0.1);
    controller->hide();
    scheduler.advance(0.2);
    controller->show(store, std::nullopt);
    EXPECT_EQ(scheduler.pendingCount(), 1u); // only the fade-in; the order-out is cancelled
    scheduler.advance(1);
    for (const auto& record : factory.made()) {
        EXPECT_EQ(record->count(Call::orderOut), 0u);
        EXPECT_TRUE(record->onScreen);
        EXPECT_TRUE(record->state->visible());
        // Faded in, out, and in again.
        EXPECT_EQ(record->visibleAssignments, 3u);
    }
    EXPECT_EQ(factory.made().size(), 2u);
}

TEST_F(OverlayControllerTest, OnlyTheLastHideOrdersOut) {
    controller->show(store, std::nullopt);
    controller->hide(); // t = 0
    scheduler.advance(0.1);
    controller->show(store, std::nullopt);
    scheduler.advance(0.1);
    controller->hide();     // t = 0.2
    scheduler.advance(0.1); // t = 0.3: the first hide's job would have run at 0.26
    EXPECT_EQ(factory.onScreenCount(), 2u);
    scheduler.advance(0.16); // t = 0.46
    EXPECT_EQ(factory.onScreenCount(), 0u);
    for (const auto& record : factory.made()) {
        EXPECT_EQ(record->count(Call::orderOut), 1u);
    }
}

TEST_F(OverlayControllerTest, HideWhileHiddenDoesNothing) {
    controller->hide();
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    controller->show(store, std::nullopt);
    scheduler.advance(0.1);
    controller->hide();
    scheduler.advance(0.1);
    controller->hide(); // must not restart the 0.26 seconds
    scheduler.advance(0.16);
    EXPECT_EQ(factory.onScreenCount(), 0u);
    EXPECT_EQ(recordOf(surfaceOf(builtIn)).visibleAssignments, 2u);
}

TEST_F(OverlayControllerTest, DestroyedControllerLeavesItsPendingJobsUnrun) {
    controller->show(store, std::nullopt);
    const auto state = surfaceOf(builtIn).state;
    controller.reset();
    scheduler.advance(1);
    EXPECT_FALSE(state->visible());
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    makeController();
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    assign(builtIn, {whole});
    controller->show(store, whole.id);
    scheduler.advance(0.1);
    controller->hide();
    const auto& record = recordOf(surfaceOf(builtIn));
    const auto hovered = surfaceOf(builtIn).state;
    controller.reset();
    EXPECT_TRUE(record.destroyed);
    scheduler.advance(1);
    EXPECT_EQ(record.count(Call::orderOut), 0u);
    EXPECT_EQ(hovered->hoveredID(), whole.id);
}

// --- Surfaces --------------------------------------------------------------------------------

TEST_F(OverlayControllerTest, PreparedPanelsAreReusedAcrossShows) {
    // Prepared at start-up: made with their displays' zones but left off screen.
    controller->prepare(store);
    ASSERT_EQ(factory.made().size(), 2u);
    EXPECT_EQ(factory.onScreenCount(), 0u);
    EXPECT_TRUE(recordOf(surfaceOf(builtIn)).calls.empty());
    EXPECT_EQ(surfaceOf(external).state->screen().id, idOf(external));
    for (int i = 0; i < 3; ++i) {
        controller->show(store, std::nullopt);
        controller->prepare(store);
        scheduler.advance(0.1);
        controller->hide();
        scheduler.advance(0.3);
    }
    EXPECT_EQ(factory.made().size(), 2u);
    const auto& record = recordOf(surfaceOf(builtIn));
    EXPECT_EQ(record.count(Call::orderFront), 3u);
    EXPECT_EQ(record.count(Call::orderOut), 3u);
    EXPECT_EQ(record.count(Call::setFrame), 0u);
}

TEST_F(OverlayControllerTest, ModelsAreAssignedOnlyWhenTheyDiffer) {
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    const Layout layout = assign(builtIn, {whole});
    controller->show(store, std::nullopt);
    controller->show(store, std::nullopt);
    EXPECT_EQ(recordOf(surfaceOf(builtIn)).screenAssignments, 0u);

    // A renamed zone changes the model of the display that shows it, and only that one.
    Layout renamed = layout;
    renamed.zones[0].name = "Everything";
    store.upsert(renamed);
    controller->show(store, std::nullopt);
    EXPECT_EQ(recordOf(surfaceOf(builtIn)).screenAssignments, 1u);
    EXPECT_EQ(recordOf(surfaceOf(external)).screenAssignments, 0u);
    EXPECT_EQ(surfaceOf(builtIn).state->screen().zones.at(0).name, "Everything");
    controller->show(store, std::nullopt);
    EXPECT_EQ(recordOf(surfaceOf(builtIn)).screenAssignments, 1u);
}

TEST_F(OverlayControllerTest, MovedDisplayKeepsItsPanelWhichFollowsTheFrame) {
    controller->show(store, std::nullopt);
    controller->hide();
    scheduler.advance(0.3);
    // The external display moves above the built-in one: same identifier, new frame.
    const SystemDisplay moved = simscreens::stacked()[1];
    ASSERT_EQ(idOf(moved), idOf(external));
    displays.setScreens({builtIn, moved});
    controller->show(store, std::nullopt);
    EXPECT_EQ(factory.made().size(), 2u);
    const auto& record = recordOf(surfaceOf(moved));
    EXPECT_EQ(record.framesSet, std::vector<Rect>{moved.frame});
    EXPECT_EQ(record.calls.back(), Call::orderFront);
    EXPECT_EQ(record.screenAssignments, 1u);
    EXPECT_EQ(surfaceOf(moved).state->screen().screenFrame, moved.frame);
    EXPECT_EQ(recordOf(surfaceOf(builtIn)).count(Call::setFrame), 0u);
}

TEST_F(OverlayControllerTest, UnpluggedDisplayLosesItsSurfaceAtTheNextShow) {
    controller->show(store, std::nullopt);
    const auto& externalRecord = recordOf(surfaceOf(external));
    controller->hide();
    scheduler.advance(0.3);
    displays.setScreens(simscreens::single());
    // Nothing happens until the overlay is shown again.
    EXPECT_EQ(controller->surfaces().size(), 2u);
    controller->show(store, std::nullopt);
    EXPECT_EQ(controller->surfaces().size(), 1u);
    EXPECT_EQ(controller->surface(idOf(external)), nullptr);
    EXPECT_TRUE(externalRecord.destroyed);
    EXPECT_EQ(externalRecord.calls.back(), Call::orderOut);

    // Plugged in again, it gets a new panel.
    displays.setScreens(simscreens::sideBySide());
    controller->show(store, std::nullopt);
    EXPECT_EQ(factory.made().size(), 3u);
    EXPECT_EQ(factory.liveCount(), 2u);
    EXPECT_EQ(factory.onScreenCount(), 2u);
}

TEST_F(OverlayControllerTest, DisplayUnpluggedWhileShownIsOrderedOutBeforeItGoes) {
    controller->show(store, std::nullopt);
    const auto& externalRecord = recordOf(surfaceOf(external));
    displays.setScreens(simscreens::single());
    controller->show(store, std::nullopt);
    EXPECT_EQ(externalRecord.calls, (std::vector<Call>{Call::orderFront, Call::orderOut}));
    EXPECT_TRUE(externalRecord.destroyed);
    // The fade-in still reaches the remaining display and nothing else.
    scheduler.advance(0.02);
    EXPECT_TRUE(surfaceOf(builtIn).state->visible());
}

TEST_F(OverlayControllerTest, DisplaysSharingAnIdentifierEachGetTheirOwnPanel) {
    const SystemDisplay left = simscreens::display({0, 0, 2560, 1440}, "Studio", 2, 25, 0);
    const SystemDisplay right = simscreens::display({2560, 0, 2560, 1440}, "Studio", 2, 25, 0);
    ASSERT_EQ(idOf(left), idOf(right));
    displays.setScreens({left, right});
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    assign(left, {whole}); // the assignment key is shared too: both show this layout

    controller->show(store, std::nullopt);
    ASSERT_EQ(controller->surfaces().size(), 2u);
    const auto& first = surfaceOf(left, 0);
    const auto& second = surfaceOf(right, 1);
    EXPECT_EQ(recordOf(first).frame, left.frame);
    EXPECT_EQ(recordOf(second).frame, right.frame);
    EXPECT_TRUE(recordOf(first).onScreen);
    EXPECT_TRUE(recordOf(second).onScreen);
    EXPECT_EQ(first.state->screen().id, second.state->screen().id);
    EXPECT_EQ(second.state->screen().screenFrame, right.frame);

    // Showing again does not shuffle models between them.
    controller->show(store, std::nullopt);
    EXPECT_EQ(recordOf(first).screenAssignments, 0u);
    EXPECT_EQ(recordOf(second).screenAssignments, 0u);
    EXPECT_EQ(recordOf(first).count(Call::setFrame), 0u);

    // Both highlight a hovered zone, and both accept drops on the cards they show.
    controller->setHoveredID(whole.id);
    EXPECT_EQ(first.state->hoveredID(), whole.id);
    EXPECT_EQ(second.state->hoveredID(), whole.id);
    EXPECT_EQ(controller->dropTarget(cardCentreOf(right, whole), store),
              (DropTarget{right, whole}));
    EXPECT_EQ(controller->dropTarget(cardCentreOf(left, whole), store), (DropTarget{left, whole}));

    // With the left one unplugged, the right one is now the first of its kind: it keeps the
    // first panel, which moves to it, and the second panel goes.
    const auto& secondRecord = recordOf(second);
    displays.setScreens({right});
    controller->show(store, std::nullopt);
    ASSERT_EQ(controller->surfaces().size(), 1u);
    EXPECT_EQ(recordOf(surfaceOf(right, 0)).framesSet, std::vector<Rect>{right.frame});
    EXPECT_TRUE(secondRecord.destroyed);
}

TEST_F(OverlayControllerTest, ZoneModelsAreInDrawingOrderWithDisplayNames) {
    const auto russian = makeSimLocalizer("ru");
    controller =
        std::make_unique<DragOverlayController>(displays, scheduler, russian, defaults, factory);
    const Layout halfStack = *builtInLayout(halfStackLayoutID());
    store.assign(halfStack.id, makeScreenInfo(builtIn));
    const Zone small = zone("Mine", 0.75, 0.75, 0.25, 0.25);
    const Zone large = zone("", 0, 0, 0.5, 0.5);
    const Zone smallToo = zone("Mine too", 0.5, 0.75, 0.25, 0.25);
    assign(external, {small, large, smallToo});

    controller->show(store, std::nullopt);
    const auto& externalZones = surfaceOf(external).state->screen().zones;
    ASSERT_EQ(externalZones.size(), 3u);
    EXPECT_EQ(externalZones[0], (OverlayZoneModel{large.id, "", Rect(0, 0, 0.5, 0.5)}));
    EXPECT_EQ(externalZones[1], (OverlayZoneModel{small.id, "Mine", Rect(0.75, 0.75, 0.25, 0.25)}));
    EXPECT_EQ(externalZones[2].id, smallToo.id);

    const auto& builtInModel = surfaceOf(builtIn).state->screen();
    EXPECT_EQ(builtInModel.visibleFrame, builtIn.visibleFrame);
    ASSERT_FALSE(builtInModel.zones.empty());
    // The half-width zone "Left" comes first (largest) and is shown in Russian.
    EXPECT_EQ(builtInModel.zones[0].name, "Слева");
    EXPECT_EQ(builtInModel.zones[0].normalized, Rect(0, 0, 0.5, 1));
}

TEST_F(OverlayControllerTest, DisplayWithAnEmptyLayoutStillGetsItsPanel) {
    assign(external, {});
    controller->show(store, std::nullopt);
    EXPECT_TRUE(recordOf(surfaceOf(external)).onScreen);
    EXPECT_TRUE(surfaceOf(external).state->screen().zones.empty());
}

// --- Hover -----------------------------------------------------------------------------------

TEST_F(OverlayControllerTest, SetHoveredIDReachesEveryDisplayOnlyWhenItChanges) {
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    assign(builtIn, {whole});
    controller->show(store, std::nullopt);
    EXPECT_EQ(totalHoveredAssignments(), 0u);

    controller->setHoveredID(whole.id);
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), whole.id);
    // The external display shows another layout but gets the same id all the same.
    EXPECT_EQ(surfaceOf(external).state->hoveredID(), whole.id);
    EXPECT_EQ(totalHoveredAssignments(), 2u);

    // Dragging on over the same card causes no redraw.
    controller->setHoveredID(whole.id);
    EXPECT_EQ(totalHoveredAssignments(), 2u);
    controller->setHoveredID(std::nullopt);
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
    EXPECT_EQ(totalHoveredAssignments(), 4u);
}

TEST_F(OverlayControllerTest, SetHoveredIDWhileHiddenChangesNothing) {
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    assign(builtIn, {whole});
    controller->setHoveredID(whole.id); // before any surface exists
    controller->show(store, std::nullopt);
    controller->hide();
    controller->setHoveredID(whole.id); // during the fade-out
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
    scheduler.advance(0.3);
    controller->setHoveredID(whole.id); // hidden
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
    EXPECT_EQ(totalHoveredAssignments(), 0u);
}

TEST_F(OverlayControllerTest, ShowReplacesTheHoveredID) {
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    assign(builtIn, {whole});
    controller->show(store, whole.id);
    EXPECT_EQ(surfaceOf(external).state->hoveredID(), whole.id);
    controller->show(store, std::nullopt);
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
    EXPECT_EQ(surfaceOf(external).state->hoveredID(), std::nullopt);
}

} // namespace
