#include "ZoneGrid.h"

#include "../app/Preferences.h"

#include <algorithm>
#include <cmath>

namespace tessera {

ZoneGrid ZoneGrid::fitting(std::int64_t columns, double aspect) {
    const double halfRows = static_cast<double>(columns) / std::max(aspect, 0.01) * 0.5;
    // std::round rounds halves away from zero; the product stays even.
    const auto rows = 2 * static_cast<std::int64_t>(std::round(halfRows));
    return ZoneGrid{columns, std::clamp<std::int64_t>(rows, 2, 48)};
}

const std::array<std::int64_t, 6>& offeredGridColumns() {
    static constexpr std::array<std::int64_t, 6> counts{4, 6, 8, 12, 16, 24};
    return counts;
}

bool isOfferedGridColumns(std::int64_t columns) {
    const auto& counts = offeredGridColumns();
    return std::find(counts.begin(), counts.end(), columns) != counts.end();
}

std::int64_t acceptedGridColumns(std::int64_t preferenceColumns) {
    return isOfferedGridColumns(preferenceColumns) ? preferenceColumns : defaultGridColumns;
}

double freeAreaAspect(const ScreenInfo& screen) {
    const double base = screen.pointHeight < 1 ? defaultGridAspect
                                               : static_cast<double>(screen.pointWidth) /
                                                     static_cast<double>(screen.pointHeight);
    const auto& insets = screen.visibleInsets;
    const double v = 1 - insets.top - insets.bottom;
    if (!(v > 0)) {
        return base;
    }
    return (1 - insets.left - insets.right) / v * base;
}

double freeAreaAspect(const std::optional<ScreenInfo>& screen) {
    return screen ? freeAreaAspect(*screen) : defaultGridAspect;
}

ZoneGrid editorGrid(std::int64_t preferenceColumns, const std::optional<ScreenInfo>& screen) {
    return ZoneGrid::fitting(acceptedGridColumns(preferenceColumns), freeAreaAspect(screen));
}

ZoneGrid editorGrid(const Defaults& defaults, const std::optional<ScreenInfo>& screen) {
    return editorGrid(gridColumns(defaults), screen);
}

double miniatureAspect(const std::optional<ScreenInfo>& screen) {
    return std::clamp(freeAreaAspect(screen), 1.1, 2.6);
}

GridPickerModel gridPickerModel(const std::optional<ScreenInfo>& screen,
                                std::int64_t boundColumns) {
    GridPickerModel model;
    const double aspect = freeAreaAspect(screen);
    for (const auto count : offeredGridColumns()) {
        const auto grid = ZoneGrid::fitting(count, aspect);
        model.tiles.push_back({count, grid,
                               std::to_string(grid.columns) + " × " + std::to_string(grid.rows),
                               count == boundColumns});
    }
    model.miniatureAspect = miniatureAspect(screen);
    model.miniatureWidth = GridPickerModel::tileWidth;
    model.miniatureHeight = GridPickerModel::tileWidth / model.miniatureAspect;
    return model;
}

std::vector<GridLine> gridLines(const ZoneGrid& grid, const Rect& rect) {
    std::vector<GridLine> lines;
    if (grid.columns < 1 || grid.rows < 1) {
        return lines;
    }
    for (std::int64_t i = 1; i < grid.columns; ++i) {
        const double x =
            rect.minX() + rect.width() * static_cast<double>(i) / static_cast<double>(grid.columns);
        lines.push_back({{x, rect.minY()}, {x, rect.maxY()}});
    }
    for (std::int64_t i = 1; i < grid.rows; ++i) {
        const double y =
            rect.minY() + rect.height() * static_cast<double>(i) / static_cast<double>(grid.rows);
        lines.push_back({{rect.minX(), y}, {rect.maxX(), y}});
    }
    return lines;
}

} // namespace tessera
