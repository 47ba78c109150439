#include "X11Workspace.h"

#include <glib.h>
#include <xcb/xcb.h>

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <system_error>

namespace tessera {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view logCategory = "workspace";

// Whether the process is gone. A zombie has ended too: it only waits for its parent to collect
// its status, and kill(pid, 0) would still find it.
bool hasEnded(ProcessId process) {
    if (process <= 0) {
        return true;
    }
    std::ifstream stat("/proc/" + std::to_string(process) + "/stat");
    if (stat) {
        std::string line;
        std::getline(stat, line);
        // "pid (command) state ...": the command may hold spaces and parentheses itself.
        const auto close = line.rfind(')');
        if (close != std::string::npos && close + 2 < line.size()) {
            const char state = line[close + 2];
            return state == 'Z' || state == 'X';
        }
        return false;
    }
    std::error_code ec;
    if (fs::exists("/proc/self/stat", ec)) {
        return true;
    }
    return ::kill(process, 0) != 0 && errno == ESRCH;
}

// The name the kernel knows the process by, for processes without any window.
std::optional<std::string> commandName(ProcessId process) {
    std::ifstream comm("/proc/" + std::to_string(process) + "/comm");
    std::string name;
    if (!comm || !std::getline(comm, name) || name.empty()) {
        return std::nullopt;
    }
    return name;
}

bool isNormalType(const std::string& type) {
    // A managed window without a type is a normal one (or a dialog, which is as ordinary).
    return type.empty() || type == "_NET_WM_WINDOW_TYPE_NORMAL" ||
           type == "_NET_WM_WINDOW_TYPE_DIALOG";
}

} // namespace

X11Workspace::X11Workspace(X11Windows& windows, Log& log,
                           std::vector<std::filesystem::path> applicationFolders)
    : windows_(windows), log_(log),
      catalog_(applicationFolders.empty() ? tessera::applicationFolders()
                                          : std::move(applicationFolders)) {
    auto& connection = windows_.connection();
    activeWindowAtom_ = connection.atom("_NET_ACTIVE_WINDOW");
    // Whatever is in front now is where we start from: only changes are activations.
    lastReported_ = frontmostApplication();
    events_ = connection.onEvent([this](const X11Event& event) {
        if (event.responseType != XCB_PROPERTY_NOTIFY) {
            return;
        }
        const auto& notify = event.as<xcb_property_notify_event_t>();
        if (notify.window == windows_.connection().root() && notify.atom == activeWindowAtom_ &&
            notify.state == XCB_PROPERTY_NEW_VALUE) {
            activeWindowChanged();
        }
    });
    connection.selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE);
}

X11Workspace::~X11Workspace() = default;

std::optional<ProcessId> X11Workspace::frontmostApplication() const {
    const auto active = windows_.activeWindow();
    if (!active) {
        return std::nullopt;
    }
    return windows_.processOf(*active);
}

std::optional<RunningApplication> X11Workspace::runningApplication(ProcessId process) const {
    if (hasEnded(process)) {
        return std::nullopt;
    }
    RunningApplication application;
    application.processIdentifier = process;
    application.activationPolicy = ActivationPolicy::accessory;

    // The class of the topmost ordinary window names the application; a process that shows
    // only panels or docks still has the class of one of them.
    std::optional<std::pair<std::string, std::string>> windowClass;
    bool classOfNormalWindow = false;
    const auto clients = windows_.clientsOf(process);
    for (auto window = clients.rbegin(); window != clients.rend(); ++window) {
        const bool normal = isNormalType(windows_.windowType(*window));
        if (normal) {
            application.activationPolicy = ActivationPolicy::regular;
        }
        if (classOfNormalWindow || (windowClass && !normal)) {
            continue;
        }
        if (auto found = windows_.windowClass(*window);
            found && !(found->first.empty() && found->second.empty())) {
            windowClass = std::move(found);
            classOfNormalWindow = normal;
        }
    }
    if (!windowClass) {
        application.localizedName = commandName(process);
        return application;
    }
    const auto& [instance, className] = *windowClass;
    const auto& fallback = className.empty() ? instance : className;
    if (const auto entry =
            catalog_.entryForWindowClass(instance, className, DesktopEntryCatalog::Clock::now())) {
        application.bundleIdentifier = entry->id;
        application.localizedName = entry->name.empty() ? fallback : entry->name;
    } else {
        application.bundleIdentifier = fallback;
        application.localizedName = fallback;
    }
    return application;
}

Connection X11Workspace::onDidActivateApplication(std::function<void(ProcessId)> handler) {
    return activated_.connect(std::move(handler));
}

void X11Workspace::activeWindowChanged() {
    // No active window (the desktop was clicked) or a window of unknown process changes
    // nothing: reporting them would announce the same application again when it returns.
    const auto front = frontmostApplication();
    if (!front || front == lastReported_) {
        return;
    }
    lastReported_ = front;
    activated_.emit(*front);
}

void X11Workspace::beep() {
    xcb_bell(windows_.connection().xcb(), 0);
    windows_.connection().flush();
}

std::optional<std::int32_t> X11Workspace::layerOf(XWindow window) const {
    const auto type = windows_.windowType(window);
    if (type == "_NET_WM_WINDOW_TYPE_DESKTOP") {
        return std::nullopt;
    }
    if (type == "_NET_WM_WINDOW_TYPE_DOCK") {
        return dockLayer;
    }
    if (type == "_NET_WM_WINDOW_TYPE_NOTIFICATION") {
        return notificationLayer;
    }
    if (type == "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU" || type == "_NET_WM_WINDOW_TYPE_POPUP_MENU" ||
        type == "_NET_WM_WINDOW_TYPE_TOOLTIP" || type == "_NET_WM_WINDOW_TYPE_COMBO" ||
        type == "_NET_WM_WINDOW_TYPE_DND") {
        return popUpMenuLayer;
    }
    if (type == "_NET_WM_WINDOW_TYPE_UTILITY" || type == "_NET_WM_WINDOW_TYPE_TOOLBAR" ||
        type == "_NET_WM_WINDOW_TYPE_MENU" || type == "_NET_WM_WINDOW_TYPE_SPLASH") {
        return floatingLayer;
    }
    if (windows_.hasState(window, "_NET_WM_STATE_ABOVE")) {
        return floatingLayer;
    }
    if (windows_.hasState(window, "_NET_WM_STATE_BELOW")) {
        return belowLayer;
    }
    return normalLayer;
}

std::vector<WindowListEntry> X11Workspace::onScreenWindows() const {
    std::vector<WindowListEntry> entries;
    const auto clients = windows_.clientsBottomToTop();
    for (auto window = clients.rbegin(); window != clients.rend(); ++window) {
        if (!windows_.isViewable(*window)) {
            continue;
        }
        const auto layer = layerOf(*window);
        if (!layer) {
            continue;
        }
        // A window nobody can be named the owner of helps no caller; it is left out.
        const auto owner = windows_.processOf(*window);
        const auto bounds = windows_.outerFrame(*window);
        if (!owner || !bounds) {
            continue;
        }
        const auto origin = windows_.connection().toTopLeft(bounds->origin);
        entries.push_back(WindowListEntry{
            *owner, *layer, Rect(origin.x, origin.y, bounds->width(), bounds->height())});
    }
    return entries;
}

bool X11Workspace::startOpener(const std::string& argument) {
    // xdg-open takes a leading "-" as an option of its own.
    if (argument.empty() || argument.front() == '-') {
        log_.write(logCategory, LogLevel::error, "Not opening \"" + argument + "\"");
        return false;
    }
    std::string program = "xdg-open";
    std::vector<gchar*> argv{program.data(), const_cast<gchar*>(argument.c_str()), nullptr};
    GError* error = nullptr;
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib starts the program from an intermediate child that
    // it collects at once, so the opener is nobody's child here and never becomes a zombie;
    // a program that can't be started is still reported, before the call returns. Its output
    // is dropped: standard output may be a channel our own caller reads.
    const gboolean started =
        g_spawn_async(nullptr, argv.data(), nullptr,
                      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL),
                      nullptr, nullptr, nullptr, &error);
    if (!started) {
        log_.write(logCategory, LogLevel::error,
                   "Can't start xdg-open: " +
                       std::string(error && error->message ? error->message : "unknown error"));
        g_clear_error(&error);
        return false;
    }
    return true;
}

bool X11Workspace::openURL(std::string_view url) {
    return startOpener(std::string(url));
}

bool X11Workspace::revealInFileBrowser(const std::vector<std::filesystem::path>& items) {
    // Linux has no common way to open a file browser with given items selected; opening the
    // folders that hold them is what every desktop understands.
    std::vector<fs::path> folders;
    for (const auto& item : items) {
        std::error_code ec;
        auto absolute = fs::absolute(item, ec).lexically_normal();
        if (ec || absolute.empty()) {
            continue;
        }
        if (!absolute.has_filename()) {
            absolute = absolute.parent_path();
        }
        auto folder = absolute.has_relative_path() ? absolute.parent_path() : absolute;
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(std::move(folder));
        }
    }
    bool started = !folders.empty();
    for (const auto& folder : folders) {
        started = startOpener(folder.string()) && started;
    }
    return started;
}

} // namespace tessera
