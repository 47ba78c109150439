#pragma once

#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>

class QQmlEngine;

namespace tessera {

class AppState;
class Defaults;
class InputEvents;
class Localizer;
class Scheduler;
class Workspace;
struct MonitorEvent;

namespace shell {

class AppViewModel;
class ApplicationCatalog;
class ExclusionsPaneModel;
class GeneralPaneModel;
class KeyboardPaneModel;
class MenuViewModel;
class OverviewViewModel;
class PermissionsPaneModel;
class Preferences;
class Strings;
class UndoViewModel;
class WindowsPaneModel;
class ZonesPageModel;

// Where the desktop's choices are made that the core leaves to the shell: the save and open
// panels' answers come from QML, but revealing files, starting a relaunch or quitting go
// through these.
struct ShellHooks {
    // Ends the application (Quit from the menu).
    std::function<void()> quit;
    // Hands a key press made in one of Tessera's own windows to the local event monitors (the
    // shortcut recorder listens there). True when a monitor swallowed it.
    std::function<bool(const MonitorEvent&)> deliverLocalEvent;
};

// Everything a view model reaches. Every reference must outlive the shell.
struct ShellPorts {
    AppState& state;
    Defaults& defaults;
    const Localizer& localizer;
    InputEvents& input;
    Workspace& workspace;
    Scheduler& scheduler;
    // The installed applications, for the exclusions list's names and icons.
    ApplicationCatalog& applications;
    ShellHooks hooks;
};

// Owns the view models that QML sees as the singletons of the Tessera module (Strings,
// Preferences, AppViewModel, …) and lends them to each engine that loads the module's files. The
// application and the QML tests build it the same way; only the ports differ (X11 or the
// simulated desktop).
// A file of the Tessera module by name ("Main.qml"), as engines load it.
QUrl moduleFile(const QString& name);
// Lets the engine find the Tessera module (`import Tessera`).
void findModule(QQmlEngine& engine);

class Shell : public QObject {
    Q_OBJECT
public:
    explicit Shell(ShellPorts ports, QObject* parent = nullptr);
    ~Shell() override;

    // Before the engine loads anything: finds the module and gets this shell's view models and
    // the image providers its files draw from.
    void expose(QQmlEngine& engine);

    const ShellPorts& ports() const { return ports_; }
    Strings& strings() { return *strings_; }
    Preferences& preferences() { return *preferences_; }
    AppViewModel& app() { return *app_; }
    OverviewViewModel& overview() { return *overview_; }
    // The main window's undo history (one window, one history).
    UndoViewModel& undo() { return *undo_; }
    ZonesPageModel& zonesPage() { return *zonesPage_; }
    GeneralPaneModel& generalPane() { return *generalPane_; }
    WindowsPaneModel& windowsPane() { return *windowsPane_; }
    KeyboardPaneModel& keyboardPane() { return *keyboardPane_; }
    ExclusionsPaneModel& exclusionsPane() { return *exclusionsPane_; }
    PermissionsPaneModel& permissionsPane() { return *permissionsPane_; }
    MenuViewModel& menu() { return *menu_; }

private:
    ShellPorts ports_;
    std::unique_ptr<Strings> strings_;
    std::unique_ptr<Preferences> preferences_;
    std::unique_ptr<AppViewModel> app_;
    std::unique_ptr<OverviewViewModel> overview_;
    std::unique_ptr<GeneralPaneModel> generalPane_;
    std::unique_ptr<WindowsPaneModel> windowsPane_;
    std::unique_ptr<KeyboardPaneModel> keyboardPane_;
    std::unique_ptr<ExclusionsPaneModel> exclusionsPane_;
    std::unique_ptr<PermissionsPaneModel> permissionsPane_;
    std::unique_ptr<MenuViewModel> menu_;
    std::unique_ptr<UndoViewModel> undo_;
    std::unique_ptr<ZonesPageModel> zonesPage_;
};

} // namespace shell
} // namespace tessera
