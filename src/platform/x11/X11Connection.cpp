#include "X11Connection.h"

#include "X11Displays.h"

#include <glib.h>
#include <xcb/randr.h>
#include <xcb/res.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace tessera {

namespace {

template <typename T> struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

// Longest property read: 1 MiB of 32-bit items is far beyond any window list.
constexpr std::uint32_t maximumPropertyWords = 256 * 1024;

} // namespace

// The GLib source that carries X events into the main loop. Besides the socket it checks the
// events xcb already read while a port was waiting for a reply: those never make the socket
// readable again, and a loop that only polled the socket would sit on them.
struct X11ConnectionSource {
    GSource source;
    X11Connection* connection;
    gpointer tag;

    static gboolean prepare(GSource* source, gint* timeout) {
        *timeout = -1;
        auto* self = reinterpret_cast<X11ConnectionSource*>(source);
        self->connection->flush();
        return self->connection->pollQueued();
    }
    static gboolean check(GSource* source) {
        auto* self = reinterpret_cast<X11ConnectionSource*>(source);
        const auto condition = self->tag ? g_source_query_unix_fd(source, self->tag) : 0;
        return (condition != 0) || self->connection->pollQueued();
    }
    static gboolean dispatch(GSource* source, GSourceFunc, gpointer) {
        auto* self = reinterpret_cast<X11ConnectionSource*>(source);
        self->connection->dispatchPending();
        if (!self->connection->isConnected() && self->tag) {
            // A closed socket stays readable; polling it further would spin the loop.
            g_source_remove_unix_fd(source, self->tag);
            self->tag = nullptr;
        }
        return G_SOURCE_CONTINUE;
    }
};

namespace {
GSourceFuncs sourceFuncs = {X11ConnectionSource::prepare,
                            X11ConnectionSource::check,
                            X11ConnectionSource::dispatch,
                            nullptr,
                            nullptr,
                            nullptr};
} // namespace

std::unique_ptr<X11Connection> X11Connection::open(const std::string& displayName,
                                                   std::string& error) {
    std::string name = displayName;
    if (name.empty()) {
        const char* variable = std::getenv("DISPLAY");
        name = variable ? variable : "";
    }
    if (name.empty()) {
        error = "no X display (DISPLAY is not set)";
        return nullptr;
    }
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(name.c_str(), &screenNumber);
    if (const int failure = xcb_connection_has_error(connection); failure != 0) {
        xcb_disconnect(connection);
        error =
            "cannot open the X display \"" + name + "\" (error " + std::to_string(failure) + ")";
        return nullptr;
    }
    return std::make_unique<X11Connection>(Key{}, connection, screenNumber, name);
}

X11Connection::X11Connection(Key, xcb_connection_t* connection, int screenNumber,
                             std::string displayName)
    : connection_(connection), displayName_(std::move(displayName)) {
    auto iterator = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int index = 0; iterator.rem > 0 && index < screenNumber; ++index) {
        xcb_screen_next(&iterator);
    }
    screen_ = iterator.data;
    root_ = screen_->root;

    if (const auto* randr = xcb_get_extension_data(connection_, &xcb_randr_id);
        randr && randr->present) {
        countRoundTrip();
        Reply<xcb_randr_query_version_reply_t> version(xcb_randr_query_version_reply(
            connection_, xcb_randr_query_version(connection_, 1, 5), nullptr));
        if (version && (version->major_version > 1 || version->minor_version >= 5)) {
            randrFirstEvent_ = randr->first_event;
        }
    }
    if (const auto* input = xcb_get_extension_data(connection_, &xcb_input_id);
        input && input->present) {
        countRoundTrip();
        Reply<xcb_input_xi_query_version_reply_t> version(xcb_input_xi_query_version_reply(
            connection_, xcb_input_xi_query_version(connection_, 2, 2), nullptr));
        if (version && (version->major_version > 2 ||
                        (version->major_version == 2 && version->minor_version >= 2))) {
            xinputOpcode_ = input->major_opcode;
        }
    }
    if (const auto* resource = xcb_get_extension_data(connection_, &xcb_res_id);
        resource && resource->present) {
        countRoundTrip();
        Reply<xcb_res_query_version_reply_t> version(xcb_res_query_version_reply(
            connection_, xcb_res_query_version(connection_, 1, 2), nullptr));
        hasResourceExtension_ =
            version && (version->server_major > 1 ||
                        (version->server_major == 1 && version->server_minor >= 2));
    }
}

X11Connection::~X11Connection() {
    if (source_) {
        g_source_destroy(source_);
        g_source_unref(source_);
    }
    for (auto* event : queued_) {
        std::free(event);
    }
    xcb_disconnect(connection_);
}

XAtom X11Connection::atom(std::string_view name) {
    const std::string key(name);
    if (const auto found = atoms_.find(key); found != atoms_.end()) {
        return found->second;
    }
    preloadAtoms({name});
    const auto found = atoms_.find(key);
    return found != atoms_.end() ? found->second : 0;
}

void X11Connection::preloadAtoms(const std::vector<std::string_view>& names) {
    std::vector<std::pair<std::string, xcb_intern_atom_cookie_t>> asked;
    for (const auto name : names) {
        std::string key(name);
        if (atoms_.count(key) == 0) {
            const auto cookie =
                xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(key.size()), key.data());
            asked.emplace_back(std::move(key), cookie);
        }
    }
    if (asked.empty()) {
        return;
    }
    countRoundTrip();
    for (auto& [key, cookie] : asked) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookie, nullptr));
        if (reply) {
            atomNames_.emplace(reply->atom, key);
            atoms_.emplace(std::move(key), reply->atom);
        }
    }
}

std::string X11Connection::atomName(XAtom atom) {
    if (const auto known = atomNames_.find(atom); known != atomNames_.end()) {
        return known->second;
    }
    countRoundTrip();
    Reply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, atom), nullptr));
    if (!reply) {
        return {};
    }
    std::string name(xcb_get_atom_name_name(reply.get()),
                     static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
    atoms_.emplace(name, atom);
    atomNames_.emplace(atom, name);
    return name;
}

std::optional<std::vector<std::uint32_t>> X11Connection::cardinals(XWindow window, XAtom property,
                                                                   XAtom type) {
    countRoundTrip();
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, window, property, type, 0, maximumPropertyWords),
        nullptr));
    if (!reply || reply->type != type || reply->format != 32) {
        return std::nullopt;
    }
    const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) / 4;
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<std::uint32_t>(values, values + length);
}

std::optional<std::vector<std::uint32_t>>
X11Connection::cardinals(XWindow window, std::string_view property, std::string_view type) {
    return cardinals(window, atom(property), atom(type));
}

std::optional<std::vector<std::string>> X11Connection::strings(XWindow window,
                                                               std::string_view property) {
    countRoundTrip();
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection_,
                               xcb_get_property(connection_, 0, window, atom(property),
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, maximumPropertyWords),
                               nullptr));
    if (!reply || reply->type == XCB_NONE || reply->format != 8) {
        return std::nullopt;
    }
    const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply.get()));
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    std::vector<std::string> result;
    std::string current;
    for (std::size_t index = 0; index < length; ++index) {
        if (bytes[index] == '\0') {
            result.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(bytes[index]);
        }
    }
    if (!current.empty()) {
        result.push_back(std::move(current));
    }
    return result;
}

std::optional<std::string> X11Connection::text(XWindow window, std::string_view property) {
    auto values = strings(window, property);
    if (!values) {
        return std::nullopt;
    }
    return values->empty() ? std::string() : values->front();
}

void X11Connection::sendRootMessage(XWindow window, std::string_view type,
                                    const std::array<std::uint32_t, 5>& data) {
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(type);
    for (std::size_t index = 0; index < data.size(); ++index) {
        event.data.data32[index] = data[index];
    }
    xcb_send_event(connection_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection_);
}

void X11Connection::selectRootEvents(std::uint32_t eventMask) {
    if ((rootEventMask_ | eventMask) == rootEventMask_) {
        return;
    }
    rootEventMask_ |= eventMask;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &rootEventMask_);
    xcb_flush(connection_);
}

Rect X11Connection::primaryMonitorFrame() {
    if (!watchingMonitors_) {
        // Asked for before reading, so no change between the two goes unnoticed. The root's
        // ConfigureNotify is the only news of `xrandr --setmonitor`; RandR tells of outputs and
        // CRTCs (the same selection as the displays', which is one per client).
        watchingMonitors_ = true;
        selectRootEvents(XCB_EVENT_MASK_STRUCTURE_NOTIFY);
        if (randrFirstEvent_) {
            xcb_randr_select_input(connection_, root_,
                                   XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE |
                                       XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                       XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
            xcb_flush(connection_);
        }
    }
    // News of a change may already have arrived without being read.
    readArrivedEvents();
    if (!primaryMonitorFrame_) {
        primaryMonitorFrame_ =
            X11Displays::primaryFrame(X11Displays::readArrangement(*this, false));
    }
    return *primaryMonitorFrame_;
}

Point X11Connection::toTopLeft(Point root) {
    const auto origin = primaryMonitorFrame().origin;
    return {root.x - origin.x, root.y - origin.y};
}

Point X11Connection::toRoot(Point topLeft) {
    const auto origin = primaryMonitorFrame().origin;
    return {topLeft.x + origin.x, topLeft.y + origin.y};
}

Point X11Connection::toBottomLeft(Point root) {
    const auto primary = primaryMonitorFrame();
    return {root.x - primary.minX(), primary.height() - (root.y - primary.minY())};
}

void X11Connection::readArrivedEvents() {
    while (auto* event = xcb_poll_for_event(connection_)) {
        enqueue(event);
    }
}

void X11Connection::enqueue(void* event) {
    queued_.push_back(event);
    const auto* generic = static_cast<const xcb_generic_event_t*>(event);
    const auto type = static_cast<std::uint8_t>(generic->response_type & 0x7f);
    eventsRead_.emit(X11Event{type, generic});
    if (!primaryMonitorFrame_) {
        return;
    }
    if (type == XCB_CONFIGURE_NOTIFY) {
        if (static_cast<const xcb_configure_notify_event_t*>(event)->window == root_) {
            primaryMonitorFrame_.reset();
        }
    } else if (randrFirstEvent_ && (type == *randrFirstEvent_ + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                                    type == *randrFirstEvent_ + XCB_RANDR_NOTIFY)) {
        primaryMonitorFrame_.reset();
    }
}

void X11Connection::flush() {
    xcb_flush(connection_);
}

void X11Connection::sync() {
    countRoundTrip();
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

bool X11Connection::waitForEvent(const std::function<bool(const X11Event&)>& accept,
                                 double timeoutSeconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    xcb_flush(connection_);
    std::size_t examined = queued_.size();
    while (true) {
        readArrivedEvents();
        for (; examined < queued_.size(); ++examined) {
            const auto* generic = static_cast<const xcb_generic_event_t*>(queued_[examined]);
            if (accept(
                    X11Event{static_cast<std::uint8_t>(generic->response_type & 0x7f), generic})) {
                return true;
            }
        }
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero() || !isConnected()) {
            return false;
        }
        pollfd descriptor{fileDescriptor(), POLLIN, 0};
        const auto milliseconds =
            std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1;
        ::poll(&descriptor, 1, static_cast<int>(milliseconds));
    }
}

bool X11Connection::isConnected() const {
    return xcb_connection_has_error(connection_) == 0;
}

int X11Connection::fileDescriptor() const {
    return xcb_get_file_descriptor(connection_);
}

bool X11Connection::pollQueued() {
    while (auto* event = xcb_poll_for_queued_event(connection_)) {
        enqueue(event);
    }
    return !queued_.empty() || (!isConnected() && !lostReported_);
}

void X11Connection::dispatchPending() {
    readArrivedEvents();
    // A handler may read replies, which queues more events; take them in the same turn.
    while (!queued_.empty()) {
        auto batch = std::exchange(queued_, {});
        for (auto* event : batch) {
            std::unique_ptr<xcb_generic_event_t, FreeDeleter<xcb_generic_event_t>> owned(
                static_cast<xcb_generic_event_t*>(event));
            events_.emit(
                X11Event{static_cast<std::uint8_t>(owned->response_type & 0x7f), owned.get()});
        }
        pollQueued();
    }
    if (!isConnected() && !lostReported_) {
        lostReported_ = true;
        lost_.emit();
    }
}

void X11Connection::attachToMainContext(GMainContext* context) {
    if (source_) {
        return;
    }
    source_ = g_source_new(&sourceFuncs, sizeof(X11ConnectionSource));
    auto* self = reinterpret_cast<X11ConnectionSource*>(source_);
    self->connection = this;
    self->tag = g_source_add_unix_fd(source_, fileDescriptor(),
                                     static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR));
    g_source_attach(source_, context);
}

} // namespace tessera
