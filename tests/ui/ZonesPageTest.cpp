#include "GeneralPaneModel.h"
#include "Preferences.h"
#include "QtTestSupport.h"
#include "ShortcutRecorderModel.h"
#include "SimShell.h"
#include "UndoViewModel.h"
#include "ZoneCanvasViewModel.h"
#include "ZonesPageModel.h"

#include "core/drag/DragOverlayController.h"
#include "core/editor/ZoneEditor.h"
#include "core/editor/ZoneGrid.h"
#include "core/model/Screens.h"
#include "core/store/LayoutStore.h"
#include "core/store/Templates.h"
#include "core/ui/Overview.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace tessera::test {
namespace {

using shell::ShortcutRecorderModel;
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

    Layout edited() { return *page().editor().editedLayout(); }
    const std::vector<Zone>& canvasZones() { return page().canvas().model().zones(); }

    std::optional<Zone> storedZone(const Uuid& zoneID) {
        for (const auto& layout : store().layouts()) {
            for (const auto& zone : layout.zones) {
                if (zone.id == zoneID) {
                    return zone;
                }
            }
        }
        return std::nullopt;
    }

    // The state announces store changes through the scheduler; then the page's turn comes.
    void settle() {
        sim.scheduler.runPending();
        processEvents();
    }

    void setScreens(std::vector<SystemDisplay> screens) {
        sim.desktop.displays().setScreens(std::move(screens));
        sim.scheduler.runPending();
        processEvents();
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

TEST_F(ZonesPageTest, ShowsTheFirstDisplaysLayoutOnTheCanvasWithItsFirstZoneSelected) {
    const auto screen = sim.state->screens().at(0);
    const auto layout = store().layoutFor(screen);

    EXPECT_EQ(page().title(), "Zones");
    EXPECT_EQ(page().editedScreenID(), text(screen.id));
    EXPECT_TRUE(page().hasLayout());
    EXPECT_EQ(page().layoutID(), idText(layout.id));
    EXPECT_EQ(canvasZones(), layout.zones);
    ASSERT_FALSE(layout.zones.empty());
    EXPECT_EQ(page().selectedZoneID(), idText(layout.zones.front().id));
    EXPECT_EQ(page().canvas().model().selectedID(), layout.zones.front().id);
    EXPECT_TRUE(page().hasSelection());
    EXPECT_EQ(page().zoneName(), text(page().editor().displayName(layout.zones.front())));

    const auto grid = editorGrid(sim.defaults, screen);
    EXPECT_EQ(page().gridColumns(), grid.columns);
    EXPECT_EQ(page().gridRows(), grid.rows);
    EXPECT_EQ(page().gridTitle(), QString("Grid %1 × %2").arg(grid.columns).arg(grid.rows));
    EXPECT_EQ(page().canvas().model().grid(), grid);
    EXPECT_DOUBLE_EQ(page().canvasAspect(), freeAreaAspect(screen));

    const auto screens = page().screens();
    ASSERT_EQ(screens.size(), 1);
    const auto miniature = entry(screens, 0);
    EXPECT_EQ(miniature["id"].toString(), text(screen.id));
    EXPECT_EQ(miniature["name"].toString(), text(screen.name));
    EXPECT_TRUE(miniature["selected"].toBool());
    EXPECT_DOUBLE_EQ(miniature["aspect"].toDouble(), previewAspect(screen));
    // The miniature places the zones on the whole display, as the overview does.
    const auto placed = previewZones(layout, screen, sim.localizer);
    const auto shownZones = miniature["zones"].toList();
    ASSERT_EQ(shownZones.size(), static_cast<qsizetype>(placed.size()));
    EXPECT_DOUBLE_EQ(entry(shownZones, 0)["y"].toDouble(), placed.front().y);
    EXPECT_DOUBLE_EQ(entry(shownZones, 0)["height"].toDouble(), placed.front().height);
}

TEST_F(ZonesPageTest, LayoutCardsFollowTheStoreWithThumbnailsOfTheirOwnZonesLargestFirst) {
    // Zones listed small first, so the thumbnail's order is visible.
    const Layout custom{Uuid::random(),
                        "Desk",
                        {Zone{Uuid::random(), "Small", 0.8, 0.1, 0.1, 0.1, std::nullopt},
                         Zone{Uuid::random(), "Big", 0, 0, 0.7, 1, std::nullopt}}};
    store().upsert(custom);
    processEvents();

    const auto cards = page().layouts();
    ASSERT_EQ(cards.size(), static_cast<qsizetype>(store().layouts().size()));
    int selected = 0;
    for (qsizetype i = 0; i < cards.size(); ++i) {
        const auto card = entry(cards, i);
        const auto& layout = store().layouts().at(static_cast<std::size_t>(i));
        EXPECT_EQ(card["id"].toString(), idText(layout.id));
        EXPECT_EQ(card["name"].toString(), text(page().editor().displayName(layout)));
        EXPECT_EQ(card["zones"].toList().size(), static_cast<qsizetype>(layout.zones.size()));
        if (card["selected"].toBool()) {
            ++selected;
            EXPECT_EQ(card["id"].toString(), page().layoutID());
        }
    }
    EXPECT_EQ(selected, 1);

    const auto last = entry(cards, cards.size() - 1);
    EXPECT_EQ(last["name"].toString(), "Desk");
    const auto thumbnail = last["zones"].toList();
    ASSERT_EQ(thumbnail.size(), 2);
    // The layout's own fractions: no panel insets applied.
    EXPECT_EQ(entry(thumbnail, 0)["name"].toString(), "Big");
    EXPECT_DOUBLE_EQ(entry(thumbnail, 0)["y"].toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(entry(thumbnail, 0)["height"].toDouble(), 1.0);
    EXPECT_EQ(entry(thumbnail, 1)["name"].toString(), "Small");
    EXPECT_DOUBLE_EQ(entry(thumbnail, 1)["x"].toDouble(), 0.8);
}

// --- Following changes made elsewhere ---

TEST_F(ZonesPageTest, FollowsStoreAndGridChangesMadeElsewhereATurnLater) {
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
    EXPECT_TRUE(page().gridTitle().startsWith("Grid 4 × "));

    // Other preferences leave the page alone.
    EXPECT_EQ(emissions(&page(), &ZonesPageModel::changed,
                        [&] { sim.shell->preferences().setBool("snapOnDrag", false); }),
              0);
}

TEST_F(ZonesPageTest, OperationsAnnounceAtOnce) {
    QSignalSpy spy(&page(), &ZonesPageModel::changed);
    const auto before = edited().zones.size();
    page().addZone();
    // No turn of the event loop yet: the page and the canvas already show the new zone.
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(canvasZones().size(), before + 1);
    EXPECT_EQ(page().selectedZoneID(), idText(edited().zones.back().id));

    page().setShowsPresets(true);
    EXPECT_TRUE(page().showsPresets());
    page().setShowsGridPicker(true);
    EXPECT_TRUE(page().showsGridPicker());
    EXPECT_EQ(spy.count(), 3);
    page().setShowsGridPicker(true);
    EXPECT_EQ(spy.count(), 3) << "nothing changed";
}

// --- Undo steps ---

TEST_F(ZonesPageTest, EveryZoneOperationIsAnUndoStepNamedInTheEditMenu) {
    const auto original = edited();
    ASSERT_GE(original.zones.size(), 2u);

    page().addZone();
    EXPECT_EQ(undo().undoActionName(), "Add Zone");
    EXPECT_EQ(undo().undoTitle(), "Undo Add Zone");

    page().splitZone({}, true);
    EXPECT_EQ(undo().undoActionName(), "Split Zone");

    page().deleteZone(idText(original.zones.front().id));
    EXPECT_EQ(undo().undoActionName(), "Delete Zone");
    EXPECT_FALSE(storedZone(original.zones.front().id));

    EXPECT_TRUE(page().setExactSizeText(2, "37.5"));
    EXPECT_EQ(undo().undoActionName(), "Edit Zone");

    // The canvas's own edits go through its callbacks.
    const auto& callbacks = page().canvas().model().callbacks;
    auto moved = canvasZones();
    moved.front().x = 0.05;
    callbacks.onBeginEdit();
    callbacks.onZonesChanged(moved);
    EXPECT_EQ(undo().undoActionName(), "Edit Zone");
    EXPECT_EQ(undo().undoTitle(), "Undo Edit Zone");
    EXPECT_EQ(edited().zones, moved);
    EXPECT_EQ(canvasZones(), moved);

    EXPECT_TRUE(page().canClear());
    page().clearZones();
    EXPECT_EQ(undo().undoActionName(), "Clear Zones");
    EXPECT_FALSE(page().canClear());
    EXPECT_FALSE(page().hasSelection());
    EXPECT_TRUE(canvasZones().empty());

    // Undoing goes through the store; the page and the canvas follow a turn later.
    EXPECT_GE(emissions(&page(), &ZonesPageModel::changed,
                        [&] {
                            EXPECT_TRUE(undo().undo());
                            sim.scheduler.runPending();
                        }),
              1);
    EXPECT_EQ(canvasZones(), moved);
    EXPECT_EQ(undo().redoActionName(), "Clear Zones");
    EXPECT_TRUE(page().hasSelection());

    while (undo().canUndo()) {
        undo().undo();
    }
    settle();
    EXPECT_EQ(edited(), original);
    EXPECT_EQ(canvasZones(), original.zones);
}

TEST_F(ZonesPageTest, CanvasGesturesReachTheEditor) {
    const auto& callbacks = page().canvas().model().callbacks;
    const auto before = edited();
    const auto second = before.zones.at(1);

    callbacks.onSelectionChanged(second.id);
    EXPECT_EQ(page().selectedZoneID(), idText(second.id));
    EXPECT_EQ(page().zoneName(), text(page().editor().displayName(second)));

    callbacks.onSplit(second, false);
    EXPECT_EQ(undo().undoActionName(), "Split Zone");
    EXPECT_EQ(edited().zones.size(), before.zones.size() + 1);
    EXPECT_EQ(page().canvas().model().selectedID(), edited().zones.at(1).id);

    callbacks.onDelete(edited().zones.at(1));
    EXPECT_EQ(undo().undoActionName(), "Delete Zone");
    EXPECT_EQ(canvasZones(), edited().zones);

    const Zone drawn{Uuid::random(), "", 0.5, 0.5, 0.25, 0.25, std::nullopt};
    callbacks.onCreate(drawn);
    EXPECT_EQ(undo().undoActionName(), "Add Zone");
    const auto created = edited().zones.back();
    EXPECT_DOUBLE_EQ(created.x, 0.5);
    EXPECT_EQ(page().selectedZoneID(), idText(created.id));
    EXPECT_EQ(page().canvas().model().selectedID(), created.id);
}

// --- Selection ---

TEST_F(ZonesPageTest, SelectionStaysInsideTheEditedLayout) {
    const auto own = edited();
    const auto other = otherLayout();

    page().setSelectedZoneID(idText(own.zones.at(1).id));
    EXPECT_EQ(page().selectedZoneID(), idText(own.zones.at(1).id));
    // A zone of another layout, or no id at all, is no selection.
    page().setSelectedZoneID(idText(other.zones.front().id));
    EXPECT_EQ(page().selectedZoneID(), "");
    EXPECT_FALSE(page().hasSelection());
    EXPECT_EQ(page().exactSizeTexts(), QStringList({"", "", "", ""}));
    page().setSelectedZoneID("not an id");
    EXPECT_EQ(page().selectedZoneID(), "");

    page().setSelectedZoneID(idText(own.zones.at(1).id));
    page().chooseLayout(idText(other.id));
    EXPECT_EQ(page().layoutID(), idText(other.id));
    EXPECT_EQ(page().selectedZoneID(), idText(other.zones.front().id));
    EXPECT_EQ(canvasZones(), other.zones);
    EXPECT_FALSE(undo().canUndo()) << "choosing a layout is no undo step";

    // An unknown layout is never assigned.
    page().chooseLayout(idText(Uuid::random()));
    EXPECT_EQ(page().layoutID(), idText(other.id));

    // The selected zone removed elsewhere: the first zone takes over a turn later.
    page().setSelectedZoneID(idText(other.zones.at(1).id));
    auto changed = other;
    changed.zones.erase(changed.zones.begin() + 1);
    sim.state->applyLayoutChange(changed, "Change", nullptr);
    settle();
    EXPECT_EQ(page().selectedZoneID(), idText(other.zones.front().id));
}

TEST_F(ZonesPageTest, NoSelectionChosenOnTheCanvasStaysUntilAnotherLayoutIsShown) {
    const auto& callbacks = page().canvas().model().callbacks;
    callbacks.onSelectionChanged(std::nullopt);
    EXPECT_FALSE(page().hasSelection());
    EXPECT_EQ(page().zoneName(), "");

    // Unrelated changes of the state leave it so.
    sim.state->setPage(AppPage::settings);
    auto layout = edited();
    layout.zones.front().x = 0.01;
    sim.state->applyLayoutChange(layout, "Change", nullptr);
    settle();
    EXPECT_FALSE(page().hasSelection());

    const auto other = otherLayout();
    page().chooseLayout(idText(other.id));
    EXPECT_EQ(page().selectedZoneID(), idText(other.zones.front().id));
}

TEST_F(ZonesPageTest, ChoosingADisplayEditsItsLayout) {
    setScreens(simscreens::withPortrait());
    const auto portrait = sim.state->screens().at(1);
    ASSERT_TRUE(portrait.isPortrait());

    page().chooseDisplay(text(portrait.id));
    EXPECT_EQ(page().editedScreenID(), text(portrait.id));
    EXPECT_EQ(sim.state->editorScreenID(), portrait.id);
    EXPECT_EQ(page().layoutID(), idText(store().layoutFor(portrait).id));
    EXPECT_DOUBLE_EQ(page().canvasAspect(), freeAreaAspect(portrait));
    EXPECT_EQ(page().canvas().model().grid(), editorGrid(sim.defaults, portrait));
    const auto screens = page().screens();
    ASSERT_EQ(screens.size(), 2);
    EXPECT_FALSE(entry(screens, 0)["selected"].toBool());
    EXPECT_TRUE(entry(screens, 1)["selected"].toBool());

    page().chooseDisplay("no such display");
    EXPECT_EQ(page().editedScreenID(), text(portrait.id));
}

// --- The zone's recorder ---

TEST_F(ZonesPageTest, RecorderWritesTheSelectedZonesShortcutAndRegistersIt) {
    auto& recorder = page().zoneRecorderModel();
    EXPECT_EQ(page().zoneRecorder(), &recorder);
    const auto zone = edited().zones.at(1);
    page().setSelectedZoneID(idText(zone.id));
    EXPECT_EQ(recorder.label(), "Record");

    recorder.click();
    EXPECT_TRUE(recorder.listening());
    EXPECT_TRUE(sim.hotkeyPort.registrations().empty()) << "suspended while listening";
    EXPECT_TRUE(recorder.keyPressed(Qt::Key_K, 0, ctrlAlt));
    processEvents();

    EXPECT_FALSE(recorder.listening());
    const auto stored = storedZone(zone.id);
    ASSERT_TRUE(stored && stored->shortcut);
    EXPECT_EQ(stored->shortcut->keyCode, kKey);
    EXPECT_EQ(stored->shortcut->carbonModifiers, controlOption);
    EXPECT_EQ(undo().undoActionName(), "Shortcut");
    EXPECT_TRUE(sim.hotkeyPort.registeredID(kKey, controlOption));
    EXPECT_TRUE(recorder.labelIsCombo());
    EXPECT_EQ(page().zoneConflictMessage(), "");

    // Another zone taking the same keys: both see the clash.
    const auto first = edited().zones.front();
    page().setSelectedZoneID(idText(first.id));
    EXPECT_EQ(recorder.label(), "Record") << "the recorder follows the selection";
    recorder.click();
    recorder.keyPressed(Qt::Key_K, 0, ctrlAlt);
    EXPECT_TRUE(page().zoneConflictMessage().startsWith("Already used by “"));
    EXPECT_TRUE(page().zoneConflictMessage().contains(text(page().editor().displayName(zone))));

    // Removing the shortcut ends the clash; undo brings it back.
    recorder.removeShortcut();
    EXPECT_FALSE(storedZone(first.id)->shortcut);
    EXPECT_EQ(page().zoneConflictMessage(), "");
    undo().undo();
    settle();
    EXPECT_TRUE(storedZone(first.id)->shortcut);
    EXPECT_FALSE(page().zoneConflictMessage().isEmpty());
}

TEST_F(ZonesPageTest, AnotherSelectionEndsTheRecordingWithoutChangingAShortcut) {
    auto& recorder = page().zoneRecorderModel();
    const auto zones = edited().zones;
    const auto registered = sim.hotkeyPort.registrations().size();

    recorder.click();
    ASSERT_TRUE(recorder.listening());
    page().setSelectedZoneID(idText(zones.at(1).id));
    EXPECT_FALSE(recorder.listening());
    EXPECT_EQ(sim.hotkeyPort.registrations().size(), registered) << "the hotkeys are back";

    // The key press now reaches nobody, and no zone got it.
    EXPECT_FALSE(recorder.keyPressed(Qt::Key_J, 0, ctrlAlt));
    EXPECT_EQ(edited().zones, zones);
    EXPECT_FALSE(sim.hotkeyPort.registeredID(jKey, controlOption));
    EXPECT_FALSE(undo().canUndo());
}

// --- Exact size, renaming ---

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
    EXPECT_NEAR(stored->width, 0.3333, 1e-9);
    EXPECT_EQ(page.exactSizeTexts().at(2), "33,3%");
    EXPECT_NEAR(page.exactSizeValues().at(2).toDouble(), 33.33, 1e-9);
    EXPECT_EQ(stored->id, zoneID);

    // The English separator is no number here, and an unknown field changes nothing.
    EXPECT_FALSE(page.setExactSizeText(2, "50.5"));
    EXPECT_FALSE(page.setExactSizeText(7, "50"));
    EXPECT_EQ(page.exactSizeTexts().at(2), "33,3%");

    page.setExactSizeValue(0, 10);
    EXPECT_EQ(page.exactSizeTexts().at(0), "10%");
    page.setExactSizeValue(-1, 40);
    EXPECT_NEAR(page.editor().selectedZone()->x, 0.1, 1e-12);
}

TEST_F(ZonesPageTest, RenamingStoresNamesWithoutUndoSteps) {
    page().renameZone("Browser");
    EXPECT_EQ(page().zoneName(), "Browser");
    EXPECT_EQ(storedZone(*page().editor().selectedZoneID())->name, "Browser");
    page().renameLayout("Studio");
    EXPECT_EQ(page().layoutName(), "Studio");
    EXPECT_EQ(edited().name, "Studio");
    const auto cards = page().layouts();
    EXPECT_TRUE(std::any_of(cards.begin(), cards.end(), [](const QVariant& card) {
        return card.toMap()["name"].toString() == "Studio" && card.toMap()["selected"].toBool();
    }));
    EXPECT_FALSE(undo().canUndo());
}

// --- Layout operations ---

TEST_F(ZonesPageTest, DeletingALayoutAsksFirstAndDropsTheUndoHistory) {
    const auto count = store().layouts().size();
    const auto other = otherLayout();
    EXPECT_EQ(page().monitorsText(), text(sim.state->screens().at(0).name));
    page().addZone();
    ASSERT_TRUE(undo().canUndo());

    // From a card's menu, the card's layout becomes the edited one first.
    page().requestLayoutDeletion(idText(other.id));
    EXPECT_TRUE(page().confirmsLayoutDeletion());
    EXPECT_EQ(page().layoutID(), idText(other.id));
    EXPECT_EQ(page().deletionTitle(),
              "Delete layout “" + text(page().editor().displayName(other)) + "”?");
    EXPECT_EQ(page().deletionMessage(),
              "Monitors using it switch to a built-in layout. This can’t be undone.");
    EXPECT_EQ(page().deletionButton(), "Delete");
    page().cancelLayoutDeletion();
    EXPECT_FALSE(page().confirmsLayoutDeletion());
    EXPECT_EQ(store().layouts().size(), count);

    page().requestLayoutDeletion();
    page().confirmLayoutDeletion();
    EXPECT_FALSE(page().confirmsLayoutDeletion());
    EXPECT_EQ(store().layouts().size(), count - 1);
    EXPECT_NE(page().layoutID(), idText(other.id));
    EXPECT_FALSE(undo().canUndo());
    EXPECT_EQ(undo().undoTitle(), "Undo");
    EXPECT_EQ(canvasZones(), edited().zones);

    // Down to one layout, "Delete…" is off and asking does nothing.
    while (store().layouts().size() > 1) {
        page().requestLayoutDeletion();
        page().confirmLayoutDeletion();
    }
    EXPECT_FALSE(page().canDeleteLayout());
    page().requestLayoutDeletion();
    EXPECT_FALSE(page().confirmsLayoutDeletion());
}

TEST_F(ZonesPageTest, DuplicatingShowsTheCopyOnTheDisplay) {
    const auto original = edited();
    const auto count = store().layouts().size();
    page().duplicateLayout();
    EXPECT_EQ(store().layouts().size(), count + 1);
    EXPECT_NE(page().layoutID(), idText(original.id));
    EXPECT_EQ(page().layoutName(), text(page().editor().displayName(original)) + " Copy");
    EXPECT_EQ(page().monitorsText(), text(sim.state->screens().at(0).name));
    EXPECT_EQ(page().selectedZoneID(), idText(edited().zones.front().id));

    page().duplicateLayout("garbage");
    EXPECT_EQ(store().layouts().size(), count + 1);
}

TEST_F(ZonesPageTest, AnImportDropsTheStatesUndoSteps) {
    const auto file = sim.temp.path() / "backup.json";
    auto& general = sim.shell->generalPane();
    ASSERT_TRUE(general.exportTo(QString::fromStdString(file.string())));
    page().addZone();
    ASSERT_TRUE(undo().canUndo());

    ASSERT_TRUE(general.readBackupFile(QString::fromStdString(file.string())));
    general.confirmImport();
    EXPECT_FALSE(undo().canUndo());
    settle();
    EXPECT_EQ(canvasZones(), edited().zones);
}

// --- Template sheet ---

TEST_F(ZonesPageTest, TemplateSheetListsTheDisplaysOrientationFirst) {
    const auto landscape = page().presetGallery();
    EXPECT_EQ(landscape["title"].toString(), "New Layout");
    EXPECT_EQ(landscape["message"].toString(),
              "Pick a template. You can change every zone afterwards.");
    EXPECT_EQ(landscape["cancelTitle"].toString(), "Cancel");
    auto sections = landscape["sections"].toList();
    ASSERT_EQ(sections.size(), 2);
    EXPECT_EQ(entry(sections, 0)["orientation"].toString(), "horizontal");
    EXPECT_EQ(entry(sections, 0)["title"].toString(), "Horizontal");
    EXPECT_EQ(entry(sections, 1)["title"].toString(), "Vertical");

    setScreens(simscreens::withPortrait());
    const auto portrait = sim.state->screens().at(1);
    page().chooseDisplay(text(portrait.id));
    const auto gallery = page().presetGallery();
    EXPECT_EQ(gallery["screenID"].toString(), text(portrait.id));
    EXPECT_DOUBLE_EQ(gallery["aspect"].toDouble(), previewAspect(portrait));
    sections = gallery["sections"].toList();
    ASSERT_EQ(sections.size(), 2);
    EXPECT_EQ(entry(sections, 0)["orientation"].toString(), "vertical");
    EXPECT_EQ(entry(sections, 0)["title"].toString(), "Vertical");

    // Every template once, in table order within its section, each with its preview.
    qsizetype tiles = 0;
    for (const auto& section : sections) {
        const auto orientation = section.toMap()["orientation"].toString() == "vertical"
                                     ? Orientation::vertical
                                     : Orientation::horizontal;
        std::vector<std::string> expected;
        for (const auto& preset : LayoutPreset::all()) {
            if (preset.orientation == orientation) {
                expected.push_back(preset.id);
            }
        }
        const auto presets = section.toMap()["presets"].toList();
        ASSERT_EQ(presets.size(), static_cast<qsizetype>(expected.size()));
        for (qsizetype i = 0; i < presets.size(); ++i) {
            const auto tile = entry(presets, i);
            EXPECT_EQ(tile["id"].toString(), text(expected[static_cast<std::size_t>(i)]));
            EXPECT_FALSE(tile["title"].toString().isEmpty());
            EXPECT_FALSE(tile["zones"].toList().isEmpty());
        }
        tiles += presets.size();
    }
    EXPECT_EQ(tiles, static_cast<qsizetype>(LayoutPreset::all().size()));
}

TEST_F(ZonesPageTest, PickingATemplateStoresItsLayoutForTheEditedDisplay) {
    const auto count = store().layouts().size();
    page().setShowsPresets(true);
    EXPECT_FALSE(page().pickPreset("no such template"));
    EXPECT_EQ(store().layouts().size(), count);
    EXPECT_TRUE(page().showsPresets());

    EXPECT_TRUE(page().pickPreset("mainSidebar"));
    EXPECT_FALSE(page().showsPresets());
    ASSERT_EQ(store().layouts().size(), count + 1);
    const auto added = store().layouts().back();
    EXPECT_EQ(added.name, "Main + Sidebar");
    EXPECT_EQ(page().layoutID(), idText(added.id));
    EXPECT_EQ(store().layoutFor(sim.state->screens().at(0)).id, added.id);
    EXPECT_EQ(page().selectedZoneID(), idText(added.zones.front().id));
    EXPECT_EQ(canvasZones(), added.zones);
    EXPECT_FALSE(undo().canUndo());

    // The sheet's previews are never the stored layout.
    const auto sections = page().presetGallery()["sections"].toList();
    const auto first = entry(entry(sections, 0)["presets"].toList(), 0);
    EXPECT_EQ(first["id"].toString(), "halves");
    EXPECT_EQ(store().layouts().size(), count + 1);
}

// --- Preview and the empty case ---

TEST_F(ZonesPageTest, ShowZonesOnAllMonitorsPreviewsTheOverlay) {
    page().previewZones();
    EXPECT_TRUE(sim.state->overlay().isVisible());
    sim.scheduler.advance(AppState::previewSeconds + 0.1);
    EXPECT_FALSE(sim.state->overlay().isVisible());
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
    page().setExactSizeValue(0, 10);
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
