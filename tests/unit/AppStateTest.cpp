#include "PlacementTestSupport.h"
#include "TempDir.h"

#include "core/app/AppState.h"
#include "core/app/Preferences.h"
#include "core/drag/DragMonitor.h"
#include "core/drag/DragOverlayController.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/store/LayoutStore.h"
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

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tessera;
using placementtest::zone;

namespace fs = std::filesystem;

namespace {

constexpr ProcessId tesseraProcess = 42;
constexpr ProcessId editor = 501;
constexpr ProcessId browser = 502;
constexpr ProcessId agent = 503;
constexpr const char* bundleID = "app.tessera.Tessera";

class AppStateTest : public ::testing::Test {
protected:
    UserFolders folders() const {
        return {temp / "home", temp / "data", temp / "config", temp / "tmp", std::nullopt};
    }
    AppPorts ports() {
        return {desktop, desktop,  desktop.displays(), input,     dispatcher, scheduler,
                log,     defaults, localizer,          loginItem, services,   surfaces};
    }
    AppState& make() {
        state = std::make_unique<AppState>(ports());
        announcements = 0;
        watch = state->onWillChange([this] { ++announcements; });
        return *state;
    }
    // Created and started, with the first permission delivery handed on.
    AppState& started() {
        make().start();
        scheduler.runPending();
        return *state;
    }

    std::size_t registrations() const { return hotkeyPort.registrations().size(); }
    // A layout the store does not hold yet, with a zone that carries a shortcut.
    Layout layoutWithShortcut() const {
        auto left = zone(0, 0, 0.5, 1, "Left");
        left.shortcut = KeyCombo{18, carbon::controlKey | carbon::optionKey | carbon::cmdKey, "1"};
        return {Uuid::random(), "Halves", {left, zone(0.5, 0, 0.5, 1, "Right")}};
    }
    bool zoneShortcutRegistered(const Layout& layout) const {
        const auto& combo = layout.zones.front().shortcut.value();
        return hotkeyPort.registeredID(combo.keyCode, combo.carbonModifiers).has_value();
    }

    test::TempDir temp{"tessera-appstate"};
    SimDesktop desktop;
    SimInputEvents input{desktop.displays()};
    SimHotkeys hotkeyPort;
    HotkeyDispatcher dispatcher{hotkeyPort};
    SimScheduler scheduler;
    SimLog log;
    SimDefaults defaults;
    TableLocalizer localizer = makeSimLocalizer();
    SimLoginItem loginItem;
    SimAppServices services{folders(), tesseraProcess, bundleID};
    SimOverlaySurfaceFactory surfaces;
    std::size_t announcements = 0;
    // Last, so the state goes before everything it refers to.
    std::unique_ptr<AppState> state;
    Connection watch;
};

// --- Creation and start ---

TEST_F(AppStateTest, CreationRegistersTheDefaultsAndMakesTheStoreButStartsNothing) {
    loginItem.setStatus(LoginItemStatus::enabled);
    desktop.setTrusted(false);
    desktop.displays().setScreens(simscreens::sideBySide());
    auto& app = make();
    for (const auto& [key, value] : registeredDefaults()) {
        EXPECT_EQ(defaults.object(key), value) << key;
    }
    EXPECT_TRUE(fs::exists(temp / "data" / "Tessera" / "layouts.json"));
    EXPECT_EQ(app.screens(), makeScreenInfos(simscreens::sideBySide()));
    EXPECT_EQ(app.permissions(), (PermissionStatus{false, true}));
    EXPECT_TRUE(app.launchAtLogin());
    EXPECT_FALSE(app.permissionsMonitor().isPolling());
    EXPECT_EQ(app.dragMonitor(), nullptr);
    EXPECT_EQ(hotkeyPort.registerCount(), 0U);

    // An explicit store file is used instead; a login item waiting for approval is not on.
    loginItem.setStatus(LoginItemStatus::requiresApproval);
    AppState other(ports(), temp / "elsewhere.json");
    EXPECT_TRUE(fs::exists(temp / "elsewhere.json"));
    EXPECT_FALSE(other.launchAtLogin());
}

TEST_F(AppStateTest, StartRegistersShortcutsAndMakesTheDragMonitorOnceWhateverThePermissions) {
    input.setListenEventAccess(false);
    auto& app = make();
    // An overlay up before start shows that the monitor was stopped first: that hides it.
    app.previewZones();
    app.start();
    EXPECT_TRUE(app.permissionsMonitor().isPolling());
    auto* monitor = app.dragMonitor();
    ASSERT_NE(monitor, nullptr);
    EXPECT_FALSE(app.overlay().isVisible());
    EXPECT_EQ(monitor->ownPID(), tesseraProcess);
    // Refused the tap, the monitors still watch Tessera's own windows.
    EXPECT_FALSE(monitor->hasTap());
    EXPECT_TRUE(monitor->hasGlobalMonitor());
    ASSERT_NE(app.hotkeys(), nullptr);
    const auto perRound = registrations();
    EXPECT_GT(perRound, 0U);

    // The permission subscription hands the current status on a turn later; starting again
    // subscribes nothing twice.
    const auto* center = app.hotkeys();
    scheduler.runPending();
    app.start();
    scheduler.runPending();
    EXPECT_EQ(app.hotkeys(), center);
    EXPECT_EQ(hotkeyPort.registerCount(), 2 * perRound);
    EXPECT_EQ(hotkeyPort.installCount(), 1U);

    // A refused tap is not tried again when Input Monitoring is granted later.
    input.setListenEventAccess(true);
    scheduler.advance(PermissionMonitor::pollInterval);
    EXPECT_TRUE(app.permissions().inputMonitoring);
    app.updateServices();
    EXPECT_EQ(app.dragMonitor(), monitor);
    EXPECT_EQ(input.tapCreationAttempts(), 1U);
}

TEST_F(AppStateTest, WithdrawingAccessibilityDropsTheCenterAndGrantingMakesANewOne) {
    auto& app = started();
    const auto perRound = registrations();
    ASSERT_GT(perRound, 0U);

    // The center's knowledge of shortcuts other programs hold is published, and goes with it.
    hotkeyPort.markTakenByOtherApplication(info(WindowCommand::fillScreen).defaultKeyCode,
                                           info(WindowCommand::fillScreen).defaultCarbonModifiers);
    announcements = 0;
    app.registerAllHotkeys();
    EXPECT_EQ(announcements, 1U);
    EXPECT_TRUE(app.shortcutsHeldElsewhere().holds(WindowCommand::fillScreen));

    desktop.setTrusted(false);
    scheduler.advance(PermissionMonitor::pollInterval);
    EXPECT_FALSE(app.permissions().accessibility);
    EXPECT_EQ(app.hotkeys(), nullptr);
    EXPECT_TRUE(app.shortcutsHeldElsewhere().empty());
    EXPECT_EQ(registrations(), 0U);

    // Input Monitoring alone changing keeps the hotkeys off and leaves the drag monitor be.
    input.setListenEventAccess(false);
    scheduler.advance(PermissionMonitor::pollInterval);
    EXPECT_EQ(app.permissions(), (PermissionStatus{false, false}));
    EXPECT_EQ(app.hotkeys(), nullptr);
    EXPECT_EQ(input.tapCreationAttempts(), 1U);

    desktop.setTrusted(true);
    scheduler.advance(PermissionMonitor::pollInterval);
    ASSERT_NE(app.hotkeys(), nullptr);
    EXPECT_EQ(registrations(), perRound - 1);
    EXPECT_TRUE(app.shortcutsHeldElsewhere().holds(WindowCommand::fillScreen));
    EXPECT_EQ(hotkeyPort.installCount(), 1U);
}

// --- The last foreign application ---

TEST_F(AppStateTest, WithTesseraInFrontTheFrontmostOrdinaryWindowOfARegularApplicationCounts) {
    desktop.addApplication(tesseraProcess, bundleID, "Tessera");
    desktop.addApplication(editor, "com.example.editor", "Editor");
    desktop.addApplication(browser, "com.example.browser", "Browser");
    desktop.addApplication(agent, "com.example.agent", "Agent", ActivationPolicy::accessory);
    // Added back to front: the window added last is in front.
    desktop.addWindow(editor, {0, 100, 600, 400}, SimWindowOptions{}.offScreen());
    desktop.addWindow(agent, {200, 100, 300, 200});
    desktop.addWindow(tesseraProcess, {0, 30, 1180, 780});
    desktop.setFrontmostApplication(tesseraProcess);
    EXPECT_EQ(initialForeignPID(desktop, tesseraProcess), std::nullopt);

    desktop.addWindow(editor, {0, 100, 600, 400});
    desktop.addWindow(browser, {100, 100, 600, 400});
    desktop.addWindow(agent, {200, 100, 300, 200});
    desktop.addWindow(editor, {300, 30, 200, 100}, SimWindowOptions{}.onLayer(3));
    desktop.addWindow(tesseraProcess, {0, 30, 1180, 780});
    EXPECT_EQ(started().lastForeignPID(), browser);

    // Another application in front is the one.
    desktop.setFrontmostApplication(editor);
    EXPECT_EQ(initialForeignPID(desktop, tesseraProcess), editor);
}

TEST_F(AppStateTest, ActivatingTesseraNeverChangesTheLastForeignApplicationAndOthersAlwaysDo) {
    desktop.addApplication(tesseraProcess, bundleID, "Tessera");
    desktop.addApplication(editor, "com.example.editor", "Editor");
    desktop.addApplication(browser, "com.example.browser", "Browser");
    desktop.setFrontmostApplication(editor);
    auto& app = started();
    ASSERT_NE(app.hotkeys(), nullptr);
    EXPECT_EQ(app.hotkeys()->preferredForeignPID(), editor);
    announcements = 0;

    desktop.activateApplication(browser);
    desktop.activateApplication(tesseraProcess);
    EXPECT_EQ(app.lastForeignPID(), browser);
    EXPECT_EQ(announcements, 1U);
    // Shortcuts pressed now act on the application the user came from.
    EXPECT_EQ(app.hotkeys()->preferredForeignPID(), browser);

    desktop.activateApplication(editor);
    desktop.activateApplication(editor);
    EXPECT_EQ(app.lastForeignPID(), editor);
    EXPECT_EQ(announcements, 3U);
}

// --- Displays and store changes ---

TEST_F(AppStateTest, FieldsAnnounceBeforeTheyChangeAndStoreChangesOnceMade) {
    auto& app = make();
    std::vector<AppPage> seen;
    const auto seenBefore = app.onWillChange([&] { seen.push_back(app.page()); });
    app.setPage(AppPage::zones);
    app.setSettingsPane(SettingsPane::keyboard);
    EXPECT_EQ(seen, (std::vector<AppPage>{AppPage::overview, AppPage::zones}));

    // Not started: no subscription sees this change, the update takes it up.
    desktop.displays().setScreens(simscreens::withPortrait());
    EXPECT_EQ(app.screens(), makeScreenInfos(simscreens::single()));
    app.updateServices();
    EXPECT_EQ(app.screens(), makeScreenInfos(simscreens::withPortrait()));

    app.start();
    scheduler.runPending();
    announcements = 0;
    app.updateServices();
    EXPECT_EQ(announcements, 0U);
    // The notification always republishes, even identical displays.
    desktop.displays().setScreens(desktop.displays().screens());
    EXPECT_EQ(announcements, 1U);
    desktop.displays().setScreens(simscreens::stacked());
    EXPECT_EQ(app.screens(), makeScreenInfos(simscreens::stacked()));

    // The store announces before it changes; the state a turn later, once it has.
    std::vector<std::size_t> layoutCounts;
    const auto counted =
        app.onWillChange([&] { layoutCounts.push_back(app.store().layouts().size()); });
    const auto count = app.store().layouts().size();
    app.store().upsert(layoutWithShortcut());
    EXPECT_TRUE(layoutCounts.empty());
    scheduler.runPending();
    EXPECT_EQ(layoutCounts, std::vector<std::size_t>{count + 1});
}

TEST_F(AppStateTest, NothingReachesAStateThatIsGone) {
    desktop.addApplication(editor, "com.example.editor", "Editor");
    auto& app = make();
    app.start();
    app.store().upsert(layoutWithShortcut());
    app.previewZones();
    UndoManager undo;
    auto layout = layoutWithShortcut();
    app.applyLayoutChange(layout, "Add Layout", nullptr);
    layout.name = "Renamed";
    app.applyLayoutChange(layout, "Rename Layout", &undo);
    ASSERT_GT(scheduler.pendingCount(), 0U);

    state.reset();
    watch.disconnect();
    scheduler.advance(10);
    desktop.activateApplication(editor);
    desktop.displays().setScreens(simscreens::sideBySide());
    EXPECT_FALSE(undo.undo());
    EXPECT_FALSE(dispatcher.hasTarget());
    // The dropped center gave its key combinations back.
    EXPECT_EQ(registrations(), 0U);
}

// --- Layout changes ---

TEST_F(AppStateTest, AnEditedLayoutUndoesToThePreviousZonesAndRedoesTheEdit) {
    auto& app = started();
    UndoManager undo;
    const auto original = layoutWithShortcut();
    // A new layout registers no undo step, but its shortcuts.
    app.applyLayoutChange(original, "Add Layout", &undo);
    EXPECT_FALSE(undo.canUndo());
    ASSERT_TRUE(zoneShortcutRegistered(original));

    auto edited = original;
    edited.zones.front().shortcut.reset();
    edited.zones.front().width = 0.4;
    const auto position = app.store().layouts().size() - 1;
    app.applyLayoutChange(edited, "Resize Zone", &undo);
    EXPECT_EQ(app.store().layouts().at(position), edited);
    EXPECT_FALSE(zoneShortcutRegistered(original));
    EXPECT_EQ(undo.undoActionName(), "Resize Zone");

    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(app.store().layouts().at(position), original);
    EXPECT_TRUE(zoneShortcutRegistered(original));
    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(app.store().layouts().at(position), edited);
    EXPECT_FALSE(zoneShortcutRegistered(original));
    EXPECT_EQ(app.store().layouts().size(), position + 1);

    // The state's steps can be dropped.
    undo.removeAllActions(app.undoTarget());
    EXPECT_FALSE(undo.canUndo());

    // Assigning a layout shows it on the display and registers its shortcuts.
    const auto other = layoutWithShortcut();
    app.store().upsert(other);
    app.assignLayout(other.id, app.screens().front());
    EXPECT_EQ(app.layoutIDForDisplay(app.screens().front()), other.id);
    EXPECT_TRUE(zoneShortcutRegistered(other));
}

// --- Login item and backups ---

TEST_F(AppStateTest, LaunchAtLoginShowsTheStateTheSystemReportsBack) {
    auto& app = make();
    app.setLaunchAtLogin(true);
    EXPECT_TRUE(app.launchAtLogin());

    loginItem.refuseChanges("Operation not permitted");
    app.setLaunchAtLogin(false);
    EXPECT_EQ(loginItem.unregisterCount(), 1U);
    EXPECT_TRUE(app.launchAtLogin());

    // Turned off behind our back, then refused: the flag follows the system, not the request.
    loginItem.setStatus(LoginItemStatus::notRegistered);
    app.setLaunchAtLogin(true);
    EXPECT_FALSE(app.launchAtLogin());

    loginItem.refuseChanges(std::nullopt);
    loginItem.setRequiresApproval(true);
    app.setLaunchAtLogin(true);
    EXPECT_FALSE(app.launchAtLogin());
    EXPECT_EQ(announcements, 4U);

    // A backup reads and changes the state's own parts.
    app.start();
    auto context = app.backupContext();
    EXPECT_EQ(&context.store, &app.store());
    loginItem.setRequiresApproval(false);
    context.setOpenAtLogin(true);
    EXPECT_TRUE(context.openAtLogin());
    const auto count = hotkeyPort.registerCount();
    context.registerAll();
    EXPECT_GT(hotkeyPort.registerCount(), count);
}

// --- Zone preview ---

TEST_F(AppStateTest, APreviewLastsTwoPointFourSecondsAndARepeatStartsTheTimeAgain) {
    auto& app = make();
    // Before the drag monitor exists the state times the preview itself.
    app.previewZones();
    EXPECT_TRUE(app.overlay().isVisible());
    scheduler.advance(1.0);
    app.previewZones();
    scheduler.advance(AppState::previewSeconds - 0.01);
    EXPECT_TRUE(app.overlay().isVisible());
    scheduler.advance(0.01);
    EXPECT_FALSE(app.overlay().isVisible());

    // A preview started before the monitor must not cut the monitor's later one short.
    app.previewZones();
    app.start();
    scheduler.advance(2.0);
    app.previewZones();
    EXPECT_TRUE(app.dragMonitor()->isPreviewPending());
    scheduler.advance(AppState::previewSeconds - 0.01);
    EXPECT_TRUE(app.overlay().isVisible());
    scheduler.advance(0.01);
    EXPECT_FALSE(app.overlay().isVisible());
}

// --- Before the state: migration and language ---

class PrepareLaunchTest : public ::testing::Test {
protected:
    void writeOldPreferences(const std::string& entries) {
        test::writeTestFile(sandboxPreferencesFile(home.path(), bundleID),
                            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                            "<plist version=\"1.0\"><dict>" +
                                entries + "</dict></plist>\n");
    }
    UserFolders folders() const { return {home.path(), std::nullopt, {}, {}, std::nullopt}; }
    std::optional<DefaultsValue> value(std::string_view key) const {
        const auto domain = defaults.persistentDomain();
        const auto it = domain.find(key);
        return it == domain.end() ? std::nullopt : std::optional(it->second);
    }

    test::TempDir home{"tessera-launch"};
    SimDefaults defaults;
};

TEST_F(PrepareLaunchTest, CurrentValuesWinOldOnesAreCopiedAndTheMigratedLanguageIsApplied) {
    defaults = SimDefaults({{"windowGap", 4.0}});
    writeOldPreferences("<key>windowGap</key><real>20</real>"
                        "<key>tightEdges</key><true/>"
                        "<key>appLanguage</key><string>de</string>");

    const auto report = prepareLaunch(defaults, folders(), bundleID);

    EXPECT_TRUE(report.ran);
    EXPECT_EQ(value("windowGap"), DefaultsValue(4.0));
    EXPECT_EQ(value("tightEdges"), DefaultsValue(true));
    EXPECT_EQ(value(prefs::migratedFromSandbox), DefaultsValue(true));
    EXPECT_EQ(value(prefs::appleLanguages), DefaultsValue(std::vector<std::string>{"de"}));

    // Later launches migrate nothing, even a changed old file, but still apply the language.
    writeOldPreferences("<key>gridColumns</key><integer>24</integer>");
    defaults.set(prefs::appLanguage, std::string("fr"));
    SimAppServices app({home.path(), std::nullopt, {}, {}, std::nullopt}, tesseraProcess, bundleID);
    EXPECT_FALSE(prepareLaunch(defaults, app).ran);
    EXPECT_EQ(value("gridColumns"), std::nullopt);
    EXPECT_EQ(value(prefs::appleLanguages), DefaultsValue(std::vector<std::string>{"fr"}));

    // "system" removes the override; without a chosen language English is applied.
    defaults.set(prefs::appLanguage, std::string("system"));
    prepareLaunch(defaults, folders(), bundleID);
    EXPECT_EQ(value(prefs::appleLanguages), std::nullopt);
    defaults.remove(prefs::appLanguage);
    prepareLaunch(defaults, folders(), bundleID);
    EXPECT_EQ(value(prefs::appleLanguages), DefaultsValue(std::vector<std::string>{"en"}));
}

} // namespace
