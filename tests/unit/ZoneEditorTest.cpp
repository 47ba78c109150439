#include "PlacementTestSupport.h"
#include "TempDir.h"

#include "core/app/AppState.h"
#include "core/editor/ZoneEditor.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/store/LayoutStore.h"
#include "core/store/Templates.h"
#include "platform/sim/SimAppServices.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimHotkeys.h"
#include "platform/sim/SimInputEvents.h"
#include "platform/sim/SimLocalizer.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimOverlaySurface.h"
#include "platform/sim/SimScheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tessera;
using placementtest::zone;

namespace {

std::vector<SystemDisplay> threeDisplays() {
    auto screens = simscreens::sideBySide();
    screens.push_back(simscreens::display({-1280, 0, 1280, 800}, "Projector", 1, 0, 0));
    return screens;
}

std::optional<Uuid> firstZone(const Layout& layout) {
    return layout.zones.empty() ? std::nullopt : std::optional<Uuid>(layout.zones.front().id);
}

class ZoneEditorTest : public ::testing::Test {
protected:
    explicit ZoneEditorTest(std::vector<SystemDisplay> screens = simscreens::sideBySide())
        : desktop(std::move(screens)) {
        state = std::make_unique<AppState>(AppPorts{desktop, desktop, desktop.displays(), input,
                                                    dispatcher, scheduler, log, defaults, localizer,
                                                    loginItem, services, surfaces},
                                           temp / "layouts.json");
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

    test::TempDir temp{"tessera-zone-editor"};
    SimDesktop desktop;
    SimInputEvents input{desktop.displays()};
    SimHotkeys hotkeyPort;
    HotkeyDispatcher dispatcher{hotkeyPort};
    SimScheduler scheduler;
    SimLog log;
    SimDefaults defaults;
    TableLocalizer localizer = makeSimLocalizer();
    SimLoginItem loginItem;
    SimAppServices services{
        {temp / "home", temp / "data", temp / "config", temp / "tmp", std::nullopt},
        42,
        "app.tessera.Tessera"};
    SimOverlaySurfaceFactory surfaces;
    UndoManager undo;
    std::unique_ptr<AppState> state;
    std::unique_ptr<ZoneEditor> editor;
};

TEST_F(ZoneEditorTest, TheEditedDisplayIsTheChosenOneElseTheFirst) {
    ASSERT_EQ(app().screens().size(), 2U);
    EXPECT_EQ(editor->editedDisplay(), screen(0));
    editor->chooseDisplay(screen(1).id);
    EXPECT_EQ(editor->editedDisplay(), screen(1));
    EXPECT_EQ(editor->editedLayout(), app().store().layoutFor(screen(1)));
    app().setEditorScreenID("no such display");
    EXPECT_EQ(editor->editedDisplay(), screen(0));
}

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

TEST_F(ZoneEditorTest, NewZonesAreNamedAfterTheCountAndSelected) {
    const auto layout = editThreeZones();
    editor->addZone();
    const auto added = stored(layout.id).zones.back();
    EXPECT_EQ(added, (Zone{added.id, "Zone 4", 0.3, 0.3, 0.4, 0.4, std::nullopt}));
    EXPECT_EQ(editor->selectedZoneID(), added.id);

    const auto drawn = zone(0.25, 0.5, 0.25, 0.25, "ignored");
    editor->createZone(drawn);
    const auto created = stored(layout.id).zones.back();
    EXPECT_NE(created.id, drawn.id);
    EXPECT_EQ(created, (Zone{created.id, "Zone 5", 0.25, 0.5, 0.25, 0.25, std::nullopt}));
    EXPECT_EQ(editor->selectedZoneID(), created.id);

    ASSERT_TRUE(undo.undo());
    ASSERT_TRUE(undo.undo());
    editor->updateSelection();
    EXPECT_EQ(editor->selectedZoneID(), layout.zones.front().id);

    // Deleting selects the first zone left; clearing leaves nothing selected.
    editor->deleteZone(layout.zones.front().id);
    EXPECT_EQ(editor->selectedZoneID(), layout.zones.at(1).id);
    ASSERT_TRUE(editor->canClear());
    editor->clearZones();
    EXPECT_FALSE(editor->canClear());
    EXPECT_FALSE(editor->selectedZoneID().has_value());
}

TEST_F(ZoneEditorTest, SplittingHalvesTheZoneBothHalvesKeepingItsShortcut) {
    const auto layout = editThreeZones();
    const auto& original = layout.zones.front(); // x 0.1, width 0.5
    editor->splitZone(original.id, true);
    const auto zones = stored(layout.id).zones;
    ASSERT_EQ(zones.size(), 4U);
    const auto expectHalf = [&](const Zone& half, const char* name, double x) {
        SCOPED_TRACE(name);
        EXPECT_EQ(half.name, name);
        EXPECT_DOUBLE_EQ(half.x, x);
        EXPECT_DOUBLE_EQ(half.width, 0.25);
        EXPECT_EQ(half.y, original.y);
        EXPECT_EQ(half.height, original.height);
        EXPECT_EQ(half.shortcut, original.shortcut);
        EXPECT_NE(half.id, original.id);
    };
    expectHalf(zones[0], "Editor Left", 0.1);
    expectHalf(zones[1], "Editor Right", 0.35);
    EXPECT_NE(zones[0].id, zones[1].id);
    EXPECT_EQ(editor->selectedZoneID(), zones[0].id);

    // A strip too thin to halve: both halves get the minimum height, pushed back inside.
    Layout strip{Uuid::random(), "Strip", {zone(0, 0.95, 1, 0.05, "Strip")}};
    app().store().upsert(strip);
    app().assignLayout(strip.id, screen(0));
    editor->splitZone(strip.zones.front().id, false);
    const auto halves = stored(strip.id).zones;
    ASSERT_EQ(halves.size(), 2U);
    EXPECT_EQ(halves[0].name, "Strip Top");
    EXPECT_EQ(halves[1].name, "Strip Bottom");
    EXPECT_DOUBLE_EQ(halves[0].y, 0.95);
    EXPECT_DOUBLE_EQ(halves[0].height, 0.04);
    EXPECT_DOUBLE_EQ(halves[1].y, 0.96);
    EXPECT_DOUBLE_EQ(halves[1].height, 0.04);
}

TEST_F(ZoneEditorTest, WithoutAnUndoManagerEditsStillSave) {
    const auto layout = editThreeZones();
    ZoneEditor noUndo(app(), localizer, nullptr);
    noUndo.deleteZone(layout.zones.back().id);
    EXPECT_EQ(stored(layout.id).zones.size(), 2U);
    EXPECT_FALSE(undo.canUndo());
}

TEST(PercentText, FollowsTheLanguagesDecimalSeparatorAndStaysAPlainNumber) {
    for (const auto* language : {"ru", "fr", "es", "el", "de", "de-CH", "fr_CA"}) {
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

    // German text in a German editor.
    const auto german = makeSimLocalizer("de");
    ZoneEditor editorDE(app(), german, &undo);
    ASSERT_TRUE(editorDE.setExactSize(id, ZoneEdge::top, "12,5"));
    EXPECT_DOUBLE_EQ(current().y, 0.125);
    EXPECT_EQ(editorDE.exactSizeText(id, ZoneEdge::top), "12,5%");
    EXPECT_EQ(undo.undoActionName(), german.localized("Edit Zone"));
    EXPECT_FALSE(editorDE.setExactSize(id, ZoneEdge::top, "12.5"));
}

TEST_F(ZoneEditorTest, TheSteppersMoveByFivePercentWithinTheRange) {
    const auto layout = editThreeZones();
    const auto id = layout.zones.at(1).id; // x 0.6, y 0, width 0.4, height 0.5
    EXPECT_FALSE(editor->canStepExactSize(id, ZoneEdge::top, false)) << "already at 0";
    editor->stepExactSize(id, ZoneEdge::top, false);
    EXPECT_FALSE(undo.canUndo()) << "a stepper that can't move records nothing";

    editor->stepExactSize(id, ZoneEdge::height, true);
    EXPECT_DOUBLE_EQ(stored(layout.id).zones.at(1).height, 0.55);
    EXPECT_EQ(undo.undoActionName(), "Edit Zone");
    editor->stepExactSize(id, ZoneEdge::left, false);
    EXPECT_DOUBLE_EQ(stored(layout.id).zones.at(1).x, 0.55);
    // From 98% one step up lands on 100%, and no further.
    ASSERT_TRUE(editor->setExactSize(id, ZoneEdge::width, "98"));
    editor->stepExactSize(id, ZoneEdge::width, true);
    EXPECT_DOUBLE_EQ(stored(layout.id).zones.at(1).width, 1.0);
    EXPECT_FALSE(editor->canStepExactSize(id, ZoneEdge::width, true));
    EXPECT_FALSE(editor->canStepExactSize(Uuid::random(), ZoneEdge::width, false));
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

    editorDE.renameZone(builtInZone.id, "Mail");
    editorDE.renameLayout("Desk");
    EXPECT_EQ(stored(builtIn.id).zones.front().name, "Mail");
    EXPECT_EQ(stored(builtIn.id).name, "Desk");
    EXPECT_EQ(editorDE.layoutNameText(), "Desk");
    EXPECT_FALSE(undo.canUndo());
}

TEST_F(ZoneEditorTest, ChoosingALayoutShowsItAndTheSelectionFollowsUnlessTheUserCleared) {
    const auto layout = editThreeZones();
    const auto other = app().store().layouts().front();
    ASSERT_NE(other.id, layout.id);
    editor->updateSelection();
    ASSERT_EQ(editor->selectedZoneID(), layout.zones.front().id);
    // Cleared by the user: stays cleared until the layout changes.
    editor->setSelectedZoneID(std::nullopt);
    editor->updateSelection();
    EXPECT_EQ(editor->selectedZoneID(), std::nullopt);

    const auto before = registrations();
    editor->chooseLayout(other.id);
    EXPECT_EQ(app().layoutIDForDisplay(screen(0)), other.id);
    EXPECT_GT(registrations(), before);
    EXPECT_EQ(editor->selectedZoneID(), firstZone(other));

    // A selection that still exists stays.
    editor->chooseLayout(layout.id);
    editor->setSelectedZoneID(layout.zones.at(2).id);
    editor->chooseDisplay(screen(0).id);
    EXPECT_EQ(editor->selectedZoneID(), layout.zones.at(2).id);

    // Nothing selected because the zones went away is not a choice: they come back selected.
    editor->clearZones();
    editor->updateSelection();
    EXPECT_EQ(editor->selectedZoneID(), std::nullopt);
    ASSERT_TRUE(undo.undo());
    editor->updateSelection();
    EXPECT_EQ(editor->selectedZoneID(), layout.zones.front().id);

    // Layouts the store doesn't hold are neither shown nor deleted.
    const auto assignments = app().store().assignments();
    editor->chooseLayout(Uuid::random());
    editor->requestLayoutDeletion(Uuid::random());
    EXPECT_EQ(app().store().assignments(), assignments);
    EXPECT_FALSE(editor->confirmsLayoutDeletion());
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
    EXPECT_EQ(editor->deletionTitle(), "Delete layout “Work”?");
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
    const auto shown = editor->editedLayout().value();
    EXPECT_NE(shown.id, layout.id);
    EXPECT_EQ(editor->selectedZoneID(), firstZone(shown));

    while (app().store().layouts().size() > 1) {
        ASSERT_TRUE(editor->canDeleteLayout());
        editor->requestLayoutDeletion(app().store().layouts().front().id);
        editor->confirmLayoutDeletion();
    }
    EXPECT_FALSE(editor->canDeleteLayout());
    editor->requestLayoutDeletion();
    EXPECT_FALSE(editor->confirmsLayoutDeletion());
    const auto last = app().store().layouts();
    editor->confirmLayoutDeletion();
    EXPECT_EQ(app().store().layouts(), last);
}

class ZoneEditorThreeDisplaysTest : public ZoneEditorTest {
protected:
    ZoneEditorThreeDisplaysTest() : ZoneEditorTest(threeDisplays()) {}
};

TEST_F(ZoneEditorThreeDisplaysTest, MonitorsAreJoinedAsAListOrNotInUse) {
    const auto layout = editThreeZones();
    EXPECT_EQ(editor->monitorsText(layout.id), screen(0).name);
    app().assignLayout(layout.id, screen(2));
    EXPECT_EQ(editor->monitorsText(layout.id), screen(0).name + " and " + screen(2).name);
    const auto german = makeSimLocalizer("de");
    EXPECT_EQ(ZoneEditor(app(), german, &undo).monitorsText(layout.id),
              screen(0).name + " und " + screen(2).name);
    app().assignLayout(layout.id, screen(1));
    EXPECT_EQ(editor->monitorsText(layout.id),
              screen(0).name + ", " + screen(1).name + ", and " + screen(2).name);

    const Layout unused{Uuid::random(), "Spare", {}};
    app().store().upsert(unused);
    EXPECT_EQ(editor->monitorsText(unused.id), "not in use");
}

} // namespace
