#include "core/drag/OverlayRenderModel.h"

#include <gtest/gtest.h>

#include <limits>

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

// --- Free area and zone rectangles -----------------------------------------------------------

TEST(OverlayFreeArea, MapsTheVisibleFrameIntoTopLeftViewCoordinates) {
    OverlayScreenModel screen;
    // A built-in display with a 25-point menu bar.
    screen.screenFrame = {0, 0, 1440, 900};
    screen.visibleFrame = {0, 0, 1440, 875};
    EXPECT_EQ(overlayFreeArea(screen, {1440, 900}), Rect(0, 25, 1440, 875));
    // The view drawn at half size scales every part.
    EXPECT_EQ(overlayFreeArea(screen, {720, 450}), Rect(0, 12.5, 720, 437.5));
    // A display right of the primary with a dock of 70 at its bottom and one of 100 at its left.
    screen.screenFrame = {1440, -180, 1920, 1080};
    screen.visibleFrame = {1540, -110, 1820, 1010};
    EXPECT_EQ(overlayFreeArea(screen, {1920, 1080}), Rect(100, 0, 1820, 1010));
}

TEST(OverlayFreeArea, DisplayWithoutSizeUsesTheWholeView) {
    OverlayScreenModel screen;
    screen.visibleFrame = {0, 0, 100, 100};
    EXPECT_EQ(overlayFreeArea(screen, {800, 600}), Rect(0, 0, 800, 600));
    screen.screenFrame = {0, 0, 100, 0};
    EXPECT_EQ(overlayFreeArea(screen, {800, 600}), Rect(0, 0, 800, 600));
    screen.screenFrame = {0, 0, std::numeric_limits<double>::quiet_NaN(), 100};
    EXPECT_EQ(overlayFreeArea(screen, {800, 600}), Rect(0, 0, 800, 600));
}

TEST_F(OverlayRenderTest, ZonesAreLaidOnTheFreeAreaInModelOrder) {
    input.state.screen.screenFrame = {0, 0, 1440, 900};
    input.state.screen.visibleFrame = {0, 0, 1440, 875};
    input.viewSize = {1440, 900};
    const auto right = zoneModel("Right", {0.5, 0, 0.5, 1});
    input.state.screen.zones = {right, tiny};
    const auto r = render();
    ASSERT_EQ(r.zones.size(), 2u);
    EXPECT_EQ(r.zones[0].id, right.id);
    EXPECT_EQ(r.zones[0].zoneRect, Rect(720, 25, 720, 875));
    EXPECT_EQ(r.zones[0].card.rect, Rect(950, 407.5, 260, 110));
    EXPECT_EQ(r.zones[0].card.name, "Right");
    EXPECT_EQ(r.zones[1].id, tiny.id);
}

// --- Backdrop --------------------------------------------------------------------------------

TEST_F(OverlayRenderTest, BackdropDependsOnSchemeAndVisibility) {
    input.state.visible = true;
    input.colorScheme = ColorScheme::light;
    EXPECT_DOUBLE_EQ(render().backdropOpacity, 0.16);
    input.colorScheme = ColorScheme::dark;
    EXPECT_DOUBLE_EQ(render().backdropOpacity, 0.42);
    EXPECT_EQ(render().backdropAnimation,
              (OverlayAnimation{AnimationKind::easeOut, 0, 0, 0.22, 0}));
    input.state.visible = false;
    EXPECT_DOUBLE_EQ(render().backdropOpacity, 0);
    EXPECT_EQ(render().backdropAnimation, (OverlayAnimation{AnimationKind::easeIn, 0, 0, 0.16, 0}));
}

TEST_F(OverlayRenderTest, EmptyLayoutDrawsOnlyTheBackdrop) {
    input.state.screen.zones.clear();
    input.state.visible = true;
    const auto r = render();
    EXPECT_TRUE(r.zones.empty());
    EXPECT_DOUBLE_EQ(r.backdropOpacity, 0.16);
}

// --- Hovered and resting zones ---------------------------------------------------------------

TEST_F(OverlayRenderTest, HoveredZoneInTheLightScheme) {
    input.state.visible = true;
    input.state.hoveredID = medium.id;
    const auto z = zoneIn(render(), medium.id);
    EXPECT_TRUE(z.hovered);
    EXPECT_EQ(z.zoneRect, Rect(100, 100, 300, 200));
    // Highlight grows to the zone less 18 points, centred.
    EXPECT_EQ(z.highlight.rect, Rect(109, 109, 282, 182));
    EXPECT_DOUBLE_EQ(z.highlight.cornerRadius, 28);
    EXPECT_DOUBLE_EQ(z.highlight.opacity, 1);
    EXPECT_DOUBLE_EQ(z.highlight.fillOpacity, 0.10);
    EXPECT_DOUBLE_EQ(z.highlight.strokeOpacity, 0.70);
    EXPECT_DOUBLE_EQ(z.highlight.strokeWidth, 2);
    // The 132 × 64 card, lifted and tinted.
    EXPECT_EQ(z.card.rect, Rect(184, 168, 132, 64));
    EXPECT_EQ(z.card.tintOpacity, 0.28);
    EXPECT_DOUBLE_EQ(z.card.borderOpacity, 1);
    EXPECT_EQ(z.card.shadow, (OverlayShadow{0.28, 16, {0, 8}}));
    EXPECT_DOUBLE_EQ(z.card.scale, 1.06);
    EXPECT_DOUBLE_EQ(z.card.verticalOffset, 0);
    EXPECT_DOUBLE_EQ(z.card.opacity, 1);
    EXPECT_EQ(z.highlight.hoverAnimation,
              (OverlayAnimation{AnimationKind::spring, 0.36, 0.86, 0, 0}));
    EXPECT_EQ(z.card.hoverAnimation, (OverlayAnimation{AnimationKind::spring, 0.3, 0.78, 0, 0}));
}

TEST_F(OverlayRenderTest, HoveredZoneInTheDarkScheme) {
    input.state.visible = true;
    input.state.hoveredID = medium.id;
    input.colorScheme = ColorScheme::dark;
    const auto z = zoneIn(render(), medium.id);
    EXPECT_DOUBLE_EQ(z.highlight.fillOpacity, 0.16);
    EXPECT_DOUBLE_EQ(z.highlight.strokeOpacity, 0.85);
    EXPECT_EQ(z.card.tintOpacity, 0.42);
}

TEST_F(OverlayRenderTest, RestingZoneShowsAPlainCardAndAHiddenCardSizedHighlight) {
    input.state.visible = true;
    input.state.hoveredID = tiny.id;
    const auto z = zoneIn(render(), medium.id);
    EXPECT_FALSE(z.hovered);
    EXPECT_EQ(z.highlight.rect, z.card.rect);
    EXPECT_DOUBLE_EQ(z.highlight.cornerRadius, 20);
    EXPECT_DOUBLE_EQ(z.highlight.opacity, 0);
    EXPECT_EQ(z.card.tintOpacity, std::nullopt);
    EXPECT_DOUBLE_EQ(z.card.borderOpacity, 0);
    EXPECT_EQ(z.card.shadow, (OverlayShadow{0.14, 8, {0, 4}}));
    EXPECT_DOUBLE_EQ(z.card.scale, 1.0);
}

TEST_F(OverlayRenderTest, TinyHoveredZoneHasTheMinimumHighlightAndAnOverhangingCard) {
    input.state.visible = true;
    input.state.hoveredID = tiny.id;
    const auto z = zoneIn(render(), tiny.id);
    EXPECT_EQ(z.zoneRect, Rect(600, 600, 30, 30));
    EXPECT_EQ(z.highlight.rect, Rect(603, 603, 24, 24));
    EXPECT_EQ(z.card.rect, Rect(591, 599, 48, 32));
}

TEST_F(OverlayRenderTest, NothingIsHoveredWhileInvisible) {
    input.state.visible = false;
    input.state.hoveredID = medium.id;
    const auto z = zoneIn(render(), medium.id);
    EXPECT_FALSE(z.hovered);
    EXPECT_DOUBLE_EQ(z.highlight.opacity, 0);
    EXPECT_EQ(z.card.tintOpacity, std::nullopt);
    // Hidden look: transparent, smaller and lower, ready to spring in.
    EXPECT_DOUBLE_EQ(z.card.opacity, 0);
    EXPECT_DOUBLE_EQ(z.card.scale, 0.9);
    EXPECT_DOUBLE_EQ(z.card.verticalOffset, 10);
}

// --- Reduce Motion ---------------------------------------------------------------------------

TEST_F(OverlayRenderTest, ReduceMotionKeepsCardsStillAndHighlightsFullSize) {
    input.reduceMotion = true;
    input.state.visible = false;
    for (const auto& z : render().zones) {
        EXPECT_DOUBLE_EQ(z.card.scale, 1);
        EXPECT_DOUBLE_EQ(z.card.verticalOffset, 0);
        EXPECT_DOUBLE_EQ(z.card.opacity, 0);
        EXPECT_DOUBLE_EQ(z.highlight.opacity, 0);
        EXPECT_DOUBLE_EQ(z.highlight.cornerRadius, 28);
    }
    EXPECT_EQ(zoneIn(render(), medium.id).highlight.rect, Rect(109, 109, 282, 182));

    input.state.visible = true;
    input.state.hoveredID = medium.id;
    const auto hovered = zoneIn(render(), medium.id);
    EXPECT_DOUBLE_EQ(hovered.card.scale, 1);
    EXPECT_DOUBLE_EQ(hovered.highlight.opacity, 1);
    EXPECT_EQ(hovered.highlight.rect, Rect(109, 109, 282, 182));
    EXPECT_EQ(hovered.card.tintOpacity, 0.28);
    EXPECT_EQ(hovered.card.shadow, (OverlayShadow{0.28, 16, {0, 8}}));
    const auto resting = zoneIn(render(), tiny.id);
    EXPECT_DOUBLE_EQ(resting.highlight.opacity, 0);
    EXPECT_EQ(resting.highlight.rect, Rect(603, 603, 24, 24));
}

// --- Card scale ------------------------------------------------------------------------------

TEST_F(OverlayRenderTest, CardScaleIsClamped) {
    // One zone of 1280 × 720 points.
    const auto big = zoneModel("Big", {0, 0, 0.64, 0.36});
    input.state.screen.screenFrame = input.state.screen.visibleFrame = {0, 0, 2000, 2000};
    input.viewSize = {2000, 2000};
    input.state.screen.zones = {big};
    auto cardOf = [&](double scale) {
        input.cardScale = scale;
        return render().zones.at(0).card.rect.size;
    };
    EXPECT_EQ(cardOf(100), (Size{260, 110}));
    EXPECT_EQ(cardOf(60), (Size{156, 66}));
    EXPECT_EQ(cardOf(10), (Size{156, 66}));
    EXPECT_EQ(cardOf(125), (Size{325, 137.5}));
    EXPECT_EQ(cardOf(160), (Size{416, 176}));
    EXPECT_EQ(cardOf(1000), (Size{416, 176}));
    EXPECT_EQ(cardOf(std::numeric_limits<double>::quiet_NaN()), (Size{260, 110}));
    // The highlight of a resting zone follows the card.
    input.cardScale = 160;
    EXPECT_EQ(render().zones.at(0).highlight.rect.size, (Size{416, 176}));
}

// --- Animations ------------------------------------------------------------------------------

TEST_F(OverlayRenderTest, AppearIsStaggeredByTwentyFiveMillisecondsUpToOneHundredFifty) {
    input.state.screen.zones.clear();
    for (int i = 0; i < 10; ++i) {
        input.state.screen.zones.push_back(zoneModel("Z", {0.1 * i, 0, 0.1, 1}));
    }
    input.state.visible = true;
    const auto r = render();
    const double expected[] = {0, 0.025, 0.05, 0.075, 0.1, 0.125, 0.15, 0.15, 0.15, 0.15};
    for (std::size_t i = 0; i < r.zones.size(); ++i) {
        const auto& a = r.zones[i].card.visibilityAnimation;
        EXPECT_EQ(a.kind, AnimationKind::spring) << i;
        EXPECT_DOUBLE_EQ(a.response, 0.38) << i;
        EXPECT_DOUBLE_EQ(a.dampingFraction, 0.8) << i;
        EXPECT_NEAR(a.delay, expected[i], 1e-12) << i;
        EXPECT_LE(a.delay, 0.15) << i;
    }
}

TEST_F(OverlayRenderTest, DisappearIsAnUnstaggeredEaseIn) {
    input.state.visible = false;
    for (const auto& z : render().zones) {
        EXPECT_EQ(z.card.visibilityAnimation,
                  (OverlayAnimation{AnimationKind::easeIn, 0, 0, 0.16, 0}));
    }
}

} // namespace
