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
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tessera;
using placementtest::zone;

namespace {

constexpr ProcessId tesseraProcess = 42;
constexpr const char* bundleID = "app.tessera.Tessera";

std::vector<SystemDisplay> threeDisplays() {
    auto screens = simscreens::sideBySide();
    screens.push_back(simscreens::display({-1280, 0, 1280, 800}, "Projector", 1, 0, 0));
    return screens;
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
    Layout editThreeZones() {
        auto first = zone(0.1, 0.2, 0.5, 0.6, "Editor");
        first.shortcut = KeyCombo{18, carbon::controlKey | carbon::optionKey, "1"};
        Layout layout{Uuid::random(), "Work", {first, zone(0.6, 0, 0.4, 0.5), zone(0, 0, 0.1, 1)}};
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
        tesseraProcess,
        bundleID};
    SimOverlaySurfaceFactory surfaces;
    UndoManager undo;
    std::unique_ptr<AppState> state;
    std::unique_ptr<ZoneEditor> editor;
};

class ZoneEditorThreeDisplaysTest : public ZoneEditorTest {
protected:
    ZoneEditorThreeDisplaysTest() : ZoneEditorTest(threeDisplays()) {}
};

// --- Edited display and layout ---

TEST_F(ZoneEditorTest, TheEditedDisplayIsTheChosenOneElseTheFirst) {
    ASSERT_EQ(app().screens().size(), 2U);
    EXPECT_EQ(editor->editedDisplay(), screen(0));

    editor->chooseDisplay(screen(1).id);
    EXPECT_EQ(editor->editedDisplay(), screen(1));
    EXPECT_EQ(editor->editedLayout(), app().store().layoutFor(screen(1)));

    app().setEditorScreenID("no such display");
    EXPECT_EQ(editor->editedDisplay(), screen(0));
}

// --- Zone operations with undo and redo ---

TEST_F(ZoneEditorTest, AddingAZoneNamesItAfterTheCountSelectsItAndUndoes) {
    const auto layout = editThreeZones();
    const auto before = registrations();

    editor->addZone();

    const auto added = stored(layout.id).zones.back();
    ASSERT_EQ(stored(layout.id).zones.size(), 4U);
    EXPECT_EQ(added.name, "Zone 4");
    EXPECT_EQ(added, (Zone{added.id, "Zone 4", 0.3, 0.3, 0.4, 0.4, std::nullopt}));
    EXPECT_EQ(editor->selectedZoneID(), added.id);
    // The list of shortcuts grew, even without a new shortcut.
    EXPECT_GT(registrations(), before);
    EXPECT_EQ(undo.undoActionName(), "Add Zone");

    // Named after the count, not after the names already there.
    editor->addZone();
    EXPECT_EQ(stored(layout.id).zones.back().name, "Zone 5");

    ASSERT_TRUE(undo.undo());
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(stored(layout.id), layout);
    editor->updateSelection();
    EXPECT_EQ(editor->selectedZoneID(), layout.zones.front().id);
    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(stored(layout.id).zones.back(), added);
}

TEST_F(ZoneEditorTest, ADrawnZoneGetsAFreshIdAndTheNextName) {
    const auto layout = editThreeZones();
    const auto drawn = zone(0.25, 0.5, 0.25, 0.25, "ignored");

    editor->createZone(drawn);

    const auto created = stored(layout.id).zones.back();
    EXPECT_NE(created.id, drawn.id);
    EXPECT_EQ(created.name, "Zone 4");
    EXPECT_EQ(created.x, 0.25);
    EXPECT_EQ(editor->selectedZoneID(), created.id);
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(stored(layout.id), layout);
}

TEST_F(ZoneEditorTest, MovingAZoneSavesWithoutRegisteringAndAnUnchangedListSavesNothing) {
    const auto layout = editThreeZones();
    const auto before = registrations();
    auto moved = layout.zones;
    moved.front().x = 0.2;

    editor->beginEditZones();
    editor->setZones(moved);

    EXPECT_EQ(stored(layout.id).zones, moved);
    EXPECT_EQ(registrations(), before);
    EXPECT_EQ(undo.undoActionName(), "Edit Zone");

    int storeChanges = 0;
    const auto watch = app().store().onWillChange([&] { ++storeChanges; });
    editor->setZones(moved);
    EXPECT_EQ(storeChanges, 0);

    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(stored(layout.id), layout);
    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(stored(layout.id).zones, moved);
}

TEST_F(ZoneEditorTest, ChangingAShortcutRegistersAgain) {
    const auto layout = editThreeZones();
    const auto before = registrations();

    editor->setShortcut(layout.zones.front().id, std::nullopt);

    EXPECT_FALSE(stored(layout.id).zones.front().shortcut.has_value());
    EXPECT_GT(registrations(), before);
    EXPECT_EQ(undo.undoActionName(), "Shortcut");
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(stored(layout.id), layout);
}

TEST_F(ZoneEditorTest, SplittingLeftAndRightHalvesTheZoneKeepingItsShortcut) {
    const auto layout = editThreeZones();
    const auto& original = layout.zones.front();

    editor->splitZone(original.id, true);

    const auto zones = stored(layout.id).zones;
    ASSERT_EQ(zones.size(), 4U);
    const auto& left = zones.at(0);
    const auto& right = zones.at(1);
    EXPECT_EQ(left.name, "Editor Left");
    EXPECT_EQ(right.name, "Editor Right");
    EXPECT_DOUBLE_EQ(left.x, 0.1);
    EXPECT_DOUBLE_EQ(left.width, 0.25);
    EXPECT_DOUBLE_EQ(right.x, 0.35);
    EXPECT_DOUBLE_EQ(right.width, 0.25);
    EXPECT_EQ(left.y, original.y);
    EXPECT_EQ(right.height, original.height);
    EXPECT_EQ(left.shortcut, original.shortcut);
    EXPECT_EQ(right.shortcut, original.shortcut);
    EXPECT_NE(left.id, original.id);
    EXPECT_NE(left.id, right.id);
    EXPECT_EQ(editor->selectedZoneID(), left.id);
    EXPECT_EQ(undo.undoActionName(), "Split Zone");

    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(stored(layout.id), layout);
}

TEST_F(ZoneEditorTest, SplittingAThinZoneTopAndBottomClampsBothHalves) {
    Layout layout{Uuid::random(), "Strip", {zone(0, 0.95, 1, 0.05, "Strip")}};
    app().store().upsert(layout);
    app().assignLayout(layout.id, screen(0));

    editor->splitZone(layout.zones.front().id, false);

    const auto zones = stored(layout.id).zones;
    ASSERT_EQ(zones.size(), 2U);
    EXPECT_EQ(zones[0].name, "Strip Top");
    EXPECT_EQ(zones[1].name, "Strip Bottom");
    EXPECT_DOUBLE_EQ(zones[0].height, 0.04);
    EXPECT_DOUBLE_EQ(zones[0].y, 0.95);
    EXPECT_DOUBLE_EQ(zones[1].height, 0.04);
    // Pushed back inside the free area.
    EXPECT_DOUBLE_EQ(zones[1].y, 0.96);
}

TEST_F(ZoneEditorTest, DeletingAZoneSelectsTheFirstLeftAndUndoes) {
    const auto layout = editThreeZones();
    editor->setSelectedZoneID(layout.zones.at(0).id);
    const auto before = registrations();

    editor->deleteZone(layout.zones.at(0).id);

    EXPECT_EQ(stored(layout.id).zones.size(), 2U);
    EXPECT_EQ(editor->selectedZoneID(), layout.zones.at(1).id);
    EXPECT_GT(registrations(), before);
    EXPECT_EQ(undo.undoActionName(), "Delete Zone");
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(stored(layout.id), layout);
}

TEST_F(ZoneEditorTest, ClearingEmptiesTheLayoutUntilUndone) {
    const auto layout = editThreeZones();
    ASSERT_TRUE(editor->canClear());

    editor->clearZones();

    EXPECT_TRUE(stored(layout.id).zones.empty());
    EXPECT_FALSE(editor->canClear());
    EXPECT_FALSE(editor->selectedZoneID().has_value());
    EXPECT_EQ(undo.undoActionName(), "Clear Zones");
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(stored(layout.id), layout);
    ASSERT_TRUE(undo.redo());
    EXPECT_TRUE(stored(layout.id).zones.empty());
}

TEST_F(ZoneEditorTest, WithoutAnUndoManagerEditsStillSave) {
    const auto layout = editThreeZones();
    ZoneEditor noUndo(app(), localizer, nullptr);

    noUndo.deleteZone(layout.zones.back().id);

    EXPECT_EQ(stored(layout.id).zones.size(), 2U);
    EXPECT_FALSE(undo.canUndo());
}

// --- Exact size ---

TEST(PercentText, FollowsTheLanguagesDecimalSeparator) {
    EXPECT_EQ(decimalSeparator("en"), '.');
    for (const auto* language : {"ru", "fr", "es", "el", "de", "de-CH", "fr_CA"}) {
        EXPECT_EQ(decimalSeparator(language), ',') << language;
    }
    EXPECT_EQ(formatPercent(0.5, "en"), "50");
    EXPECT_EQ(formatPercent(1.0 / 3, "en"), "33.3");
    EXPECT_EQ(formatPercent(1.0 / 3, "de"), "33,3");
    EXPECT_EQ(formatPercent(0.99996, "en"), "100");
    // A hand-edited file may store any finite fraction: the text stays a plain number.
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

TEST_F(ZoneEditorTest, ExactSizeFieldsStoreTheFractionClampedAndShowTenths) {
    const auto layout = editThreeZones();
    const auto id = layout.zones.at(1).id;
    EXPECT_EQ(editor->exactSizeText(id, ZoneEdge::left), "60%");

    ASSERT_TRUE(editor->setExactSize(id, ZoneEdge::width, "33.33"));
    EXPECT_DOUBLE_EQ(stored(layout.id).zones.at(1).width, 0.3333);
    EXPECT_EQ(editor->exactSizeText(id, ZoneEdge::width), "33.3%");
    EXPECT_EQ(undo.undoActionName(), "Edit Zone");

    ASSERT_TRUE(editor->setExactSize(id, ZoneEdge::height, "2"));
    EXPECT_DOUBLE_EQ(stored(layout.id).zones.at(1).height, 0.04);

    ASSERT_TRUE(editor->setExactSize(id, ZoneEdge::width, "30"));
    ASSERT_TRUE(editor->setExactSize(id, ZoneEdge::left, "80"));
    EXPECT_DOUBLE_EQ(stored(layout.id).zones.at(1).x, 0.7);

    // Every committed field is its own step.
    ASSERT_TRUE(undo.undo());
    EXPECT_DOUBLE_EQ(stored(layout.id).zones.at(1).x, 0.6);
    ASSERT_TRUE(undo.undo());
    EXPECT_DOUBLE_EQ(stored(layout.id).zones.at(1).width, 0.3333);

    const auto before = stored(layout.id);
    EXPECT_FALSE(editor->setExactSize(id, ZoneEdge::top, "half"));
    EXPECT_EQ(stored(layout.id), before);
    EXPECT_EQ(undo.undoActionName(), "Edit Zone");
}

TEST_F(ZoneEditorTest, TheSteppersMoveByFivePercentWithinTheRange) {
    const auto layout = editThreeZones();
    const auto id = layout.zones.at(1).id; // x 0.6, y 0, width 0.4, height 0.5

    EXPECT_FALSE(editor->canStepExactSize(id, ZoneEdge::top, false)) << "already at 0";
    EXPECT_TRUE(editor->canStepExactSize(id, ZoneEdge::top, true));
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

TEST_F(ZoneEditorTest, ExactSizeFieldsReadAndWriteGermanNumbers) {
    const auto layout = editThreeZones();
    const auto german = makeSimLocalizer("de");
    ZoneEditor editorDE(app(), german, &undo);
    const auto id = layout.zones.at(1).id;

    ASSERT_TRUE(editorDE.setExactSize(id, ZoneEdge::top, "12,5"));
    EXPECT_DOUBLE_EQ(stored(layout.id).zones.at(1).y, 0.125);
    EXPECT_EQ(editorDE.exactSizeText(id, ZoneEdge::top), "12,5%");
    EXPECT_EQ(undo.undoActionName(), german.localized("Edit Zone"));
    EXPECT_FALSE(editorDE.setExactSize(id, ZoneEdge::top, "12.5"));
}

// --- Renaming ---

TEST_F(ZoneEditorTest, RenamingToTheShownNameStoresNothing) {
    const auto builtIn = editor->editedLayout().value();
    ASSERT_FALSE(builtIn.zones.empty());
    const auto& builtInZone = builtIn.zones.front();
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

// --- Layout operations ---

TEST_F(ZoneEditorTest, ChoosingALayoutShowsItOnTheEditedDisplayAndMovesTheSelection) {
    const auto layout = editThreeZones();
    editor->setSelectedZoneID(layout.zones.at(2).id);
    const auto other = app().store().layouts().front();
    ASSERT_NE(other.id, layout.id);
    const auto before = registrations();

    editor->chooseLayout(other.id);

    EXPECT_EQ(app().layoutIDForDisplay(screen(0)), other.id);
    EXPECT_GT(registrations(), before);
    EXPECT_EQ(editor->selectedZoneID(),
              other.zones.empty() ? std::nullopt : std::optional<Uuid>(other.zones.front().id));

    // A selection that still exists stays.
    editor->chooseLayout(layout.id);
    editor->setSelectedZoneID(layout.zones.at(2).id);
    editor->chooseDisplay(screen(0).id);
    EXPECT_EQ(editor->selectedZoneID(), layout.zones.at(2).id);
}

TEST_F(ZoneEditorTest, ASelectionClearedByTheUserStaysClearedUntilTheLayoutChanges) {
    const auto layout = editThreeZones();
    editor->updateSelection();
    ASSERT_EQ(editor->selectedZoneID(), layout.zones.front().id);

    editor->setSelectedZoneID(std::nullopt);
    editor->updateSelection();
    EXPECT_EQ(editor->selectedZoneID(), std::nullopt);

    const auto other = app().store().layouts().front();
    ASSERT_NE(other.id, layout.id);
    editor->chooseLayout(other.id);
    EXPECT_EQ(editor->selectedZoneID(),
              other.zones.empty() ? std::nullopt : std::optional<Uuid>(other.zones.front().id));

    // Nothing selected because the zones went away is not a choice: they come back selected.
    editor->chooseLayout(layout.id);
    editor->clearZones();
    editor->updateSelection();
    EXPECT_EQ(editor->selectedZoneID(), std::nullopt);
    ASSERT_TRUE(undo.undo());
    editor->updateSelection();
    EXPECT_EQ(editor->selectedZoneID(), layout.zones.front().id);
}

TEST_F(ZoneEditorTest, LayoutsTheStoreDoesntHoldAreNeitherShownNorDeleted) {
    const auto layout = editThreeZones();
    const auto before = app().store().assignments();

    editor->chooseLayout(Uuid::random());
    editor->requestLayoutDeletion(Uuid::random());

    EXPECT_EQ(app().store().assignments(), before);
    EXPECT_EQ(app().layoutIDForDisplay(screen(0)), layout.id);
    EXPECT_FALSE(editor->confirmsLayoutDeletion());
}

TEST_F(ZoneEditorTest, ATemplateBecomesANewLayoutOfTheEditedDisplay) {
    editor->chooseDisplay(screen(1).id);
    editor->setShowsPresets(true);
    const auto count = app().store().layouts().size();
    const auto& preset = LayoutPreset::all().front();

    editor->addLayoutFromTemplate(preset);

    EXPECT_FALSE(editor->showsPresets());
    ASSERT_EQ(app().store().layouts().size(), count + 1);
    const auto added = app().store().layouts().back();
    EXPECT_EQ(added.zones.size(), preset.zones.size());
    EXPECT_EQ(app().layoutIDForDisplay(screen(1)), added.id);
    EXPECT_EQ(editor->selectedZoneID(), added.zones.front().id);
}

TEST_F(ZoneEditorTest, DuplicatingCopiesZonesWithFreshIdsAndNoShortcuts) {
    const auto layout = editThreeZones();

    editor->duplicateLayout();

    const auto copy = app().store().layouts().back();
    EXPECT_NE(copy.id, layout.id);
    EXPECT_EQ(copy.name, "Work Copy");
    ASSERT_EQ(copy.zones.size(), layout.zones.size());
    for (std::size_t i = 0; i < copy.zones.size(); ++i) {
        EXPECT_NE(copy.zones[i].id, layout.zones[i].id);
        EXPECT_EQ(copy.zones[i].name, layout.zones[i].name);
        EXPECT_EQ(copy.zones[i].x, layout.zones[i].x);
        EXPECT_FALSE(copy.zones[i].shortcut.has_value());
    }
    EXPECT_EQ(app().layoutIDForDisplay(screen(0)), copy.id);
    EXPECT_EQ(editor->selectedZoneID(), copy.zones.front().id);
    EXPECT_FALSE(undo.canUndo());
}

TEST_F(ZoneEditorTest, DeletingALayoutDropsEveryUndoStepAndStopsAtOne) {
    const auto layout = editThreeZones();
    editor->addZone();
    ASSERT_TRUE(undo.canUndo());

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
    EXPECT_EQ(editor->selectedZoneID(),
              shown.zones.empty() ? std::nullopt : std::optional<Uuid>(shown.zones.front().id));

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

// --- Monitors ---

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
