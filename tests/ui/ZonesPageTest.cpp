// What the "Zones" page's view model does that its Qt Quick tests (tst_zones.qml,
// tst_zonecanvas.qml) can't see through the user's events: when it announces
// changes, the wiring to the store, the state and the hotkeys, ids it doesn't know, the language's
// number format, the desk without displays and a change the layouts file did not take.

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

// Which layout each display shows, and the canvas's grid: tst_zones.qml.
TEST_F(ZonesPageTest, APortraitDisplaysCanvasTakesItsShapeAndCardsShowTheirOwnFractions) {
    setScreens(simscreens::withPortrait());
    const auto portrait = sim.state->screens().at(1);
    page().chooseDisplay(text(portrait.id));
    EXPECT_DOUBLE_EQ(page().canvasAspect(), freeAreaAspect(portrait));
    EXPECT_LT(page().canvasAspect(), 1);

    // A card's thumbnail: the layout's own fractions, no panel insets, the largest zone first.
    store().upsert(Layout{Uuid::random(),
                          "Desk",
                          {Zone{Uuid::random(), "Small", 0.8, 0.1, 0.1, 0.1, std::nullopt},
                           Zone{Uuid::random(), "Big", 0, 0, 0.7, 1, std::nullopt}}});
    processEvents();
    const auto cards = page().layouts();
    const auto thumbnail = entry(cards, cards.size() - 1)["zones"].toList();
    ASSERT_EQ(thumbnail.size(), 2);
    EXPECT_EQ(entry(thumbnail, 0)["name"].toString(), "Big");
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

// Suspending the hotkeys while a recorder listens: KeyboardPaneTest.
TEST_F(ZonesPageTest, TheZonesRecorderStopsAtAnotherSelectionAndRegistersWhatItRecords) {
    auto& recorder = page().zoneRecorderModel();
    const auto zones = edited().zones;
    const auto registered = sim.hotkeyPort.registrations().size();
    recorder.click();
    ASSERT_TRUE(recorder.listening());
    page().setSelectedZoneID(idText(zones.at(1).id));
    EXPECT_FALSE(recorder.listening());
    EXPECT_EQ(sim.hotkeyPort.registrations().size(), registered);
    EXPECT_FALSE(recorder.keyPressed(Qt::Key_J, 0, ctrlAlt)) << "the keys reach nobody";
    EXPECT_EQ(edited().zones, zones);

    recorder.click();
    EXPECT_TRUE(recorder.keyPressed(Qt::Key_K, 0, ctrlAlt));
    processEvents();
    const auto stored = edited().zones.at(1);
    ASSERT_TRUE(stored.shortcut);
    EXPECT_EQ(stored.shortcut->keyCode, kKey);
    EXPECT_EQ(stored.shortcut->carbonModifiers, controlOption);
    EXPECT_TRUE(sim.hotkeyPort.registeredID(kKey, controlOption));
}

TEST(ZonesPageLanguage, ExactSizeTextsUseTheLanguagesDecimalComma) {
    SimShell sim({.language = "de"});
    sim.start();
    processEvents();
    auto& page = sim.shell->zonesPage();
    ASSERT_TRUE(page.hasSelection());
    EXPECT_TRUE(page.setExactSizeText(2, "33,33"));
    EXPECT_NEAR(page.editor().selectedZone()->width, 0.3333, 1e-9);
    EXPECT_EQ(page.exactSizeTexts().at(2), "33,3%");
    // The English separator is no number here, and an unknown field changes nothing.
    EXPECT_FALSE(page.setExactSizeText(2, "50.5"));
    EXPECT_FALSE(page.setExactSizeText(7, "50"));
    EXPECT_EQ(page.exactSizeTexts().at(2), "33,3%");
    page.stepExactSize(-1, true);
    EXPECT_NEAR(page.editor().selectedZone()->width, 0.3333, 1e-9);
}

TEST_F(ZonesPageTest, WithoutDisplaysTheFirstStoredLayoutIsEdited) {
    setScreens({});
    const auto first = store().layouts().front();

    EXPECT_TRUE(page().screens().isEmpty());
    EXPECT_EQ(page().editedScreenID(), "");
    EXPECT_EQ(page().layoutID(), idText(first.id));
    EXPECT_EQ(canvasZones(), first.zones);
    EXPECT_EQ(page().monitorsText(), "not in use");
    EXPECT_DOUBLE_EQ(page().canvasAspect(), defaultGridAspect);

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
