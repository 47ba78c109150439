#include "AppState.h"

#include "../backup/BackupService.h"
#include "../drag/DragMonitor.h"
#include "../drag/DragOverlayController.h"
#include "../hotkeys/HotkeyCenter.h"
#include "../model/Screens.h"
#include "../placement/AccessibilityWindowMover.h"
#include "../placement/ZoneMemory.h"
#include "../platform/Displays.h"
#include "../platform/LoginItem.h"
#include "../platform/Workspace.h"
#include "../store/LayoutStore.h"
#include "Preferences.h"

#include <algorithm>
#include <utility>

namespace tessera {

PreferenceMigrationReport prepareLaunch(Defaults& defaults, const UserFolders& folders,
                                        std::string_view bundleIdentifier) {
    auto report = migrateSandboxPreferences(defaults, folders.home, bundleIdentifier);
    // After the migration, so a language chosen in the former container is the one applied.
    applyLanguage(defaults, currentLanguage(defaults));
    return report;
}

PreferenceMigrationReport prepareLaunch(Defaults& defaults, const AppServices& app) {
    return prepareLaunch(defaults, app.userFolders(), app.bundleIdentifier());
}

std::optional<ProcessId> initialForeignPID(const Workspace& workspace, ProcessId ownPID) {
    if (const auto front = workspace.frontmostApplication(); front && *front != ownPID) {
        return front;
    }
    // Tessera is in front (it usually is right after launch): the application whose window is
    // the frontmost ordinary one is where the user was. Panels and menu-bar items live on
    // other layers, and background agents own windows without being somewhere one works.
    for (const auto& window : workspace.onScreenWindows()) {
        if (window.layer != 0 || window.ownerPID == ownPID) {
            continue;
        }
        const auto owner = workspace.runningApplication(window.ownerPID);
        if (owner && owner->activationPolicy == ActivationPolicy::regular) {
            return window.ownerPID;
        }
    }
    return std::nullopt;
}

AppState::AppState(const AppPorts& ports, std::optional<std::filesystem::path> storeFile)
    : ports_(ports) {
    // Before anything reads a preference: the objects made below read them at each use, and an
    // unset key must already answer with its default then.
    registerPreferenceDefaults(ports_.defaults);
    if (!storeFile) {
        storeFile = LayoutStore::defaultFileURL(ports_.appServices.userFolders(),
                                                ports_.appServices.bundleIdentifier());
    }
    store_ = std::make_unique<LayoutStore>(std::move(*storeFile));
    removeLeftoverAutomaticCopyFiles(store_->fileURL());
    permissionsMonitor_ = std::make_unique<PermissionMonitor>(
        ports_.accessibility, ports_.inputEvents, ports_.workspace, ports_.scheduler);
    mover_ = std::make_unique<AccessibilityWindowMover>(ports_.accessibility, ports_.workspace,
                                                        ports_.displays, ports_.defaults);
    overlay_ =
        std::make_unique<DragOverlayController>(ports_.displays, ports_.scheduler, ports_.localizer,
                                                ports_.defaults, ports_.overlaySurfaces);
    zoneMemory_ = std::make_unique<ZoneMemory>(
        ZoneMemoryContext{ports_.accessibility, ports_.workspace, ports_.displays, ports_.defaults,
                          ports_.scheduler, ports_.log, *store_, *mover_},
        ZoneMemory::defaultFile(ports_.appServices.userFolders()));
    ownPID_ = ports_.appServices.processIdentifier();
    permissions_ = permissionsMonitor_->status();
    launchAtLogin_ = ports_.loginItem.status() == LoginItemStatus::enabled;
    screens_ = displayList();
}

AppState::~AppState() = default;

std::vector<ScreenInfo> AppState::displayList() const {
    return makeScreenInfos(ports_.displays.screens());
}

void AppState::setPage(AppPage page) {
    announce();
    page_ = page;
}

void AppState::setSettingsPane(SettingsPane pane) {
    announce();
    settingsPane_ = pane;
}

void AppState::setEditorScreenID(std::optional<std::string> screenID) {
    announce();
    editorScreenID_ = std::move(screenID);
}

void AppState::setScreens(std::vector<ScreenInfo> screens) {
    announce();
    screens_ = std::move(screens);
}

void AppState::setPermissions(PermissionStatus permissions) {
    announce();
    permissions_ = permissions;
}

void AppState::setLastForeignPID(std::optional<ProcessId> process) {
    announce();
    lastForeignPID_ = process;
}

void AppState::start() {
    if (started_) {
        return;
    }
    started_ = true;
    permissionsMonitor_->startPolling();

    const std::weak_ptr<const int> alive = lifetime_;
    // The store announces before it changes; the state's own announcement comes a turn later,
    // when the change has been made.
    cancellables_.push_back(store_->onWillChange([this, alive] {
        ports_.scheduler.post([this, alive] {
            if (alive.lock()) {
                announce();
            }
        });
    }));

    // The current status is handed on first, then every status that differs from the last one
    // handed on.
    deliveredPermissions_ = permissionsMonitor_->status();
    cancellables_.push_back(permissionsMonitor_->onStatusChange([this](PermissionStatus status) {
        if (deliveredPermissions_ == status) {
            return;
        }
        deliveredPermissions_ = status;
        deliverPermissions(status);
    }));
    deliverPermissions(*deliveredPermissions_);

    cancellables_.push_back(ports_.workspace.onDidActivateApplication([this](ProcessId process) {
        // Tessera coming to the front must not make it the target of its own shortcuts.
        if (process != ownPID_) {
            setLastForeignPID(process);
        }
    }));
    setLastForeignPID(initialForeignPID(ports_.workspace, ownPID_));

    // The notification always republishes, even when nothing visible changed.
    cancellables_.push_back(ports_.displays.onChange([this] { setScreens(displayList()); }));
    zoneMemory_->start();

    updateServices();
}

void AppState::deliverPermissions(PermissionStatus status) {
    const std::weak_ptr<const int> alive = lifetime_;
    ports_.scheduler.post([this, alive, status] {
        if (!alive.lock()) {
            return;
        }
        setPermissions(status);
        updateServices();
    });
}

void AppState::updateServices() {
    if (auto list = displayList(); list != screens_) {
        setScreens(std::move(list));
    }

    if (!dragMonitor_) {
        // Whatever the permissions: a tap refused now is not tried again in this run, and the
        // event monitors work without Input Monitoring for Tessera's own windows.
        dragMonitor_ = std::make_unique<DragMonitor>(
            ports_.inputEvents, ports_.accessibility, ports_.workspace, ports_.displays,
            ports_.scheduler, ports_.log, ports_.defaults, *store_, *mover_, *overlay_, ownPID_);
        dragMonitor_->stop();
        dragMonitor_->installTap();
        dragMonitor_->installEventMonitors();
    }

    if (permissions_.accessibility) {
        if (!hotkeys_) {
            hotkeys_ = std::make_unique<HotkeyCenter>(
                ports_.hotkeys, *store_, *mover_, ports_.accessibility, ports_.workspace,
                ports_.displays, ports_.defaults, ports_.localizer, ownPID_);
            const std::weak_ptr<const int> alive = lifetime_;
            hotkeys_->setPreferredForeignPID([this, alive]() -> std::optional<ProcessId> {
                if (!alive.lock()) {
                    return std::nullopt;
                }
                return lastForeignPID_;
            });
            if (!hotkeys_->hasHandler()) {
                hotkeys_->installHandler();
            }
            heldElsewhereChanges_ = hotkeys_->onHeldElsewhereWillChange([this] { announce(); });
        }
        hotkeys_->registerAll();
    } else if (hotkeys_) {
        // Without Accessibility no shortcut could act; the key combinations go back to the
        // system so other applications can have them.
        hotkeys_->unregisterAll();
        heldElsewhereChanges_.disconnect();
        // Nothing is registered any more, so nothing is known to be held elsewhere either.
        if (!hotkeys_->heldElsewhere().empty()) {
            announce();
        }
        hotkeys_.reset();
    }
}

Uuid AppState::layoutIDForDisplay(const ScreenInfo& screen) const {
    return store_->layoutFor(screen).id;
}

void AppState::assignLayout(const Uuid& layoutID, const ScreenInfo& screen) {
    store_->assign(layoutID, screen);
    registerAllHotkeys();
}

void AppState::applyLayoutChange(const Layout& layout, std::string_view actionName,
                                 UndoManager* undoManager) {
    if (undoManager != nullptr) {
        const auto& layouts = store_->layouts();
        const auto previous = std::find_if(layouts.begin(), layouts.end(),
                                           [&](const Layout& l) { return l.id == layout.id; });
        if (previous != layouts.end()) {
            // Undoing applies the previous version the same way, which registers the step
            // that redoes this one. The target keeps the step from running once the state is
            // gone.
            undoManager->registerUndo(
                undoTarget_, [this, before = *previous, name = std::string(actionName),
                              undoManager] { applyLayoutChange(before, name, undoManager); });
            undoManager->setActionName(actionName);
        }
    }
    store_->upsert(layout);
    registerAllHotkeys();
}

void AppState::setLaunchAtLogin(bool on) {
    // A refusal (not allowed, no approval yet) is not the user's to act on here; the switch
    // shows whatever the system reports afterwards.
    if (on) {
        ports_.loginItem.registerItem();
    } else {
        ports_.loginItem.unregisterItem();
    }
    announce();
    launchAtLogin_ = ports_.loginItem.status() == LoginItemStatus::enabled;
}

void AppState::relaunch() {
    ports_.appServices.relaunch();
}

void AppState::showMainWindow() {
    ports_.appServices.showMainWindow();
}

void AppState::previewZones() {
    // A preview started before the drag monitor existed must not cut a later one short.
    previewTask_.cancel();
    if (dragMonitor_) {
        dragMonitor_->previewZones(previewSeconds);
        return;
    }
    overlay_->show(*store_, std::nullopt);
    previewTask_ = ports_.scheduler.after(previewSeconds, lifetime_, [this] { overlay_->hide(); });
}

const ShortcutsHeldElsewhere& AppState::shortcutsHeldElsewhere() const {
    return hotkeys_ ? hotkeys_->heldElsewhere() : noneHeldElsewhere_;
}

void AppState::registerAllHotkeys() {
    if (hotkeys_) {
        hotkeys_->registerAll();
    }
}

BackupContext AppState::backupContext() {
    BackupContext context{*store_,
                          ports_.defaults,
                          ports_.appServices.shortVersionString(),
                          [this] { return launchAtLogin_; },
                          [this](bool on) { setLaunchAtLogin(on); },
                          {},
                          {}};
    if (hotkeys_) {
        context.registerAll = [this] { registerAllHotkeys(); };
    }
    return context;
}

} // namespace tessera
