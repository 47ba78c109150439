#include "Cli.h"

#include "core/app/AppState.h"
#include "core/app/ControlRequests.h"
#include "core/drag/DragMonitor.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/hotkeys/KeyCombos.h"
#include "core/store/LayoutStore.h"
#include "platform/dbus/SessionBus.h"
#include "platform/dbus/TesseraService.h"
#include "platform/kwin/KWinBridge.h"
#include "platform/kwin/KWinPorts.h"
#include "platform/linux/LinuxAppServices.h"
#include "platform/linux/LogOverlaySurface.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/linux/StderrLog.h"
#include "platform/linux/XdgFolders.h"
#include "platform/linux/XdgLoginItem.h"
#include "platform/x11/GlibScheduler.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/X11Hotkeys.h"
#include "platform/x11/X11InputEvents.h"
#include "platform/x11/X11Windows.h"
#include "platform/x11/X11Workspace.h"

#include <glib-unix.h>
#include <glib.h>
#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

namespace tessera::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* usage = R"(Usage: tesseractl run [--platform x11|kwin] [--display NAME]

Runs drag-to-snap and the keyboard shortcuts until interrupted (SIGINT or SIGTERM), on the X
display (NAME, else $DISPLAY) or, in KDE Plasma on Wayland, through a KWin script. Without
--platform, KWin is used when WAYLAND_DISPLAY is set and KWin is on the session bus, X11 when
there is an X display and no Wayland session. Prints "ready" once the services are up. The
overlay is not drawn: what it would show is logged on standard error; TESSERA_DEBUG=1 adds the
debug lines. It answers the requests of tesseractl place, command, assign and displays on the
session bus (as app.tessera.Tessera), when there is a session bus. On X11, setting the root window's CARDINAL property _TESSERA_SYNC to n prints
"sync n" once every event the server sent before that change has been handled; with
TESSERA_DEBUG=1 a line "round trips: N" follows it, the blocking waits for the server so far.
)";

// The root window property whose changes tesseractl answers with "sync <n>".
constexpr std::string_view syncProperty = "_TESSERA_SYNC";

int usageError(const Context& context, std::string_view message) {
    context.err << "tesseractl: " << message << "\n\n" << usage;
    return 2;
}

bool debugRequested() {
    const char* value = std::getenv("TESSERA_DEBUG");
    return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

// GLib's main loop, owned.
struct MainLoop {
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    MainLoop() = default;
    MainLoop(const MainLoop&) = delete;
    MainLoop& operator=(const MainLoop&) = delete;
    ~MainLoop() { g_main_loop_unref(loop); }
    void quit() const { g_main_loop_quit(loop); }
};

// A signal that quits the loop, for as long as the object lives.
class QuitOnSignal {
public:
    QuitOnSignal(int signal, const MainLoop& loop)
        : id_(g_unix_signal_add(signal, &QuitOnSignal::fire, loop.loop)) {}
    QuitOnSignal(const QuitOnSignal&) = delete;
    QuitOnSignal& operator=(const QuitOnSignal&) = delete;
    ~QuitOnSignal() { g_source_remove(id_); }

private:
    static gboolean fire(gpointer loop) {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
        return G_SOURCE_CONTINUE;
    }
    guint id_;
};

enum class Platform { automatic, x11, kwin };

struct Options {
    std::string display;
    Platform platform = Platform::automatic;
};

bool hasValue(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// KWin inside a Plasma Wayland session; X11 where there is an X display and no Wayland session
// (Xwayland's display inside another compositor can't reach the other clients' windows).
std::optional<Platform> choosePlatform(const Options& options) {
    if (options.platform != Platform::automatic) {
        return options.platform;
    }
    if (kwinSessionAvailable()) {
        return Platform::kwin;
    }
    if (!hasValue("WAYLAND_DISPLAY") && (!options.display.empty() || hasValue("DISPLAY"))) {
        return Platform::x11;
    }
    return std::nullopt;
}

// Answers changes of the root window's sync property with "sync <n>" on standard output.
// Events reach handlers in the order the server sent them, so the line proves that every
// earlier event has been handled.
class SyncBarrier {
public:
    SyncBarrier(X11Connection& connection, std::ostream& out, bool reportRoundTrips)
        : connection_(connection), out_(out), property_(connection.atom(syncProperty)),
          cardinal_(connection.atom("CARDINAL")), reportRoundTrips_(reportRoundTrips) {
        connection_.selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE);
        events_ = connection_.onEvent([this](const X11Event& event) { handle(event); });
    }

private:
    void handle(const X11Event& event) {
        if (event.responseType != XCB_PROPERTY_NOTIFY) {
            return;
        }
        const auto& notify = event.as<xcb_property_notify_event_t>();
        if (notify.window != connection_.root() || notify.atom != property_ ||
            notify.state != XCB_PROPERTY_NEW_VALUE) {
            return;
        }
        const auto values = connection_.cardinals(connection_.root(), property_, cardinal_);
        if (!values || values->size() != 1) {
            return;
        }
        out_ << "sync " << values->front() << std::endl;
        // What a desktop action costs in waits on the server, measured between two barriers.
        if (reportRoundTrips_) {
            out_ << "round trips: " << connection_.roundTrips() << std::endl;
        }
    }

    X11Connection& connection_;
    std::ostream& out_;
    XAtom property_;
    XAtom cardinal_;
    bool reportRoundTrips_;
    Connection events_;
};

// Tells the user of every shortcut another application holds. The application shows it beside
// the shortcut; tesseractl has no window for that, and the user can free the keys or choose
// others once told which they are. The hotkey center finds them out at every registration; a
// combination is named once while it stays taken, and again only when it was free in between.
class HeldShortcutsReport {
public:
    HeldShortcutsReport(const Localizer& localizer, std::ostream& err)
        : localizer_(localizer), err_(err) {}

    void update(const ShortcutsHeldElsewhere& held) {
        std::set<std::pair<std::uint32_t, std::uint32_t>> now;
        for (const auto& combo : held.combinations) {
            const std::pair keys{combo.keyCode, combo.carbonModifiers};
            now.insert(keys);
            if (!reported_.contains(keys)) {
                err_ << "tesseractl: " << linuxShortcutText(combo, localizer_)
                     << " is taken by another application; that shortcut does nothing until it "
                        "is free\n";
            }
        }
        err_.flush();
        reported_ = std::move(now);
    }

private:
    const Localizer& localizer_;
    std::ostream& err_;
    std::set<std::pair<std::uint32_t, std::uint32_t>> reported_;
};

// What both platforms share once their ports exist: the application state on GLib's main loop
// until a signal ends it. started runs once the state has started.
struct Session {
    const Context& context;
    const MainLoop& loop;
    GlibScheduler& scheduler;
    const TableLocalizer& localizer;
    // Null without a session bus: the services run, scripts can't reach them.
    SessionBus* bus;
};

// settle calls its argument once the platform has carried out what the services asked of it
// so far (the shortcuts registered), so "ready" means a press will be heard.
int serve(const Session& session, const AppPorts& ports, const std::function<void()>& started,
          const std::function<void(std::function<void()>)>& settle, const int& exitStatus) {
    const auto& context = session.context;
    auto& scheduler = session.scheduler;
    // Declared after every port it refers to, so it goes first at the end.
    auto state = std::make_unique<AppState>(ports);
    const auto& store = state->store();
    if (const auto& recovery = store.recovery(); recovery && !recovery->keptCopy.empty()) {
        context.err << "tesseractl: " << store.fileURL().string() << " could not be read ("
                    << recovery->reason << "); it was kept as " << recovery->keptCopy.string()
                    << " and replaced by the built-in layouts\n";
    }
    if (!store.lastSaveError().empty()) {
        context.err << "tesseractl: can't save the layouts: " << store.lastSaveError() << "\n";
    }

    const QuitOnSignal interrupt(SIGINT, session.loop);
    const QuitOnSignal terminate(SIGTERM, session.loop);

    // Connected before start(), whose first registration may already find shortcuts taken. The
    // state announces a change before making it; the report reads it a turn later, once.
    HeldShortcutsReport heldReport(session.localizer, context.err);
    bool reportPending = false;
    const Connection heldChanges = state->onWillChange([&] {
        if (std::exchange(reportPending, true)) {
            return;
        }
        scheduler.post([&] {
            reportPending = false;
            heldReport.update(state->shortcutsHeldElsewhere());
        });
    });

    // Scripts reach the run through the same rules as the application; without the name they
    // would reach nothing, which the user is told, but drag-to-snap and the shortcuts go on.
    auto requests = std::make_unique<ControlRequests>(*state, ports);
    std::unique_ptr<TesseraService> service;
    if (session.bus != nullptr) {
        std::string error;
        service = TesseraService::start(*session.bus, *requests, error);
        if (!service) {
            context.err << "tesseractl: tesseractl place, command and assign can't reach this "
                           "run: "
                        << error << "\n";
        }
    }

    state->start();
    started();

    // start() hands the permission status on a turn later, and that turn sets the services up
    // again; "ready" waits for a turn after it, and for the drag monitor and the hotkey center
    // to exist.
    bool ready = false;
    Connection stateChanges;
    const auto announceIfUp = [&] {
        if (ready || state->dragMonitor() == nullptr || state->hotkeys() == nullptr) {
            return;
        }
        ready = true;
        stateChanges.disconnect();
        settle([&context] { context.out << "ready" << std::endl; });
    };
    scheduler.post(announceIfUp);
    // Should Accessibility only come later, the services start on that change.
    stateChanges = state->onWillChange([&] { scheduler.post(announceIfUp); });

    g_main_loop_run(session.loop.loop);

    // The state goes before the ports it uses: its hotkey center gives the shortcuts back.
    service.reset();
    requests.reset();
    state.reset();
    return exitStatus;
}

} // namespace

int runRun(const Context& context, const std::vector<std::string>& arguments,
           const std::vector<std::string>& commandLine) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const auto& argument = arguments[i];
        if (argument == "--display") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                return usageError(context, "--display needs a display name");
            }
            options.display = arguments[++i];
        } else if (argument == "--platform") {
            const std::string value = i + 1 < arguments.size() ? arguments[++i] : "";
            if (value == "x11") {
                options.platform = Platform::x11;
            } else if (value == "kwin") {
                options.platform = Platform::kwin;
            } else {
                return usageError(context, "--platform takes x11 or kwin");
            }
        } else if (argument == "--help" || argument == "-h") {
            context.out << usage;
            return 0;
        } else {
            return usageError(context, "unexpected argument \"" + argument + "\"");
        }
    }
    const auto platform = choosePlatform(options);
    if (!platform) {
        context.err << "tesseractl: no supported desktop found — run it in an X11 session "
                       "(DISPLAY) or in KDE Plasma on Wayland (KWin on the session bus), or "
                       "choose one with --platform x11|kwin\n";
        return 1;
    }

    const MainLoop loop;
    int exitStatus = 0;

    StderrLog log(context.err, debugRequested());
    // Reports an unreadable file itself, naming the copy it kept.
    PlistDefaults defaults(preferencesFile(context.folders), &context.err);
    LinuxAppServices appServices(
        programVersion(), context.folders, commandLine,
        {[&loop] { loop.quit(); },
         [&log] { log.write("app", LogLevel::info, "tesseractl run has no window to show"); }});
    prepareLaunch(defaults, appServices);
    const TableLocalizer localizer = applicationLocalizer(defaults);
    GlibScheduler scheduler;
    XdgLoginItem loginItem(context.folders, bundleIdentifier, applicationExecutable());
    LogOverlaySurfaceFactory overlaySurfaces(log, defaults);
    std::string busError;
    const auto bus = SessionBus::connect(busError);
    const Session session{context, loop, scheduler, localizer, bus.get()};

    if (*platform == Platform::kwin) {
        std::string error = busError;
        const auto bridge = bus ? KWinBridge::start(*bus, error) : nullptr;
        if (!bridge) {
            context.err << "tesseractl: can't reach KWin: " << error << "\n";
            return 1;
        }
        const Connection gone = bridge->onKWinGone([&] {
            context.err << "tesseractl: KWin left the session bus; waiting for it to come back\n";
        });
        const Connection silent = bridge->onScriptSilent([&] {
            context.err << "tesseractl: KWin's script stopped answering; loading it again\n";
        });
        const Connection failed = bridge->onAttachFailed([&](const std::string& reason) {
            context.err << "tesseractl: can't reach KWin: " << reason << "\n";
            exitStatus = 1;
            loop.quit();
        });
        KWinDisplays displays(*bridge);
        KWinAccessibility accessibility(*bridge);
        KWinWorkspace workspace(*bridge, log);
        KWinInputEvents inputEvents(*bridge);
        KWinHotkeys hotkeys(*bridge);
        HotkeyDispatcher dispatcher(hotkeys);
        // After the hotkeys', whose shortcuts this waits for.
        const Connection back = bridge->onKWinBack(
            [&] { bridge->whenSettled([&context] { context.out << "ready" << std::endl; }); });
        const AppPorts ports{accessibility, workspace, displays,    inputEvents,
                             dispatcher,    scheduler, log,         defaults,
                             localizer,     loginItem, appServices, overlaySurfaces};
        return serve(
            session, ports, [] {},
            [&bridge](std::function<void()> done) { bridge->whenSettled(std::move(done)); },
            exitStatus);
    }

    if (!bus) {
        // Without a session bus nothing could ask anything; that alone is no fault of the run.
        log.write("dbus", LogLevel::debug, "not on the session bus: " + busError);
    }
    std::string error;
    const auto connection = X11Connection::open(options.display, error);
    if (!connection) {
        if (options.display.empty() && !hasValue("DISPLAY")) {
            context.err << "tesseractl: no X display — set DISPLAY or pass --display\n";
        } else {
            context.err << "tesseractl: " << error << "\n";
        }
        return 1;
    }
    X11Windows windows(*connection);
    X11Displays displays(*connection);
    X11Accessibility accessibility(windows);
    X11Workspace workspace(windows, log);
    X11InputEvents inputEvents(*connection, log);
    // One pointer query per input event serves its handlers and the pointer position alike.
    displays.sharePointer(inputEvents.sharedPointer());
    X11Hotkeys hotkeys(*connection, log);
    HotkeyDispatcher dispatcher(hotkeys);
    const SyncBarrier syncBarrier(*connection, context.out, debugRequested());

    const Connection lost = connection->onConnectionLost([&] {
        context.err << "tesseractl: lost the connection to the X display "
                    << connection->displayName() << "\n";
        exitStatus = 1;
        loop.quit();
    });

    const AppPorts ports{accessibility, workspace, displays,    inputEvents,
                         dispatcher,    scheduler, log,         defaults,
                         localizer,     loginItem, appServices, overlaySurfaces};
    return serve(
        session, ports, [&] { connection->attachToMainContext(); },
        [](const std::function<void()>& done) { done(); }, exitStatus);
}

} // namespace tessera::cli
