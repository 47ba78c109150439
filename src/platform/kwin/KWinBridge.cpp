#include "KWinBridge.h"

#include "core/model/Files.h"
#include "platform/dbus/SessionBus.h"

#include <gio/gio.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace tessera {

std::string_view kwinBridgeScript();

namespace {

namespace fs = std::filesystem;

constexpr const char* introspection = R"(<node>
  <interface name="app.tessera.KWinBridge">
    <method name="Event"><arg type="s" name="report" direction="in"/></method>
    <method name="Poll">
      <arg type="s" name="request" direction="in"/>
      <arg type="s" name="commands" direction="out"/>
    </method>
  </interface>
</node>)";

// KWin gives up on a call after 25 s without telling the script; an idle poll is answered well
// before that.
constexpr guint pollAnswerSeconds = 10;
// A script polls again as soon as it has carried out an answer; one that hasn't after this long
// no longer runs.
constexpr guint scriptSilenceSeconds = 5;
// KWin reports its windows within a fraction of a second of loading the script.
constexpr guint helloTimeoutMilliseconds = 5000;
// How a KWin that came back is given its script again: every 100 ms, for at most 5 s.
constexpr guint attachRetryMilliseconds = 100;
constexpr int attachAttempts = 50;

std::string messageOf(GError* error) {
    std::string text = error != nullptr && error->message != nullptr ? error->message : "unknown";
    g_clear_error(&error);
    return text;
}

// A call to KWin's scripting object; its reply, or nothing with the reason in error.
GVariant* callScripting(GDBusConnection* bus, const char* method, GVariant* arguments,
                        const char* replyType, std::string& error) {
    GError* failure = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", method, arguments,
        replyType != nullptr ? G_VARIANT_TYPE(replyType) : nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
        nullptr, &failure);
    if (reply == nullptr) {
        error = std::string("KWin's scripting refused ") + method + ": " + messageOf(failure);
    }
    return reply;
}

// Removes the GLib source the id names, if any, and clears the id.
void cancel(unsigned& source) {
    if (source != 0) {
        g_source_remove(std::exchange(source, 0U));
    }
}

bool nameHasOwner(GDBusConnection* bus, const char* name) {
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
        2000, nullptr, nullptr);
    if (reply == nullptr) {
        return false;
    }
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned != FALSE;
}

void methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
    const gchar* argument = nullptr;
    // The bus checked the signature against the introspection data: one string.
    g_variant_get(parameters, "(&s)", &argument);
    static_cast<KWinBridge*>(self)->handleCall(method, argument, invocation);
}

const GDBusInterfaceVTable vtable{methodCall, nullptr, nullptr, {}};

void answer(GDBusMethodInvocation* invocation, const std::string& text) {
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", text.c_str()));
}

} // namespace

KWinBridge::KWinBridge(Key, GDBusConnection* bus) : bus_(bus) {}

std::unique_ptr<KWinBridge> KWinBridge::start(SessionBus& bus, std::string& error) {
    auto bridge = std::make_unique<KWinBridge>(
        Key{}, static_cast<GDBusConnection*>(g_object_ref(bus.connection())));
    if (!bridge->load(bus, error)) {
        return nullptr;
    }
    return bridge;
}

bool KWinBridge::load(SessionBus& bus, std::string& error) {
    if (!nameHasOwner(bus_, "org.kde.KWin")) {
        error = "KWin (org.kde.KWin) is not on the session bus";
        return false;
    }
    GError* failure = nullptr;
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, &failure);
    if (node == nullptr) {
        error = "bad bridge interface: " + messageOf(failure);
        return false;
    }
    registration_ = g_dbus_connection_register_object(bus_, objectPath, node->interfaces[0],
                                                      &vtable, this, nullptr, &failure);
    g_dbus_node_info_unref(node);
    if (registration_ == 0) {
        error = "can't offer the bridge on the session bus: " + messageOf(failure);
        return false;
    }
    // One Tessera per session: a second one would fight the first over every window.
    if (!bus.claimName(error)) {
        return false;
    }

    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0') {
        error = "XDG_RUNTIME_DIR is not set: there is nowhere to put the KWin script";
        return false;
    }
    const fs::path folder = fs::path(runtime) / "tessera";
    if (auto problem = createFolders(folder); !problem.empty()) {
        error = "can't create " + folder.string() + ": " + problem;
        return false;
    }
    scriptFile_ = folder / "kwin-bridge.js";
    if (!loadScript(error)) {
        return false;
    }

    // The first report brings every output and window; nothing can be answered before it.
    bool timedOut = false;
    const guint timer = g_timeout_add(
        helloTimeoutMilliseconds,
        [](gpointer flag) {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &timedOut);
    while (!greeted_ && !timedOut) {
        g_main_context_iteration(nullptr, TRUE);
    }
    if (!timedOut) {
        g_source_remove(timer);
    }
    if (!greeted_) {
        error = "the KWin script did not report (is KWin's scripting enabled?)";
        return false;
    }
    kwinWatch_ = g_bus_watch_name_on_connection(
        bus_, "org.kde.KWin", G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, gpointer self) {
            static_cast<KWinBridge*>(self)->kwinAppeared();
        },
        [](GDBusConnection*, const gchar*, gpointer self) {
            static_cast<KWinBridge*>(self)->kwinVanished();
        },
        this, nullptr);
    return true;
}

bool KWinBridge::loadScript(std::string& error) {
    // Each load has a token of its own, so reports and polls of an earlier one are told apart.
    gchar* token = g_uuid_string_random();
    token_ = token;
    g_free(token);
    const nlohmann::json header{{"service", SessionBus::name},
                                {"path", objectPath},
                                {"iface", interfaceName},
                                {"token", token_}};
    const std::string script =
        "var tessera = " + header.dump() + ";\n" + std::string(kwinBridgeScript());
    if (auto problem = writeFileAtomically(scriptFile_, script); !problem.empty()) {
        error = "can't write " + scriptFile_.string() + ": " + problem;
        return false;
    }

    // A copy an earlier run left (it ended without unloading it) goes first, handlers and all.
    if (GVariant* loaded =
            callScripting(bus_, "isScriptLoaded", g_variant_new("(s)", pluginName), "(b)", error)) {
        gboolean isLoaded = FALSE;
        g_variant_get(loaded, "(b)", &isLoaded);
        g_variant_unref(loaded);
        if (isLoaded != FALSE) {
            if (GVariant* unloaded = callScripting(
                    bus_, "unloadScript", g_variant_new("(s)", pluginName), "(b)", error)) {
                g_variant_unref(unloaded);
            }
        }
    } else {
        return false;
    }
    GVariant* id = callScripting(
        bus_, "loadScript", g_variant_new("(ss)", scriptFile_.c_str(), pluginName), "(i)", error);
    if (id == nullptr) {
        return false;
    }
    gint32 scriptId = -1;
    g_variant_get(id, "(i)", &scriptId);
    g_variant_unref(id);
    if (scriptId < 0) {
        error = "KWin did not load " + scriptFile_.string();
        return false;
    }
    loaded_ = true;
    GVariant* started = callScripting(bus_, "start", nullptr, nullptr, error);
    if (started == nullptr) {
        return false;
    }
    g_variant_unref(started);
    return true;
}

void KWinBridge::kwinVanished() {
    if (std::exchange(lost_, true)) {
        return;
    }
    // Whatever the old KWin's script was told or asked is gone with it.
    loaded_ = false;
    if (poll_ != nullptr) {
        answer(std::exchange(poll_, nullptr), stopJson());
    }
    cancel(pollTimeout_);
    cancel(silence_);
    queued_.clear();
    inFlight_ = false;
    windows_.clear();
    recency_.clear();
    active_.clear();
    moving_.clear();
    kwinGone_.emit();
}

void KWinBridge::kwinAppeared() {
    if (!lost_ || retry_ != 0) {
        return;
    }
    attempts_ = 0;
    attach();
}

void KWinBridge::attach() {
    // A KWin that has just taken its name may not offer its scripting yet: tried again a few
    // times, then given up with a message.
    std::string error;
    if (loadScript(error)) {
        lost_ = false;
        reattaching_ = true;
        return;
    }
    if (++attempts_ >= attachAttempts) {
        attachFailed_.emit(error);
        return;
    }
    retry_ = g_timeout_add(attachRetryMilliseconds, &once<&KWinBridge::retry_, &KWinBridge::attach>,
                           this);
}

KWinBridge::~KWinBridge() {
    cancel(retry_);
    if (kwinWatch_ != 0) {
        g_bus_unwatch_name(kwinWatch_);
    }
    cancel(flush_);
    cancel(pollTimeout_);
    cancel(silence_);
    // Should unloading fail, the script still stops at this answer.
    if (poll_ != nullptr) {
        answer(poll_, stopJson());
        poll_ = nullptr;
    }
    if (loaded_) {
        std::string ignored;
        if (GVariant* unloaded = callScripting(bus_, "unloadScript",
                                               g_variant_new("(s)", pluginName), "(b)", ignored)) {
            g_variant_unref(unloaded);
        }
    }
    if (registration_ != 0) {
        g_dbus_connection_unregister_object(bus_, registration_);
    }
    g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
    g_object_unref(bus_);
    if (!scriptFile_.empty()) {
        std::error_code ignored;
        fs::remove(scriptFile_, ignored);
    }
}

void KWinBridge::handleCall(const char* method, const char* argument,
                            GDBusMethodInvocation* invocation) {
    const std::string_view name = method;
    if (name == "Poll") {
        poll(parsePollToken(argument).value_or(""), invocation);
        return;
    }
    // Answered before anything is done with it: the script never waits on Tessera's work.
    g_dbus_method_invocation_return_value(invocation, nullptr);
    const auto event = parseBridgeEvent(argument);
    if (event && event->token == token_) {
        apply(*event);
    }
}

void KWinBridge::poll(const std::string& token, GDBusMethodInvocation* invocation) {
    if (token != token_) {
        answer(invocation, stopJson());
        return;
    }
    // The script polls again only after carrying out what the last answer held.
    inFlight_ = false;
    cancel(silence_);
    if (poll_ != nullptr) {
        answer(std::exchange(poll_, nullptr), commandsJson({}));
    }
    poll_ = invocation;
    cancel(pollTimeout_);
    pollTimeout_ = g_timeout_add_seconds(
        pollAnswerSeconds, &once<&KWinBridge::pollTimeout_, &KWinBridge::answerPoll>, this);
    if (!queued_.empty()) {
        answerPoll();
    }
    notifyIfSettled();
}

void KWinBridge::notifyIfSettled() {
    if (!queued_.empty() || inFlight_) {
        return;
    }
    for (const auto& done : std::exchange(settledCallbacks_, {})) {
        done();
    }
}

void KWinBridge::whenSettled(std::function<void()> done) {
    settledCallbacks_.push_back(std::move(done));
    notifyIfSettled();
}

void KWinBridge::answerPoll() {
    if (poll_ == nullptr) {
        return;
    }
    inFlight_ = inFlight_ || !queued_.empty();
    answer(std::exchange(poll_, nullptr), commandsJson(std::exchange(queued_, {})));
    cancel(pollTimeout_);
    if (silence_ == 0) {
        armSilence();
    }
}

void KWinBridge::armSilence() {
    silence_ = g_timeout_add_seconds(scriptSilenceSeconds,
                                     &once<&KWinBridge::silence_, &KWinBridge::scriptSilent>, this);
}

void KWinBridge::scriptSilent() {
    if (lost_) {
        return;
    }
    // A KWin too busy to answer even this is waited for: its script polls once KWin runs again.
    // Reloading would only fail and, after a few tries, give up on a KWin that comes back.
    std::string error;
    GVariant* loaded =
        callScripting(bus_, "isScriptLoaded", g_variant_new("(s)", pluginName), "(b)", error);
    if (loaded == nullptr) {
        armSilence();
        return;
    }
    g_variant_unref(loaded);
    scriptSilent_.emit();
    // What the silent copy was last told may not have been done: the new one is told again
    // (the shortcuts, once it is back) or gets what is still queued.
    inFlight_ = false;
    loaded_ = false;
    lost_ = true;
    attempts_ = 0;
    attach();
}

void KWinBridge::queue(BridgeCommand command) {
    queued_.push_back(std::move(command));
    // Everything one turn of the loop asks for goes in one answer.
    if (flush_ == 0) {
        flush_ = g_idle_add(&once<&KWinBridge::flush_, &KWinBridge::answerPoll>, this);
    }
}

void KWinBridge::touch(const std::string& id) {
    std::erase(recency_, id);
    recency_.insert(recency_.begin(), id);
}

void KWinBridge::apply(const BridgeEvent& event) {
    switch (event.type) {
    case BridgeEventType::hello:
        greeted_ = true;
        api_ = event.api;
        outputs_ = event.outputs;
        windows_.clear();
        recency_.clear();
        for (const auto& window : event.windows) {
            windows_.insert_or_assign(window.id, window);
            recency_.push_back(window.id);
        }
        active_ = event.id;
        if (!active_.empty()) {
            touch(active_);
        }
        outputsChanged_.emit();
        if (std::exchange(reattaching_, false)) {
            kwinBack_.emit();
        }
        return;
    case BridgeEventType::outputs:
        if (event.outputs != outputs_) {
            outputs_ = event.outputs;
            outputsChanged_.emit();
        }
        return;
    case BridgeEventType::window: {
        const auto& window = event.windows.front();
        const auto known = windows_.find(window.id);
        const bool added = known == windows_.end();
        const bool moved = !added && known->second.frame != window.frame;
        if (added) {
            recency_.insert(recency_.begin(), window.id);
        }
        windows_.insert_or_assign(window.id, window);
        if (added) {
            windowAdded_.emit(window.id);
        } else if (moved) {
            windowMoved_.emit(window.id);
        }
        return;
    }
    case BridgeEventType::removed:
        windows_.erase(event.id);
        std::erase(recency_, event.id);
        if (active_ == event.id) {
            active_.clear();
        }
        if (moving_ == event.id) {
            moving_.clear();
        }
        return;
    case BridgeEventType::activated:
        active_ = event.id;
        if (!active_.empty()) {
            touch(active_);
        }
        activated_.emit(active_);
        return;
    case BridgeEventType::move:
        cursor_ = event.cursor;
        moving_ = event.phase == MovePhase::finish || event.phase == MovePhase::cancel
                      ? std::string()
                      : event.id;
        moved_.emit(event.phase, event.cursor);
        return;
    case BridgeEventType::shortcut:
        shortcut_.emit(event.name);
        return;
    }
}

const KWinWindowInfo* KWinBridge::window(const std::string& id) const {
    const auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : &it->second;
}

std::vector<const KWinWindowInfo*> KWinBridge::windowsByRecency() const {
    std::vector<const KWinWindowInfo*> list;
    for (const auto& id : recency_) {
        if (const auto* info = window(id)) {
            list.push_back(info);
        }
    }
    return list;
}

std::vector<const KWinWindowInfo*> KWinBridge::windowsFrontToBack() const {
    auto list = windowsByRecency();
    std::ranges::stable_sort(list, std::ranges::greater(), &KWinWindowInfo::stacking);
    return list;
}

void KWinBridge::setFrame(const std::string& id, const Rect& frame) {
    if (auto it = windows_.find(id); it != windows_.end()) {
        it->second.frame = frame;
    }
    BridgeCommand command;
    command.id = id;
    command.frame = frame;
    queue(std::move(command));
}

void KWinBridge::activate(const std::string& id) {
    BridgeCommand command;
    command.op = BridgeCommand::Op::activate;
    command.id = id;
    queue(std::move(command));
}

void KWinBridge::registerShortcut(const std::string& name, const std::string& text,
                                  const std::string& keys) {
    BridgeCommand command;
    command.op = BridgeCommand::Op::shortcut;
    command.name = name;
    command.text = text;
    command.keys = keys;
    queue(std::move(command));
}

void KWinBridge::unregisterShortcut(const std::string& name) {
    BridgeCommand command;
    command.op = BridgeCommand::Op::unshortcut;
    command.name = name;
    queue(std::move(command));
}

std::vector<KWinBridge::GlobalShortcut> KWinBridge::globalShortcutsOn(std::int32_t qtKeys) const {
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, "org.kde.kglobalaccel", "/kglobalaccel", "org.kde.KGlobalAccel",
        "getGlobalShortcutsByKey", g_variant_new("(i)", qtKeys), G_VARIANT_TYPE("(a(ssssssaiai))"),
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
    std::vector<GlobalShortcut> found;
    if (reply == nullptr) {
        return found;
    }
    GVariantIter* entries = nullptr;
    g_variant_get(reply, "(a(ssssssaiai))", &entries);
    const gchar* action = nullptr;
    const gchar* component = nullptr;
    while (g_variant_iter_next(entries, "(&s&s&s&s&s&s@ai@ai)", &action, nullptr, &component,
                               nullptr, nullptr, nullptr, nullptr, nullptr)) {
        found.push_back({component, action});
    }
    g_variant_iter_free(entries);
    g_variant_unref(reply);
    return found;
}

Connection KWinBridge::onOutputsChanged(std::function<void()> handler) {
    return outputsChanged_.connect(std::move(handler));
}

Connection KWinBridge::onWindowAdded(std::function<void(const std::string&)> handler) {
    return windowAdded_.connect(std::move(handler));
}

Connection KWinBridge::onWindowMoved(std::function<void(const std::string&)> handler) {
    return windowMoved_.connect(std::move(handler));
}

Connection KWinBridge::onActivated(std::function<void(const std::string&)> handler) {
    return activated_.connect(std::move(handler));
}

Connection KWinBridge::onShortcut(std::function<void(const std::string&)> handler) {
    return shortcut_.connect(std::move(handler));
}

Connection KWinBridge::onMove(std::function<void(MovePhase, Point)> handler) {
    return moved_.connect(std::move(handler));
}

Connection KWinBridge::onKWinGone(std::function<void()> handler) {
    return kwinGone_.connect(std::move(handler));
}

Connection KWinBridge::onKWinBack(std::function<void()> handler) {
    return kwinBack_.connect(std::move(handler));
}

Connection KWinBridge::onAttachFailed(std::function<void(const std::string&)> handler) {
    return attachFailed_.connect(std::move(handler));
}

Connection KWinBridge::onScriptSilent(std::function<void()> handler) {
    return scriptSilent_.connect(std::move(handler));
}

bool kwinSessionAvailable() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland == nullptr || *wayland == '\0') {
        return false;
    }
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr) {
        return false;
    }
    const bool available = nameHasOwner(bus, "org.kde.KWin");
    g_object_unref(bus);
    return available;
}

} // namespace tessera
