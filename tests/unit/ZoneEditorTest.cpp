#include "core/editor/ZoneEditor.h"
#include "AppTestSupport.h"
#include "core/app/UndoManager.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/store/LayoutStore.h"
#include "core/store/Templates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using namespace tessera;
using apptest::SimApp;
using placementtest::zone;

namespace {
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
        {"Add Zone", [&](const Layout&) { editor->createZone(zone(0.25, 0.5, 0.25, 0.25)); }, true},
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
    EXPECT_DOUBLE_EQ(halves[0].y, 0.95);
    EXPECT_DOUBLE_EQ(halves[0].height, 0.04);
    EXPECT_DOUBLE_EQ(halves[1].y, 0.96);
    EXPECT_DOUBLE_EQ(halves[1].height, 0.04);
}

TEST(PercentText, FollowsTheLanguagesDecimalSeparatorAndStaysAPlainNumber) {
    for (const auto* language : {"ru", "de-CH", "fr_CA"}) {
        EXPECT_EQ(decimalSeparator(language), ',') << language;
    }
    EXPECT_EQ(formatPercent(1.0 / 3, "en"), "33.3");
    EXPECT_EQ(formatPercent(1.0 / 3, "de"), "33,3");
    EXPECT_EQ(formatPercent(0.99996, "en"), "100");
    // A hand-edited file may store any finite fraction.
    EXPECT_EQ(formatPercent(1e300, "en"), "1000000");
    EXPECT_EQ(formatPercent(-std::numeric_limits<double>::max(), "de"), "-1000000");
    EXPECT_EQ(formatPercent(std::numeric_limits<double>::denorm_min(), "en"), "0");

    EXPECT_EQ(parsePercent(" 33.33 % ", "en"), 33.33);
    EXPECT_EQ(parsePercent("33,5", "de"), 33.5);
    EXPECT_EQ(parsePercent("-4", "en"), -4);
    for (const auto* text : {"", "%", "33,5", "1e3", "abc", "3.3.3", "inf", "nan"}) {
        EXPECT_FALSE(parsePercent(text, "en").has_value()) << text;
    }
    EXPECT_FALSE(parsePercent("33.5", "de").has_value());
}

TEST_F(ZoneEditorTest, ExactSizesAreClampedFractionsEachCommitOneStep) {
    const auto layout = editThreeZones();
    const auto id = layout.zones.at(1).id; // x 0.6, y 0, width 0.4, height 0.5
    const auto current = [&] { return stored(layout.id).zones.at(1); };
    EXPECT_EQ(editor->exactSizeText(id, ZoneEdge::left), "60%");

    ASSERT_TRUE(editor->setExactSize(id, ZoneEdge::width, "33.33"));
    EXPECT_DOUBLE_EQ(current().width, 0.3333);
    EXPECT_EQ(editor->exactSizeText(id, ZoneEdge::width), "33.3%");
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
    EXPECT_EQ(copy.name, "Work Copy");
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
    EXPECT_FALSE(editor->showsPresets());
    const auto added = app().store().layouts().back();
    EXPECT_EQ(added.zones.size(), preset.zones.size());
    EXPECT_EQ(app().layoutIDForDisplay(screen(1)), added.id);
    EXPECT_EQ(editor->selectedZoneID(), added.zones.front().id);
}

TEST_F(ZoneEditorTest, DeletingALayoutDropsEveryUndoStepAndStopsAtOne) {
    const auto layout = editThreeZones();
    editor->addZone();
    editor->requestLayoutDeletion();
    ASSERT_TRUE(editor->confirmsLayoutDeletion());
    EXPECT_EQ(editor->deletionMessage(),
              "Monitors using it switch to a built-in layout. This can’t be undone.");
    EXPECT_EQ(editor->deletionButton(), "Delete");
    const auto before = registrations();
    editor->confirmLayoutDeletion();

    EXPECT_FALSE(editor->confirmsLayoutDeletion());
    EXPECT_TRUE(std::none_of(app().store().layouts().begin(), app().store().layouts().end(),
                             [&](const Layout& l) { return l.id == layout.id; }));
    EXPECT_FALSE(undo.canUndo());
    EXPECT_GT(registrations(), before);
    EXPECT_EQ(editor->selectedZoneID(), editor->editedLayout().value().zones.at(0).id);
}

// Each step registers its reverse while it runs; a new step ends the way forward.
TEST_F(ZoneEditorTest, UndoAndRedoWalkThroughTheEditsUntilANewStep) {
    const auto layout = editThreeZones();
    int changes = 0;
    const auto connection = undo.onChange([&] { ++changes; });
    EXPECT_FALSE(undo.undo());
    EXPECT_FALSE(undo.redo());
    EXPECT_EQ(changes, 0);

    editor->addZone();
    const auto added = stored(layout.id);
    editor->splitZone(layout.zones[0].id, true);
    const auto split = stored(layout.id);
    editor->deleteZone(layout.zones[1].id);
    EXPECT_EQ(undo.undoActionName(), "Delete Zone");
    const auto beforeUndo = changes;
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(changes, beforeUndo + 1);
    EXPECT_EQ(stored(layout.id), split);
    EXPECT_EQ(undo.redoActionName(), "Delete Zone");
    EXPECT_EQ(undo.undoActionName(), "Split Zone");
    ASSERT_TRUE(undo.undo());
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(stored(layout.id), layout);
    EXPECT_EQ(undo.undoActionName(), "");

    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(stored(layout.id), added);
    EXPECT_EQ(undo.undoActionName(), "Add Zone");
    EXPECT_EQ(undo.redoActionName(), "Split Zone");
    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(stored(layout.id), split);

    editor->clearZones();
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoActionName(), "Clear Zones");
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(stored(layout.id), split);
    while (undo.undo()) {
    }
    EXPECT_EQ(stored(layout.id), layout);
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
} // namespace
