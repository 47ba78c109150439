#pragma once

#include "../model/Geometry.h"
#include "../model/Records.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessera {

class Defaults;

// The shape assumed when no display is known.
inline constexpr double defaultGridAspect = 16.0 / 9.0;
// The column count used when the preference holds something the picker does not offer.
inline constexpr std::int64_t defaultGridColumns = 12;

// The editor's snapping grid. The user picks the columns; the rows follow the shape of the
// display's free area so the cells stay close to square.
struct ZoneGrid {
    std::int64_t columns = defaultGridColumns;
    std::int64_t rows = 6;

    // Rows are the nearest even number to columns / aspect, kept within 2...48. An aspect below
    // 0.01 counts as 0.01.
    static ZoneGrid fitting(std::int64_t columns, double aspect);

    friend bool operator==(const ZoneGrid&, const ZoneGrid&) = default;
};

// The column counts the picker offers and the preference accepts, in the order shown.
const std::array<std::int64_t, 6>& offeredGridColumns();
bool isOfferedGridColumns(std::int64_t columns);
// The preference value when it is offered, else 12.
std::int64_t acceptedGridColumns(std::int64_t preferenceColumns);

// Width over height of the area left by the menu bar and the Dock; 16/9 without a display.
double freeAreaAspect(const ScreenInfo& screen);
double freeAreaAspect(const std::optional<ScreenInfo>& screen);

// The grid of the canvas for the display being edited.
ZoneGrid editorGrid(std::int64_t preferenceColumns, const std::optional<ScreenInfo>& screen);
// Same, reading "gridColumns" from the preferences.
ZoneGrid editorGrid(const Defaults& defaults, const std::optional<ScreenInfo>& screen);

// One tile of the grid density picker.
struct GridPickerTile {
    std::int64_t columns = 0;
    ZoneGrid grid;
    std::string title; // "12 × 6": plain digits in every language
    bool selected = false;

    friend bool operator==(const GridPickerTile&, const GridPickerTile&) = default;
};

// What the grid density picker shows for a display and the bound column count.
struct GridPickerModel {
    static constexpr double tileWidth = 132;
    static constexpr double tileSpacing = 14;
    static constexpr int tilesPerRow = 3;

    std::vector<GridPickerTile> tiles;          // one per offered count, in offered order
    double miniatureAspect = defaultGridAspect; // free-area aspect limited to 1.1...2.6
    double miniatureWidth = tileWidth;
    double miniatureHeight = tileWidth / defaultGridAspect;

    friend bool operator==(const GridPickerModel&, const GridPickerModel&) = default;
};

GridPickerModel gridPickerModel(const std::optional<ScreenInfo>& screen, std::int64_t boundColumns);
// The aspect of the picker's miniature display: the free-area aspect limited to 1.1...2.6.
double miniatureAspect(const std::optional<ScreenInfo>& screen);

struct GridLine {
    Point from;
    Point to;

    friend bool operator==(const GridLine&, const GridLine&) = default;
};

// The inner lines of a grid laid over rect: columns − 1 vertical lines, then rows − 1
// horizontal ones. No line lies on the border.
std::vector<GridLine> gridLines(const ZoneGrid& grid, const Rect& rect);

} // namespace tessera
