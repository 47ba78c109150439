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

TEST(WindowsPaneModel, NoGapAtEdgesCannotChangeWithoutAGapAndKeepsItsValue) {
    SimShell sim;
    sim.start();
    auto& pane = sim.shell->windowsPane();
    sim.defaults.set(prefs::tightEdges, true);

    ASSERT_EQ(pane.windowGap(), 0);
    EXPECT_FALSE(pane.tightEdgesEnabled());
    EXPECT_TRUE(pane.tightEdges());
    pane.setTightEdges(false);
    EXPECT_TRUE(preferenceBool(sim.defaults, prefs::tightEdges));

    pane.setWindowGap(4);
    EXPECT_TRUE(pane.tightEdgesEnabled());
    pane.setTightEdges(false);
    EXPECT_FALSE(preferenceBool(sim.defaults, prefs::tightEdges));

    // Back to no gap: the choice is kept and can't be touched.
    pane.setWindowGap(0);
    EXPECT_FALSE(pane.tightEdgesEnabled());
    pane.setTightEdges(true);
    EXPECT_FALSE(preferenceBool(sim.defaults, prefs::tightEdges));

    // A negative gap written by hand is no gap either.
    sim.defaults.set(prefs::windowGap, -6.0);
    EXPECT_FALSE(pane.tightEdgesEnabled());
}

TEST(WindowsPaneModel, GapStepperWritesWholeStepsWithinItsRange) {
    SimShell sim;
    sim.start();
    auto& pane = sim.shell->windowsPane();

    pane.setWindowGap(7);
    EXPECT_EQ(storedDouble(sim, prefs::windowGap), 8);
    EXPECT_EQ(pane.windowGapText(), "8 pt");
    pane.setWindowGap(100);
    EXPECT_EQ(storedDouble(sim, prefs::windowGap), 40);
    EXPECT_EQ(pane.windowGapText(), "40 pt");
    pane.setWindowGap(-10);
    EXPECT_EQ(storedDouble(sim, prefs::windowGap), 0);

    // A hand-edited value shows as the nearest value the stepper can reach.
    sim.defaults.set(prefs::windowGap, 55.0);
    EXPECT_EQ(pane.windowGap(), 40);
    EXPECT_EQ(pane.formatWindowGap(12), "12 pt");

    // The picture separates the two windows by the gap the mover would leave.
    pane.setWindowGap(20);
    const auto preview = pane.gapPreview();
    const auto left = preview["left"].toMap();
    const auto right = preview["right"].toMap();
    EXPECT_EQ(right["x"].toDouble() - (left["x"].toDouble() + left["width"].toDouble()), 20);
    EXPECT_EQ(left["x"].toDouble(), 20);
    sim.defaults.set(prefs::tightEdges, true);
    EXPECT_EQ(pane.gapPreview()["left"].toMap()["x"].toDouble(), 0);
}

TEST(WindowsPaneModel, CardPreviewFollowsTheCardScaleAsTheOverlayDrawsIt) {
    SimShell sim;
    sim.start();
    auto& pane = sim.shell->windowsPane();
    const auto& overlay = sim.state->overlay();
    const auto drawn = [&] {
        const auto size = overlay.cardSize(cardPreviewZone.width, cardPreviewZone.height);
        return QSizeF(size.width, size.height);
    };

    EXPECT_EQ(pane.cardScale(), 100);
    EXPECT_EQ(pane.cardScaleText(), "100%");
    EXPECT_EQ(pane.cardPreviewSize(), drawn());
    QSizeF previous;
    for (int percent = 60; percent <= 160; percent += 10) {
        pane.setCardScale(percent);
        EXPECT_EQ(storedDouble(sim, prefs::cardScale), percent);
        EXPECT_EQ(pane.cardPreviewSize(), drawn()) << percent;
        EXPECT_GT(pane.cardPreviewSize().width(), previous.width()) << percent;
        previous = pane.cardPreviewSize();
    }
    EXPECT_EQ(pane.cardPreviewMaximumSize(), previous);

    pane.setCardScale(104);
    EXPECT_EQ(storedDouble(sim, prefs::cardScale), 100);
    pane.setCardScale(1000);
    EXPECT_EQ(storedDouble(sim, prefs::cardScale), 160);

    // Stored out of range by hand: shown as the overlay uses it.
    sim.defaults.set(prefs::cardScale, 10.0);
    EXPECT_EQ(pane.cardScale(), 60);
    EXPECT_EQ(pane.cardScaleText(), "60%");
    EXPECT_EQ(pane.cardPreviewSize(), drawn());
}

TEST(WindowsPaneModel, GridPickerShowsTheDisplaysTilesAndWritesTheColumns) {
    SimShell sim;
    sim.start();
    auto& pane = sim.shell->windowsPane();
    const auto& screen = sim.state->screens().front();
    const auto expected = gridPickerModel(screen, 12);

    const auto picker = pane.gridPicker(QString(), pane.gridColumns());
    EXPECT_EQ(picker["miniatureHeight"].toDouble(), expected.miniatureHeight);
    const auto tiles = picker["tiles"].toList();
    ASSERT_EQ(tiles.size(), 6);
    for (qsizetype i = 0; i < tiles.size(); ++i) {
        const auto tile = tiles[i].toMap();
        const auto& core = expected.tiles[static_cast<std::size_t>(i)];
        EXPECT_EQ(tile["columns"].toInt(), core.columns);
        EXPECT_EQ(tile["title"].toString().toStdString(), core.title);
        EXPECT_EQ(tile["selected"].toBool(), core.columns == 12);
        // Every inner line once, none on the border of the miniature.
        const auto lines = tile["lines"].toList();
        EXPECT_EQ(lines.size(), core.grid.columns - 1 + core.grid.rows - 1);
        for (const auto& line : lines) {
            const auto l = line.toList();
            const bool vertical = l[0].toDouble() == l[2].toDouble();
            const double at = vertical ? l[0].toDouble() : l[1].toDouble();
            const double end = vertical ? expected.miniatureWidth : expected.miniatureHeight;
            EXPECT_GT(at, 0);
            EXPECT_LT(at, end);
        }
    }

    EXPECT_EQ(emissions(&pane, &shell::WindowsPaneModel::changed, [&] { pane.setGridColumns(16); }),
              1);
    EXPECT_EQ(gridColumns(sim.defaults), 16);
    EXPECT_EQ(pane.gridColumns(), 16);
    // Counts the picker doesn't offer are not written.
    pane.setGridColumns(10);
    pane.setGridColumns(0);
    EXPECT_EQ(gridColumns(sim.defaults), 16);

    // A count stored by hand that isn't offered selects no tile.
    sim.defaults.set(prefs::gridColumns, std::int64_t{10});
    for (const auto& tile : pane.gridPicker(QString(), pane.gridColumns())["tiles"].toList()) {
        EXPECT_FALSE(tile.toMap()["selected"].toBool());
    }
    // One beyond int can't pose as an offered count once cut down.
    sim.defaults.set(prefs::gridColumns, std::int64_t{(1LL << 32) + 12});
    EXPECT_EQ(pane.gridColumns(), 0);
}

TEST(WindowsPaneModel, GridPickerFollowsTheNamedDisplaysShape) {
    SimShell sim;
    sim.start();
    auto& pane = sim.shell->windowsPane();
    EXPECT_EQ(emissions(&pane, &shell::WindowsPaneModel::changed,
                        [&] { sim.desktop.displays().setScreens(simscreens::sideBySide()); }),
              1);
    const auto& screens = sim.state->screens();
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_NE(pane.gridPicker(QString::fromStdString(screens[0].id), 12),
              pane.gridPicker(QString::fromStdString(screens[1].id), 12));
    for (const auto& screen : screens) {
        const auto picker = pane.gridPicker(QString::fromStdString(screen.id), 12);
        EXPECT_EQ(picker["miniatureHeight"].toDouble(),
                  gridPickerModel(screen, 12).miniatureHeight);
    }
    // An unknown id falls back to the first display.
    EXPECT_EQ(pane.gridPicker("nowhere", 12), pane.gridPicker(QString(), 12));
}

TEST(WindowsPaneModel, AnnouncesChangesMadeElsewhere) {
    SimShell sim;
    sim.start();
    auto& pane = sim.shell->windowsPane();
    auto& preferences = sim.shell->preferences();
    const int before = pane.revision();
    EXPECT_EQ(emissions(&pane, &shell::WindowsPaneModel::changed,
                        [&] { preferences.setDouble("windowGap", 6); }),
              1);
    EXPECT_EQ(pane.windowGapText(), "6 pt");
    EXPECT_GT(pane.revision(), before);
    // Writing the value the control already shows changes nothing.
    EXPECT_EQ(emissions(&pane, &shell::WindowsPaneModel::changed, [&] { pane.setWindowGap(6); }),
              0);
}

} // namespace
} // namespace tessera::test
