#include "core/model/Screens.h"

#include <gtest/gtest.h>

using namespace tessera;

namespace {

SystemDisplay display(Rect frame, double scale = 1, std::string name = "Display",
                      std::optional<Rect> visible = std::nullopt) {
    return SystemDisplay{frame, visible.value_or(frame), scale, std::move(name)};
}

} // namespace

TEST(ScreenInfo, IdentifierJoinsPointSizeNameAndPixelSize) {
    EXPECT_EQ(makeScreenInfo(display({0, 0, 2560, 1440}, 2, "Studio")).id,
              "2560x1440|Studio|5120x2880");
    const auto retina = makeScreenInfo(display({0, 0, 1512, 982}, 2, "Built-in Display"));
    EXPECT_EQ(retina.id, "1512x982|Built-in Display|3024x1964");
    EXPECT_EQ(retina.pixelWidth, 3024);
    EXPECT_EQ(makeScreenInfo(display({0, 0, 1512, 982}, 1, "Built-in Display")).id,
              "1512x982|Built-in Display|1512x982");
    // The position of a display never changes its identifier.
    EXPECT_EQ(makeScreenInfo(display({-1512, 300, 1512, 982}, 1, "Built-in Display")).id,
              "1512x982|Built-in Display|1512x982");
}

TEST(ScreenInfo, SizesRoundHalvesAwayFromZero) {
    const auto info = makeScreenInfo(display({0, 0, 1439.5, 899.4}, 1.5));
    EXPECT_EQ(info.pointWidth, 1440);
    EXPECT_EQ(info.pointHeight, 899);
    EXPECT_EQ(info.pixelWidth, 2159);  // 2159.25
    EXPECT_EQ(info.pixelHeight, 1349); // 1349.1
    EXPECT_EQ(roundedPoints(2.5), 3);
    EXPECT_EQ(roundedPoints(-2.5), -3);
}

TEST(ScreenInfo, InsetsAreFractionsOfTheFullFrame) {
    const auto menuBar =
        makeScreenInfo(display({0, 0, 1920, 1080}, 1, "D", Rect{0, 0, 1920, 1055}));
    EXPECT_DOUBLE_EQ(menuBar.visibleInsets.top, 25.0 / 1080.0);
    EXPECT_EQ(menuBar.visibleInsets.left, 0);
    EXPECT_EQ(menuBar.visibleInsets.bottom, 0);
    EXPECT_EQ(menuBar.visibleInsets.right, 0);

    // A display left of the primary one with a dock on its left and bottom.
    const auto docked =
        makeScreenInfo(display({-1000, 0, 1000, 800}, 1, "D", Rect{-940, 80, 940, 695}));
    EXPECT_DOUBLE_EQ(docked.visibleInsets.left, 60.0 / 1000.0);
    EXPECT_DOUBLE_EQ(docked.visibleInsets.bottom, 80.0 / 800.0);
    EXPECT_DOUBLE_EQ(docked.visibleInsets.top, 25.0 / 800.0);
    EXPECT_DOUBLE_EQ(docked.visibleInsets.right, 0);

    EXPECT_EQ(makeScreenInfo(display({0, 0, 0, 1080}, 1, "D", Rect{0, 0, 0, 1000})).visibleInsets,
              ScreenInsets{});
}

TEST(Screens, PrimaryIsTheDisplayAtTheOriginElseTheFirst) {
    const std::vector<SystemDisplay> arranged{display({-1920, 0, 1920, 1080}, 1, "Left"),
                                              display({0, 0, 2560, 1440}, 1, "Main")};
    EXPECT_EQ(primaryDisplay(arranged).name, "Main");
    const std::vector<SystemDisplay> none{display({10, 0, 100, 100}, 1, "A"),
                                          display({110, 0, 100, 100}, 1, "B")};
    EXPECT_EQ(primaryDisplay(none).name, "A");
}

TEST(Screens, CoordinateConversionUsesThePrimaryFrame) {
    const Rect primary{0, 0, 1920, 1080};
    EXPECT_EQ(toTopLeft(Point{100, 1080}, primary), (Point{100, 0}));
    EXPECT_EQ(toBottomLeft(toTopLeft(Point{-50, 2000}, primary), primary), (Point{-50, 2000}));
    // A window 200 high whose bottom edge is 100 above the bottom of the primary display.
    EXPECT_EQ(toTopLeft(Rect{10, 100, 300, 200}, primary), (Rect{10, 780, 300, 200}));
    EXPECT_EQ(toBottomLeft(Rect{10, 780, 300, 200}, primary), (Rect{10, 100, 300, 200}));
}

TEST(Screens, DisplayUnderAPointFindsSharedAndOuterEdges) {
    // Primary 1920x1080 at the origin, a second one to its right, a third stacked above with a
    // negative x.
    const std::vector<SystemDisplay> displays{display({0, 0, 1920, 1080}, 1, "Main"),
                                              display({1920, 0, 1920, 1080}, 1, "Right"),
                                              display({-500, 1080, 1280, 800}, 1, "Top")};
    const auto under = [&](double x, double y) { return displayIndexUnder({x, y}, displays); };
    EXPECT_EQ(under(100, 100), 0u);
    EXPECT_EQ(under(1920, 500), 1u) << "a shared edge belongs to the display it starts";
    EXPECT_EQ(under(3840, 500), 1u) << "the outer right edge is caught by the 2-point margin";
    EXPECT_EQ(under(3841.5, 500), 1u);
    EXPECT_EQ(under(3842.5, 500), std::nullopt);
    EXPECT_EQ(under(-400, -100), 2u) << "above the primary display is a negative top-left y";
    EXPECT_EQ(under(-600, 500), std::nullopt);
    EXPECT_EQ(displayIndexUnder({0, 0}, {}), std::nullopt);
}

TEST(Screens, ZoneRectCountsYFromTheTopOfTheFreeArea) {
    const Rect visible{0, 40, 1000, 500}; // bottom-left system: a 40-point dock below
    const Zone top{Uuid(), "", 0, 0, 0.5, 0.2, std::nullopt};
    EXPECT_EQ(zoneRect(top, visible), (Rect{0, 440, 500, 100}));
    const Zone bottomRight{Uuid(), "", 0.5, 0.8, 0.5, 0.2, std::nullopt};
    const auto rect = zoneRect(bottomRight, visible);
    EXPECT_EQ(rect.minX(), 500);
    EXPECT_NEAR(rect.minY(), 40, 1e-9) << "a zone with y + height = 1 touches the bottom";
    EXPECT_EQ(rect.width(), 500);
    EXPECT_NEAR(rect.height(), 100, 1e-9);
}

TEST(Screens, DrawingOrderIsLargestFirstAndStable) {
    const auto zone = [](std::string name, double w, double h) {
        return Zone{Uuid::random(), std::move(name), 0, 0, w, h, std::nullopt};
    };
    const auto ordered = drawingOrder({zone("first quarter", 0.5, 0.5), zone("half", 0.5, 1),
                                       zone("second quarter", 1, 0.25), zone("tiny", 0.1, 0.1)});
    ASSERT_EQ(ordered.size(), 4u);
    EXPECT_EQ(ordered[0].name, "half");
    EXPECT_EQ(ordered[1].name, "first quarter");
    EXPECT_EQ(ordered[2].name, "second quarter");
    EXPECT_EQ(ordered[3].name, "tiny");
}
