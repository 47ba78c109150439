// What the "Zones" page's view model does that its Qt Quick tests (tst_zones.qml,
// tst_zonecanvas.qml) can't see through the user's events: when it announces
// changes, the wiring to the store, the state and the hotkeys, ids it doesn't know, the language's
// number format, the desk without displays and a change the layouts file did not take.

#include "GeneralPaneModel.h"
#include "Preferences.h"
#include "QtTestSupport.h"
#include "ShortcutRecorderModel.h"
#include "SimShell.h"
#include "UndoViewModel.h"
#include "ZoneCanvasViewModel.h"
#include "ZonesPageModel.h"

#include "core/editor/ZoneEditor.h"
#include "core/editor/ZoneGrid.h"
#include "core/model/Screens.h"
#include "core/store/LayoutStore.h"
#include "core/ui/Overview.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessera::test {
namespace {

using shell::UndoViewModel;
using shell::ZonesPageModel;

constexpr int ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
constexpr std::uint32_t controlOption = 0x1800;
constexpr std::uint16_t kKey = 40;
constexpr std::uint16_t jKey = 38;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QString idText(const Uuid& id) {
    return text(id.string());
}

QVariantMap entry(const QVariantList& list, qsizetype index) {
    return list.at(index).toMap();
}

class ZonesPageTest : public ::testing::Test {
protected:
    ZonesPageTest() {
        sim.start();
        processEvents();
    }

    ZonesPageModel& page() { return sim.shell->zonesPage(); }
    UndoViewModel& undo() { return sim.shell->undo(); }
    LayoutStore& store() { return sim.state->store(); }
    ScreenInfo firstScreen() { return sim.state->screens().at(0); }

    Layout edited() { return *page().editor().editedLayout(); }
    const std::vector<Zone>& canvasZones() { return page().canvas().model().zones(); }

    // The state announces store changes through the scheduler; then the page's turn comes.
    void settle() {
        sim.scheduler.runPending();
        processEvents();
    }

    void setScreens(std::vector<SystemDisplay> screens) {
        sim.desktop.displays().setScreens(std::move(screens));
        settle();
    }

    // A layout of the store other than the edited one, with at least two zones.
    Layout otherLayout() {
        const auto editedID = edited().id;
        for (const auto& layout : store().layouts()) {
            if (layout.id != editedID && layout.zones.size() >= 2) {
                return layout;
            }
        }
        ADD_FAILURE() << "the store holds a single layout";
        return {};
    }

    SimShell sim;
};

// --- What the page shows ---

TEST_F(ZonesPageTest, EachDisplaysLayoutShowsOnItsGridInItsShapeAndInItsMiniature) {
    setScreens(simscreens::withPortrait());
    for (const auto& screen : sim.state->screens()) {
        SCOPED_TRACE(screen.name);
        page().chooseDisplay(text(screen.id));
        const auto layout = store().layoutFor(screen);
        EXPECT_EQ(sim.state->editorScreenID(), screen.id);
        EXPECT_EQ(page().layoutID(), idText(layout.id));
        EXPECT_EQ(page().monitorsText(), text(screen.name));
        EXPECT_EQ(canvasZones(), layout.zones);
        ASSERT_FALSE(layout.zones.empty());
        EXPECT_EQ(page().canvas().model().selectedID(), layout.zones.front().id);
        const auto grid = editorGrid(sim.defaults, screen);
        EXPECT_EQ(page().canvas().model().grid(), grid);
        EXPECT_EQ(page().gridTitle(), QString("Grid %1 × %2").arg(grid.columns).arg(grid.rows));
        EXPECT_DOUBLE_EQ(page().canvasAspect(), freeAreaAspect(screen));
    }
    EXPECT_TRUE(sim.state->screens().at(1).isPortrait());

    // The display button's miniature places the zones on the whole display, as the overview
    // does.
    const auto screen = firstScreen();
    const auto miniature = entry(page().screens(), 0);
    EXPECT_DOUBLE_EQ(miniature["aspect"].toDouble(), previewAspect(screen));
    const auto placed = previewZones(store().layoutFor(screen), screen, sim.localizer);
    const auto shown = miniature["zones"].toList();
    ASSERT_EQ(shown.size(), static_cast<qsizetype>(placed.size()));
    EXPECT_DOUBLE_EQ(entry(shown, 0)["y"].toDouble(), placed.front().y);
    EXPECT_DOUBLE_EQ(entry(shown, 0)["height"].toDouble(), placed.front().height);
}

TEST_F(ZonesPageTest, LayoutThumbnailsShowTheLayoutsOwnFractionsLargestFirst) {
    // Zones listed small first, so the thumbnail's order is visible.
    store().upsert(Layout{Uuid::random(),
                          "Desk",
                          {Zone{Uuid::random(), "Small", 0.8, 0.1, 0.1, 0.1, std::nullopt},
                           Zone{Uuid::random(), "Big", 0, 0, 0.7, 1, std::nullopt}}});
    processEvents();

    const auto cards = page().layouts();
    ASSERT_EQ(cards.size(), static_cast<qsizetype>(store().layouts().size()));
    const auto last = entry(cards, cards.size() - 1);
    EXPECT_EQ(last["name"].toString(), "Desk");
    const auto thumbnail = last["zones"].toList();
    ASSERT_EQ(thumbnail.size(), 2);
    // No panel insets applied.
    EXPECT_EQ(entry(thumbnail, 0)["name"].toString(), "Big");
    EXPECT_DOUBLE_EQ(entry(thumbnail, 0)["y"].toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(entry(thumbnail, 0)["height"].toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(entry(thumbnail, 1)["x"].toDouble(), 0.8);
}

// --- When the page announces changes ---

TEST_F(ZonesPageTest, AnnouncesItsOwnOperationsAtOnceAndChangesMadeElsewhereATurnLater) {
    QSignalSpy spy(&page(), &ZonesPageModel::changed);
    const auto before = edited().zones.size();
    page().addZone();
    // No turn of the event loop yet: the page and the canvas already show the new zone.
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(canvasZones().size(), before + 1);
    EXPECT_EQ(page().selectedZoneID(), idText(edited().zones.back().id));
    page().setShowsGridPicker(true);
    page().setShowsGridPicker(true);
    EXPECT_EQ(spy.count(), 2) << "the same value again changes nothing";

    auto layout = edited();
    layout.zones.push_back(Zone{Uuid::random(), "Extra", 0.1, 0.1, 0.2, 0.2, std::nullopt});
    EXPECT_GE(emissions(&page(), &ZonesPageModel::changed,
                        [&] {
                            sim.state->applyLayoutChange(layout, "Change", nullptr);
                            sim.scheduler.runPending();
                        }),
              1);
    EXPECT_EQ(canvasZones(), layout.zones);

    // Several changes in one turn make one update.
    const int revision = page().revision();
    EXPECT_EQ(emissions(&page(), &ZonesPageModel::changed,
                        [&] {
                            sim.shell->preferences().setInteger("gridColumns", 24);
                            sim.shell->preferences().setInteger("gridColumns", 4);
                        }),
              1);
    EXPECT_GT(page().revision(), revision);
    EXPECT_EQ(page().gridColumns(), 4);
    EXPECT_EQ(page().canvas().model().grid().columns, 4);

    // Other preferences leave the page alone.
    EXPECT_EQ(emissions(&page(), &ZonesPageModel::changed,
                        [&] { sim.shell->preferences().setBool("snapOnDrag", false); }),
              0);
}

TEST_F(ZonesPageTest, AChangeTheFileDidNotTakeIsShownAndTryAgainWritesIt) {
    const auto file = store().fileURL();
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    page().addZone();
    settle();
    EXPECT_TRUE(page().saveError().endsWith("it is a folder")) << page().saveError().toStdString();

    std::filesystem::remove(file);
    EXPECT_EQ(emissions(&page(), &ZonesPageModel::changed, [&] { page().saveAgain(); }), 1);
    EXPECT_EQ(page().saveError(), "");
    EXPECT_EQ(LayoutStore(file).layoutFor(firstScreen()), edited());
}

// --- Selection, layouts and displays ---

TEST_F(ZonesPageTest, SelectionStaysInsideTheEditedLayout) {
    const auto own = edited();
    const auto other = otherLayout();

    // A zone of another layout, or no id at all, is no selection.
    page().setSelectedZoneID(idText(other.zones.front().id));
    EXPECT_FALSE(page().hasSelection());
    EXPECT_EQ(page().exactSizeTexts(), QStringList({"", "", "", ""}));
    page().setSelectedZoneID(idText(own.zones.at(1).id));
    page().setSelectedZoneID("not an id");
    EXPECT_EQ(page().selectedZoneID(), "");

    page().setSelectedZoneID(idText(own.zones.at(1).id));
    page().chooseLayout(idText(other.id));
    EXPECT_EQ(page().selectedZoneID(), idText(other.zones.front().id));
    EXPECT_EQ(canvasZones(), other.zones);

    // The selected zone removed elsewhere: the first zone takes over a turn later.
    page().setSelectedZoneID(idText(other.zones.at(1).id));
    auto changed = other;
    changed.zones.erase(changed.zones.begin() + 1);
    sim.state->applyLayoutChange(changed, "Change", nullptr);
    settle();
    EXPECT_EQ(page().selectedZoneID(), idText(other.zones.front().id));

    // No selection chosen on the canvas survives unrelated changes of the state.
    page().canvas().model().callbacks.onSelectionChanged(std::nullopt);
    EXPECT_FALSE(page().hasSelection());
    sim.state->setPage(AppPage::settings);
    changed.zones.front().x = 0.01;
    sim.state->applyLayoutChange(changed, "Change", nullptr);
    settle();
    EXPECT_FALSE(page().hasSelection());
    EXPECT_FALSE(page().canvas().model().selectedID());
}

TEST_F(ZonesPageTest, IdsThePageDoesNotKnowChangeNothing) {
    const auto layouts = store().layouts();
    const auto assigned = store().layoutFor(firstScreen()).id;
    const auto layoutID = page().layoutID();
    page().setShowsPresets(true);

    page().chooseLayout(idText(Uuid::random()));
    page().chooseDisplay("no such display");
    page().duplicateLayout("garbage");
    page().requestLayoutDeletion(idText(Uuid::random()));
    EXPECT_FALSE(page().pickPreset("no such template"));
    settle();

    EXPECT_EQ(store().layouts(), layouts);
    EXPECT_EQ(store().layoutFor(firstScreen()).id, assigned);
    EXPECT_EQ(page().layoutID(), layoutID);
    EXPECT_EQ(page().editedScreenID(), text(firstScreen().id));
    EXPECT_FALSE(page().confirmsLayoutDeletion());
    EXPECT_TRUE(page().showsPresets()) << "the sheet stays open for another pick";
    EXPECT_FALSE(undo().canUndo());
}

// --- The zone's recorder ---

TEST_F(ZonesPageTest, RecordingSuspendsTheHotkeysUntilAShortcutOrAnotherSelectionEndsIt) {
    auto& recorder = page().zoneRecorderModel();
    const auto zones = edited().zones;
    const auto registered = sim.hotkeyPort.registrations().size();

    // Another selection ends the recording: the hotkeys are back and the keys reach nobody.
    recorder.click();
    ASSERT_TRUE(recorder.listening());
    EXPECT_TRUE(sim.hotkeyPort.registrations().empty());
    page().setSelectedZoneID(idText(zones.at(1).id));
    EXPECT_FALSE(recorder.listening());
    EXPECT_EQ(sim.hotkeyPort.registrations().size(), registered);
    EXPECT_FALSE(recorder.keyPressed(Qt::Key_J, 0, ctrlAlt));
    EXPECT_EQ(edited().zones, zones);
    EXPECT_FALSE(sim.hotkeyPort.registeredID(jKey, controlOption));
    EXPECT_FALSE(undo().canUndo());

    // A recorded shortcut is stored with the selected zone and registered at once.
    recorder.click();
    EXPECT_TRUE(sim.hotkeyPort.registrations().empty()) << "suspended while listening";
    EXPECT_TRUE(recorder.keyPressed(Qt::Key_K, 0, ctrlAlt));
    processEvents();
    EXPECT_FALSE(recorder.listening());
    const auto stored = edited().zones.at(1);
    ASSERT_EQ(stored.id, zones.at(1).id);
    ASSERT_TRUE(stored.shortcut);
    EXPECT_EQ(stored.shortcut->keyCode, kKey);
    EXPECT_EQ(stored.shortcut->carbonModifiers, controlOption);
    EXPECT_TRUE(sim.hotkeyPort.registeredID(kKey, controlOption));
}

// --- Exact size in another language ---

TEST(ZonesPageLanguage, ExactSizeTextsUseTheLanguagesDecimalComma) {
    SimShell sim({.language = "de"});
    sim.start();
    processEvents();
    auto& page = sim.shell->zonesPage();
    ASSERT_TRUE(page.hasSelection());
    const auto zoneID = *page.editor().selectedZoneID();

    EXPECT_TRUE(page.setExactSizeText(2, "33,33"));
    const auto stored = page.editor().selectedZone();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->id, zoneID);
    EXPECT_NEAR(stored->width, 0.3333, 1e-9);
    EXPECT_EQ(page.exactSizeTexts().at(2), "33,3%");

    // The English separator is no number here, and an unknown field changes nothing.
    EXPECT_FALSE(page.setExactSizeText(2, "50.5"));
    EXPECT_FALSE(page.setExactSizeText(7, "50"));
    EXPECT_EQ(page.exactSizeTexts().at(2), "33,3%");

    const double left = page.editor().selectedZone()->x;
    page.stepExactSize(0, true);
    EXPECT_NEAR(page.editor().selectedZone()->x, left + 0.05, 1e-12);
    EXPECT_EQ(page.exactSizeTexts().at(0),
              QString::fromStdString(formatPercent(left + 0.05, "de")) + "%");
    page.stepExactSize(-1, true);
    EXPECT_NEAR(page.editor().selectedZone()->x, left + 0.05, 1e-12);
}

// --- Undo history and the empty desk ---

TEST_F(ZonesPageTest, AnImportDropsTheStatesUndoSteps) {
    const auto file = QString::fromStdString((sim.temp.path() / "backup.json").string());
    auto& general = sim.shell->generalPane();
    ASSERT_TRUE(general.exportTo(file));
    page().addZone();
    ASSERT_TRUE(undo().canUndo());

    ASSERT_TRUE(general.readBackupFile(file));
    general.confirmImport();
    EXPECT_FALSE(undo().canUndo());
    settle();
    EXPECT_EQ(canvasZones(), edited().zones);
}

TEST_F(ZonesPageTest, WithoutDisplaysTheFirstStoredLayoutIsEdited) {
    setScreens({});
    const auto first = store().layouts().front();

    EXPECT_TRUE(page().screens().isEmpty());
    EXPECT_EQ(page().editedScreenID(), "");
    EXPECT_EQ(page().layoutID(), idText(first.id));
    EXPECT_EQ(canvasZones(), first.zones);
    EXPECT_EQ(page().monitorsText(), "not in use");
    EXPECT_EQ(page().gridTitle(), QString("Grid 12 × %1").arg(editorGrid(12, std::nullopt).rows));
    EXPECT_DOUBLE_EQ(page().canvasAspect(), defaultGridAspect);
    const auto gallery = page().presetGallery();
    EXPECT_EQ(gallery["screenID"].toString(), "");
    EXPECT_EQ(entry(gallery["sections"].toList(), 0)["orientation"].toString(), "horizontal");

    // Without a zone selected, the recorder and the zone fields have nothing to write to.
    page().clearZones();
    EXPECT_FALSE(page().hasSelection());
    EXPECT_EQ(page().exactSizeTexts(), QStringList({"", "", "", ""}));
    page().zoneRecorderModel().click();
    page().zoneRecorderModel().keyPressed(Qt::Key_K, 0, ctrlAlt);
    EXPECT_FALSE(page().setExactSizeText(0, "10"));
    page().stepExactSize(0, true);
    page().renameZone("Nothing");
    page().splitZone({}, true);
    page().deleteZone({});
    settle();
    EXPECT_TRUE(edited().zones.empty());
    EXPECT_EQ(undo().undoActionName(), "Clear Zones") << "no further step";

    // A template picked without a display is stored, and the page keeps editing the first one.
    EXPECT_TRUE(page().pickPreset("halves"));
    EXPECT_EQ(store().layouts().back().name, "Halves");
    EXPECT_EQ(page().layoutID(), idText(first.id));
}

} // namespace
} // namespace tessera::test
