#pragma once

#include "../backup/BackupService.h"
#include "../hotkeys/HotkeyCenter.h"
#include "../model/Records.h"
#include "../model/Signal.h"
#include "../model/Uuid.h"
#include "../platform/AppServices.h"
#include "../platform/Defaults.h"
#include "../platform/ProcessId.h"
#include "../platform/Scheduler.h"
#include "PermissionMonitor.h"
#include "PreferenceMigration.h"
#include "UndoManager.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

class Accessibility;
class AccessibilityWindowMover;
class Displays;
class DragMonitor;
class DragOverlayController;
class HotkeyDispatcher;
class InputEvents;
class LayoutStore;
class Localizer;
class Log;
class LoginItem;
class OverlaySurfaceFactory;
class Workspace;
class ZoneMemory;

// The pages of the main window.
enum class AppPage { overview, zones, settings, about };
// The panes of the Settings page.
enum class SettingsPane { general, windows, keyboard, exclusions, permissions };

// Everything the application state reaches the system through. Every reference must outlive the
// state. The hotkey dispatcher stands for the Hotkeys port (it owns the process's one hotkey
// handler, which has to outlive every hotkey center the state makes and drops).
struct AppPorts {
    Accessibility& accessibility;
    Workspace& workspace;
    Displays& displays;
    InputEvents& inputEvents;
    HotkeyDispatcher& hotkeys;
    Scheduler& scheduler;
    Log& log;
    Defaults& defaults;
    const Localizer& localizer;
    LoginItem& loginItem;
    AppServices& appServices;
    OverlaySurfaceFactory& overlaySurfaces;
};

// What has to happen to the preferences before anything else of the application runs: the
// one-time take-over of the former container's preferences, then the interface language
// ("AppleLanguages" from "appLanguage", English when unset). Runs at every launch, before the
// application state is created; the migration itself does its work only once.
PreferenceMigrationReport prepareLaunch(Defaults& defaults, const UserFolders& folders,
                                        std::string_view bundleIdentifier);
PreferenceMigrationReport prepareLaunch(Defaults& defaults, const AppServices& app);

// The application the user was working in when Tessera started: the frontmost one unless that is
// Tessera, else the owner of the frontmost ordinary window (layer 0) of a regular application
// other than Tessera, else none.
std::optional<ProcessId> initialForeignPID(const Workspace& workspace, ProcessId ownPID);

// The one long-lived object that wires Tessera together. It owns the layout store, the permission
// monitor, the window mover and the overlay controller; it creates the drag monitor once, at its
// first service update, and holds a hotkey center exactly while Accessibility is granted. It
// publishes what the user interface shows and remembers which other application was last in
// front, for shortcuts pressed while Tessera itself is.
//
// Published fields announce a change through onWillChange before they change, as the store does;
// observers read the new values afterwards. Store changes are announced again by the state, a
// turn of the main loop later, so a view that observes only the state still refreshes.
//
// Main thread only. Subscriptions, delayed jobs, undo steps and the hotkey center's question
// for the preferred process all end with the state or find it gone; nothing of it outlives it.
// Not copyable or movable, since they refer to it.
class AppState {
public:
    // How long the zones stay on screen for a preview.
    static constexpr double previewSeconds = 2.4;

    // Registers the preference defaults, then creates the store (at storeFile, else at the
    // default location of the user's folders, which takes over older folders once), the
    // permission monitor, the mover and the overlay controller, and builds the display list.
    explicit AppState(const AppPorts& ports,
                      std::optional<std::filesystem::path> storeFile = std::nullopt);
    ~AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // --- Owned objects ---
    LayoutStore& store() { return *store_; }
    const LayoutStore& store() const { return *store_; }
    PermissionMonitor& permissionsMonitor() { return *permissionsMonitor_; }
    AccessibilityWindowMover& mover() { return *mover_; }
    // Which zone each placed window went into, kept across runs.
    ZoneMemory& zoneMemory() { return *zoneMemory_; }
    DragOverlayController& overlay() { return *overlay_; }
    const DragOverlayController& overlay() const { return *overlay_; }
    ProcessId ownPID() const { return ownPID_; }
    // Null until the first service update.
    DragMonitor* dragMonitor() { return dragMonitor_.get(); }
    // Null while Accessibility is not granted.
    HotkeyCenter* hotkeys() { return hotkeys_.get(); }
    // What this state's undo steps are registered with, so a window can drop them all.
    const UndoTarget& undoTarget() const { return undoTarget_; }

    // --- Published ---
    // Connected displays in the system's order.
    const std::vector<ScreenInfo>& screens() const { return screens_; }
    const PermissionStatus& permissions() const { return permissions_; }
    // "Open at Login" as the system reports it.
    bool launchAtLogin() const { return launchAtLogin_; }
    AppPage page() const { return page_; }
    void setPage(AppPage page);
    SettingsPane settingsPane() const { return settingsPane_; }
    void setSettingsPane(SettingsPane pane);
    // The display whose layout the Zones page edits.
    const std::optional<std::string>& editorScreenID() const { return editorScreenID_; }
    void setEditorScreenID(std::optional<std::string> screenID);
    // The last application other than Tessera that was in front.
    std::optional<ProcessId> lastForeignPID() const { return lastForeignPID_; }
    // The zone and command shortcuts that other programs hold, as the hotkey center's last
    // registration found them; none while there is no center.
    const ShortcutsHeldElsewhere& shortcutsHeldElsewhere() const;

    // Called before any published field changes, and after every change of the store.
    [[nodiscard]] Connection onWillChange(std::function<void()> observer) {
        return willChange_.connect(std::move(observer));
    }

    // --- Lifecycle ---
    // Starts permission polling, subscribes to store, permission, activation and display
    // changes, finds the last foreign application and runs the service update. The permission
    // subscription delivers the current status once more a turn later, which updates the
    // services again. Later calls do nothing.
    void start();
    bool isStarted() const { return started_; }
    // Brings the display list up to date, creates and sets up the drag monitor the first time,
    // and keeps a hotkey center, with every shortcut registered, exactly while Accessibility is
    // granted.
    void updateServices();

    // --- Operations ---
    // The id of the layout the display shows.
    Uuid layoutIDForDisplay(const ScreenInfo& screen) const;
    // Shows the layout on the display and registers the shortcuts again.
    void assignLayout(const Uuid& layoutID, const ScreenInfo& screen);
    // Puts the layout into the store (replacing the one with its id, or adding it) and registers
    // the shortcuts again. With an undo manager, a change to a layout the store already holds
    // can be undone under the action name; undoing registers the redo step the same way.
    void applyLayoutChange(const Layout& layout, std::string_view actionName,
                           UndoManager* undoManager);
    // Asks the system to add or remove the login item. A refusal is not reported: the published
    // flag shows the status read back afterwards.
    void setLaunchAtLogin(bool on);
    void relaunch();
    void showMainWindow();
    // Shows the zones of every display and hides them previewSeconds later.
    void previewZones();
    // Registers every zone and command shortcut again, when there is a hotkey center.
    void registerAllHotkeys();

    // What the backup service reads and replaces, valid while the state lives.
    BackupContext backupContext();

private:
    std::vector<ScreenInfo> displayList() const;
    void announce() { willChange_.emit(); }
    void setScreens(std::vector<ScreenInfo> screens);
    void setPermissions(PermissionStatus permissions);
    void setLastForeignPID(std::optional<ProcessId> process);
    // Hands a permission status to the state a turn of the main loop later.
    void deliverPermissions(PermissionStatus status);

    AppPorts ports_;

    std::unique_ptr<LayoutStore> store_;
    std::unique_ptr<PermissionMonitor> permissionsMonitor_;
    std::unique_ptr<AccessibilityWindowMover> mover_;
    std::unique_ptr<DragOverlayController> overlay_;
    std::unique_ptr<ZoneMemory> zoneMemory_;
    ProcessId ownPID_ = 0;

    std::vector<ScreenInfo> screens_;
    PermissionStatus permissions_;
    bool launchAtLogin_ = false;
    AppPage page_ = AppPage::overview;
    SettingsPane settingsPane_ = SettingsPane::general;
    std::optional<std::string> editorScreenID_;
    std::optional<ProcessId> lastForeignPID_;

    // Declared after everything they refer to, so they go first.
    std::unique_ptr<DragMonitor> dragMonitor_;
    std::unique_ptr<HotkeyCenter> hotkeys_;
    Connection heldElsewhereChanges_;
    const ShortcutsHeldElsewhere noneHeldElsewhere_;

    Signal<> willChange_;
    // The last permission status handed on; the subscription passes only a different one.
    std::optional<PermissionStatus> deliveredPermissions_;
    // Hides the overlay of a preview made without a drag monitor.
    JobHandle previewTask_;
    UndoTarget undoTarget_;
    bool started_ = false;
    std::vector<Connection> cancellables_;
    // Posted and delayed jobs hold this weakly; it dies first when the state goes.
    std::shared_ptr<const int> lifetime_ = std::make_shared<const int>(0);
};

} // namespace tessera
