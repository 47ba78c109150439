// What the "Zones" page's view models do that its Qt Quick tests (tst_zones.qml,
// tst_zonecanvas.qml) can't see through the user's events: announcements, the wiring to the
// store and the hotkeys, ids they don't act on, and what the canvas hands its owner.

#include "Preferences.h"
#include "QtTestSupport.h"
#include "ShortcutRecorderModel.h"
#include "SimShell.h"
#include "Strings.h"
#include "UndoViewModel.h"
#include "ZoneBoxModel.h"
#include "ZoneCanvasViewModel.h"
#include "ZonesPageModel.h"

#include "core/editor/ZoneEditor.h"
#include "core/editor/ZoneGrid.h"
#include "core/model/Screens.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimLocalizer.h"

#include <QSignalSpy>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessera::test {
namespace {

using shell::UndoViewModel;
using shell::ZoneBox;
using shell::ZoneCanvasViewModel;
using shell::ZonesPageModel;

constexpr int ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
constexpr std::uint32_t controlOption = 0x1800;
constexpr std::uint16_t kKey = 40;

QString idText(const Uuid& id) {
    return qtext(id.string());
}

QVariantMap entry(const QVariantList& list, qsizetype index) {
    return list.at(index).toMap();
}

class ZonesPageTest : public ShellTest {
protected:
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
};

// Which layout each display shows, and the canvas's grid: tst_zones.qml.
TEST_F(ZonesPageTest, APortraitDisplaysCanvasTakesItsShapeAndCardsShowTheirOwnFractions) {
    setScreens(simscreens::withPortrait());
    const auto portrait = sim.state->screens().at(1);
    page().chooseDisplay(qtext(portrait.id));
    EXPECT_DOUBLE_EQ(page().canvasAspect(), freeAreaAspect(portrait));

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
    EXPECT_DOUBLE_EQ(entry(thumbnail, 1)["x"].toDouble(), 0.8);
}

// --- When the page announces changes ---

// Changes made elsewhere reach the canvas a turn later: tst_zonecanvas.qml (useZones).
TEST_F(ZonesPageTest, AnnouncesItsOwnOperationsAtOnce) {
    QSignalSpy spy(&page(), &ZonesPageModel::changed);
    const auto before = edited().zones.size();
    page().addZone();
    // No turn of the event loop yet: the page and the canvas already show the new zone.
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(canvasZones().size(), before + 1);
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

TEST_F(ZonesPageTest, SelectionsAndIdsOutsideTheEditedLayoutChangeNothing) {
    const auto own = edited();
    const auto other = otherLayout();
    const auto layouts = store().layouts();
    const auto assigned = store().layoutFor(firstScreen()).id;
    page().chooseLayout(idText(Uuid::random()));
    page().chooseDisplay("no such display");
    page().requestLayoutDeletion(idText(Uuid::random()));
    EXPECT_FALSE(page().pickPreset("no such template"));
    settle();
    EXPECT_EQ(store().layouts(), layouts);
    EXPECT_EQ(store().layoutFor(firstScreen()).id, assigned);
    EXPECT_EQ(page().layoutID(), idText(own.id));
    EXPECT_EQ(page().editedScreenID(), qtext(firstScreen().id));
    EXPECT_FALSE(page().confirmsLayoutDeletion());
    EXPECT_FALSE(undo().canUndo());

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

// Suspending the hotkeys while a recorder listens: KeyboardPaneTest; held keys on the command
// rows, the overview and the menu: tst_keyboard.qml, tst_overview.qml, MenuBarMenuTest.
TEST_F(ZonesPageTest, TheZonesRecorderStopsAtAnotherSelectionAndStoresWhatItRecords) {
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

    sim.hotkeyPort.markTakenByOtherApplication(kKey, controlOption);
    recorder.click();
    EXPECT_TRUE(recorder.keyPressed(Qt::Key_K, 0, ctrlAlt));
    processEvents();
    EXPECT_EQ(edited().zones.at(1).shortcut.value().keyCode, kKey);
    EXPECT_NE(page().zoneHeldElsewhereMessage(), ""); // its words: tst_keyboard.qml
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
}

TEST_F(ZonesPageTest, WithoutDisplaysTheFirstStoredLayoutIsEdited) {
    setScreens({});
    const auto first = store().layouts().front();
    EXPECT_EQ(page().layoutID(), idText(first.id));
    EXPECT_EQ(canvasZones(), first.zones);
    EXPECT_EQ(page().monitorsText(), "not in use");
    EXPECT_DOUBLE_EQ(page().canvasAspect(), defaultGridAspect);

    // A template picked without a display is stored, and the page keeps editing the first one.
    EXPECT_TRUE(page().pickPreset("halves"));
    EXPECT_EQ(store().layouts().back().name, "Halves");
    EXPECT_EQ(page().layoutID(), idText(first.id));
}

// --- The zone canvas ---

// A 646 × 366 view leaves a 640 × 360 drawing area at (3, 3); boxes sit 3 points further in.
constexpr double areaWidth = 640;
constexpr double areaHeight = 360;
const ZoneGrid grid{12, 6};

Zone makeZone(std::string name, double x, double y, double width, double height) {
    return {Uuid::random(), std::move(name), x, y, width, height, std::nullopt};
}

// What the owner was told: the callbacks in order, and the zones handed over.
class ZoneCanvasViewModelTest : public ::testing::Test {
protected:
    ZoneCanvasViewModelTest() : localizer(makeSimLocalizer("en")), strings(localizer) {
        ZoneCanvasModel::Callbacks callbacks{
            [this] { calls.push_back("beginEdit"); },
            [this](const std::vector<Zone>& zones) {
                calls.push_back("zonesChanged");
                zoneLists.push_back(zones);
            },
            [this](const std::optional<Uuid>&) { calls.push_back("selection"); },
            [this](const Zone&, bool) { calls.push_back("split"); },
            [this](const Zone&) { calls.push_back("delete"); },
            [this](const Zone&) { calls.push_back("create"); }};
        canvas = std::make_unique<ZoneCanvasViewModel>(
            strings, std::move(callbacks), [](const Zone& zone) { return "Shown " + zone.name; });
        canvas->setViewWidth(646);
        canvas->setViewHeight(366);
    }

    const ZoneBox& box(const Zone& zone) const {
        const auto& boxes = canvas->zoneBoxes()->boxes();
        const auto found = std::ranges::find(boxes, idText(zone.id), &ZoneBox::id);
        static const ZoneBox none;
        EXPECT_NE(found, boxes.end()) << "the canvas shows the zone";
        return found == boxes.end() ? none : *found;
    }
    QPointF handleCentre(const QString& name) const {
        for (const auto& value : canvas->handles()) {
            if (const auto h = value.toMap(); h.value("handle").toString() == name) {
                return {h.value("x").toDouble() + h.value("width").toDouble() / 2,
                        h.value("y").toDouble() + h.value("height").toDouble() / 2};
            }
        }
        ADD_FAILURE() << "no handle " << name.toStdString();
        return {};
    }

    TableLocalizer localizer;
    shell::Strings strings;
    std::vector<std::string> calls;
    std::vector<std::vector<Zone>> zoneLists;
    std::unique_ptr<ZoneCanvasViewModel> canvas;

    // A left half with a shortcut, a top-right quarter and a smaller zone inside the left half.
    Zone left = [] {
        auto zone = makeZone("Left", 0, 0, 0.5, 1);
        zone.shortcut = KeyCombo{18, carbon::controlKey | carbon::optionKey, "⌃⌥1"};
        return zone;
    }();
    Zone topRight = makeZone("Top Right", 0.5, 0, 0.5, 0.5);
    Zone small = makeZone("Small", 0.1, 0.25, 0.3, 0.5);
};

// Clicks on the smallest zone and what the canvas does with them: tst_zonecanvas.qml.
TEST_F(ZoneCanvasViewModelTest,
       BoxesComeLargestFirstInViewPointsAndWhatItDoesNotActOnStoresNothing) {
    canvas->setContent({small, topRight, left}, Uuid::random(), grid);
    EXPECT_TRUE(canvas->handles().isEmpty()) << "a selection missing from the layout has none";
    // Without a selection, arrows and Delete are the window's.
    EXPECT_FALSE(canvas->arrowKey(Qt::Key_Left) || canvas->deleteCommand());
    canvas->setContent({small, topRight, left}, topRight.id, grid);

    // Areas 0.5, 0.25 and 0.15: the smallest on top, whatever the layout's own order.
    const auto& zones = canvas->zoneBoxes()->boxes();
    ASSERT_EQ(zones.size(), 3U);
    EXPECT_EQ(zones[0].id, idText(left.id));
    EXPECT_EQ(zones[1].id, idText(topRight.id));
    EXPECT_EQ(zones[2].id, idText(small.id));
    EXPECT_EQ(zones[1].box,
              QRectF(3 + 0.5 * areaWidth + 3, 3 + 3, 0.5 * areaWidth - 6, 0.5 * areaHeight - 6));
    // Names come from the owner's display name; shortcuts in the Linux form, empty for none.
    EXPECT_EQ(zones[0].name, "Shown Left");
    EXPECT_EQ(zones[0].shortcut, "Ctrl+Alt+1");
    EXPECT_EQ(zones[1].shortcut, "");
    // One grid line per inner column and row.
    EXPECT_EQ(canvas->gridLines().size(), 11 + 5);

    // A zone removed meanwhile (an undo while the menu is open or the drag runs) is left alone.
    canvas->zoneDragChanged(idText(Uuid::random()), "move", 50, 50);
    canvas->menuAction("remove", idText(Uuid::random()));
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(canvas->movingOrResizing());
}

// Where a move lands and its undo step: tst_zonecanvas.qml; a gesture's other handles:
// ZoneCanvasModelTest.
TEST_F(ZoneCanvasViewModelTest, AMoveSurvivesNewContentCarriesItsHandlesAndCommitsOnce) {
    canvas->setContent({left, topRight}, std::nullopt, grid);
    canvas->zoneDragChanged(idText(topRight.id), "move", 0, 30);
    ASSERT_TRUE(canvas->movingOrResizing());
    ASSERT_TRUE(box(topRight).live);
    EXPECT_EQ(handleCentre("nw"), box(topRight).box.topLeft());
    EXPECT_EQ(handleCentre("se"), box(topRight).box.bottomRight());

    // The owner stores something else meanwhile (a rename, say) and hands it back.
    Zone renamed = left;
    renamed.name = "Renamed";
    canvas->setContent({renamed, topRight}, topRight.id, grid);
    EXPECT_TRUE(canvas->movingOrResizing());
    EXPECT_EQ(box(left).name, "Shown Renamed");
    canvas->zoneDragChanged(idText(topRight.id), "move", 0, 0.34 * areaHeight);
    canvas->zoneDragEnded("move");

    EXPECT_EQ(calls, (std::vector<std::string>{"selection", "beginEdit", "zonesChanged"}));
    auto moved = topRight;
    moved.y = snap(0.34, grid.rows);
    EXPECT_EQ(zoneLists, (std::vector<std::vector<Zone>>{{renamed, moved}}))
        << "the content handed in during the drag is kept";
}

// The list QML draws the boxes from keeps each zone's row across new content, so its delegate
// lives on and animates; and a box's `live` changes before its place, so a box that starts
// following the pointer doesn't animate to it.
TEST(ZoneBoxModel, RowsStayWithTheirZoneAndLiveChangesFirst) {
    shell::ZoneBoxModel model;
    const auto box = [](const char* id, double x, bool live = false) {
        return shell::ZoneBox{id, id, {}, false, live, QRectF(x, 0, 10, 10)};
    };
    model.show({box("a", 0), box("b", 10), box("c", 20)});
    std::vector<std::string> events;
    const auto log = [&](const char* what) {
        return [&events, what](auto, int first, int) {
            events.push_back(what + std::to_string(first));
        };
    };
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, log("remove "));
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, log("insert "));
    QObject::connect(
        &model, &QAbstractItemModel::rowsMoved, [&](auto, int from, int, auto, int to) {
            events.push_back("move " + std::to_string(from) + " " + std::to_string(to));
        });
    QObject::connect(&model, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& at, auto, const QList<int>& roles) {
                         events.push_back(
                             "change " + std::to_string(at.row()) +
                             (roles.contains(shell::ZoneBoxModel::LiveRole) ? " live" : ""));
                     });

    // Reordered: the zone that moved keeps its row, and nothing else changes.
    model.show({box("c", 20), box("a", 0), box("b", 10)});
    EXPECT_EQ(events, std::vector<std::string>{"move 2 0"});
    // b gone, d new, a now live and elsewhere.
    events.clear();
    model.show({box("c", 20), box("d", 30), box("a", 5, true)});
    EXPECT_EQ(events,
              (std::vector<std::string>{"remove 2", "insert 1", "change 2 live", "change 2"}));
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.boxes(), (std::vector{box("c", 20), box("d", 30), box("a", 5, true)}));
    EXPECT_EQ(model.data(model.index(2), shell::ZoneBoxModel::BoxXRole).toDouble(), 5);

    events.clear();
    model.show(model.boxes());
    EXPECT_TRUE(events.empty());
}

} // namespace
} // namespace tessera::test
