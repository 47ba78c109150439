#include "core/editor/ZoneEditor.h"
#include "AppTestSupport.h"
#include "core/app/UndoManager.h"
#include "core/editor/ZoneCanvasModel.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/store/LayoutStore.h"
#include "core/store/Templates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

using namespace tessera;
using apptest::SimApp;
using placementtest::zone;

namespace {
void expectGeometry(const Zone& zone, double x, double y, double w, double h) {
    EXPECT_NEAR(zone.x, x, 1e-9);
    EXPECT_NEAR(zone.y, y, 1e-9);
    EXPECT_NEAR(zone.width, w, 1e-9);
    EXPECT_NEAR(zone.height, h, 1e-9);
}

class ZoneEditorTest : public ::testing::Test, protected SimApp {
protected:
    ZoneEditorTest() : SimApp(simscreens::sideBySide()) {
        state = std::make_unique<AppState>(ports(), temp / "layouts.json");
        state->start();
        scheduler.runPending();
        editor = std::make_unique<ZoneEditor>(*state, localizer, &undo);
    }

    AppState& app() { return *state; }
    const ScreenInfo& screen(std::size_t index) { return app().screens().at(index); }
    // A stored layout with three zones, the first with a shortcut, shown on the first display.
    Layout editThreeZones(const std::string& name = "Work") {
        auto first = zone(0.1, 0.2, 0.5, 0.6, "Editor");
        first.shortcut = KeyCombo{18, carbon::controlKey | carbon::optionKey, "1"};
        Layout layout{Uuid::random(), name, {first, zone(0.6, 0, 0.4, 0.5), zone(0, 0, 0.1, 1)}};
        app().store().upsert(layout);
        app().assignLayout(layout.id, screen(0));
        return layout;
    }
    Layout stored(const Uuid& id) const {
        const auto& layouts = state->store().layouts();
        const auto it = std::find_if(layouts.begin(), layouts.end(),
                                     [&](const Layout& l) { return l.id == id; });
        EXPECT_NE(it, layouts.end());
        return it == layouts.end() ? Layout{} : *it;
    }
    std::size_t registrations() const { return hotkeyPort.registerCount(); }

    UndoManager undo;
    std::unique_ptr<AppState> state;
    std::unique_ptr<ZoneEditor> editor;
};

// Every zone edit is one undo step under its own name that gives the layout back as it was, and
// redo brings the edit back; only a changed list of zones or shortcuts registers them again.
TEST_F(ZoneEditorTest, EachZoneEditIsOneNamedStepThatUndoesAndRedoes) {
    struct Case {
        const char* action;
        std::function<void(const Layout&)> edit;
        bool registers;
    };
    const std::vector<Case> cases{
        {"Add Zone", [&](const Layout&) { editor->addZone(); }, true},
        {"Edit Zone",
         [&](const Layout& l) {
             auto moved = l.zones;
             moved.front().x = 0.2;
             editor->beginEditZones();
             editor->setZones(moved);
         },
         false},
        {"Shortcut", [&](const Layout& l) { editor->setShortcut(l.zones[0].id, std::nullopt); },
         true},
        {"Split Zone", [&](const Layout& l) { editor->splitZone(l.zones[0].id, true); }, true},
        {"Delete Zone", [&](const Layout& l) { editor->deleteZone(l.zones[0].id); }, true},
        {"Clear Zones", [&](const Layout&) { editor->clearZones(); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        const auto layout = editThreeZones();
        const auto before = registrations();
        c.edit(layout);
        const auto after = stored(layout.id);
        EXPECT_NE(after, layout);
        EXPECT_EQ(registrations() > before, c.registers);
        EXPECT_EQ(undo.undoActionName(), c.action);
        ASSERT_TRUE(undo.undo());
        EXPECT_EQ(stored(layout.id), layout);
        ASSERT_TRUE(undo.redo());
        EXPECT_EQ(stored(layout.id), after);
        undo.removeAllActions();
    }

    // Handing back the list the layout already has is no change at all.
    const auto layout = editThreeZones();
    int storeChanges = 0;
    const auto watch = app().store().onWillChange([&] { ++storeChanges; });
    editor->setZones(layout.zones);
    EXPECT_EQ(storeChanges, 0);
}

TEST_F(ZoneEditorTest, SplittingHalvesTheZoneBothHalvesKeepingItsShortcut) {
    const auto layout = editThreeZones();
    const auto& original = layout.zones.front(); // x 0.1, width 0.5
    editor->splitZone(original.id, true);
    const auto zones = stored(layout.id).zones;
    ASSERT_EQ(zones.size(), 4U);
    for (const auto& [half, name, x] :
         {std::tuple{zones[0], "Editor Left", 0.1}, std::tuple{zones[1], "Editor Right", 0.35}}) {
        auto expected = original;
        std::tie(expected.id, expected.name, expected.x, expected.width) =
            std::tuple{half.id, name, x, 0.25};
        EXPECT_NE(half.id, original.id);
        EXPECT_EQ(half, expected);
    }
    EXPECT_NE(zones[0].id, zones[1].id);
    EXPECT_EQ(editor->selectedZoneID(), zones[0].id);

    // A strip too thin to halve: both halves get the minimum height, pushed back inside.
    Layout strip{Uuid::random(), "Strip", {zone(0, 0.95, 1, 0.05, "Strip")}};
    app().store().upsert(strip);
    app().assignLayout(strip.id, screen(0));
    editor->splitZone(strip.zones.front().id, false);
    const auto halves = stored(strip.id).zones;
    ASSERT_EQ(halves.size(), 2U);
    expectGeometry(halves[0], 0, 0.95, 1, 0.04);
    expectGeometry(halves[1], 0, 0.96, 1, 0.04);
}

TEST(PercentText, FollowsTheLanguagesDecimalSeparatorAndStaysAPlainNumber) {
    for (const auto* language : {"ru", "de-CH", "fr_CA"}) {
        EXPECT_EQ(decimalSeparator(language), ',') << language;
    }
    EXPECT_EQ(formatPercent(0.99996, "en"), "100");
    // A hand-edited file may store any finite fraction.
    EXPECT_EQ(formatPercent(1e300, "en"), "1000000");
    EXPECT_EQ(formatPercent(-std::numeric_limits<double>::max(), "de"), "-1000000");
    EXPECT_EQ(formatPercent(std::numeric_limits<double>::denorm_min(), "en"), "0");

    EXPECT_EQ(parsePercent(" 33.33 % ", "en"), 33.33);
    EXPECT_EQ(parsePercent("33,5", "de"), 33.5);
    for (const auto* text : {"", "%", "33,5", "1e3", "abc", "3.3.3", "inf", "nan"}) {
        EXPECT_FALSE(parsePercent(text, "en").has_value()) << text;
    }
    EXPECT_FALSE(parsePercent("33.5", "de").has_value());
}

TEST_F(ZoneEditorTest, ExactSizesAreClampedFractionsEachCommitOneStep) {
    const auto layout = editThreeZones();
    const auto id = layout.zones.at(1).id; // x 0.6, y 0, width 0.4, height 0.5
    const auto current = [&] { return stored(layout.id).zones.at(1); };
    ASSERT_TRUE(editor->setExactSize(id, ZoneEdge::width, "33.33"));
    EXPECT_DOUBLE_EQ(current().width, 0.3333);
    ASSERT_TRUE(editor->setExactSize(id, ZoneEdge::height, "2"));
    EXPECT_DOUBLE_EQ(current().height, 0.04);
    ASSERT_TRUE(editor->setExactSize(id, ZoneEdge::width, "30"));
    ASSERT_TRUE(editor->setExactSize(id, ZoneEdge::left, "80"));
    EXPECT_DOUBLE_EQ(current().x, 0.7);
    ASSERT_TRUE(undo.undo());
    EXPECT_DOUBLE_EQ(current().x, 0.6);
    ASSERT_TRUE(undo.undo());
    EXPECT_DOUBLE_EQ(current().width, 0.3333);
    const auto before = stored(layout.id);
    EXPECT_FALSE(editor->setExactSize(id, ZoneEdge::top, "half"));
    EXPECT_EQ(stored(layout.id), before);
}

TEST_F(ZoneEditorTest, RenamingToTheShownNameStoresNothing) {
    const auto builtIn = editor->editedLayout().value();
    const auto& builtInZone = builtIn.zones.at(0);
    app().store().upsert(builtIn);
    const auto german = makeSimLocalizer("de");
    ZoneEditor editorDE(app(), german, &undo);

    const auto shown = editorDE.zoneNameText(builtInZone.id);
    ASSERT_NE(shown, builtInZone.name);
    editorDE.renameZone(builtInZone.id, shown);
    editorDE.renameLayout(editorDE.layoutNameText());
    EXPECT_EQ(stored(builtIn.id), builtIn);
}

TEST_F(ZoneEditorTest, NewLayoutsFromATemplateOrACopyGoOnTheEditedDisplay) {
    const auto layout = editThreeZones();
    editor->duplicateLayout();
    const auto copy = app().store().layouts().back();
    EXPECT_NE(copy.id, layout.id);
    ASSERT_EQ(copy.zones.size(), layout.zones.size());
    for (std::size_t i = 0; i < copy.zones.size(); ++i) {
        auto expected = layout.zones[i];
        expected.id = copy.zones[i].id;
        expected.shortcut.reset(); // a copy's shortcuts would clash with the original's
        EXPECT_NE(copy.zones[i].id, layout.zones[i].id);
        EXPECT_EQ(copy.zones[i], expected);
    }
    EXPECT_EQ(app().layoutIDForDisplay(screen(0)), copy.id);
    EXPECT_EQ(editor->selectedZoneID(), copy.zones.front().id);
    EXPECT_FALSE(undo.canUndo());

    editor->chooseDisplay(screen(1).id);
    editor->setShowsPresets(true);
    const auto& preset = LayoutPreset::all().front();
    editor->addLayoutFromTemplate(preset);
    const auto added = app().store().layouts().back();
    EXPECT_EQ(app().layoutIDForDisplay(screen(1)), added.id);
    EXPECT_EQ(editor->selectedZoneID(), added.zones.front().id);
}

TEST_F(ZoneEditorTest, DeletingALayoutDropsEveryUndoStepAndOpensAnother) {
    const auto layout = editThreeZones();
    editor->addZone();
    editor->requestLayoutDeletion();
    ASSERT_TRUE(editor->confirmsLayoutDeletion());
    EXPECT_EQ(editor->deletionMessage(),
              "Monitors using it switch to a built-in layout. This can’t be undone.");
    const auto before = registrations();
    editor->confirmLayoutDeletion();
    EXPECT_NE(editor->editedLayout()->id, layout.id);
    EXPECT_FALSE(undo.canUndo());
    EXPECT_GT(registrations(), before);
    EXPECT_EQ(editor->selectedZoneID(), editor->editedLayout().value().zones.at(0).id);
}

// Steps undo last first and redo in order; a new step ends the way forward.
TEST_F(ZoneEditorTest, UndoAndRedoWalkThroughTheEditsUntilANewStep) {
    const auto layout = editThreeZones();
    EXPECT_FALSE(undo.undo() || undo.redo());

    editor->addZone();
    const auto added = stored(layout.id);
    editor->splitZone(layout.zones[0].id, true);
    const auto split = stored(layout.id);
    editor->deleteZone(layout.zones[1].id);
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(stored(layout.id), split);
    EXPECT_EQ(undo.redoActionName(), "Delete Zone");
    EXPECT_EQ(undo.undoActionName(), "Split Zone");
    ASSERT_TRUE(undo.undo() && undo.undo());
    EXPECT_EQ(stored(layout.id), layout);

    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(stored(layout.id), added);
    EXPECT_EQ(undo.redoActionName(), "Split Zone");
    editor->clearZones();
    EXPECT_FALSE(undo.canRedo());
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(stored(layout.id), added);
}

TEST(UndoManagerTest, ActionsRegisteredDuringOneUndoFormOneRedoStep) {
    UndoManager undo;
    UndoTarget target;
    std::vector<std::string> ran;
    undo.registerUndo(target, [&] {
        ran.push_back("undo");
        EXPECT_TRUE(undo.isUndoing());
        // Nested undo or redo while a step runs is refused.
        EXPECT_FALSE(undo.undo());
        EXPECT_FALSE(undo.redo());
        undo.registerUndo(target, [&] { ran.push_back("redo first"); });
        undo.registerUndo(target, [&] { ran.push_back("redo second"); });
        undo.setActionName("Shortcut");
    });
    undo.setActionName("Shortcut");

    ASSERT_TRUE(undo.undo());
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(undo.redoActionName(), "Shortcut");
    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(ran, (std::vector<std::string>{"undo", "redo second", "redo first"}));
    EXPECT_FALSE(undo.canRedo() || undo.canUndo());
}

// --- The zone canvas ---

// The view is 606 × 306 points, so the drawing area is (3, 3, 600, 300).
constexpr Size viewSize{606, 306};
constexpr ZoneGrid grid12x6{12, 6};

TEST(ZoneCanvasGeometryTest, ClampingPushesZonesBackInsideAndSnapRoundsHalvesAwayFromZero) {
    auto outside = zone(-0.2, 0.9, 0.01, 1.5, "kept");
    outside.shortcut = KeyCombo{1, carbon::cmdKey, "⌘S"};
    const auto result = clamped(outside, 0.04);
    expectGeometry(result, 0, 0, 0.04, 1);
    EXPECT_EQ(result.shortcut, outside.shortcut);
    expectGeometry(clamped(zone(0.8, 0.7, 0.3, 0.5), 0.04), 0.7, 0.5, 0.3, 0.5);

    EXPECT_DOUBLE_EQ(snap(0.375, 4), 0.5);   // 1.5 cells → 2
    EXPECT_DOUBLE_EQ(snap(0.625, 4), 0.75);  // 2.5 cells → 3, not to even
    EXPECT_DOUBLE_EQ(snap(-0.375, 4), -0.5); // away from zero below zero too
}

TEST(ZoneCanvasGeometryTest, HitZonePrefersTheSmallestThenTheEarliest) {
    const auto big = zone(0, 0, 1, 1);
    const auto small = zone(0.5, 0.5, 0.25, 0.25);
    const auto twin = zone(0.5, 0.5, 0.25, 0.25);
    const auto right = zone(0.75, 0, 0.25, 0.5);
    const std::vector<Zone> zones{big, small, twin, right};
    EXPECT_EQ(hitZone({0.6, 0.6}, zones)->id, small.id);
    EXPECT_EQ(hitZone({0.75, 0.75}, zones)->id, small.id); // corner is inside
    EXPECT_EQ(hitZone({0.75, 0.25}, zones)->id, right.id); // shared edge: smaller wins
    EXPECT_EQ(hitZone({0.1, 0.9}, zones)->id, big.id);
    EXPECT_FALSE(hitZone({0.5, 0.5}, {right}).has_value());
}

// A drag of a handle by (dx, dy) of the canvas from where the gesture began moves only that
// handle's edges, lands them on the grid when snapping, never turns the zone inside out (at least
// one cell, or the minimum size on a dense grid) and stops at the canvas's borders.
TEST(ZoneCanvasGeometryTest, DraggedHandlesMoveTheirEdgesOnly) {
    struct Case {
        const char* what;
        Zone start;
        CanvasHandle handle;
        double dx, dy;
        bool snapped;
        ZoneGrid grid;
        double x, y, w, h;
    };
    const auto start = zone(0.25, 0.25, 0.25, 0.5);
    const double cx = 1.0 / 12;
    const ZoneGrid tall{24, 42};
    const Case cases[] = {
        {"live edge", start, CanvasHandle::e, 0.04, 0, false, grid12x6, 0.25, 0.25, 0.29, 0.5},
        {"snapped back", start, CanvasHandle::e, 0.04, 0, true, grid12x6, 0.25, 0.25, 0.25, 0.5},
        {"snapped on", start, CanvasHandle::e, 0.05, 0, true, grid12x6, 0.25, 0.25, 1.0 / 3, 0.5},
        {"off-grid edges stay", zone(0.31, 0.27, 0.2, 0.3), CanvasHandle::s, 0, 0.1, true, grid12x6,
         0.31, 0.27, 0.2, 4.0 / 6 - 0.27},
        {"w past e", start, CanvasHandle::w, 0.6, 0, true, grid12x6, 0.5 - cx, 0.25, cx, 0.5},
        {"n past s", start, CanvasHandle::n, 0, 0.9, false, grid12x6, 0.25, 0.65, 0.25, 0.1},
        {"nw past border", start, CanvasHandle::nw, -0.9, -0.9, false, grid12x6, 0, 0, 0.5, 0.75},
        {"se past border", start, CanvasHandle::se, 0.9, 0.9, true, grid12x6, 0.25, 0.25, 0.75,
         0.75},
        {"dense grid minimum", zone(0.1, 0.5, 0.2, 0.2), CanvasHandle::s, 0, -0.5, false, tall, 0.1,
         0.5, 0.2, 0.04},
        {"move snapped", zone(0.5, 0.5, 0.3, 0.25), CanvasHandle::move, -0.8, 0.01, true, grid12x6,
         0, 0.5, 0.3, 0.25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectGeometry(draggedZone(c.start, c.handle, c.dx, c.dy, c.grid, c.snapped), c.x, c.y, c.w,
                       c.h);
    }
}

// Records what the canvas reports to its owner.
struct Recorder {
    int beginEdits = 0;
    std::vector<std::vector<Zone>> changes;
    std::vector<Zone> creates;
    // The owner's undo step must come before the list it belongs to.
    bool beginEditPrecededEveryChange = true;

    void attach(ZoneCanvasModel& model) {
        model.callbacks.onBeginEdit = [this] { ++beginEdits; };
        model.callbacks.onZonesChanged = [this](const std::vector<Zone>& zones) {
            if (beginEdits != static_cast<int>(changes.size()) + 1) {
                beginEditPrecededEveryChange = false;
            }
            changes.push_back(zones);
        };
        model.callbacks.onCreate = [this](const Zone& z) { creates.push_back(z); };
    }
};

class ZoneCanvasModelTest : public ::testing::Test {
protected:
    Zone big = zone(0, 0, 0.5, 1, "big");
    Zone small = zone(0.25, 0.25, 0.25, 0.5, "small");
    Zone other = zone(0.75, 0, 0.25, 0.5, "other");
    ZoneCanvasModel model{{big, small, other}, grid12x6, viewSize};
    Recorder recorder;

    void SetUp() override { recorder.attach(model); }

    const Zone& stored(const Uuid& id) const {
        for (const auto& zone : model.zones()) {
            if (zone.id == id) {
                return zone;
            }
        }
        throw std::runtime_error("zone missing");
    }
};

// The live box, the selection and the landing place through real events: tst_zonecanvas.qml.
TEST_F(ZoneCanvasModelTest, MoveGestureCommitsOnceAndIgnoresOtherHandles) {
    model.zoneDragChanged(small.id, CanvasHandle::move, {0.5, 0});
    EXPECT_FALSE(model.dragStart().has_value()) << "under a point of travel is no drag yet";

    model.zoneDragChanged(small.id, CanvasHandle::move, {40, 0});
    EXPECT_EQ(recorder.beginEdits, 0) << "nothing is committed while dragging";
    // Another handle or zone is ignored while this gesture runs.
    model.zoneDragChanged(small.id, CanvasHandle::e, {-200, 100});
    model.zoneDragChanged(other.id, CanvasHandle::move, {-50, 0});
    model.zoneDragEnded(CanvasHandle::move);
    EXPECT_EQ(recorder.beginEdits, 1);
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_TRUE(recorder.beginEditPrecededEveryChange);
    // 40 of 600 points: x 0.25 lands on 4/12, and y 0.25 on 2/6.
    expectGeometry(stored(small.id), 4.0 / 12, 2.0 / 6, 0.25, 0.5);
    EXPECT_EQ(recorder.changes[0], model.zones());
    EXPECT_EQ(recorder.changes[0][0], big) << "other zones untouched, order kept";
    EXPECT_EQ(stored(other.id), other);
    EXPECT_FALSE(model.dragStart() || model.activeHandle() || model.liveZone() || model.snapZone());
}

TEST_F(ZoneCanvasModelTest, DrawingNeedsMoreThanFourPointsAndSpansWholeCells) {
    model.backgroundDragChanged({100, 100}, {102.8, 102.8}); // hypot 3.96
    EXPECT_FALSE(model.drawnZone().has_value());
    model.backgroundDragEnded({102.8, 102.8});
    EXPECT_TRUE(recorder.creates.empty());

    model.setZones({});
    // From (0.2, 0.1) to (0.21, 0.12): less than a cell, still one full cell.
    model.backgroundDragChanged({123, 33}, {129, 39});
    ASSERT_TRUE(model.drawnZone().has_value());
    expectGeometry(*model.drawnZone(), 2.0 / 12, 1.0 / 6, 1.0 / 12, 1.0 / 6);
    const auto id = model.drawnZone()->id;
    // Dragging up and left of the start: corners swap, edges land on the grid.
    model.backgroundDragChanged({453, 228}, {183, 83}); // (0.75, 0.75) to (0.3, 0.2667)
    expectGeometry(*model.drawnZone(), 4.0 / 12, 2.0 / 6, 5.0 / 12, 3.0 / 6);
    EXPECT_EQ(model.drawnZone()->id, id) << "one drawn zone per gesture";
    // Beyond the canvas the corners are held on its border.
    model.backgroundDragChanged({453, 228}, {900, 900});
    expectGeometry(*model.drawnZone(), 9.0 / 12, 5.0 / 6, 3.0 / 12, 1.0 / 6);

    model.backgroundDragEnded({900, 900});
    ASSERT_EQ(recorder.creates.size(), 1u);
    EXPECT_EQ(recorder.creates[0].id, id);
    EXPECT_FALSE(model.drawnZone().has_value());
    EXPECT_EQ(recorder.beginEdits, 0) << "the owner records adding the zone";
}

TEST_F(ZoneCanvasModelTest, ArrowKeysMoveACellAndAreConsumedWhenSelected) {
    EXPECT_FALSE(model.arrowKey(ArrowKey::left)) << "passes on without a selection";
    model.setSelectedID(big.id);
    EXPECT_TRUE(model.arrowKey(ArrowKey::left));
    EXPECT_TRUE(model.arrowKey(ArrowKey::down)); // full height: nowhere to go
    EXPECT_EQ(recorder.beginEdits, 0);

    // An off-grid zone lands on the grid.
    const auto loose = zone(0.3, 0.3, 0.2, 0.2);
    model.setZones({loose});
    model.setSelectedID(loose.id);
    EXPECT_TRUE(model.arrowKey(ArrowKey::down));
    expectGeometry(model.zones()[0], 0.3, 3.0 / 6, 0.2, 0.2);
    EXPECT_TRUE(model.arrowKey(ArrowKey::left));
    expectGeometry(model.zones()[0], 3.0 / 12, 0.5, 0.2, 0.2);
    EXPECT_TRUE(model.arrowKey(ArrowKey::up));
    expectGeometry(model.zones()[0], 3.0 / 12, 2.0 / 6, 0.2, 0.2);
    EXPECT_EQ(recorder.beginEdits, 3);
    EXPECT_TRUE(recorder.beginEditPrecededEveryChange);

    model.setSelectedID(Uuid::random());
    EXPECT_FALSE(model.arrowKey(ArrowKey::right)) << "a selection of a missing zone is none";
}
} // namespace
