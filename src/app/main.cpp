// tessera: the application. The services of tesseractl run, plus the main window, the tray menu
// and an overlay window per display.

#include "AppViewModel.h"
#include "DesktopApplicationCatalog.h"
#include "DesktopSession.h"
#include "MainWindow.h"
#include "OverlayViewModel.h"
#include "QtOverlaySurface.h"
#include "QtTranslations.h"
#include "SceneGraphChoice.h"
#include "Shell.h"
#include "SingleInstance.h"
#include "Theme.h"
#include "TrayMenu.h"

#include "core/app/AppState.h"
#include "core/app/ControlRequests.h"
#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/model/StringTables.h"
#include "core/store/LayoutStore.h"
#include "platform/dbus/SessionBus.h"
#include "platform/dbus/TesseraService.h"
#include "platform/linux/ApplicationLocalizer.h"
#include "platform/linux/LinuxAppServices.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/linux/StderrLog.h"
#include "platform/linux/XdgFolders.h"
#include "platform/linux/XdgLoginItem.h"
#include "platform/x11/GlibScheduler.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTimer>

#include <glib-unix.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using namespace tessera;

namespace {

std::optional<std::string> programVersion() {
    return std::string(TESSERA_VERSION);
}

bool debugRequested() {
    const char* value = std::getenv("TESSERA_DEBUG");
    return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

// SIGINT and SIGTERM (a session ending, Ctrl+C in a terminal) end the event loop, so the state
// goes in order and the key grabs are given back.
gboolean quitOnSignal(gpointer) {
    QApplication::quit();
    return G_SOURCE_CONTINUE;
}

std::filesystem::path ownExecutable() {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path("tessera") : self;
}

} // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // Each thread that allocates (render threads, the rasterizer's, D-Bus, X events) would get a
    // heap of its own and keep it partly filled for good; two are plenty for a program that is
    // idle nearly all the time.
    mallopt(M_ARENA_MAX, 2);
#endif
    const std::vector<std::string> commandLine(argv, argv + argc);
    std::vector<char*> arguments(argv, argv + argc);
    std::string error;
    const auto desktop = shell::chooseDesktop(arguments, error);
    if (!desktop) {
        std::cerr << "tessera: " << error << "\n";
        return 1;
    }
    StderrLog log(std::cerr, debugRequested());
    // One connection for all Tessera offers on the session bus; the name is claimed once the
    // objects are there (the KWin bridge's at its start, the scripting interface's below).
    std::string busError;
    const auto bus = SessionBus::connect(busError);
    if (!bus) {
        log.write("dbus", LogLevel::debug, "not on the session bus: " + busError);
    }
    // An X display first: Qt would abort on one it can't open, before any clear message. KWin's
    // bridge comes after the single-instance check below, since it takes the bus name a running
    // Tessera holds and a second launch must bring that one forward instead.
    std::unique_ptr<shell::DesktopSession> session;
    if (desktop->platform == shell::DesktopPlatform::x11) {
        session = shell::openDesktopSession(*desktop, log, bus.get(), error);
        if (!session) {
            std::cerr << "tessera: " << error << "\n";
            return 1;
        }
    }
    qputenv("QT_QPA_PLATFORM", shell::qtPlatformFor(desktop->platform));
    int qtArgc = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication application(qtArgc, arguments.data());
    QApplication::setApplicationName(QStringLiteral("Tessera"));
    QApplication::setApplicationVersion(QStringLiteral(TESSERA_VERSION));
    // The desktop entry's id is the name Tessera owns on the session bus and gives its
    // autostart entry, so the desktop ties the window, the menu entry and the bus name together.
    QApplication::setDesktopFileName(QStringLiteral("app.tessera.Tessera"));
    // Closing the main window leaves Tessera running in the tray; Quit ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    if (shell::chooseSceneGraphBackend()) {
        log.write("render", LogLevel::debug,
                  "no GPU driver can draw here: Qt Quick draws with its software renderer");
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Arranges windows into zones: drag a window by its title bar, or use the "
                       "keyboard shortcuts."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption hidden(QStringLiteral("hidden"),
                                    QStringLiteral("Start without showing the main window."));
    parser.addOption(hidden);
    parser.process(application);

    const auto displayName = QString::fromStdString(desktop->displayName);
    shell::SingleInstance instance(shell::SingleInstance::socketName(displayName));
    if (!instance.claim()) {
        std::cout << "tessera: already running on " << displayName.toStdString()
                  << "; brought its window forward" << std::endl;
        return 0;
    }
    if (!session) {
        session = shell::openDesktopSession(*desktop, log, bus.get(), error);
        if (!session) {
            std::cerr << "tessera: " << error << "\n";
            return 1;
        }
    }

    // Read before the main window's scheme replaces the application palette.
    const shell::DesktopColorScheme desktopScheme;
    const UserFolders folders = xdgUserFolders();
    PlistDefaults defaults(preferencesFile(folders), &std::cerr);

    std::function<void()> showMainWindow;
    LinuxAppServices appServices(programVersion(), folders, commandLine,
                                 {[] { QApplication::quit(); },
                                  [&showMainWindow] {
                                      if (showMainWindow) {
                                          showMainWindow();
                                      }
                                  }});
    prepareLaunch(defaults, appServices);
    const TableLocalizer localizer = applicationLocalizer(defaults);
    const auto qtTexts = shell::installQtTranslations(QString::fromStdString(localizer.language()));

    const Connection lost = session->onLost([](const std::string& reason) {
        std::cerr << "tessera: " << reason << "\n";
        QApplication::exit(1);
    });

    GlibScheduler scheduler;
    HotkeyDispatcher dispatcher(session->hotkeys());
    XdgLoginItem loginItem(folders, bundleIdentifier, ownExecutable());

    // For bench/app-measure: preview the zones a few times once up, and say when each overlay
    // window drew.
    const bool measureOverlay = qEnvironmentVariable("TESSERA_MEASURE_OVERLAY") == "1";
    std::unique_ptr<shell::Shell> shell;
    shell::QtOverlaySurfaceFactory overlaySurfaces(shell::QtOverlaySurfaceFactory::Environment{
        defaults,
        [&session](const Rect& frame) { return session->toScreen(frame); },
        // The overlay lies over other applications' windows: it follows the desktop, not the
        // main window's "appearance".
        [&desktopScheme] { return desktopScheme.dark(); },
        [] { return shell::desktopPrefersReducedMotion(); },
        measureOverlay ? std::function<void(const QRect&, double)>([](const QRect& place,
                                                                      double milliseconds) {
            std::cout << "overlay first frame " << place.width() << "x" << place.height() << "+"
                      << place.x() << "+" << place.y() << " " << milliseconds << std::endl;
        })
                       : nullptr,
        true,
    });

    const AppPorts ports{session->accessibility(),
                         session->workspace(),
                         session->displays(),
                         session->inputEvents(),
                         dispatcher,
                         scheduler,
                         log,
                         defaults,
                         localizer,
                         loginItem,
                         appServices,
                         overlaySurfaces};
    auto state = std::make_unique<AppState>(ports);
    if (const auto& recovery = state->store().recovery(); recovery && !recovery->keptCopy.empty()) {
        std::cerr << "tessera: " << state->store().fileURL().string() << " could not be read ("
                  << recovery->reason << "); it was kept as " << recovery->keptCopy.string()
                  << " and replaced by the built-in layouts\n";
    }

    shell::DesktopApplicationCatalog catalog;
    shell = std::make_unique<shell::Shell>(
        shell::ShellPorts{*state, defaults, localizer, session->inputEvents(), session->workspace(),
                          scheduler, catalog,
                          shell::ShellHooks{[] { QApplication::quit(); },
                                            [&session](const MonitorEvent& event) {
                                                return session->deliverLocalEvent(event);
                                            }}});
    auto& app = shell->app();
    shell::followAppearance(app, desktopScheme);
    showMainWindow = [&app] { Q_EMIT app.showWindowRequested(); };
    QObject::connect(&instance, &shell::SingleInstance::activationRequested, &app,
                     [&app] { Q_EMIT app.showWindowRequested(); });

    auto mainWindow = std::make_unique<shell::MainWindow>(
        app, shell::moduleFile(QStringLiteral("Main.qml")),
        [&shell](QQmlApplicationEngine& engine) { shell->expose(engine); });
    auto tray = std::make_unique<shell::TrayMenu>(*shell);

    // Scripts (tesseractl place, command, assign) reach the same rules as the windows.
    auto requests = std::make_unique<ControlRequests>(*state, ports);
    std::unique_ptr<TesseraService> service;
    if (bus) {
        service = TesseraService::start(*bus, *requests, error);
        if (!service) {
            std::cerr << "tessera: tesseractl place, command and assign can't reach Tessera: "
                      << error << "\n";
        }
    }

    state->start();
    session->attach();
    if (!parser.isSet(hidden) && !mainWindow->show()) {
        return 1;
    }
    std::cout << "ready" << std::endl;
    // The overlay's windows are made and drawn once, off screen, as soon as the start-up is
    // done, so that the first drag finds them ready.
    QTimer::singleShot(0, &app, [&state] { state->overlay().prepare(state->store()); });
    int measuredShows = 0;
    QTimer laterShows;
    if (measureOverlay) {
        // A first show two seconds after start-up (a drag seldom comes sooner), then two more,
        // each after the previous preview has ended.
        laterShows.setInterval(3500);
        const auto preview = [&app, &measuredShows, &laterShows] {
            app.previewZones();
            if (++measuredShows == 3) {
                laterShows.stop();
            }
        };
        QObject::connect(&laterShows, &QTimer::timeout, &app, preview);
        QTimer::singleShot(2000, &app, [preview, &laterShows] {
            preview();
            laterShows.start();
        });
    }

    const guint interrupt = g_unix_signal_add(SIGINT, &quitOnSignal, nullptr);
    const guint terminate = g_unix_signal_add(SIGTERM, &quitOnSignal, nullptr);
    const int status = QApplication::exec();
    g_source_remove(interrupt);
    g_source_remove(terminate);
    // Views go before the state they show; the state before the ports it uses.
    tray.reset();
    mainWindow.reset();
    shell.reset();
    service.reset();
    requests.reset();
    state.reset();
    return status;
}
