#include "AppTestSupport.h"
#include "core/app/PermissionMonitor.h"
#include "core/app/PreferenceMigration.h"
#include "core/app/Preferences.h"
#include "core/drag/DragMonitor.h"
#include "core/drag/DragOverlayController.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/store/LayoutStore.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tessera;
using namespace apptest;
using placementtest::zone;

namespace {
constexpr ProcessId editor = 501;
constexpr ProcessId browser = 502;

class AppStateTest : public ::testing::Test, protected SimApp {
protected:
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
    std::size_t announcements = 0;
    // Last, so the state goes before everything it refers to.
    std::unique_ptr<AppState> state;
    Connection watch;
};

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
class PermissionMonitorTest : public ::testing::Test {
protected:
    // The monitor is made on demand so each test first sets the permissions it starts with.
    PermissionMonitor& monitor() {
        if (!monitor_) {
            monitor_ = std::make_unique<PermissionMonitor>(desktop, input, desktop, scheduler);
            connection_ = monitor_->onStatusChange(
                [this](PermissionStatus status) { published.push_back(status); });
        }
        return *monitor_;
    }
    void grant(bool accessibility, bool inputMonitoring) {
        desktop.setTrusted(accessibility);
        input.setListenEventAccess(inputMonitoring);
    }

    SimDesktop desktop;
    SimInputEvents input{desktop.displays()};
    SimScheduler scheduler;
    std::vector<PermissionStatus> published;

private:
    std::unique_ptr<PermissionMonitor> monitor_;
    Connection connection_;
};
} // namespace

TEST_F(PermissionMonitorTest, TheFirstStatusIsTestedAtOnceAndPollingPublishesEachChangeOnce) {
    grant(false, true);
    EXPECT_EQ(monitor().status(), (PermissionStatus{false, true}));
    EXPECT_TRUE(published.empty());
    EXPECT_FALSE(monitor().isPolling());
    EXPECT_EQ(scheduler.pendingCount(), 0U);

    // Without polling a flip goes unnoticed until someone asks.
    grant(true, true);
    scheduler.advance(10);
    EXPECT_EQ(monitor().status(), (PermissionStatus{false, true}));
    monitor().refresh();
    EXPECT_EQ(published, (std::vector<PermissionStatus>{{true, true}}));

    // Ten ticks with nothing changed test ten times and publish nothing.
    monitor().startPolling();
    EXPECT_TRUE(monitor().isPolling());
    scheduler.advance(15);
    EXPECT_EQ(desktop.count(SimCallKind::trustCheck), 12U);
    EXPECT_EQ(published.size(), 1U);
    // A change shows within one interval; both flipping between two ticks arrive as one change.
    grant(false, true);
    scheduler.advance(PermissionMonitor::pollInterval);
    EXPECT_EQ(monitor().status(), (PermissionStatus{false, true}));
    grant(true, false);
    scheduler.advance(PermissionMonitor::pollInterval);
    EXPECT_EQ(published,
              (std::vector<PermissionStatus>{{true, true}, {false, true}, {true, false}}));

    // Every check asked the system explicitly not to prompt.
    for (const auto& call : desktop.calls()) {
        if (call.kind == SimCallKind::trustCheck) {
            EXPECT_EQ(call.value, std::optional<AttributeValue>(false));
        }
    }
}

namespace {

// Before the state: preferences migrated from an old install, and the language applied.
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

    EXPECT_EQ(
        sandboxPreferencesFile("/Users/ada", "com.example.tessera"),
        std::filesystem::path("/Users/ada/Library/Containers/com.example.tessera/Data/Library/"
                              "Preferences/com.example.tessera.plist"));
    EXPECT_TRUE(report.ran);
    EXPECT_EQ(report.copiedKeys, (std::vector<std::string>{"tightEdges", "appLanguage"}));
    EXPECT_EQ(report.keptKeys, std::vector<std::string>{"windowGap"});
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
