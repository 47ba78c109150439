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

// Preferences that note, at the moment the defaults are registered, whether the layouts file
// exists yet.
class OrderCheckingDefaults final : public Defaults {
public:
    explicit OrderCheckingDefaults(fs::path storeFile) : storeFile_(std::move(storeFile)) {}

    std::optional<DefaultsValue> object(std::string_view key) const override {
        return inner_.object(key);
    }
    DefaultsDomain persistentDomain() const override { return inner_.persistentDomain(); }
    bool set(std::string_view key, DefaultsValue value) override {
        return inner_.set(key, std::move(value));
    }
    bool remove(std::string_view key) override { return inner_.remove(key); }
    void registerDefaults(const DefaultsDomain& defaults) override {
        storeExistedAtRegistration.push_back(fs::exists(storeFile_));
        inner_.registerDefaults(defaults);
    }

    std::vector<bool> storeExistedAtRegistration;

private:
    fs::path storeFile_;
    SimDefaults inner_;
};

// Event sources that note the order in which the drag monitor asks for them.
class OrderRecordingInput final : public InputEvents {
public:
    explicit OrderRecordingInput(SimInputEvents& inner) : inner_(inner) {}

    std::unique_ptr<EventTap>
    createListenOnlyTap(EventMask mask, std::function<void(const TapEvent&)> callback) override {
        requests.push_back("tap");
        return inner_.createListenOnlyTap(mask, std::move(callback));
    }
    Connection addGlobalMonitor(EventMask mask,
                                std::function<void(const MonitorEvent&)> handler) override {
        requests.push_back("global");
        return inner_.addGlobalMonitor(mask, std::move(handler));
    }
    Connection addLocalMonitor(EventMask mask,
                               std::function<bool(const MonitorEvent&)> handler) override {
        requests.push_back("local");
        return inner_.addLocalMonitor(mask, std::move(handler));
    }
    bool preflightListenEventAccess() const override { return inner_.preflightListenEventAccess(); }

    std::vector<std::string> requests;

private:
    SimInputEvents& inner_;
};

class AppStateTest : public ::testing::Test {
protected:
    UserFolders folders() const {
        return {temp / "home", temp / "data", temp / "config", temp / "tmp", std::nullopt};
    }
    fs::path defaultStoreFile() const { return temp / "data" / "Tessera" / "layouts.json"; }

    AppPorts ports(Defaults& prefs, InputEvents& input) {
        return {desktop, desktop, desktop.displays(), input,     dispatcher, scheduler,
                log,     prefs,   localizer,          loginItem, services,   surfaces};
    }
    AppState& make() { return make(defaults, recordingInput); }
    AppState& make(Defaults& prefs, InputEvents& events) {
        state = std::make_unique<AppState>(ports(prefs, events));
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
    OrderRecordingInput recordingInput{input};
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

// --- Creation ---

TEST_F(AppStateTest, CreationRegistersDefaultsBeforeMakingTheStoreAndStartsNothing) {
    OrderCheckingDefaults prefs(defaultStoreFile());
    loginItem.setStatus(LoginItemStatus::enabled);
    desktop.setTrusted(false);
    input.setListenEventAccess(true);
    desktop.displays().setScreens(simscreens::sideBySide());

    auto& app = make(prefs, recordingInput);

    EXPECT_EQ(prefs.storeExistedAtRegistration, std::vector<bool>{false});
    EXPECT_EQ(app.store().fileURL(), defaultStoreFile());
    EXPECT_TRUE(fs::exists(defaultStoreFile()));
    for (const auto& [key, value] : registeredDefaults()) {
        EXPECT_EQ(prefs.object(key), value) << key;
    }

    EXPECT_EQ(app.ownPID(), tesseraProcess);
    EXPECT_EQ(app.screens(), makeScreenInfos(simscreens::sideBySide()));
    EXPECT_EQ(app.permissions(), (PermissionStatus{false, true}));
    EXPECT_TRUE(app.launchAtLogin());
    EXPECT_EQ(app.page(), AppPage::overview);
    EXPECT_EQ(app.settingsPane(), SettingsPane::general);
    EXPECT_EQ(app.editorScreenID(), std::nullopt);
    EXPECT_EQ(app.lastForeignPID(), std::nullopt);

    EXPECT_FALSE(app.isStarted());
    EXPECT_FALSE(app.permissionsMonitor().isPolling());
    EXPECT_EQ(app.dragMonitor(), nullptr);
    EXPECT_EQ(app.hotkeys(), nullptr);
    EXPECT_TRUE(recordingInput.requests.empty());
    EXPECT_EQ(hotkeyPort.registerCount(), 0U);
    EXPECT_EQ(scheduler.pendingCount(), 0U);
}

TEST_F(AppStateTest, AnExplicitStoreFileIsUsedAndLoginItemStatesOtherThanEnabledReadAsOff) {
    loginItem.setStatus(LoginItemStatus::requiresApproval);
    const auto file = temp / "elsewhere" / "layouts.json";
    fs::create_directories(file.parent_path());

    AppState app(ports(defaults, input), file);

    EXPECT_EQ(app.store().fileURL(), file);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(defaultStoreFile()));
    EXPECT_FALSE(app.launchAtLogin());
}

TEST_F(AppStateTest, PublishedFieldsAnnounceBeforeTheyChange) {
    auto& app = make();
    std::vector<AppPage> seen;
    const auto seenBefore = app.onWillChange([&] { seen.push_back(app.page()); });

    app.setPage(AppPage::zones);
    app.setSettingsPane(SettingsPane::keyboard);
    app.setEditorScreenID(std::string("1440x900 Built-in 2880x1800"));

    EXPECT_EQ(seen, (std::vector<AppPage>{AppPage::overview, AppPage::zones, AppPage::zones}));
    EXPECT_EQ(app.page(), AppPage::zones);
    EXPECT_EQ(app.settingsPane(), SettingsPane::keyboard);
    EXPECT_EQ(app.editorScreenID(), "1440x900 Built-in 2880x1800");
    EXPECT_EQ(announcements, 3U);
}

// --- Start and hotkeys ---

TEST_F(AppStateTest, StartingWithAccessibilityGrantedRegistersNowAndAgainOnTheFirstDelivery) {
    auto& app = make();
    app.start();

    EXPECT_TRUE(app.isStarted());
    EXPECT_TRUE(app.permissionsMonitor().isPolling());
    ASSERT_NE(app.hotkeys(), nullptr);
    EXPECT_TRUE(app.hotkeys()->hasHandler());
    const auto perRound = registrations();
    EXPECT_EQ(perRound, app.hotkeys()->commandHotkeys().size());
    EXPECT_GT(perRound, 0U);
    EXPECT_EQ(hotkeyPort.registerCount(), perRound);

    // The permission subscription hands the current status on a turn later.
    const auto* center = app.hotkeys();
    scheduler.runPending();
    EXPECT_EQ(app.hotkeys(), center);
    EXPECT_EQ(hotkeyPort.registerCount(), 2 * perRound);
    EXPECT_EQ(registrations(), perRound);
    EXPECT_EQ(hotkeyPort.installCount(), 1U);

    // Starting again subscribes nothing twice.
    app.start();
    scheduler.runPending();
    EXPECT_EQ(hotkeyPort.registerCount(), 2 * perRound);
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
    EXPECT_EQ(app.shortcutsHeldElsewhere().commands,
              std::vector<WindowCommand>{WindowCommand::fillScreen});

    desktop.setTrusted(false);
    scheduler.advance(PermissionMonitor::pollInterval);
    EXPECT_FALSE(app.permissions().accessibility);
    EXPECT_EQ(app.hotkeys(), nullptr);
    EXPECT_TRUE(app.shortcutsHeldElsewhere().empty());
    EXPECT_EQ(registrations(), 0U);
    EXPECT_EQ(hotkeyPort.unregisterCount(), 3 * perRound - 1);

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
    // Presses reach the new center: the same handler of the process, never installed again.
    EXPECT_EQ(hotkeyPort.installCount(), 1U);
    EXPECT_TRUE(dispatcher.hasTarget());
}

TEST_F(AppStateTest, StartingWithoutAccessibilityMakesNoCenter) {
    desktop.setTrusted(false);
    auto& app = started();

    EXPECT_EQ(app.hotkeys(), nullptr);
    EXPECT_EQ(hotkeyPort.registerCount(), 0U);
    EXPECT_NE(app.dragMonitor(), nullptr);
    EXPECT_TRUE(app.backupContext().registerAll == nullptr);
}

TEST_F(AppStateTest, TheDragMonitorIsMadeOnceAndSetUpStopFirstThenTapThenMonitors) {
    auto& app = make();
    // An overlay up before start shows that stop ran: it hides the overlay.
    app.previewZones();
    ASSERT_TRUE(app.overlay().isVisible());

    app.start();
    auto* monitor = app.dragMonitor();
    ASSERT_NE(monitor, nullptr);
    EXPECT_FALSE(app.overlay().isVisible());
    EXPECT_EQ(recordingInput.requests, (std::vector<std::string>{"tap", "global", "local"}));
    EXPECT_TRUE(monitor->hasTap());
    EXPECT_TRUE(monitor->hasGlobalMonitor());
    EXPECT_TRUE(monitor->hasLocalMonitor());
    EXPECT_EQ(monitor->ownPID(), tesseraProcess);
    EXPECT_EQ(input.lastTapMask(), dragEventMask);
    EXPECT_EQ(input.globalMonitorMasks(), std::vector<EventMask>{dragEventMask});
    EXPECT_EQ(input.localMonitorMasks(), std::vector<EventMask>{dragEventMask});

    scheduler.runPending();
    desktop.setTrusted(false);
    scheduler.advance(PermissionMonitor::pollInterval);
    app.updateServices();
    EXPECT_EQ(app.dragMonitor(), monitor);
    EXPECT_EQ(recordingInput.requests.size(), 3U);
    EXPECT_EQ(input.liveTapCount(), 1U);
}

TEST_F(AppStateTest, ARefusedTapIsNotTriedAgainWhenInputMonitoringIsGrantedLater) {
    input.setListenEventAccess(false);
    auto& app = started();

    ASSERT_NE(app.dragMonitor(), nullptr);
    EXPECT_FALSE(app.dragMonitor()->hasTap());
    EXPECT_TRUE(app.dragMonitor()->hasGlobalMonitor());
    EXPECT_EQ(log.messages(dragLogCategory), std::vector<std::string>{"event tap not created"});

    input.setListenEventAccess(true);
    scheduler.advance(PermissionMonitor::pollInterval);
    EXPECT_TRUE(app.permissions().inputMonitoring);
    EXPECT_EQ(input.tapCreationAttempts(), 1U);
}

// --- The last foreign application ---

TEST_F(AppStateTest, TheFrontmostOtherApplicationIsTheInitialForeignOne) {
    desktop.addApplication(editor, "com.example.editor", "Editor");
    desktop.setFrontmostApplication(editor);

    auto& app = started();

    EXPECT_EQ(app.lastForeignPID(), editor);
    ASSERT_NE(app.hotkeys(), nullptr);
    EXPECT_EQ(app.hotkeys()->preferredForeignPID(), editor);
}

TEST_F(AppStateTest, WithTesseraInFrontTheFrontmostOrdinaryWindowOfARegularApplicationCounts) {
    desktop.addApplication(tesseraProcess, bundleID, "Tessera");
    desktop.addApplication(editor, "com.example.editor", "Editor");
    desktop.addApplication(browser, "com.example.browser", "Browser");
    desktop.addApplication(agent, "com.example.agent", "Agent", ActivationPolicy::accessory);
    // Added back to front: the window added last is in front.
    desktop.addWindow(editor, {0, 100, 600, 400});
    desktop.addWindow(browser, {100, 100, 600, 400});
    desktop.addWindow(agent, {200, 100, 300, 200});
    desktop.addWindow(editor, {300, 30, 200, 100}, SimWindowOptions{}.onLayer(3));
    desktop.addWindow(tesseraProcess, {0, 30, 1180, 780});
    desktop.setFrontmostApplication(tesseraProcess);

    EXPECT_EQ(initialForeignPID(desktop, tesseraProcess), browser);
    EXPECT_EQ(started().lastForeignPID(), browser);
}

TEST_F(AppStateTest, WithTesseraInFrontAndNoOtherOrdinaryWindowThereIsNone) {
    desktop.addApplication(tesseraProcess, bundleID, "Tessera");
    desktop.addApplication(agent, "com.example.agent", "Agent", ActivationPolicy::accessory);
    desktop.addApplication(editor, "com.example.editor", "Editor");
    desktop.addWindow(agent, {200, 100, 300, 200});
    desktop.addWindow(editor, {0, 100, 600, 400}, SimWindowOptions{}.offScreen());
    desktop.addWindow(tesseraProcess, {0, 30, 1180, 780});
    desktop.setFrontmostApplication(tesseraProcess);

    EXPECT_EQ(started().lastForeignPID(), std::nullopt);

    // Nothing in front at all: the window list alone decides.
    desktop.quitApplication(tesseraProcess);
    desktop.setFrontmostApplication(std::nullopt);
    EXPECT_EQ(initialForeignPID(desktop, tesseraProcess), std::nullopt);
}

TEST_F(AppStateTest, ActivatingTesseraNeverChangesTheLastForeignApplicationAndOthersAlwaysDo) {
    desktop.addApplication(tesseraProcess, bundleID, "Tessera");
    desktop.addApplication(editor, "com.example.editor", "Editor");
    desktop.addApplication(browser, "com.example.browser", "Browser");
    desktop.setFrontmostApplication(editor);
    auto& app = started();
    ASSERT_NE(app.hotkeys(), nullptr);
    announcements = 0;

    desktop.activateApplication(browser);
    EXPECT_EQ(app.lastForeignPID(), browser);
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

TEST_F(AppStateTest, IdenticalDisplaysAreRepublishedByTheNotificationButNotByTheUpdate) {
    auto& app = started();
    const auto before = app.screens();
    announcements = 0;

    app.updateServices();
    EXPECT_EQ(announcements, 0U);

    desktop.displays().setScreens(desktop.displays().screens());
    EXPECT_EQ(announcements, 1U);
    EXPECT_EQ(app.screens(), before);

    desktop.displays().setScreens(simscreens::stacked());
    EXPECT_EQ(app.screens(), makeScreenInfos(simscreens::stacked()));
}

TEST_F(AppStateTest, TheUpdateTakesUpDisplaysThatChangedUnnoticed) {
    auto& app = make();
    // Not started: no subscription has seen this change.
    desktop.displays().setScreens(simscreens::withPortrait());
    EXPECT_EQ(app.screens(), makeScreenInfos(simscreens::single()));

    app.updateServices();
    EXPECT_EQ(app.screens(), makeScreenInfos(simscreens::withPortrait()));
    EXPECT_EQ(announcements, 1U);
}

TEST_F(AppStateTest, StoreChangesAreAnnouncedByTheStateOnceTheyAreMade) {
    auto& app = started();
    std::vector<std::size_t> layoutCounts;
    const auto seen =
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
    ASSERT_GT(scheduler.pendingCount(), 0U);

    state.reset();
    watch.disconnect();

    scheduler.advance(10);
    desktop.activateApplication(editor);
    desktop.displays().setScreens(simscreens::sideBySide());
    EXPECT_EQ(hotkeyPort.installedHandlerCount(), 1U);
    EXPECT_FALSE(dispatcher.hasTarget());
    // The dropped center gave its key combinations back.
    EXPECT_EQ(registrations(), 0U);
}

// --- Layout changes ---

TEST_F(AppStateTest, ANewLayoutRegistersNoUndoStepButItsShortcuts) {
    auto& app = started();
    UndoManager undo;
    const auto layout = layoutWithShortcut();

    app.applyLayoutChange(layout, "Add Layout", &undo);

    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(app.store().layouts().back(), layout);
    EXPECT_TRUE(zoneShortcutRegistered(layout));
}

TEST_F(AppStateTest, AnEditedLayoutUndoesToThePreviousZonesAndRedoesTheEdit) {
    auto& app = started();
    UndoManager undo;
    const auto original = layoutWithShortcut();
    app.applyLayoutChange(original, "Add Layout", nullptr);
    ASSERT_TRUE(zoneShortcutRegistered(original));

    auto edited = original;
    edited.zones.front().shortcut.reset();
    edited.zones.front().width = 0.4;
    edited.zones.back().x = 0.4;
    edited.zones.back().width = 0.6;
    const auto position = app.store().layouts().size() - 1;

    app.applyLayoutChange(edited, "Resize Zone", &undo);
    EXPECT_EQ(app.store().layouts().at(position), edited);
    EXPECT_FALSE(zoneShortcutRegistered(original));
    EXPECT_EQ(undo.undoActionName(), "Resize Zone");

    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(app.store().layouts().at(position), original);
    EXPECT_TRUE(zoneShortcutRegistered(original));
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(undo.redoActionName(), "Resize Zone");

    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(app.store().layouts().at(position), edited);
    EXPECT_FALSE(zoneShortcutRegistered(original));
    EXPECT_EQ(undo.undoActionName(), "Resize Zone");
    EXPECT_FALSE(undo.canRedo());

    // Replaced in place: no layout was added on the way.
    EXPECT_EQ(app.store().layouts().size(), position + 1);
}

TEST_F(AppStateTest, UndoStepsOfTheStateCanBeDroppedAndNeverOutliveIt) {
    auto& app = started();
    UndoManager undo;
    auto layout = layoutWithShortcut();
    app.applyLayoutChange(layout, "Add Layout", nullptr);
    layout.name = "Renamed";
    app.applyLayoutChange(layout, "Rename Layout", &undo);
    ASSERT_TRUE(undo.canUndo());

    undo.removeAllActions(app.undoTarget());
    EXPECT_FALSE(undo.canUndo());

    layout.name = "Renamed again";
    app.applyLayoutChange(layout, "Rename Layout", &undo);
    ASSERT_TRUE(undo.canUndo());
    state.reset();
    EXPECT_FALSE(undo.undo());
}

TEST_F(AppStateTest, AssigningALayoutShowsItOnTheDisplayAndRegistersAgain) {
    auto& app = started();
    const auto layout = layoutWithShortcut();
    app.store().upsert(layout);
    const auto screen = app.screens().front();
    const auto count = hotkeyPort.registerCount();

    app.assignLayout(layout.id, screen);

    EXPECT_EQ(app.layoutIDForDisplay(screen), layout.id);
    EXPECT_GT(hotkeyPort.registerCount(), count);
    EXPECT_TRUE(zoneShortcutRegistered(layout));
}

// --- Login item, relaunch, main window ---

TEST_F(AppStateTest, LaunchAtLoginShowsTheStateTheSystemReportsBack) {
    auto& app = make();

    app.setLaunchAtLogin(true);
    EXPECT_TRUE(app.launchAtLogin());
    EXPECT_EQ(loginItem.status(), LoginItemStatus::enabled);

    loginItem.refuseChanges("Operation not permitted");
    app.setLaunchAtLogin(false);
    EXPECT_EQ(loginItem.unregisterCount(), 1U);
    EXPECT_TRUE(app.launchAtLogin());

    // Turned off behind our back, then refused: the flag follows the system, not the request.
    loginItem.setStatus(LoginItemStatus::notRegistered);
    app.setLaunchAtLogin(true);
    EXPECT_FALSE(app.launchAtLogin());

    // Registered but waiting for the user's approval is not on.
    loginItem.refuseChanges(std::nullopt);
    loginItem.setRequiresApproval(true);
    app.setLaunchAtLogin(true);
    EXPECT_EQ(loginItem.status(), LoginItemStatus::requiresApproval);
    EXPECT_FALSE(app.launchAtLogin());
    EXPECT_EQ(loginItem.registerCount(), 3U);
    EXPECT_EQ(announcements, 4U);
}

TEST_F(AppStateTest, TheBackupContextReadsAndChangesTheStatesOwnParts) {
    auto& app = started();
    auto context = app.backupContext();

    EXPECT_EQ(&context.store, &app.store());
    EXPECT_EQ(&context.defaults, static_cast<Defaults*>(&defaults));
    EXPECT_EQ(context.appVersion, services.shortVersionString());
    ASSERT_TRUE(context.openAtLogin && context.setOpenAtLogin && context.registerAll);
    EXPECT_FALSE(context.openAtLogin());
    context.setOpenAtLogin(true);
    EXPECT_TRUE(app.launchAtLogin());
    EXPECT_TRUE(context.openAtLogin());

    const auto count = hotkeyPort.registerCount();
    context.registerAll();
    EXPECT_GT(hotkeyPort.registerCount(), count);
}

TEST_F(AppStateTest, RelaunchAndShowMainWindowGoToTheApplicationServices) {
    auto& app = make();
    app.showMainWindow();
    app.relaunch();
    EXPECT_EQ(services.calls(),
              (std::vector<SimAppServices::Call>{SimAppServices::Call::showMainWindow,
                                                 SimAppServices::Call::relaunch}));
}

// --- Zone preview ---

TEST_F(AppStateTest, APreviewWithoutADragMonitorLastsTwoPointFourSeconds) {
    auto& app = make();

    app.previewZones();
    EXPECT_TRUE(app.overlay().isVisible());
    EXPECT_EQ(surfaces.onScreenCount(), 1U);

    scheduler.advance(1.0);
    // A second preview starts the time again.
    app.previewZones();
    scheduler.advance(AppState::previewSeconds - 0.01);
    EXPECT_TRUE(app.overlay().isVisible());
    scheduler.advance(0.01);
    EXPECT_FALSE(app.overlay().isVisible());
}

TEST_F(AppStateTest, APreviewWithADragMonitorIsTheMonitors) {
    auto& app = started();

    app.previewZones();
    ASSERT_NE(app.dragMonitor(), nullptr);
    EXPECT_TRUE(app.dragMonitor()->isPreviewPending());
    EXPECT_TRUE(app.overlay().isVisible());

    scheduler.advance(AppState::previewSeconds - 0.01);
    EXPECT_TRUE(app.overlay().isVisible());
    scheduler.advance(0.01);
    EXPECT_FALSE(app.overlay().isVisible());
    EXPECT_FALSE(app.dragMonitor()->isPreviewPending());
}

TEST_F(AppStateTest, APreviewStartedBeforeTheMonitorDoesNotCutALaterOneShort) {
    auto& app = make();
    app.previewZones();
    app.start();
    scheduler.advance(2.0);

    app.previewZones();
    scheduler.advance(1.0);
    EXPECT_TRUE(app.overlay().isVisible());
    scheduler.advance(AppState::previewSeconds);
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
}

TEST_F(PrepareLaunchTest, WithoutAChosenLanguageEnglishIsAppliedAndSystemRemovesTheOverride) {
    prepareLaunch(defaults, folders(), bundleID);
    EXPECT_EQ(value(prefs::migratedFromSandbox), DefaultsValue(true));
    EXPECT_EQ(value(prefs::appleLanguages), DefaultsValue(std::vector<std::string>{"en"}));

    defaults.set(prefs::appLanguage, std::string("system"));
    prepareLaunch(defaults, folders(), bundleID);
    EXPECT_EQ(value(prefs::appleLanguages), std::nullopt);
}

} // namespace
