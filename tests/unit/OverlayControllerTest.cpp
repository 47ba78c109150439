#include "PlacementTestSupport.h"
#include "TempDir.h"
#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "core/drag/OverlayRenderModel.h"
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
using placementtest::zone;

namespace {
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

Point centre(const Rect& r) {
    return {r.minX() + r.width() / 2, r.minY() + r.height() / 2};
}

TEST(CardGeometry, CardSizeFollowsTheZoneBetweenFloorAndCeilingAtAClampedScale) {
    struct Case {
        double width, height, scale;
        Size card;
    };
    const Case cases[] = {
        {1280, 720, 100, {260, 110}},
        {500, 300, 100, {210, 84}}, // 42 % by 28 % of the zone between the limits
        {60, 40, 100, {48, 32}},
        {140, 70, 160, {124, 54}},  // the zone less 16 points caps the scaled base
        {1280, 720, 30, {156, 66}}, // the scale is clamped to 60–160 %
        {1280, 720, std::numeric_limits<double>::infinity(), {416, 176}},
        {1280, 720, nan, {260, 110}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " at " + std::to_string(c.scale));
        const Size card = cardSize(c.width, c.height, c.scale);
        EXPECT_NEAR(card.width, c.card.width, 1e-9);
        EXPECT_NEAR(card.height, c.card.height, 1e-9);
    }
    EXPECT_FALSE(cardSize(nan, 200, 100).width > 0);
}

TEST(CardGeometry, RoundedCardHoldsMinimumEdgesButNotMaximumEdgesNorCutCorners) {
    const Rect card(100, 50, 260, 110); // corner radius 20
    // Half a square point of slack at the corners: a squared distance of 400.4 counts.
    const double slack = std::sqrt(400.4 / 2);
    const double outside = std::sqrt(400.6 / 2);
    const std::pair<Point, bool> cases[] = {
        {{100, 105}, true},
        {{230, 50}, true},
        {{360, 105}, false},
        {{230, 160}, false},
        {{359.999, 105}, true},
        {{101, 51}, false},
        {{120 - slack, 70 - slack}, true},
        {{120 - outside, 70 - outside}, false},
        {{340 + slack, 140 + slack}, true},
    };
    for (const auto& [point, inside] : cases) {
        EXPECT_EQ(pointInRoundedCard(point, card), inside) << point.x << ", " << point.y;
    }
    // Small cards round with half their shorter side.
    EXPECT_FALSE(pointInRoundedCard({1, 1}, Rect(0, 0, 48, 32)));
    EXPECT_TRUE(pointInRoundedCard({6, 6}, Rect(0, 0, 48, 32)));
    for (const Rect& empty : {Rect(0, 0, 10, 0), Rect(0, 0, -10, 10), Rect(0, 0, nan, 10)}) {
        EXPECT_FALSE(pointInRoundedCard({5, 5}, empty));
    }
}

TEST(CardGeometry, HitTestPicksTheSmallestCardAndOfEqualOnesTheEarlierZone) {
    const Rect visible{0, 0, 1440, 875};
    const auto cardCentre = [&](const Zone& z) { return centre(zoneRect(z, visible)); };
    const Zone whole = zone(0, 0, 1, 1, "Whole");
    const Zone middle = zone(0.45, 0.45, 0.1, 0.1, "Middle");
    EXPECT_EQ(cardHitTest({whole, middle}, visible, cardCentre(middle), 100), middle);
    EXPECT_EQ(cardHitTest({middle, whole}, visible, cardCentre(middle), 100), middle);
    // Just right of the small card, still on the large one.
    const Point pastSmall{cardCentre(middle).x + cardSize(144, 87.5, 100).width / 2 + 10,
                          cardCentre(middle).y};
    EXPECT_EQ(cardHitTest({whole, middle}, visible, pastSmall, 100), whole);

    const Zone first = zone(0.25, 0.25, 0.5, 0.5, "First");
    const Zone second = zone(0.25, 0.25, 0.5, 0.5, "Second");
    EXPECT_EQ(cardHitTest({first, second}, visible, cardCentre(first), 100), first);
    EXPECT_EQ(cardHitTest({second, first}, visible, cardCentre(first), 100), second);

    // Inside the zone but off its card is no target; a zone that is not a number hides nothing.
    const Zone left = zone(0, 0, 0.5, 1, "Left");
    const Rect z = zoneRect(left, visible);
    EXPECT_EQ(cardHitTest({left}, visible, {z.minX() + 5, z.minY() + 5}, 100), std::nullopt);
    EXPECT_EQ(cardHitTest({zone(nan, 0, 0.5, 1, "Broken"), left}, visible, cardCentre(left), 100),
              left);

    // A zone of no size is hit on the 48 × 32 card the overlay draws for it.
    const Zone dot = zone(0.5, 0.5, 0, 0, "Dot");
    const Point p = cardCentre(dot);
    EXPECT_EQ(cardHitTest({dot}, visible, {p.x + 23, p.y}, 100), dot);
    EXPECT_EQ(cardHitTest({dot}, visible, {p.x + 24, p.y}, 100), std::nullopt);
}

// The controller with simulated displays, panels and clock.
class OverlayControllerTest : public ::testing::Test {
protected:
    OverlayControllerTest() {
        registerPreferenceDefaults(defaults);
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

    // Throws, failing the test, if the display has no panel.
    const DragOverlayController::Surface& surfaceOf(const SystemDisplay& display,
                                                    std::size_t occurrence = 0) const {
        return controller->surfaces().at({makeScreenInfo(display).id, occurrence});
    }

    // The record of the panel whose view draws this display's state.
    const SimOverlaySurfaceRecord& recordOf(const SystemDisplay& display,
                                            std::size_t occurrence = 0) const {
        for (const auto& record : factory.made()) {
            if (record->state == surfaceOf(display, occurrence).state) {
                return *record;
            }
        }
        ADD_FAILURE() << "no panel record for " << display.name;
        static const SimOverlaySurfaceRecord none{};
        return none;
    }

    Point cardCentreOf(const SystemDisplay& display, const Zone& z) const {
        return toTopLeft(centre(zoneRect(z, display.visibleFrame)),
                         primaryDisplay(displays.screens()).frame);
    }
    std::optional<DropTarget> dropAt(Point p) const { return controller->dropTarget(p, store); }

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
    const Zone whole = zone(0, 0, 1, 1, "Whole");
};

TEST_F(OverlayControllerTest, DropTargetIsTheDisplayAndCardUnderThePointShownOrNot) {
    const Zone right = zone(0.5, 0, 0.5, 1, "Right");
    assign(builtIn, {zone(0, 0, 0.5, 1, "Left"), right});
    assign(external, {whole});
    const Point onBuiltIn = cardCentreOf(builtIn, right);
    EXPECT_EQ(dropAt(onBuiltIn), (DropTarget{builtIn, right}));
    EXPECT_EQ(dropAt(cardCentreOf(external, whole)), (DropTarget{external, whole}));
    // The same spot on the external display: its layout has no card there.
    EXPECT_EQ(dropAt({onBuiltIn.x + 1440, onBuiltIn.y}), std::nullopt);
    EXPECT_EQ(dropAt({-500, 100}), std::nullopt);

    // The card size follows the preference at each call; an integer reads as a number and a
    // value of the wrong type as the registered 100 %.
    const Point nearEdge{cardCentreOf(external, whole).x + 150, cardCentreOf(external, whole).y};
    EXPECT_EQ(dropAt(nearEdge), std::nullopt);
    defaults.set(prefs::cardScale, 160.0);
    EXPECT_EQ(dropAt(nearEdge), (DropTarget{external, whole}));
    defaults.set(prefs::cardScale, std::int64_t{150});
    EXPECT_EQ(controller->cardSize(1280, 720), (Size{390, 165}));
    defaults.set(prefs::cardScale, std::string("big"));
    EXPECT_EQ(controller->cardSize(1280, 720), (Size{260, 110}));

    // A zone of no size on the outer right edge: its card overhangs the arrangement, but only
    // points within 2 of the display count.
    const Zone edge = zone(1, 0.5, 0, 0, "Edge");
    assign(external, {edge});
    const Point c = cardCentreOf(external, edge);
    EXPECT_EQ(dropAt({c.x + 1.5, c.y}), (DropTarget{external, edge}));
    EXPECT_EQ(dropAt({c.x + 2, c.y}), std::nullopt);

    // Displays left of and above the primary (at negative top-left y).
    for (const auto& arrangement : {simscreens::negativeOrigin(), simscreens::stacked()}) {
        displays.setScreens(arrangement);
        const SystemDisplay& other = arrangement[1];
        const Zone top = zone(0, 0, 1, 0.5, "Top");
        assign(other, {top});
        const Point p = cardCentreOf(other, top);
        EXPECT_EQ(dropAt(p), (DropTarget{other, top})) << other.frame.minX();
        EXPECT_LT(other.frame.minY() > 0 ? p.y : p.x, 0);
    }
    displays.setScreens({});
    EXPECT_EQ(dropAt({100, 100}), std::nullopt);
}

TEST_F(OverlayControllerTest, ShowFadesInAfterAFrameAndOnlyTheLastHideOrdersOutLater) {
    assign(builtIn, {whole});
    controller->show(store, whole.id);
    ASSERT_EQ(controller->surfaces().size(), 2u);
    EXPECT_EQ(recordOf(external).calls, std::vector<Call>{Call::orderFront});
    scheduler.advance(0.015);
    EXPECT_FALSE(surfaceOf(builtIn).state->visible());
    scheduler.advance(0.001);
    EXPECT_TRUE(surfaceOf(builtIn).state->visible());

    scheduler.advance(0.1);
    controller->hide(); // the fade-out starts at once; the panels go 0.26 s later
    EXPECT_FALSE(surfaceOf(builtIn).state->visible());
    scheduler.advance(0.1);
    controller->hide(); // must not restart the 0.26 seconds
    scheduler.advance(0.159);
    EXPECT_EQ(factory.onScreenCount(), 2u);
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), whole.id);
    scheduler.advance(0.001);
    EXPECT_EQ(factory.onScreenCount(), 0u);
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
    EXPECT_EQ(recordOf(builtIn).calls, (std::vector<Call>{Call::orderFront, Call::orderOut}));

    // Shown again during a fade-out: that hide's order-out is cancelled, the later one counts.
    controller->show(store, std::nullopt);
    controller->hide(); // t = 0
    scheduler.advance(0.1);
    controller->show(store, std::nullopt);
    EXPECT_EQ(scheduler.pendingCount(), 1u); // only the fade-in
    scheduler.advance(0.1);
    controller->hide();     // t = 0.2
    scheduler.advance(0.1); // t = 0.3: the first hide's job would have run at 0.26
    EXPECT_EQ(factory.onScreenCount(), 2u);
    scheduler.advance(0.16);
    EXPECT_EQ(factory.onScreenCount(), 0u);
    EXPECT_EQ(recordOf(builtIn).count(Call::orderOut), 2u);

    // A destroyed controller leaves its pending jobs unrun: the fade-in, and the order-out.
    for (const bool hidden : {false, true}) {
        controller = std::make_unique<DragOverlayController>(displays, scheduler, localizer,
                                                             defaults, factory);
        controller->show(store, whole.id);
        if (hidden) {
            scheduler.advance(0.1);
            controller->hide();
        }
        const auto state = surfaceOf(builtIn).state;
        const auto& record = recordOf(builtIn);
        controller.reset();
        scheduler.advance(1);
        EXPECT_FALSE(state->visible());
        EXPECT_EQ(state->hoveredID(), whole.id) << "the order-out would clear it";
        EXPECT_TRUE(record.destroyed);
    }
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

OverlayZoneModel zoneModel(const std::string& name, const Rect& normalized) {
    return {Uuid::random(), name, normalized};
}

TEST_F(OverlayControllerTest, PanelsAreMadeOnceAndGetNewModelsOnlyWhenTheyDiffer) {
    const Layout layout = assign(builtIn, {whole});
    // Prepared at start-up: made with their displays' zones but left off screen.
    controller->prepare(store);
    ASSERT_EQ(factory.made().size(), 2u);
    EXPECT_EQ(factory.onScreenCount(), 0u);
    EXPECT_EQ(surfaceOf(external).state->screen().id, makeScreenInfo(external).id);
    for (int i = 0; i < 2; ++i) {
        controller->show(store, std::nullopt);
        controller->prepare(store);
        scheduler.advance(0.1);
        controller->hide();
        scheduler.advance(0.3);
    }
    EXPECT_EQ(factory.made().size(), 2u);
    EXPECT_EQ(recordOf(builtIn).count(Call::orderFront), 2u);
    EXPECT_EQ(recordOf(builtIn).count(Call::setFrame), 0u);
    EXPECT_EQ(recordOf(builtIn).screenAssignments, 0u);

    // A renamed zone changes the model of the display that shows it, and only that one.
    Layout renamed = layout;
    renamed.zones[0].name = "Everything";
    store.upsert(renamed);
    controller->show(store, std::nullopt);
    controller->show(store, std::nullopt);
    EXPECT_EQ(recordOf(builtIn).screenAssignments, 1u);
    EXPECT_EQ(recordOf(external).screenAssignments, 0u);
    EXPECT_EQ(surfaceOf(builtIn).state->screen().zones.at(0).name, "Everything");
}

TEST_F(OverlayControllerTest, MovedDisplaysKeepTheirPanelsAndUnpluggedOnesLoseThem) {
    controller->show(store, std::nullopt);
    const auto& externalRecord = recordOf(external);
    displays.setScreens(simscreens::single());
    // Nothing happens until the overlay is shown again; a panel on screen is ordered out first.
    EXPECT_EQ(controller->surfaces().size(), 2u);
    controller->show(store, std::nullopt);
    EXPECT_EQ(controller->surface(makeScreenInfo(external).id), nullptr);
    EXPECT_EQ(externalRecord.calls, (std::vector<Call>{Call::orderFront, Call::orderOut}));
    EXPECT_TRUE(externalRecord.destroyed);

    // Back above the built-in display: same identifier, new frame, a new panel that follows.
    const SystemDisplay moved = simscreens::stacked()[1];
    displays.setScreens({builtIn, moved});
    controller->show(store, std::nullopt);
    EXPECT_EQ(factory.made().size(), 3u);
    displays.setScreens(simscreens::sideBySide());
    controller->show(store, std::nullopt);
    EXPECT_EQ(factory.made().size(), 3u);
    EXPECT_EQ(recordOf(external).framesSet, std::vector<Rect>{external.frame});
    EXPECT_EQ(recordOf(external).calls.back(), Call::orderFront);
    EXPECT_EQ(surfaceOf(external).state->screen().screenFrame, external.frame);
    EXPECT_EQ(recordOf(builtIn).count(Call::setFrame), 0u);
}

TEST_F(OverlayControllerTest, DisplaysSharingAnIdentifierEachGetTheirOwnPanel) {
    const SystemDisplay left = simscreens::display({0, 0, 2560, 1440}, "Studio", 2, 25, 0);
    const SystemDisplay right = simscreens::display({2560, 0, 2560, 1440}, "Studio", 2, 25, 0);
    ASSERT_EQ(makeScreenInfo(left).id, makeScreenInfo(right).id);
    displays.setScreens({left, right});
    assign(left, {whole}); // the assignment key is shared too: both show this layout

    controller->show(store, std::nullopt);
    controller->show(store, std::nullopt);
    ASSERT_EQ(controller->surfaces().size(), 2u);
    EXPECT_EQ(recordOf(right, 1).frame, right.frame);
    EXPECT_EQ(recordOf(right, 1).screenAssignments, 0u); // no shuffling between them
    EXPECT_EQ(surfaceOf(right, 1).state->screen().screenFrame, right.frame);

    // Both highlight a hovered zone, and both accept drops on the cards they show.
    controller->setHoveredID(whole.id);
    EXPECT_EQ(surfaceOf(right, 1).state->hoveredID(), whole.id);
    EXPECT_EQ(dropAt(cardCentreOf(right, whole)), (DropTarget{right, whole}));
    EXPECT_EQ(dropAt(cardCentreOf(left, whole)), (DropTarget{left, whole}));

    // With the left one unplugged, the right one keeps the first panel, which moves to it.
    const auto& secondRecord = recordOf(right, 1);
    displays.setScreens({right});
    controller->show(store, std::nullopt);
    ASSERT_EQ(controller->surfaces().size(), 1u);
    EXPECT_EQ(recordOf(right, 0).framesSet, std::vector<Rect>{right.frame});
    EXPECT_TRUE(secondRecord.destroyed);
}

TEST_F(OverlayControllerTest, ZoneModelsAreInDrawingOrderWithDisplayNames) {
    const auto russian = makeSimLocalizer("ru");
    controller =
        std::make_unique<DragOverlayController>(displays, scheduler, russian, defaults, factory);
    store.assign(halfStackLayoutID(), makeScreenInfo(builtIn));
    const Zone small = zone(0.75, 0.75, 0.25, 0.25, "Mine");
    const Zone large = zone(0, 0, 0.5, 0.5, "");
    const Zone smallToo = zone(0.5, 0.75, 0.25, 0.25, "Mine too");
    assign(external, {small, large, smallToo});

    controller->show(store, std::nullopt);
    const auto& externalZones = surfaceOf(external).state->screen().zones;
    ASSERT_EQ(externalZones.size(), 3u);
    EXPECT_EQ(externalZones[0], (OverlayZoneModel{large.id, "", Rect(0, 0, 0.5, 0.5)}));
    EXPECT_EQ(externalZones[1], (OverlayZoneModel{small.id, "Mine", Rect(0.75, 0.75, 0.25, 0.25)}));
    EXPECT_EQ(externalZones[2].id, smallToo.id);
    const auto& builtInModel = surfaceOf(builtIn).state->screen();
    ASSERT_FALSE(builtInModel.zones.empty());
    EXPECT_EQ(builtInModel.zones[0].name, "Слева"); // the built-in "Left", largest, in Russian

    // A display with an empty layout still gets its panel.
    assign(external, {});
    controller->show(store, std::nullopt);
    EXPECT_TRUE(recordOf(external).onScreen);
    EXPECT_TRUE(surfaceOf(external).state->screen().zones.empty());
}

// Every display hears the hovered id while the overlay is shown; one fading out or hidden
// lights no card up.
TEST_F(OverlayControllerTest, HoverReachesEveryDisplayOnlyWhileShown) {
    assign(builtIn, {whole});
    controller->show(store, whole.id);
    EXPECT_EQ(surfaceOf(external).state->hoveredID(), whole.id);
    controller->show(store, std::nullopt);
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
    // The external display shows another layout but gets the same id all the same.
    controller->setHoveredID(whole.id);
    EXPECT_EQ(surfaceOf(external).state->hoveredID(), whole.id);

    controller->setHoveredID(std::nullopt);
    controller->hide();
    controller->setHoveredID(whole.id); // during the fade-out
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
    scheduler.advance(0.3);
    controller->setHoveredID(whole.id); // hidden
    EXPECT_EQ(surfaceOf(builtIn).state->hoveredID(), std::nullopt);
}

// A display without menu bar or dock, drawn at 1 : 1, so normalized rectangles scale by 1000.
class OverlayRenderTest : public ::testing::Test {
protected:
    OverlayRenderTest() {
        input.state.screen.id = "1000x1000|Test|1000x1000";
        input.state.screen.screenFrame = {0, 0, 1000, 1000};
        input.state.screen.visibleFrame = {0, 0, 1000, 1000};
        input.state.screen.zones = {medium, tiny};
        input.viewSize = {1000, 1000};
    }

    OverlayRender render() const { return renderOverlay(input); }
    const ZoneRender& zoneIn(const OverlayRender& r, const Uuid& id) const {
        for (const auto& z : r.zones) {
            if (z.id == id) {
                return z;
            }
        }
        ADD_FAILURE() << "zone missing from the render";
        return r.zones.front();
    }

    // 300 × 200 points at (100, 100), and 30 × 30 points at (600, 600).
    const OverlayZoneModel medium = zoneModel("Medium", {0.1, 0.1, 0.3, 0.2});
    const OverlayZoneModel tiny = zoneModel("Tiny", {0.6, 0.6, 0.03, 0.03});
    OverlayRenderInput input;
};

TEST_F(OverlayRenderTest, TheHoveredZoneAloneIsHighlightedAndLifted) {
    input.state.visible = true;
    input.state.hoveredID = medium.id;
    const auto r = render();
    const auto& z = zoneIn(r, medium.id);
    // The highlight grows to the zone less 18 points, centred, around the 132 × 64 card.
    EXPECT_EQ(z.highlight.rect, Rect(109, 109, 282, 182));
    EXPECT_DOUBLE_EQ(z.highlight.opacity, 1);
    EXPECT_EQ(z.card.rect, Rect(184, 168, 132, 64));
    EXPECT_DOUBLE_EQ(z.card.scale, 1.06);
    // A resting zone: a plain card whose hidden highlight is the card; the tiny zone's card
    // overhangs it.
    const auto& resting = zoneIn(r, tiny.id);
    EXPECT_EQ(resting.highlight.rect, Rect(591, 599, 48, 32));
    EXPECT_DOUBLE_EQ(resting.highlight.opacity, 0);
    // The tiny zone hovered keeps a 24-point highlight.
    input.state.hoveredID = tiny.id;
    EXPECT_EQ(zoneIn(render(), tiny.id).highlight.rect, Rect(603, 603, 24, 24));
}

TEST_F(OverlayRenderTest, AppearIsStaggeredByTwentyFiveMillisecondsUpToOneHundredFifty) {
    input.state.screen.zones.clear();
    for (int i = 0; i < 10; ++i) {
        input.state.screen.zones.push_back(zoneModel("Z", {0.1 * i, 0, 0.1, 1}));
    }
    input.state.visible = true;
    const auto r = render();
    for (std::size_t i = 0; i < r.zones.size(); ++i) {
        EXPECT_NEAR(r.zones[i].card.visibilityAnimation.delay, std::min(0.15, 0.025 * i), 1e-12);
    }
}
} // namespace
