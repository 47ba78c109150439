#include "XServerFixture.h"

#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/res.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace tessera::x11test {

namespace {

using Clock = std::chrono::steady_clock;

template <typename T> struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

Clock::time_point deadlineAfter(double seconds) {
    return Clock::now() +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

int millisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

// Checks the condition, then again after every event on the connection (when there is one) or at
// the latest every 20 ms, until it holds or the time is up.
bool waitOn(const std::function<bool()>& condition, double timeoutSeconds,
            xcb_connection_t* events) {
    const auto deadline = deadlineAfter(timeoutSeconds);
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        pollfd descriptor{events ? xcb_get_file_descriptor(events) : -1, POLLIN, 0};
        ::poll(&descriptor, 1, std::min(20, millisecondsUntil(deadline)));
        while (auto* event = events ? xcb_poll_for_event(events) : nullptr) {
            std::free(event);
        }
    }
    return true;
}

// Starts argv with exactly this environment; stdout to outFd (or inherited when -1), stderr to
// errPath (or inherited when empty).
pid_t startProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   int outFd, const std::string& errPath) {
    const auto pointers = [](const std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (const auto& string : strings) {
            result.push_back(const_cast<char*>(string.c_str()));
        }
        result.push_back(nullptr);
        return result;
    };
    auto args = pointers(argv);
    auto environment = pointers(env);
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        // Its own process group, so a stray terminal signal to the tests doesn't reach it twice.
        ::setpgid(0, 0);
        if (outFd >= 0) {
            ::dup2(outFd, STDOUT_FILENO);
        }
        const int err =
            errPath.empty() ? -1 : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err >= 0) {
            ::dup2(err, STDERR_FILENO);
        }
        for (int fd = 3; fd < 1024; ++fd) {
            ::close(fd);
        }
        ::execvpe(args[0], args.data(), environment.data());
        ::_exit(127);
    }
    return pid;
}

// The environment of this process without DISPLAY, plus the given entries (later ones win; a
// name without a value takes the name away).
std::vector<std::string> environmentWith(const std::vector<std::string>& extra) {
    std::map<std::string, std::string> values;
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        entries.emplace_back(*entry);
    }
    entries.emplace_back("DISPLAY");
    entries.insert(entries.end(), extra.begin(), extra.end());
    for (const auto& text : entries) {
        const auto equals = text.find('=');
        if (equals == std::string::npos) {
            values.erase(text);
        } else {
            values[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    std::vector<std::string> result;
    for (const auto& [key, value] : values) {
        result.push_back(key + "=" + value);
    }
    return result;
}

// Waits for the process to end, at most the given time; its wait status.
std::optional<int> waitForProcess(pid_t pid, double timeoutSeconds) {
    int status = 0;
    pid_t done = 0;
    waitFor([&] { return (done = ::waitpid(pid, &status, WNOHANG)) != 0; }, timeoutSeconds);
    return done == pid ? std::optional(status) : std::nullopt;
}

int exitCode(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

void killAndReap(pid_t pid) {
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

std::vector<std::uint32_t> cardinalsOf(xcb_connection_t* connection, XWindow window,
                                       std::uint32_t property, std::uint32_t type) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 1 << 16), nullptr));
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}
} // namespace

// --- XServer ---

std::string_view nameOf(WindowManager windowManager) {
    constexpr std::array<std::string_view, 7> names{"openbox (test configuration)",
                                                    "openbox",
                                                    "xfwm4",
                                                    "metacity",
                                                    "fluxbox",
                                                    "icewm",
                                                    "kwin_x11"};
    return names.at(static_cast<std::size_t>(windowManager));
}

XServer::XServer(ServerOptions options, Desktop desktop)
    : options_(std::move(options)), desktop_(desktop) {
    tempDir_ = makeTempDir("tessera-x11-");
    const std::string screen =
        std::to_string(options_.width) + "x" + std::to_string(options_.height) + "x24";
    // Xvfb writes the display number it picked once it accepts connections.
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp",
                                 "-screen", "0", screen},
        std::vector<std::string>{});
    const auto number = server_->waitForLine([](const std::string&) { return true; }, 20);
    if (!number) {
        throw std::runtime_error("Xvfb did not start (is it installed?): " +
                                 server_->errorOutput());
    }
    display_ = ":" + *number;

    connection_ = xcb_connect(display_.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) {
        throw std::runtime_error("cannot connect to the test server " + display_);
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // Property and structure changes on the root wake waitUntil.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);

    if (!options_.monitors.empty()) {
        setMonitors(options_.monitors);
    }
    if (options_.windowManager) {
        startSession();
        startWindowManager();
    }
    // The first faked key switches the core keyboard over to the XTest device, and every client
    // hears of a new keyboard map; done now, that notice reaches no shortcut a test presses.
    key(XK_Shift_L, true);
    key(XK_Shift_L, false);
}

XServer::~XServer() {
    stopChildren();
    if (connection_) {
        xcb_disconnect(connection_);
    }
    server_.reset();
    std::error_code ignored;
    if (!std::getenv("TESSERA_KEEP_X11_LOGS"))
        std::filesystem::remove_all(tempDir_, ignored);
}

void XServer::stopChildren() {
    for (auto pid : children_) {
        killAndReap(pid);
    }
    children_.clear();
}

void XServer::startSession() {
    // A home and XDG folders of its own, so no configuration, autostart entry or dconf setting
    // of the user's applies, and nothing the programs write survives the test.
    for (const char* folder : {"home", "config", "data", "cache", "runtime"}) {
        std::filesystem::create_directories(tempDir_ + "/" + folder);
    }
    std::filesystem::permissions(tempDir_ + "/runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    session_ = {"HOME=" + tempDir_ + "/home", "XDG_CONFIG_HOME=" + tempDir_ + "/config",
                "XDG_DATA_HOME=" + tempDir_ + "/data", "XDG_CACHE_HOME=" + tempDir_ + "/cache",
                "XDG_RUNTIME_DIR=" + tempDir_ + "/runtime",
                // Settings stay in memory: GTK programs and metacity read their defaults.
                "GSETTINGS_BACKEND=memory", "SESSION_MANAGER", "DESKTOP_SESSION",
                "XDG_CURRENT_DESKTOP", "DBUS_SESSION_BUS_ADDRESS"};
    if (desktop_.windowManager == WindowManager::openboxTest) {
        return;
    }
    // GTK applications and kwin look for a session bus; one of the session's own keeps them
    // off the user's.
    const std::string socket = tempDir_ + "/bus";
    spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + socket});
    if (!waitUntil([&] { return std::filesystem::exists(socket); }, 20)) {
        throw std::runtime_error("dbus-daemon did not start on " + display_ +
                                 " (is dbus installed?)");
    }
    session_.back() = "DBUS_SESSION_BUS_ADDRESS=unix:path=" + socket;
}

void XServer::startWindowManager() {
    const auto home = tempDir_ + "/home";
    switch (desktop_.windowManager) {
    case WindowManager::openboxTest:
        spawn({"openbox", "--config-file", std::string(TESSERA_X11_TEST_DIR) + "/openbox-rc.xml"});
        break;
    case WindowManager::openbox:
        spawn({"openbox", "--config-file", "/etc/xdg/openbox/rc.xml"});
        break;
    case WindowManager::xfwm4:
        spawn({"xfwm4", desktop_.compositing ? "--compositor=on" : "--compositor=off",
               "--vblank=off"});
        break;
    case WindowManager::metacity:
        spawn({"metacity", "--sm-disable",
               desktop_.compositing ? "--compositor=xrender" : "--compositor=none"});
        break;
    case WindowManager::fluxbox: {
        // The stock style sets a wallpaper through fbsetbg, which reports in a dialog that
        // it has no image viewer; the overlay keeps the root window as it is.
        std::filesystem::create_directories(home + "/.fluxbox");
        std::ofstream(home + "/.fluxbox/overlay") << "background: none\n";
        spawn({"fluxbox"});
        break;
    }
    case WindowManager::icewm:
        spawn({"icewm"});
        break;
    case WindowManager::kwin:
        // OpenGL through Mesa's software renderer is what composites on Xvfb.
        spawn({"kwin_x11"}, {"QT_QPA_PLATFORM=xcb",
                             "KWIN_COMPOSE=" + std::string(desktop_.compositing ? "O2" : "N"),
                             "LIBGL_ALWAYS_SOFTWARE=1", "KDE_FULL_SESSION", "KDE_SESSION_VERSION"});
        break;
    }
    waitUntilManaging();
    if (desktop_.compositing && desktop_.windowManager == WindowManager::openbox) {
        spawn({"picom", "--config", "/dev/null", "--backend", "xrender"});
    }
    if (desktop_.compositing && !waitUntil([&] { return compositorRunning(); }, 20)) {
        throw std::runtime_error("no compositing manager came up beside " +
                                 std::string(nameOf(desktop_.windowManager)) + " on " + display_);
    }
    // A panel reserves its space once it is mapped; until then the work area would count it
    // as free.
    if (desktop_.windowManager == WindowManager::icewm ||
        desktop_.windowManager == WindowManager::fluxbox) {
        if (!waitUntil([&] { return workArea().height() < options_.height; }, 20)) {
            throw std::runtime_error(std::string(nameOf(desktop_.windowManager)) +
                                     "'s panel did not reserve its space");
        }
    }
}

void XServer::waitUntilManaging() {
    const auto name = std::string(nameOf(desktop_.windowManager));
    const auto checkAtom = atom("_NET_SUPPORTING_WM_CHECK");
    const bool announced = waitUntil(
        [&] {
            Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
                connection_,
                xcb_get_property(connection_, 0, root_, checkAtom, XCB_ATOM_WINDOW, 0, 1),
                nullptr));
            return reply && xcb_get_property_value_length(reply.get()) == 4;
        },
        30);
    if (!announced) {
        throw std::runtime_error(name + " did not start on " + display_ + " (is it installed?)");
    }
    // A window manager may announce itself before its main loop runs, and a request that
    // reaches it in between can sit unread until its next event. A probe window it has managed
    // proves the loop is running; root property changes are events it listens to, which wake
    // it meanwhile.
    const XWindow probe = xcb_generate_id(connection_);
    auto* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, probe, root_, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(connection_, probe);
    xcb_flush(connection_);
    const auto nudge = atom("_TESSERA_TEST_NUDGE");
    std::uint32_t count = 0;
    const bool running = waitUntil(
        [&] {
            const auto clients = clientList();
            if (std::find(clients.begin(), clients.end(), probe) != clients.end()) {
                return true;
            }
            ++count;
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, root_, nudge, XCB_ATOM_CARDINAL,
                                32, 1, &count);
            xcb_flush(connection_);
            return false;
        },
        30);
    xcb_destroy_window(connection_, probe);
    xcb_delete_property(connection_, root_, nudge);
    xcb_flush(connection_);
    if (!running) {
        throw std::runtime_error(name + " on " + display_ + " does not manage windows");
    }
    waitUntilGone(probe);
}

pid_t XServer::spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    auto environment = session_;
    environment.insert(environment.end(), env.begin(), env.end());
    environment.push_back("DISPLAY=" + display_);
    const std::string log = tempDir_ + "/" + std::filesystem::path(argv.at(0)).filename().string() +
                            "-" + std::to_string(children_.size()) + ".log";
    const pid_t pid = startProcess(argv, environmentWith(environment), -1, log);
    children_.push_back(pid);
    return pid;
}

int XServer::run(const std::vector<std::string>& argv) {
    ChildProcess process(argv, {"DISPLAY=" + display_});
    return process.waitForExit(30).value_or(-1);
}

XServer::Launched XServer::launch(const std::vector<std::string>& argv,
                                  const std::vector<std::string>& env) {
    const auto before = clientList();
    const pid_t pid = spawn(argv, env);
    XWindow found = 0;
    const auto motifHints = atom("_MOTIF_WM_HINTS");
    const bool appeared = waitUntil(
        [&] {
            for (auto window : clientList()) {
                if (std::find(before.begin(), before.end(), window) != before.end()) {
                    continue;
                }
                // Framed, or a client that asked for no frame (it draws its own), which some
                // window managers then describe with no extents at all.
                if (frameExtents(window).size() == 4 ||
                    !cardinalsOf(connection_, window, motifHints, motifHints).empty()) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        30);
    if (!appeared) {
        throw std::runtime_error("no window appeared for " + argv.at(0));
    }
    waitUntil([&] { return shown(found); });
    return {found, pid};
}

bool XServer::shown(XWindow window) {
    Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

XWindow XServer::makeWindow(
    const Rect& frame, std::string_view type,
    const std::vector<std::pair<std::string, std::vector<std::uint32_t>>>& cardinals) {
    auto* xcb = connection_;
    const XWindow window = xcb_generate_id(xcb);
    const std::uint32_t background = 0x336699;
    xcb_create_window(
        xcb, XCB_COPY_FROM_PARENT, window, root_, static_cast<std::int16_t>(frame.minX()),
        static_cast<std::int16_t>(frame.minY()), static_cast<std::uint16_t>(frame.width()),
        static_cast<std::uint16_t>(frame.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
        XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, &background);
    const char wmClass[] = "tessera-probe\0TesseraProbe";
    xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof wmClass, wmClass);
    if (!type.empty()) {
        const std::uint32_t typeAtom = atom(type);
        xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_WINDOW_TYPE"),
                            XCB_ATOM_ATOM, 32, 1, &typeAtom);
    }
    for (const auto& [name, values] : cardinals) {
        xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, window, atom(name), XCB_ATOM_CARDINAL, 32,
                            static_cast<std::uint32_t>(values.size()), values.data());
    }
    xcb_map_window(xcb, window);
    xcb_flush(xcb);
    const bool managed = waitUntil([&] {
        const auto clients = clientList();
        return std::find(clients.begin(), clients.end(), window) != clients.end() &&
               frameExtents(window).size() == 4 && shown(window);
    });
    if (!managed) {
        throw std::runtime_error("the window manager did not show the test's window");
    }
    return window;
}

void XServer::setMonitors(const std::vector<Monitor>& monitors) {
    // Take away every monitor the tests defined, then define the new ones; the first one takes
    // the screen's output so RandR stops reporting the automatic monitor.
    for (const auto& name : definedMonitors_) {
        run({"xrandr", "--delmonitor", name});
    }
    definedMonitors_.clear();
    bool first = true;
    for (const auto& monitor : monitors) {
        const auto& f = monitor.frame;
        const auto whole = [](double value) { return std::to_string(static_cast<int>(value)); };
        // Millimetres at about 100 pixels per inch; only the pixels matter to Tessera.
        const std::string geometry = whole(f.width()) + "/" + whole(f.width() / 4) + "x" +
                                     whole(f.height()) + "/" + whole(f.height() / 4) + "+" +
                                     whole(f.minX()) + "+" + whole(f.minY());
        if (run({"xrandr", "--setmonitor", monitor.name, geometry, first ? "screen" : "none"}) !=
            0) {
            throw std::runtime_error("xrandr --setmonitor " + monitor.name + " failed");
        }
        definedMonitors_.push_back(monitor.name);
        first = false;
    }
    sync();
}

bool XServer::waitUntil(const std::function<bool()>& condition, double timeoutSeconds) {
    return waitOn(condition, timeoutSeconds, connection_);
}

bool XServer::waitUntilGone(XWindow window) {
    return waitUntil([&] {
        const auto clients = clientList();
        return std::find(clients.begin(), clients.end(), window) == clients.end();
    });
}

std::uint32_t XServer::atom(std::string_view name) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.data()),
        nullptr));
    return reply ? reply->atom : 0;
}

std::vector<XWindow> XServer::clientList() {
    return cardinalsOf(connection_, root_, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
}

std::optional<XWindow> XServer::activeWindow() {
    const auto values =
        cardinalsOf(connection_, root_, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (values.empty() || values.front() == 0) {
        return std::nullopt;
    }
    return values.front();
}

std::optional<Rect> XServer::clientFrame(XWindow window) {
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
    if (!geometry) {
        return std::nullopt;
    }
    Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr));
    if (!origin) {
        return std::nullopt;
    }
    return Rect{double(origin->dst_x), double(origin->dst_y), double(geometry->width),
                double(geometry->height)};
}

std::vector<std::uint32_t> XServer::frameExtents(XWindow window) {
    return cardinalsOf(connection_, window, atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL);
}

std::optional<Rect> XServer::outerFrame(XWindow window) {
    auto client = clientFrame(window);
    if (!client) {
        return std::nullopt;
    }
    const auto extents = frameExtents(window);
    if (extents.size() != 4) {
        return client;
    }
    return Rect{client->minX() - extents[0], client->minY() - extents[2],
                client->width() + extents[0] + extents[1],
                client->height() + extents[2] + extents[3]};
}

std::vector<std::uint32_t> XServer::clientShadow(XWindow window) {
    auto margins = cardinalsOf(connection_, window, atom("_GTK_FRAME_EXTENTS"), XCB_ATOM_CARDINAL);
    if (margins.size() != 4) {
        margins.clear();
    }
    return margins;
}

std::optional<Rect> XServer::visibleFrame(XWindow window) {
    auto outer = outerFrame(window);
    const auto shadow = clientShadow(window);
    if (!outer || shadow.empty()) {
        return outer;
    }
    return Rect{outer->minX() + shadow[0], outer->minY() + shadow[2],
                outer->width() - shadow[0] - shadow[1], outer->height() - shadow[2] - shadow[3]};
}

XServer::SizeHints XServer::sizeHints(XWindow window) {
    // WM_SIZE_HINTS: flags, x, y, width, height, min width, min height, max width, max height,
    // width increment, height increment, ...
    const auto hints =
        cardinalsOf(connection_, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS);
    SizeHints result;
    if (hints.size() < 11) {
        return result;
    }
    constexpr std::uint32_t minSize = 1u << 4;
    constexpr std::uint32_t increments = 1u << 6;
    if ((hints[0] & minSize) != 0) {
        result.minWidth = static_cast<int>(hints[5]);
        result.minHeight = static_cast<int>(hints[6]);
    }
    if ((hints[0] & increments) != 0) {
        result.widthIncrement = std::max(1, static_cast<int>(hints[9]));
        result.heightIncrement = std::max(1, static_cast<int>(hints[10]));
    }
    return result;
}

Rect XServer::workArea() {
    const auto area = cardinalsOf(connection_, root_, atom("_NET_WORKAREA"), XCB_ATOM_CARDINAL);
    if (area.size() < 4) {
        return {0, 0, double(options_.width), double(options_.height)};
    }
    return {double(area[0]), double(area[1]), double(area[2]), double(area[3])};
}

bool XServer::supports(std::string_view hint) {
    const auto hints = cardinalsOf(connection_, root_, atom("_NET_SUPPORTED"), XCB_ATOM_ATOM);
    return std::find(hints.begin(), hints.end(), atom(hint)) != hints.end();
}

bool XServer::compositorRunning() {
    Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, atom("_NET_WM_CM_S0")), nullptr));
    return owner && owner->owner != XCB_NONE;
}

bool XServer::keyboardAndPointerFree() {
    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> other(
        xcb_connect(display_.c_str(), nullptr), xcb_disconnect);
    if (xcb_connection_has_error(other.get())) {
        throw std::runtime_error("cannot open another connection to " + display_);
    }
    const auto root = xcb_setup_roots_iterator(xcb_get_setup(other.get())).data->root;
    Reply<xcb_grab_keyboard_reply_t> keyboard(
        xcb_grab_keyboard_reply(other.get(),
                                xcb_grab_keyboard(other.get(), 0, root, XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr));
    Reply<xcb_grab_pointer_reply_t> pointer(xcb_grab_pointer_reply(
        other.get(),
        xcb_grab_pointer(other.get(), 0, root, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                         XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
        nullptr));
    xcb_ungrab_keyboard(other.get(), XCB_CURRENT_TIME);
    xcb_ungrab_pointer(other.get(), XCB_CURRENT_TIME);
    std::free(xcb_get_input_focus_reply(other.get(), xcb_get_input_focus(other.get()), nullptr));
    return keyboard && keyboard->status == XCB_GRAB_STATUS_SUCCESS && pointer &&
           pointer->status == XCB_GRAB_STATUS_SUCCESS;
}

bool XServer::hasState(XWindow window, std::string_view state) {
    const auto states = cardinalsOf(connection_, window, atom("_NET_WM_STATE"), XCB_ATOM_ATOM);
    return std::find(states.begin(), states.end(), atom(state)) != states.end();
}

void XServer::sendToRoot(XWindow window, std::string_view type,
                         const std::array<std::uint32_t, 5>& data) {
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(type);
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(connection_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection_);
}

void XServer::requestState(XWindow window, bool add, std::string_view state,
                           std::string_view second, std::uint32_t source) {
    sendToRoot(window, "_NET_WM_STATE",
               {add ? 1u : 0u, atom(state), second.empty() ? 0 : atom(second), source, 0});
}

void XServer::activate(XWindow window) {
    sendToRoot(window, "_NET_ACTIVE_WINDOW", {2, XCB_CURRENT_TIME, 0, 0, 0});
    if (!waitUntil([&] { return activeWindow() == window; })) {
        throw std::runtime_error("the window manager did not activate the window");
    }
}

void XServer::moveTo(XWindow window, const Rect& area) {
    moveResizeClient(window, area);
    if (!waitUntil([&] { return isAt(window, area); })) {
        throw std::runtime_error("the window manager did not move the window");
    }
}

bool XServer::isAt(XWindow window, const Rect& area) {
    const auto outer = outerFrame(window);
    const auto client = clientFrame(window);
    return outer && client && outer->origin == area.origin && client->size == area.size;
}

void XServer::moveResizeClient(XWindow window, const Rect& area) {
    // Gravity north-west (1), x, y, width and height given (bits 8-11), from a pager (2 << 12).
    const std::uint32_t flags = 1 | (0xFu << 8) | (2u << 12);
    sendToRoot(window, "_NET_MOVERESIZE_WINDOW",
               {flags, static_cast<std::uint32_t>(static_cast<int>(area.minX())),
                static_cast<std::uint32_t>(static_cast<int>(area.minY())),
                static_cast<std::uint32_t>(area.width()),
                static_cast<std::uint32_t>(area.height())});
}

void XServer::pointerTo(int x, int y) {
    xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_,
                        static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
    sync();
}

void XServer::button(int number, bool press) {
    xcb_test_fake_input(connection_, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE,
                        static_cast<std::uint8_t>(number), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

std::optional<std::uint8_t> XServer::keycodeOf(std::uint32_t keysym) {
    std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> symbols(
        xcb_key_symbols_alloc(connection_), xcb_key_symbols_free);
    std::unique_ptr<xcb_keycode_t, FreeDeleter<xcb_keycode_t>> codes(
        xcb_key_symbols_get_keycode(symbols.get(), keysym));
    if (!codes || *codes == XCB_NO_SYMBOL) {
        return std::nullopt;
    }
    return *codes;
}

void XServer::key(std::uint32_t keysym, bool press) {
    const auto code = keycodeOf(keysym);
    if (!code) {
        throw std::runtime_error("no keycode for keysym " + std::to_string(keysym));
    }
    xcb_test_fake_input(connection_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, *code,
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

void XServer::rewriteKeyboardMaps() {
    auto* xcb = connection_;
    const auto* setup = xcb_get_setup(xcb);
    const auto first = setup->min_keycode;
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    Reply<xcb_get_keyboard_mapping_reply_t> keys(
        xcb_get_keyboard_mapping_reply(xcb, xcb_get_keyboard_mapping(xcb, first, count), nullptr));
    Reply<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(xcb, xcb_get_modifier_mapping(xcb), nullptr));
    if (!keys || !modifiers) {
        throw std::runtime_error("cannot read the keyboard maps");
    }
    Reply<xcb_generic_error_t> error(xcb_request_check(
        xcb, xcb_change_keyboard_mapping_checked(xcb, count, first, keys->keysyms_per_keycode,
                                                 xcb_get_keyboard_mapping_keysyms(keys.get()))));
    Reply<xcb_set_modifier_mapping_reply_t> set(xcb_set_modifier_mapping_reply(
        xcb,
        xcb_set_modifier_mapping(xcb, modifiers->keycodes_per_modifier,
                                 xcb_get_modifier_mapping_keycodes(modifiers.get())),
        nullptr));
    if (error || !set || set->status != XCB_MAPPING_STATUS_SUCCESS) {
        throw std::runtime_error("cannot write the keyboard maps back");
    }
}

void XServer::chord(const std::vector<std::uint32_t>& modifiers, std::uint32_t keysym) {
    for (const auto modifier : modifiers) {
        key(modifier, true);
    }
    key(keysym, true);
    key(keysym, false);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
        key(*it, false);
    }
}

void XServer::sync() {
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

// --- OtherClient ---

OtherClient::OtherClient(const XServer& server)
    : xcb_(xcb_connect(server.display().c_str(), nullptr)) {
    if (xcb_connection_has_error(xcb_)) {
        xcb_disconnect(xcb_);
        throw std::runtime_error("cannot open another connection to " + server.display());
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(xcb_)).data->root;
}

OtherClient::~OtherClient() {
    xcb_disconnect(xcb_);
}

int OtherClient::grab(std::uint8_t keycode, std::uint16_t modifiers) {
    Reply<xcb_generic_error_t> error(
        xcb_request_check(xcb_, xcb_grab_key_checked(xcb_, 1, root_, modifiers, keycode,
                                                     XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
    return error ? error->error_code : 0;
}

void OtherClient::ungrab(std::uint8_t keycode, std::uint16_t modifiers) {
    std::free(xcb_request_check(xcb_, xcb_ungrab_key_checked(xcb_, keycode, root_, modifiers)));
}

int OtherClient::keyPresses() {
    while (auto* event = xcb_poll_for_event(xcb_)) {
        if ((event->response_type & 0x7f) == XCB_KEY_PRESS) {
            ++presses_;
        }
        std::free(event);
    }
    return presses_;
}

// --- ChildProcess ---

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env) {
    std::array<int, 2> pipe{};
    if (::pipe2(pipe.data(), O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    char pattern[] = "/tmp/tessera-child-stderr-XXXXXX";
    const int errFd = ::mkstemp(pattern);
    if (errFd >= 0) {
        ::close(errFd);
    }
    errorFile_ = pattern;
    pid_ = startProcess(argv, environmentWith(env), pipe[1], errorFile_);
    ::close(pipe[1]);
    stdout_ = pipe[0];
}

ChildProcess::~ChildProcess() {
    stop(SIGTERM, 5);
    ::close(stdout_);
    std::error_code ignored;
    std::filesystem::remove(errorFile_, ignored);
}

bool ChildProcess::readSome(double timeoutSeconds) {
    pollfd descriptor{stdout_, POLLIN, 0};
    if (::poll(&descriptor, 1, static_cast<int>(timeoutSeconds * 1000)) <= 0) {
        return false;
    }
    char buffer[4096];
    const auto count = ::read(stdout_, buffer, sizeof buffer);
    if (count <= 0) {
        return false;
    }
    output_.append(buffer, static_cast<std::size_t>(count));
    return true;
}

std::optional<std::string>
ChildProcess::waitForLine(const std::function<bool(const std::string&)>& accept,
                          double timeoutSeconds) {
    const auto deadline = deadlineAfter(timeoutSeconds);
    while (true) {
        std::size_t end;
        while ((end = output_.find('\n', consumed_)) != std::string::npos) {
            std::string line = output_.substr(consumed_, end - consumed_);
            consumed_ = end + 1;
            if (accept(line)) {
                return line;
            }
        }
        const int left = millisecondsUntil(deadline);
        if (left <= 0 || !readSome(left / 1000.0)) {
            return std::nullopt;
        }
    }
}

std::optional<std::string> ChildProcess::waitForLine(std::string_view exactLine,
                                                     double timeoutSeconds) {
    return waitForLine([&](const std::string& line) { return line == exactLine; }, timeoutSeconds);
}

int ChildProcess::stop(int signal, double timeoutSeconds) {
    if (!status_) {
        ::kill(pid_, signal);
        if (!waitForExit(timeoutSeconds)) {
            killAndReap(pid_);
            status_ = 128 + SIGKILL;
        }
    }
    return *status_;
}

std::optional<int> ChildProcess::waitForExit(double timeoutSeconds) {
    if (!status_) {
        if (auto status = waitForProcess(pid_, timeoutSeconds)) {
            status_ = exitCode(*status);
            while (readSome(0)) {
            }
        }
    }
    return status_;
}

std::string ChildProcess::errorOutput() {
    std::ifstream file(errorFile_);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string makeTempDir(const char* prefix) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot create a temporary folder: " +
                                 std::string(std::strerror(errno)));
    }
    return pattern;
}

bool waitFor(const std::function<bool()>& condition, double timeoutSeconds) {
    return waitOn(condition, timeoutSeconds, nullptr);
}

// --- TesseraRun ---

std::string tesseractlPath() {
    return TESSERA_TESSERACTL;
}

TesseraRun::TesseraRun(XServer& server, const std::string& preferencesXml,
                       const std::vector<std::string>& env)
    : server_(server) {
    home_ = makeTempDir("tessera-home-");
    const auto config = std::filesystem::path(home_) / ".config";
    if (!preferencesXml.empty()) {
        std::filesystem::create_directories(config / "Tessera");
        std::ofstream(config / "Tessera" / "preferences.plist") << preferencesXml;
    }
    auto environment = env;
    // Off every session bus unless the test gives one: runs of parallel tests (or the user's
    // own Tessera) would contend for the name.
    environment.insert(environment.begin(),
                       {"DISPLAY=" + server.display(), "HOME=" + home_,
                        "XDG_CONFIG_HOME=" + config.string(),
                        "XDG_DATA_HOME=" + home_ + "/.local/share", "LANG=C",
                        "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR=" + home_});
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{tesseractlPath(), "run"},
                                              environment);
    if (!process_->waitForLine("ready", 30)) {
        const auto errors = process_->errorOutput();
        throw std::runtime_error("tesseractl run did not get ready: " + errors);
    }
}

TesseraRun::~TesseraRun() {
    process_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
}

void TesseraRun::sync() {
    const std::uint32_t value = nextSync_++;
    auto* connection = server_.connection();
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, server_.root(),
                        server_.atom("_TESSERA_SYNC"), XCB_ATOM_CARDINAL, 32, 1, &value);
    xcb_flush(connection);
    const auto expected = "sync " + std::to_string(value);
    if (!process_->waitForLine(expected, 20)) {
        throw std::runtime_error("tesseractl run did not answer " + expected +
                                 "; it said: " + process_->errorOutput());
    }
}

} // namespace tessera::x11test
