#include "Preferences.h"
#include "QtTestSupport.h"
#include "SimShell.h"
#include "WindowsPaneModel.h"

#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "core/editor/ZoneGrid.h"
#include "core/ui/WindowSettings.h"

#include <QSizeF>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <string>

namespace tessera::test {
namespace {

double storedDouble(const SimShell& sim, std::string_view key) {
    return preferenceDouble(sim.defaults, key);
}

// What the pane's Qt Quick test (tst_windows.qml) can't see through its controls.
class WindowsPane : public ::testing::Test {
protected:
    WindowsPane() { sim.start(); }

    SimShell sim;
    shell::WindowsPaneModel& pane = sim.shell->windowsPane();
};

TEST_F(WindowsPane, CardPreviewIsTheCardTheOverlayDraws) {
    const auto& overlay = sim.state->overlay();
    const auto drawn = [&] {
        const auto size = overlay.cardSize(cardPreviewZone.width, cardPreviewZone.height);
        return QSizeF(size.width, size.height);
    };
    for (const double percent : {100.0, 60.0, 104.0, 160.0}) {
        pane.setCardScale(percent);
        EXPECT_EQ(pane.cardPreviewSize(), drawn()) << percent;
    }
    EXPECT_EQ(pane.cardPreviewMaximumSize(), pane.cardPreviewSize());
    EXPECT_EQ(storedDouble(sim, prefs::cardScale), 160);
    pane.setCardScale(104);
    EXPECT_EQ(storedDouble(sim, prefs::cardScale), 100);
    // Stored out of range by hand: shown as the overlay uses it.
    sim.defaults.set(prefs::cardScale, 10.0);
    EXPECT_EQ(pane.cardScaleText(), "60%");
    EXPECT_EQ(pane.cardPreviewSize(), drawn());
}

TEST_F(WindowsPane, GridPickerDrawsEachTilesInnerLinesForTheNamedDisplay) {
    EXPECT_EQ(emissions(&pane, &shell::WindowsPaneModel::changed,
                        [&] { sim.desktop.displays().setScreens(simscreens::sideBySide()); }),
              1);
    const auto& screens = sim.state->screens();
    ASSERT_EQ(screens.size(), 2u);
    for (const auto& screen : screens) {
        const auto expected = gridPickerModel(screen, 12);
        const auto picker = pane.gridPicker(QString::fromStdString(screen.id), 12);
        EXPECT_EQ(picker["miniatureHeight"].toDouble(), expected.miniatureHeight);
        const auto tiles = picker["tiles"].toList();
        ASSERT_EQ(tiles.size(), static_cast<qsizetype>(expected.tiles.size()));
        for (qsizetype i = 0; i < tiles.size(); ++i) {
            const auto& core = expected.tiles[static_cast<std::size_t>(i)];
            EXPECT_EQ(tiles[i].toMap()["columns"].toInt(), core.columns);
            // Every inner line once, none on the border of the miniature.
            const auto lines = tiles[i].toMap()["lines"].toList();
            EXPECT_EQ(lines.size(), core.grid.columns - 1 + core.grid.rows - 1);
            for (const auto& line : lines) {
                const auto l = line.toList();
                const bool vertical = l[0].toDouble() == l[2].toDouble();
                const double at = vertical ? l[0].toDouble() : l[1].toDouble();
                EXPECT_GT(at, 0);
                EXPECT_LT(at, vertical ? expected.miniatureWidth : expected.miniatureHeight);
            }
        }
    }
    EXPECT_NE(pane.gridPicker(QString::fromStdString(screens[0].id), 12),
              pane.gridPicker(QString::fromStdString(screens[1].id), 12));
    // An unknown id falls back to the first display.
    EXPECT_EQ(pane.gridPicker("nowhere", 12), pane.gridPicker(QString(), 12));
    // Counts the picker doesn't offer are not written.
    pane.setGridColumns(10);
    EXPECT_EQ(gridColumns(sim.defaults), 12);
    // One beyond int can't pose as an offered count once cut down.
    sim.defaults.set(prefs::gridColumns, std::int64_t{(1LL << 32) + 12});
    EXPECT_EQ(pane.gridColumns(), 0);
}

} // namespace
} // namespace tessera::test
