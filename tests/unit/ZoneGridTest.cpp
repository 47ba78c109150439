#include "core/editor/ZoneGrid.h"
#include "core/app/Preferences.h"
#include "platform/sim/SimDefaults.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessera {
namespace {

ScreenInfo screenWithMenuBar(std::int64_t width, std::int64_t height, double menuBar = 25) {
    ScreenInfo screen;
    screen.pointWidth = width;
    screen.pointHeight = height;
    screen.visibleInsets.top = menuBar / static_cast<double>(height);
    return screen;
}

TEST(ZoneGridTest, RowsForTheWorkedDisplays) {
    const auto studio = screenWithMenuBar(2560, 1440);
    EXPECT_NEAR(freeAreaAspect(studio), 1.8092, 1e-4);
    const std::vector<std::pair<std::int64_t, std::int64_t>> expected{{4, 2},  {6, 4},  {8, 4},
                                                                      {12, 6}, {16, 8}, {24, 14}};
    for (const auto& [columns, rows] : expected) {
        const auto grid = editorGrid(columns, studio);
        EXPECT_EQ(grid, (ZoneGrid{columns, rows})) << columns << " columns";
    }

    const auto wide = screenWithMenuBar(3440, 1440);
    EXPECT_NEAR(freeAreaAspect(wide), 2.4310, 1e-4);
    EXPECT_EQ(editorGrid(12, wide), (ZoneGrid{12, 4}));
}

TEST(ZoneGridTest, RowsAreEvenAndLimited) {
    // Portrait: 4 / 0.5625 = 7.1, half 3.56 rounds to 4, twice is 8.
    EXPECT_EQ(ZoneGrid::fitting(24, 0.5625).rows, 42);
    EXPECT_EQ(ZoneGrid::fitting(4, 0.5625).rows, 8);
    // Half of 12 / 2.4 is 2.5, which rounds away from zero to 3.
    EXPECT_EQ(ZoneGrid::fitting(12, 2.4).rows, 6);
    EXPECT_EQ(ZoneGrid::fitting(4, 4).rows, 2);
    EXPECT_EQ(ZoneGrid::fitting(4, 100).rows, 2);
    EXPECT_EQ(ZoneGrid::fitting(4, 0).rows, 48);
    EXPECT_EQ(ZoneGrid::fitting(4, -1).rows, 48);
    EXPECT_EQ(ZoneGrid::fitting(24, 0.005).columns, 24);
}

TEST(ZoneGridTest, FreeAreaAspectEdgeCases) {
    EXPECT_DOUBLE_EQ(freeAreaAspect(std::optional<ScreenInfo>{}), 16.0 / 9.0);

    ScreenInfo noHeight;
    noHeight.pointWidth = 1000;
    EXPECT_DOUBLE_EQ(freeAreaAspect(noHeight), 16.0 / 9.0);

    ScreenInfo fullyCovered = screenWithMenuBar(1600, 1000);
    fullyCovered.visibleInsets.top = 0.6;
    fullyCovered.visibleInsets.bottom = 0.4;
    fullyCovered.visibleInsets.left = 0.5;
    EXPECT_DOUBLE_EQ(freeAreaAspect(fullyCovered), 1.6);

    ScreenInfo sideDock = screenWithMenuBar(2000, 1000, 0);
    sideDock.visibleInsets.left = 0.1;
    sideDock.visibleInsets.right = 0.1;
    sideDock.visibleInsets.bottom = 0.2;
    EXPECT_DOUBLE_EQ(freeAreaAspect(sideDock), 0.8 / 0.8 * 2.0);
}

TEST(ZoneGridTest, EditorGridAcceptsOnlyOfferedColumns) {
    for (const auto columns : {10, 0, -3, 5, 48}) {
        EXPECT_EQ(editorGrid(columns, std::nullopt).columns, 12) << columns;
    }
    // Without a display the grid uses 16/9: 12 / 1.778 = 6.75, half 3.375 → 3 → 6 rows.
    EXPECT_EQ(editorGrid(12, std::nullopt), (ZoneGrid{12, 6}));
    SimDefaults defaults;
    registerPreferenceDefaults(defaults);
    EXPECT_EQ(editorGrid(defaults, std::nullopt).columns, 12);
    defaults.set(prefs::gridColumns, std::int64_t{24});
    EXPECT_EQ(editorGrid(defaults, screenWithMenuBar(2560, 1440)), (ZoneGrid{24, 14}));
    defaults.set(prefs::gridColumns, std::int64_t{7});
    EXPECT_EQ(editorGrid(defaults, std::nullopt).columns, 12);
}

TEST(ZoneGridTest, ThePickerOffersEachGridOfTheDisplayInALimitedMiniature) {
    const auto model = gridPickerModel(screenWithMenuBar(2560, 1440), 16);
    ASSERT_EQ(model.tiles.size(), 6u);
    const std::vector<std::string> titles{"4 × 2", "6 × 4", "8 × 4", "12 × 6", "16 × 8", "24 × 14"};
    for (std::size_t i = 0; i < titles.size(); ++i) {
        EXPECT_EQ(model.tiles[i].title, titles[i]);
        EXPECT_EQ(model.tiles[i].selected, model.tiles[i].columns == 16);
    }
    for (const auto& tile : gridPickerModel(std::nullopt, 10).tiles) {
        EXPECT_FALSE(tile.selected) << tile.title;
    }
    EXPECT_NEAR(model.miniatureAspect, 1.8092, 1e-4);
    EXPECT_DOUBLE_EQ(model.miniatureWidth, 132);
    EXPECT_DOUBLE_EQ(model.miniatureHeight, 132 / model.miniatureAspect);
    EXPECT_DOUBLE_EQ(miniatureAspect(screenWithMenuBar(1080, 1920)), 1.1);
    EXPECT_DOUBLE_EQ(miniatureAspect(screenWithMenuBar(5120, 1440, 0)), 2.6);
    // Tiles still use the true aspect, not the limited one.
    EXPECT_EQ(gridPickerModel(screenWithMenuBar(1080, 1920, 0), 24).tiles[5].grid.rows, 42);
}

TEST(ZoneGridTest, GridLinesLieInsideTheRect) {
    const Rect rect{10, 20, 120, 60};
    const std::vector<GridLine> expected{
        {{40, 20}, {40, 80}}, {{70, 20}, {70, 80}}, {{100, 20}, {100, 80}}, {{10, 50}, {130, 50}}};
    EXPECT_EQ(gridLines(ZoneGrid{4, 2}, rect), expected);
    EXPECT_EQ(gridLines(ZoneGrid{24, 14}, rect).size(), 23u + 13u);
    EXPECT_TRUE(gridLines(ZoneGrid{1, 0}, rect).empty());
}

} // namespace
} // namespace tessera
