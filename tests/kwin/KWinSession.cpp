#include "KWinSession.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tessera::kwintest {

namespace {

const char* const scriptHelpers = R"(
function windows() {
    return typeof workspace.windowList === "function" ? workspace.windowList()
                                                       : workspace.clientList();
}
function activate(w) {
    if (typeof workspace.windowList === "function")
        workspace.activeWindow = w;
    else
        workspace.activeClient = w;
}
)";

namespace fs = std::filesystem;

std::string messageOf(GError* error) {
    std::string text = error != nullptr ? error->message : "unknown";
    g_clear_error(&error);
    return text;
}

GVariant* call(GDBusConnection* connection, const char* service, const char* path,
               const char* interface, const char* method, GVariant* arguments,
               const char* replyType) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(connection, service, path, interface, method,
                                                  arguments, G_VARIANT_TYPE(replyType),
                                                  G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    if (reply == nullptr) {
        throw std::runtime_error(std::string(method) + " failed: " + messageOf(error));
    }
    return reply;
}

std::optional<double> numberIn(GVariant* map, const char* key) {
    GVariant* value = g_variant_lookup_value(map, key, nullptr);
    if (value == nullptr) {
        return std::nullopt;
    }
    std::optional<double> number;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) {
        number = g_variant_get_double(value);
    } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_INT32)) {
        number = g_variant_get_int32(value);
    }
    g_variant_unref(value);
    return number;
}

} // namespace

KWinSession::KWinSession() : folder_(x11test::makeTempDir("tessera-kwin-")) {
    runtime_ = folder_ + "/runtime";
    fs::create_directories(runtime_);
    fs::permissions(runtime_, fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directories(folder_ + "/home");

    bus_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--nopidfile",
                                 "--print-address=1", "--address=unix:path=" + folder_ + "/bus"},
        std::vector<std::string>{});
    const auto address =
        bus_->waitForLine([](const std::string& line) { return line.starts_with("unix:"); }, 10);
    if (!address) {
        throw std::runtime_error("dbus-daemon did not start: " + bus_->errorOutput());
    }
    busAddress_ = *address;

    startKWin();

    GError* error = nullptr;
    connection_ = g_dbus_connection_new_for_address_sync(
        busAddress_.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (connection_ == nullptr) {
        throw std::runtime_error("cannot reach the session bus: " + messageOf(error));
    }
    // What the scripts of evaluate() report arrives here, on a main loop of the session's own
    // that only evaluate() runs, so a Qt test's loop never takes it.
    context_ = g_main_context_new();
    g_main_context_push_thread_default(context_);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
        "<node><interface name='org.tessera.KWinSession'><method name='Report'>"
        "<arg type='s' direction='in'/></method></interface></node>",
        nullptr);
    static const GDBusInterfaceVTable vtable{
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer session) {
            const gchar* text = nullptr;
            g_variant_get(parameters, "(&s)", &text);
            static_cast<KWinSession*>(session)->report_ = text;
            g_dbus_method_invocation_return_value(invocation, nullptr);
        },
        nullptr,
        nullptr,
        {}};
    const auto registered =
        g_dbus_connection_register_object(connection_, "/org/tessera/KWinSession",
                                          node->interfaces[0], &vtable, this, nullptr, &error);
    g_dbus_node_info_unref(node);
    g_main_context_pop_thread_default(context_);
    if (registered == 0) {
        throw std::runtime_error("cannot take reports from KWin: " + messageOf(error));
    }
}

void KWinSession::startKWin() {
    socket_ = "tessera-" + std::to_string(::getpid()) + "-" +
              fs::path(folder_).filename().string() + "-" + std::to_string(kwinStarts_ + 1);
    // KWin starts the applications it is given once Xwayland is up; this one tells which X
    // display that is.
    ++kwinStarts_;
    const auto fifo = folder_ + "/display-" + std::to_string(kwinStarts_);
    if (::mkfifo(fifo.c_str(), 0600) != 0) {
        throw std::runtime_error("mkfifo failed");
    }
    const auto announce = fifo + ".sh";
    std::ofstream(announce) << "#!/bin/sh\necho \"$DISPLAY\" > " << fifo << "\n";
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    auto env = environment();
    // Fake input is offered only without KWin's permission checks: test sessions only.
    env.insert(env.end(), {"KWIN_COMPOSE=Q", "LIBGL_ALWAYS_SOFTWARE=1", "WAYLAND_DISPLAY",
                           "QT_QPA_PLATFORM", "KWIN_WAYLAND_NO_PERMISSION_CHECKS=1"});
    // A copy of kwin_wayland, which the installed binary's file capability would keep from
    // starting where that capability is not allowed.
    std::vector<std::string> argv{
        TESSERA_KWIN_WAYLAND, "--virtual", "--width",  "1920",  "--height",   "1080",
        "--output-count",     "2",         "--socket", socket_, "--xwayland", "sh " + announce};
    if (const char* root = std::getenv("TESSERA_KWIN_ROOT"); root != nullptr && *root != 0) {
        argv = inRoot(root, argv);
    }
    kwin_ = std::make_unique<ChildProcess>(argv, env);
    pollfd descriptor{reader, POLLIN, 0};
    const bool announced = ::poll(&descriptor, 1, 30000) > 0;
    char buffer[64] = {};
    const auto count = announced ? ::read(reader, buffer, sizeof buffer - 1) : 0;
    ::close(reader);
    display_ = std::string(buffer, count > 0 ? static_cast<std::size_t>(count) : 0);
    if (!display_.empty() && display_.back() == '\n') {
        display_.pop_back();
    }
    if (display_.empty()) {
        throw std::runtime_error("kwin_wayland did not start: " + kwin_->errorOutput());
    }
}

// Another system's KWin (scripts/kwin6-root), in a private mount namespace so that nothing it
// mounts outlives it, however it ends. It shares /tmp (the session's folder with the bus, the
// runtime folder and the home; Xwayland's sockets and locks) with the programs outside.
std::vector<std::string> KWinSession::inRoot(const std::string& root,
                                             std::vector<std::string> argv) const {
    argv.front() = "/usr/local/bin/kwin_wayland";
    argv.insert(argv.begin(), {"unshare", "--mount", "sh", "-ec",
                               "root=$1 folder=$2; shift 2\n"
                               "mount --rbind /dev \"$root/dev\"\n"
                               "mount --rbind /sys \"$root/sys\"\n"
                               "mount -t proc proc \"$root/proc\"\n"
                               "mount --rbind /tmp \"$root/tmp\"\n"
                               "mkdir -p \"$root$folder\"\n"
                               "mount --bind \"$folder\" \"$root$folder\"\n"
                               "exec chroot \"$root\" \"$@\"",
                               "sh", root, folder_});
    return argv;
}

void KWinSession::restartKWin() {
    kwin_->stop(SIGTERM);
    clients_.clear();
    startKWin();
}

KWinSession::~KWinSession() {
    clients_.clear();
    if (connection_ != nullptr) {
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
    }
    if (context_ != nullptr) {
        g_main_context_unref(context_);
    }
    kwin_.reset();
    bus_.reset();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

std::vector<std::string> KWinSession::environment() const {
    const auto home = folder_ + "/home";
    return {"HOME=" + home,
            "XDG_CONFIG_HOME=" + home + "/.config",
            "XDG_DATA_HOME=" + home + "/.local/share",
            "XDG_CACHE_HOME=" + home + "/.cache",
            "XDG_RUNTIME_DIR=" + runtime_,
            "DBUS_SESSION_BUS_ADDRESS=" + busAddress_,
            "WAYLAND_DISPLAY=" + socket_,
            "DISPLAY=" + display_,
            "LANG=C"};
}

std::unique_ptr<ChildProcess> KWinSession::start(const std::vector<std::string>& argv,
                                                 const std::vector<std::string>& env) {
    auto all = environment();
    all.insert(all.end(), env.begin(), env.end());
    return std::make_unique<ChildProcess>(argv, all);
}

std::string KWinSession::openWindow(const std::string& caption, bool wayland) {
    if (wayland) {
        clients_.push_back(start({TESSERA_WAYLAND_WINDOW, caption}, {"QT_QPA_PLATFORM=wayland"}));
    } else {
        clients_.push_back(start({"xterm", "-fn", "fixed", "-T", caption}));
    }
    std::string id;
    const bool shown = waitUntil([&] {
        id = windowTitled(caption);
        return !id.empty() && frame(id).has_value();
    });
    if (!shown) {
        throw std::runtime_error("KWin shows no window \"" + caption + "\"");
    }
    return id;
}

std::string KWinSession::windowTitled(const std::string& caption) {
    // Captions are the tests' own, never holding a quote or a backslash.
    return evaluate("var w = windows().find(function (w) { return w.caption === \"" + caption +
                    "\"; });\nreport(w ? String(w.internalId) : \"\");");
}

void KWinSession::closeLastWindow(const std::string& id) {
    clients_.back()->stop(SIGTERM);
    clients_.pop_back();
    if (!waitUntil([&] { return !frame(id).has_value(); })) {
        throw std::runtime_error("KWin still shows window " + id);
    }
}

std::unique_ptr<ChildProcess> KWinSession::startTessera(const std::vector<std::string>& arguments,
                                                        const std::string& preferencesXml) {
    return startTessera({TESSERA_TESSERACTL, "run"}, arguments, preferencesXml);
}

std::unique_ptr<ChildProcess> KWinSession::startTessera(std::vector<std::string> argv,
                                                        const std::vector<std::string>& arguments,
                                                        const std::string& preferencesXml,
                                                        const std::function<void()>& meanwhile) {
    const auto home = folder_ + "/tessera-home";
    fs::create_directories(home + "/.config/Tessera");
    if (!preferencesXml.empty()) {
        std::ofstream(home + "/.config/Tessera/preferences.plist") << preferencesXml;
    }
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto process = start(argv, {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config",
                                "XDG_DATA_HOME=" + home + "/.local/share"});
    const bool ready = waitUntil(
        [&] {
            if (meanwhile) {
                meanwhile();
            }
            return process->waitForLine("ready", 0.02).has_value();
        },
        30);
    if (!ready) {
        throw std::runtime_error(argv.front() + " did not get ready: " + process->errorOutput());
    }
    return process;
}

std::string KWinSession::home() const {
    return folder_ + "/tessera-home";
}

std::string KWinSession::layoutsFile() const {
    return home() + "/.local/share/Tessera/layouts.json";
}

void KWinSession::input(const std::vector<std::string>& steps) {
    auto argv = steps;
    argv.insert(argv.begin(), TESSERA_FAKE_INPUT);
    const auto process = start(argv);
    if (process->waitForExit() != 0) {
        throw std::runtime_error("fake input failed: " + process->errorOutput());
    }
}

// KWin's a{sv} of facts about the window.
GVariant* KWinSession::windowInfo(const std::string& id) {
    GVariant* reply = call(connection_, "org.kde.KWin", "/KWin", "org.kde.KWin", "getWindowInfo",
                           g_variant_new("(s)", id.c_str()), "(a{sv})");
    GVariant* map = g_variant_get_child_value(reply, 0);
    g_variant_unref(reply);
    return map;
}

std::string KWinSession::application(const std::string& id) {
    GVariant* map = windowInfo(id);
    std::string name;
    for (const char* key : {"desktopFile", "resourceClass"}) {
        const gchar* value = nullptr;
        if (name.empty() && g_variant_lookup(map, key, "&s", &value)) {
            name = value;
        }
    }
    g_variant_unref(map);
    return name;
}

std::optional<Rect> KWinSession::frame(const std::string& id) {
    GVariant* map = windowInfo(id);
    const auto x = numberIn(map, "x");
    const auto y = numberIn(map, "y");
    const auto width = numberIn(map, "width");
    const auto height = numberIn(map, "height");
    g_variant_unref(map);
    if (!x || !y || !width || !height) {
        return std::nullopt;
    }
    return Rect{*x, *y, *width, *height};
}

void KWinSession::activate(const std::string& id) {
    evaluate("windows().forEach(function (w) { if (String(w.internalId) === \"" + id +
             "\") activate(w); });\nreport(\"\");");
}

std::string KWinSession::evaluate(const std::string& body) {
    const auto file = folder_ + "/query.js";
    std::ofstream(file) << scriptHelpers
                        << "function report(text) {\n"
                           "    callDBus(\""
                        << g_dbus_connection_get_unique_name(connection_)
                        << "\", \"/org/tessera/KWinSession\", \"org.tessera.KWinSession\",\n"
                           "             \"Report\", String(text));\n"
                           "}\n"
                        << body;
    report_.reset();
    const auto name = "tessera-script-" + std::to_string(++scripts_);
    g_variant_unref(call(connection_, "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting",
                         "loadScript", g_variant_new("(ss)", file.c_str(), name.c_str()), "(i)"));
    g_variant_unref(call(connection_, "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting",
                         "start", nullptr, "()"));
    const bool reported = waitUntil([&] {
        while (g_main_context_iteration(context_, FALSE) != FALSE) {
        }
        return report_.has_value();
    });
    unloadScript(name);
    if (!reported) {
        throw std::runtime_error("a KWin script did not report: " + kwin_->errorOutput());
    }
    return *report_;
}

void KWinSession::invokeShortcut(const std::string& name) {
    // kglobalaccel answers this call only after a long delay inside kwin_wayland, so nothing
    // waits for its answer.
    GDBusMessage* message =
        g_dbus_message_new_method_call("org.kde.kglobalaccel", "/component/kwin",
                                       "org.kde.kglobalaccel.Component", "invokeShortcut");
    g_dbus_message_set_body(message, g_variant_new("(s)", name.c_str()));
    g_dbus_message_set_flags(message, G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED);
    GError* error = nullptr;
    const bool sent =
        g_dbus_connection_send_message(connection_, message, G_DBUS_SEND_MESSAGE_FLAGS_NONE,
                                       nullptr, &error) != FALSE;
    g_object_unref(message);
    if (!sent) {
        throw std::runtime_error("invokeShortcut failed: " + messageOf(error));
    }
}

bool KWinSession::scriptLoaded(const std::string& pluginName) {
    GVariant* reply = call(connection_, "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting",
                           "isScriptLoaded", g_variant_new("(s)", pluginName.c_str()), "(b)");
    gboolean loaded = FALSE;
    g_variant_get(reply, "(b)", &loaded);
    g_variant_unref(reply);
    return loaded != FALSE;
}

void KWinSession::unloadScript(const std::string& pluginName) {
    g_variant_unref(call(connection_, "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting",
                         "unloadScript", g_variant_new("(s)", pluginName.c_str()), "(b)"));
}

std::vector<int> KWinSession::shortcutKeys(const std::string& name) {
    const char* action[] = {"kwin", name.c_str(), "KWin", name.c_str(), nullptr};
    GVariant* reply =
        call(connection_, "org.kde.kglobalaccel", "/kglobalaccel", "org.kde.KGlobalAccel",
             "shortcut", g_variant_new("(^as)", action), "(ai)");
    GVariant* keys = g_variant_get_child_value(reply, 0);
    std::vector<int> result;
    for (gsize i = 0; i < g_variant_n_children(keys); ++i) {
        GVariant* key = g_variant_get_child_value(keys, i);
        result.push_back(g_variant_get_int32(key));
        g_variant_unref(key);
    }
    g_variant_unref(keys);
    g_variant_unref(reply);
    return result;
}

} // namespace tessera::kwintest
