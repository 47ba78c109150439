#include "core/drag/OverlayRenderModel.h"

#include <gtest/gtest.h>

using namespace tessera;

namespace {

OverlayZoneModel zoneModel(const std::string& name, const Rect& normalized) {
    return {Uuid::random(), name, normalized};
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

TEST(OverlayFreeArea, MapsTheVisibleFrameIntoTopLeftViewCoordinates) {
    OverlayScreenModel screen;
    // A display without size uses the whole view.
    screen.visibleFrame = {0, 0, 100, 100};
    screen.screenFrame = {0, 0, 100, 0};
    EXPECT_EQ(overlayFreeArea(screen, {800, 600}), Rect(0, 0, 800, 600));

    // A built-in display with a 25-point menu bar, drawn at half size.
    screen.screenFrame = {0, 0, 1440, 900};
    screen.visibleFrame = {0, 0, 1440, 875};
    EXPECT_EQ(overlayFreeArea(screen, {720, 450}), Rect(0, 12.5, 720, 437.5));
    // A display right of the primary with a dock of 70 at its bottom and one of 100 at its left.
    screen.screenFrame = {1440, -180, 1920, 1080};
    screen.visibleFrame = {1540, -110, 1820, 1010};
    EXPECT_EQ(overlayFreeArea(screen, {1920, 1080}), Rect(100, 0, 1820, 1010));
}

TEST_F(OverlayRenderTest, ZonesAreLaidOnTheFreeAreaInModelOrder) {
    input.state.screen.screenFrame = {0, 0, 1440, 900};
    input.state.screen.visibleFrame = {0, 0, 1440, 875};
    input.viewSize = {1440, 900};
    const auto right = zoneModel("Right", {0.5, 0, 0.5, 1});
    input.state.screen.zones = {right, tiny};
    input.cardScale = 125;
    const auto r = render();
    ASSERT_EQ(r.zones.size(), 2u);
    EXPECT_EQ(r.zones[0].zoneRect, Rect(720, 25, 720, 875));
    EXPECT_EQ(r.zones[0].card.rect, Rect(917.5, 393.75, 325, 137.5));
    EXPECT_EQ(r.zones[0].card.name, "Right");
    EXPECT_EQ(r.zones[1].id, tiny.id);
}

TEST_F(OverlayRenderTest, TheHoveredZoneAloneIsHighlightedAndLiftedInEitherScheme) {
    input.state.visible = true;
    input.state.hoveredID = medium.id;
    for (const auto scheme : {ColorScheme::light, ColorScheme::dark}) {
        input.colorScheme = scheme;
        const bool dark = scheme == ColorScheme::dark;
        const auto r = render();
        EXPECT_DOUBLE_EQ(r.backdropOpacity, dark ? 0.42 : 0.16);
        const auto& z = zoneIn(r, medium.id);
        EXPECT_TRUE(z.hovered);
        // The highlight grows to the zone less 18 points, centred, around the 132 × 64 card.
        EXPECT_EQ(z.highlight.rect, Rect(109, 109, 282, 182));
        EXPECT_DOUBLE_EQ(z.highlight.opacity, 1);
        EXPECT_DOUBLE_EQ(z.highlight.strokeOpacity, dark ? 0.85 : 0.70);
        EXPECT_EQ(z.card.rect, Rect(184, 168, 132, 64));
        EXPECT_EQ(z.card.tintOpacity, dark ? 0.42 : 0.28);
        EXPECT_DOUBLE_EQ(z.card.scale, 1.06);

        // A resting zone: a plain card whose hidden highlight is the card; the tiny zone's card
        // overhangs it.
        const auto& resting = zoneIn(r, tiny.id);
        EXPECT_FALSE(resting.hovered);
        EXPECT_EQ(resting.highlight.rect, Rect(591, 599, 48, 32));
        EXPECT_DOUBLE_EQ(resting.highlight.opacity, 0);
        EXPECT_EQ(resting.card.tintOpacity, std::nullopt);
    }
    // The tiny zone hovered keeps a 24-point highlight.
    input.state.hoveredID = tiny.id;
    EXPECT_EQ(zoneIn(render(), tiny.id).highlight.rect, Rect(603, 603, 24, 24));
}

TEST_F(OverlayRenderTest, HiddenCardsWaitSmallerAndLowerUnlessMotionIsReduced) {
    input.state.hoveredID = medium.id;
    const auto hidden = zoneIn(render(), medium.id);
    EXPECT_FALSE(hidden.hovered);
    EXPECT_DOUBLE_EQ(hidden.highlight.opacity, 0);
    EXPECT_DOUBLE_EQ(hidden.card.opacity, 0);
    EXPECT_DOUBLE_EQ(hidden.card.scale, 0.9);
    EXPECT_DOUBLE_EQ(hidden.card.verticalOffset, 10);
    // Disappearing is one unstaggered ease-in.
    EXPECT_EQ(hidden.card.visibilityAnimation,
              (OverlayAnimation{AnimationKind::easeIn, 0, 0, 0.16, 0}));

    // Reduced motion: cards stay still and highlights keep their full size, shown or not.
    input.reduceMotion = true;
    for (const bool visible : {false, true}) {
        input.state.visible = visible;
        const auto r = render();
        for (const auto& z : r.zones) {
            EXPECT_DOUBLE_EQ(z.card.scale, 1);
            EXPECT_DOUBLE_EQ(z.card.verticalOffset, 0);
        }
        EXPECT_EQ(zoneIn(r, medium.id).highlight.rect, Rect(109, 109, 282, 182));
        EXPECT_DOUBLE_EQ(zoneIn(r, medium.id).highlight.opacity, visible ? 1 : 0);
    }
}

TEST_F(OverlayRenderTest, AppearIsStaggeredByTwentyFiveMillisecondsUpToOneHundredFifty) {
    input.state.screen.zones.clear();
    for (int i = 0; i < 10; ++i) {
        input.state.screen.zones.push_back(zoneModel("Z", {0.1 * i, 0, 0.1, 1}));
    }
    input.state.visible = true;
    const auto r = render();
    const double expected[] = {0, 0.025, 0.05, 0.075, 0.1, 0.125, 0.15, 0.15, 0.15, 0.15};
    for (std::size_t i = 0; i < r.zones.size(); ++i) {
        EXPECT_NEAR(r.zones[i].card.visibilityAnimation.delay, expected[i], 1e-12) << i;
    }
}

} // namespace
