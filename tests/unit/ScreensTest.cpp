#include "core/model/Screens.h"
#include "core/app/Preferences.h"
#include "core/editor/ZoneGrid.h"
#include "platform/sim/SimDefaults.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tessera;

namespace {
SystemDisplay display(Rect frame, double scale = 1, std::string name = "Display",
                      std::optional<Rect> visible = std::nullopt) {
    return SystemDisplay{frame, visible.value_or(frame), scale, std::move(name)};
}
} // namespace

TEST(ScreenInfo, IdentifierJoinsPointSizeNameAndRoundedPixelSizeButNotThePosition) {
    EXPECT_EQ(makeScreenInfo(display({0, 0, 1512, 982}, 2, "Built-in Display")).id,
              "1512x982|Built-in Display|3024x1964");
    EXPECT_EQ(makeScreenInfo(display({-1512, 300, 1512, 982}, 1, "Built-in Display")).id,
              "1512x982|Built-in Display|1512x982");
    // Halves round away from zero.
    const auto info = makeScreenInfo(display({0, 0, 1439.5, 899.4}, 1.5));
    EXPECT_EQ(info.id, "1440x899|Display|2159x1349");
    EXPECT_EQ(roundedPoints(-2.5), -3);
}

TEST(Screens, PrimaryIsAtTheOriginElseTheFirstAndAPointsDisplayHasSharedAndOuterEdges) {
    EXPECT_EQ(primaryDisplay({display({-1920, 0, 1920, 1080}, 1, "Left"),
                              display({0, 0, 2560, 1440}, 1, "Main")})
                  .name,
              "Main");
    EXPECT_EQ(
        primaryDisplay({display({10, 0, 100, 100}, 1, "A"), display({110, 0, 100, 100}, 1, "B")})
            .name,
        "A");

    const std::vector<SystemDisplay> displays{display({0, 0, 1920, 1080}, 1, "Main"),
                                              display({1920, 0, 1920, 1080}, 1, "Right"),
                                              display({-500, 1080, 1280, 800}, 1, "Top")};
    const auto under = [&](double x, double y) { return displayIndexUnder({x, y}, displays); };
    EXPECT_EQ(under(1920, 500), 1u) << "a shared edge belongs to the display it starts";
    EXPECT_EQ(under(3841.5, 500), 1u) << "the outer right edge is caught by a 2-point margin";
    EXPECT_EQ(under(3842.5, 500), std::nullopt);
    EXPECT_EQ(under(-400, -100), 2u) << "above the primary display is a negative top-left y";
    EXPECT_EQ(under(-600, 500), std::nullopt);
}

TEST(Screens, ZoneRectCountsYFromTheTopOfTheFreeAreaAndDrawingOrderIsLargestFirst) {
    const Rect visible{0, 40, 1000, 500}; // bottom-left system: a 40-point dock below
    EXPECT_EQ(zoneRect(Zone{Uuid(), "", 0, 0, 0.5, 0.2, std::nullopt}, visible),
              (Rect{0, 440, 500, 100}));

    const auto zone = [](std::string name, double w, double h) {
        return Zone{Uuid::random(), std::move(name), 0, 0, w, h, std::nullopt};
    };
    const auto ordered = drawingOrder({zone("first quarter", 0.5, 0.5), zone("half", 0.5, 1),
                                       zone("second quarter", 1, 0.25), zone("tiny", 0.1, 0.1)});
    std::vector<std::string> names;
    for (const auto& z : ordered) {
        names.push_back(z.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"half", "first quarter", "second quarter", "tiny"}));
}

namespace tessera {
namespace {
ScreenInfo screenWithMenuBar(std::int64_t width, std::int64_t height, double menuBar = 25) {
    ScreenInfo screen;
    screen.pointWidth = width;
    screen.pointHeight = height;
    screen.visibleInsets.top = menuBar / static_cast<double>(height);
    return screen;
}

TEST(ZoneGridTest, RowsForTheWorkedDisplaysAndOnlyOfferedColumns) {
    const auto studio = screenWithMenuBar(2560, 1440);
    // Half the rows round to the nearest whole: 8 columns down (2.21), 24 up (6.63).
    for (const auto& [columns, rows] : {std::pair{4, 2}, std::pair{8, 4}, std::pair{24, 14}}) {
        EXPECT_EQ(editorGrid(columns, studio), (ZoneGrid{columns, rows})) << columns << " columns";
    }

    const auto wide = screenWithMenuBar(3440, 1440);
    EXPECT_EQ(editorGrid(12, wide), (ZoneGrid{12, 4}));

    EXPECT_EQ(editorGrid(10, std::nullopt).columns, 12) << "10 columns are not offered";
    // Without a display the grid uses 16/9: 12 / 1.778 = 6.75, half 3.375 → 3 → 6 rows.
    EXPECT_EQ(editorGrid(12, std::nullopt), (ZoneGrid{12, 6}));
    SimDefaults defaults;
    registerPreferenceDefaults(defaults);
    EXPECT_EQ(editorGrid(defaults, std::nullopt).columns, 12);
    defaults.set(prefs::gridColumns, std::int64_t{24});
    EXPECT_EQ(editorGrid(defaults, screenWithMenuBar(2560, 1440)), (ZoneGrid{24, 14}));
}
} // namespace
} // namespace tessera
