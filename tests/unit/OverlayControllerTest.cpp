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

// Card size and hit test: pure geometry.

TEST(CardSize, FollowsTheZoneBetweenFloorAndCeilingAtAClampedScale) {
    struct Case {
        double width, height, scale;
        Size card;
    };
    const Case cases[] = {
        {1280, 720, 100, {260, 110}},
        {300, 200, 100, {132, 64}},
        {60, 40, 100, {48, 32}},
        // Between the limits the card is 42 % by 28 % of the zone.
        {500, 300, 100, {210, 84}},
        // The zone minus 16 points caps the card before the scaled base does.
        {140, 70, 160, {124, 54}},
        {0, 0, 100, {48, 32}},
        // The scale is clamped to 60–160 %; a scale that is not a number is the default.
        {1280, 720, 30, {156, 66}},
        {1280, 720, -5, {156, 66}},
        {1280, 720, 61, {158.6, 67.1}},
        {1280, 720, 400, {416, 176}},
        {1280, 720, std::numeric_limits<double>::infinity(), {416, 176}},
        {1280, 720, nan, {260, 110}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " at " +
                     std::to_string(c.scale));
        const Size card = cardSize(c.width, c.height, c.scale);
        EXPECT_NEAR(card.width, c.card.width, 1e-9);
        EXPECT_NEAR(card.height, c.card.height, 1e-9);
    }
    // A zone that is not a number gives no usable card.
    EXPECT_FALSE(cardSize(nan, 200, 100).width > 0);
}

TEST(RoundedCard, HoldsMinimumEdgesButNotMaximumEdgesNorCutCorners) {
    const Rect card(100, 50, 260, 110); // radius 20
    struct Case {
        Point point;
        bool inside;
    };
    // Half a square point of slack at the corners: a squared distance of 400.4 counts.
    const double onCurve = 20 - 20 / std::sqrt(2.0);
    const double beyond = 20 - 20.1 / std::sqrt(2.0);
    const double slack = std::sqrt(400.4 / 2);
    const double outside = std::sqrt(400.6 / 2);
    const Case cases[] = {
        {{100, 105}, true},
        {{230, 50}, true},
        {{360, 105}, false},
        {{230, 160}, false},
        {{359.999, 105}, true},
        {{99.999, 105}, false},
        {{101, 51}, false},
        {{359, 51}, false},
        {{101, 159}, false},
        {{359, 159}, false},
        {{120, 50}, true},
        {{100, 70}, true},
        {{100 + onCurve, 50 + onCurve}, true},
        {{100 + beyond, 50 + beyond}, false},
        {{120 - slack, 70 - slack}, true},
        {{120 - outside, 70 - outside}, false},
        {{340 + slack, 140 + slack}, true},
        {{340 + outside, 140 + outside}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pointInRoundedCard(c.point, card), c.inside) << c.point.x << ", " << c.point.y;
    }
    // Small cards use half the shorter side as radius.
    const Rect small(0, 0, 48, 32);
    EXPECT_TRUE(pointInRoundedCard({16, 0}, small));
    EXPECT_FALSE(pointInRoundedCard({1, 1}, small));
    EXPECT_TRUE(pointInRoundedCard({6, 6}, small));
    for (const Rect& empty :
         {Rect(0, 0, 0, 0), Rect(0, 0, 10, 0), Rect(0, 0, -10, 10), Rect(0, 0, nan, 10)}) {
        EXPECT_FALSE(pointInRoundedCard({0, 0}, empty));
        EXPECT_FALSE(pointInRoundedCard({5, 5}, empty));
    }
}

TEST(CardHitTest, SmallestCardWinsAndEqualCardsGoToTheEarlierZone) {
    // A free area 1440 × 875 points, like the built-in display below a menu bar.
    const Rect visible{0, 0, 1440, 875};
    const auto cardCentre = [&](const Zone& z) { return centre(zoneRect(z, visible)); };
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    const Zone middle = zone("Middle", 0.45, 0.45, 0.1, 0.1);
    EXPECT_EQ(cardHitTest({whole, middle}, visible, cardCentre(middle), 100), middle);
    EXPECT_EQ(cardHitTest({middle, whole}, visible, cardCentre(middle), 100), middle);
    const Rect small = centredCard(zoneRect(middle, visible), cardSize(144, 87.5, 100));
    EXPECT_EQ(cardHitTest({whole, middle}, visible, {small.maxX() + 10, centre(small).y}, 100),
              whole);

    const Zone first = zone("First", 0.25, 0.25, 0.5, 0.5);
    const Zone second = zone("Second", 0.25, 0.25, 0.5, 0.5);
    EXPECT_EQ(cardHitTest({first, second}, visible, cardCentre(first), 100), first);
    EXPECT_EQ(cardHitTest({second, first}, visible, cardCentre(first), 100), second);

    // Inside the zone but off its card is no target; a zone that is not a number hides nothing.
    const Zone left = zone("Left", 0, 0, 0.5, 1);
    const Rect z = zoneRect(left, visible);
    EXPECT_EQ(cardHitTest({left}, visible, {z.minX() + 5, z.minY() + 5}, 100), std::nullopt);
    EXPECT_EQ(cardHitTest({}, visible, centre(z), 100), std::nullopt);
    const Zone broken = zone("Broken", nan, 0, 0.5, 1);
    EXPECT_EQ(cardHitTest({broken, left}, visible, cardCentre(left), 100), left);
    EXPECT_EQ(cardHitTest({broken}, visible, cardCentre(left), 100), std::nullopt);

    // A zone of no size is hit on the 48 × 32 card the overlay draws for it.
    const Zone dot = zone("Dot", 0.5, 0.5, 0, 0);
    const Point p = cardCentre(dot);
    EXPECT_EQ(cardHitTest({dot}, visible, {p.x + 23, p.y}, 100), dot);
    EXPECT_EQ(cardHitTest({dot}, visible, {p.x + 24, p.y}, 100), std::nullopt);
    EXPECT_EQ(cardHitTest({whole}, Rect(10, 10, 0, 0), {10, 10}, 100), whole);
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

TEST_F(OverlayControllerTest, DropTargetFindsTheDisplayAndZoneUnderThePointShownOrNot) {
    const Zone left = zone("Left", 0, 0, 0.5, 1);
    const Zone right = zone("Right", 0.5, 0, 0.5, 1);
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    assign(builtIn, {left, right});
    assign(external, {whole});
    EXPECT_FALSE(controller->isVisible());
    EXPECT_EQ(controller->dropTarget(cardCentreOf(builtIn, right), store),
              (DropTarget{builtIn, right}));
    EXPECT_EQ(controller->dropTarget(cardCentreOf(external, whole), store),
              (DropTarget{external, whole}));
    // The same spot shifted onto the external display: its layout has no card there.
    const Point onBuiltIn = cardCentreOf(builtIn, right);
    EXPECT_EQ(controller->dropTarget({onBuiltIn.x + 1440, onBuiltIn.y}, store), std::nullopt);

    assign(builtIn, {});
    EXPECT_EQ(controller->dropTarget(onBuiltIn, store), std::nullopt);
    EXPECT_EQ(controller->dropTarget({-500, 100}, store), std::nullopt);
    displays.setScreens({});
    EXPECT_EQ(controller->dropTarget({100, 100}, store), std::nullopt);
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

TEST_F(OverlayControllerTest, ShowFadesInAfterSixteenMillisecondsAndHideOrdersOutAfter260) {
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    assign(builtIn, {whole});
    controller->hide();
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    controller->show(store, whole.id);
    EXPECT_TRUE(controller->isVisible());
    ASSERT_EQ(controller->surfaces().size(), 2u);
    for (const auto* display : {&builtIn, &external}) {
        const auto& record = recordOf(surfaceOf(*display));
        EXPECT_EQ(record.createdFrame, display->frame);
        EXPECT_EQ(record.calls, std::vector<Call>{Call::orderFront});
        EXPECT_EQ(surfaceOf(*display).state->screen().id, idOf(*display));
    }
    scheduler.advance(0.015);
    EXPECT_FALSE(surfaceOf(builtIn).state->visible());
    scheduler.advance(0.001);
    EXPECT_TRUE(surfaceOf(builtIn).state->visible());
    EXPECT_TRUE(surfaceOf(external).state->visible());

    scheduler.advance(0.1);
    controller->hide();
    EXPECT_FALSE(controller->isVisible());
    EXPECT_FALSE(surfaceOf(builtIn).state->visible());
    scheduler.advance(0.1);
    controller->hide(); // must not restart the 0.26 seconds
    scheduler.advance(0.159);
    EXPECT_EQ(factory.onScreenCount(), 2u);
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), whole.id);
    scheduler.advance(0.001);
    EXPECT_EQ(factory.onScreenCount(), 0u);
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
    EXPECT_EQ(recordOf(surfaceOf(builtIn)).calls,
              (std::vector<Call>{Call::orderFront, Call::orderOut}));
    EXPECT_EQ(factory.liveCount(), 2u);

    // A hide before the fade-in: the fade-in does nothing.
    controller->show(store, std::nullopt);
    scheduler.advance(0.01);
    controller->hide();
    scheduler.advance(0.01);
    EXPECT_FALSE(surfaceOf(builtIn).state->visible());
    EXPECT_EQ(recordOf(surfaceOf(builtIn)).visibleAssignments, 2u);
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

TEST_F(OverlayControllerTest, UnpluggedDisplayLosesItsPanelAtTheNextShowAndGetsANewOneBack) {
    controller->show(store, std::nullopt);
    const auto& externalRecord = recordOf(surfaceOf(external));
    displays.setScreens(simscreens::single());
    // Nothing happens until the overlay is shown again; a panel on screen is ordered out first.
    EXPECT_EQ(controller->surfaces().size(), 2u);
    controller->show(store, std::nullopt);
    EXPECT_EQ(controller->surfaces().size(), 1u);
    EXPECT_EQ(controller->surface(idOf(external)), nullptr);
    EXPECT_EQ(externalRecord.calls, (std::vector<Call>{Call::orderFront, Call::orderOut}));
    EXPECT_TRUE(externalRecord.destroyed);
    scheduler.advance(0.02);
    EXPECT_TRUE(surfaceOf(builtIn).state->visible());

    displays.setScreens(simscreens::sideBySide());
    controller->show(store, std::nullopt);
    EXPECT_EQ(factory.made().size(), 3u);
    EXPECT_EQ(factory.liveCount(), 2u);
    EXPECT_EQ(factory.onScreenCount(), 2u);
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

    // A display with an empty layout still gets its panel.
    assign(external, {});
    controller->show(store, std::nullopt);
    EXPECT_TRUE(recordOf(surfaceOf(external)).onScreen);
    EXPECT_TRUE(surfaceOf(external).state->screen().zones.empty());
}

// --- Hover -----------------------------------------------------------------------------------

TEST_F(OverlayControllerTest, HoverReachesEveryDisplayWhileShownAndOnlyWhenItChanges) {
    const Zone whole = zone("Whole", 0, 0, 1, 1);
    assign(builtIn, {whole});
    controller->setHoveredID(whole.id); // before any surface exists
    controller->show(store, whole.id);
    EXPECT_EQ(surfaceOf(external).state->hoveredID(), whole.id);
    controller->show(store, std::nullopt);
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
    const auto before = totalHoveredAssignments();

    controller->setHoveredID(whole.id);
    // The external display shows another layout but gets the same id all the same.
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), whole.id);
    EXPECT_EQ(surfaceOf(external).state->hoveredID(), whole.id);
    // Dragging on over the same card causes no redraw.
    controller->setHoveredID(whole.id);
    EXPECT_EQ(totalHoveredAssignments(), before + 2);

    controller->setHoveredID(std::nullopt);
    controller->hide();
    controller->setHoveredID(whole.id); // during the fade-out
    scheduler.advance(0.3);
    controller->setHoveredID(whole.id); // hidden
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
    EXPECT_EQ(totalHoveredAssignments(), before + 4);
}

} // namespace
