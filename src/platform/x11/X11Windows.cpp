#include "X11Windows.h"

#include <xcb/res.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

namespace tessera {

namespace {

template <typename T> struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

// Longest property read: 1 MiB of 32-bit items is far beyond any window list or title.
constexpr std::uint32_t maximumPropertyWords = 256 * 1024;

// No extent can be wider than the protocol's largest coordinate; a larger one (or a negative
// one, which CARDINAL can't carry and which reads as a huge number) is nonsense.
constexpr std::uint32_t largestExtent = 32767;

std::optional<FrameExtents> extentsFrom(const std::optional<std::vector<std::uint32_t>>& values) {
    if (!values || values->size() < 4) {
        return std::nullopt;
    }
    const auto& v = *values;
    if (std::any_of(v.begin(), v.begin() + 4,
                    [](std::uint32_t value) { return value > largestExtent; })) {
        return std::nullopt;
    }
    return FrameExtents{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                        static_cast<int>(v[3])};
}

SizeHints sizeHintsFrom(const std::optional<std::vector<std::uint32_t>>& words) {
    // WM_SIZE_HINTS: flags, four obsolete words, min, max, increments, two aspect ratios, base,
    // gravity.
    enum : std::uint32_t { minSize = 16, maxSize = 32, resizeIncrements = 64, baseSize = 256 };
    SizeHints hints;
    if (!words || words->size() < 15) {
        return hints;
    }
    const auto& w = *words;
    const auto value = [&](std::size_t index) {
        return static_cast<int>(std::min<std::uint32_t>(w[index], INT_MAX));
    };
    const std::uint32_t flags = w[0];
    const bool hasMin = (flags & minSize) != 0;
    const bool hasBase = (flags & baseSize) != 0 && w.size() >= 17;
    // Each of base and minimum stands in for the other when only one is given.
    if (hasMin) {
        hints.minWidth = std::max(1, value(5));
        hints.minHeight = std::max(1, value(6));
    } else if (hasBase) {
        hints.minWidth = std::max(1, value(15));
        hints.minHeight = std::max(1, value(16));
    }
    if (hasBase) {
        hints.baseWidth = value(15);
        hints.baseHeight = value(16);
    } else if (hasMin) {
        hints.baseWidth = value(5);
        hints.baseHeight = value(6);
    }
    if ((flags & maxSize) != 0 && value(7) > 0 && value(8) > 0) {
        hints.maxWidth = value(7);
        hints.maxHeight = value(8);
    }
    if ((flags & resizeIncrements) != 0 && value(9) > 0 && value(10) > 0) {
        hints.widthIncrement = value(9);
        hints.heightIncrement = value(10);
    }
    return hints;
}

constexpr std::uint8_t syntheticBit = 0x80;

} // namespace

X11Windows::X11Windows(X11Connection& connection) : connection_(connection) {
    connection_.preloadAtoms({"_NET_CLIENT_LIST_STACKING", "_NET_CLIENT_LIST", "_NET_ACTIVE_WINDOW",
                              "_NET_WM_PID", "WM_CLASS", "_NET_WM_NAME", "WM_NAME",
                              "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN",
                              "_NET_FRAME_EXTENTS", "_GTK_FRAME_EXTENTS", "WM_NORMAL_HINTS",
                              "WINDOW", "CARDINAL", "ATOM", "WM_SIZE_HINTS", "WM_WINDOW_ROLE"});
    atoms_ = Atoms{connection_.atom("_NET_CLIENT_LIST_STACKING"),
                   connection_.atom("_NET_CLIENT_LIST"),
                   connection_.atom("_NET_ACTIVE_WINDOW"),
                   connection_.atom("_NET_WM_PID"),
                   connection_.atom("WM_CLASS"),
                   connection_.atom("_NET_WM_NAME"),
                   connection_.atom("WM_NAME"),
                   connection_.atom("_NET_WM_WINDOW_TYPE"),
                   connection_.atom("_NET_WM_STATE"),
                   connection_.atom("_NET_FRAME_EXTENTS"),
                   connection_.atom("_GTK_FRAME_EXTENTS"),
                   connection_.atom("WM_NORMAL_HINTS"),
                   connection_.atom("WINDOW"),
                   connection_.atom("CARDINAL"),
                   connection_.atom("ATOM"),
                   connection_.atom("WM_SIZE_HINTS"),
                   connection_.atom("WM_WINDOW_ROLE")};
    events_ = connection_.onEventRead([this](const X11Event& event) { noteEvent(event); });
    // The client list and the active window are root properties; the frames are children of
    // the root, so their moves show there.
    connection_.selectRootEvents(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                                 XCB_EVENT_MASK_PROPERTY_CHANGE);
}

// --- Events ---

void X11Windows::noteEvent(const X11Event& event) {
    switch (event.responseType) {
    case XCB_PROPERTY_NOTIFY: {
        const auto& notify = event.as<xcb_property_notify_event_t>();
        if (notify.window == connection_.root()) {
            if (notify.atom == atoms_.stacking || notify.atom == atoms_.list) {
                clients_.reset();
                clientSet_.clear();
            } else if (notify.atom == atoms_.active) {
                active_.reset();
            }
        } else if (const auto client = tracked_.find(notify.window); client != tracked_.end()) {
            client->second.properties.erase(notify.atom);
            if (notify.atom == atoms_.frameExtents && client->second.placement) {
                client->second.placement->offset.reset();
            }
        }
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto& notify = event.as<xcb_configure_notify_event_t>();
        if ((notify.response_type & syntheticBit) != 0) {
            break;
        }
        bool isTopLevel = false;
        const auto [first, last] = topLevels_.equal_range(notify.window);
        for (auto it = first; it != last; ++it) {
            isTopLevel = true;
            auto& client = tracked_.at(it->second);
            auto& placement = *client.placement;
            placement.topLevelOrigin = {double(notify.x), double(notify.y)};
            if (placement.topLevelBorder != notify.border_width) {
                placement.topLevelBorder = notify.border_width;
                placement.offset.reset();
            }
            if (it->second == notify.window) {
                client.size = {double(notify.width), double(notify.height)};
            }
        }
        if (isTopLevel) {
            break;
        }
        if (const auto found = tracked_.find(notify.window); found != tracked_.end()) {
            auto& client = found->second;
            client.size = {double(notify.width), double(notify.height)};
            if (auto& placement = client.placement;
                placement &&
                (placement->xInParent != notify.x || placement->yInParent != notify.y ||
                 placement->border != notify.border_width)) {
                placement->offset.reset();
                placement->xInParent = notify.x;
                placement->yInParent = notify.y;
                placement->border = notify.border_width;
            }
        }
        break;
    }
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY: {
        const XWindow window = event.responseType == XCB_MAP_NOTIFY
                                   ? event.as<xcb_map_notify_event_t>().window
                                   : event.as<xcb_unmap_notify_event_t>().window;
        const bool mapped = event.responseType == XCB_MAP_NOTIFY;
        if (const auto found = tracked_.find(window); found != tracked_.end()) {
            found->second.mapped = mapped;
        }
        const auto [first, last] = topLevels_.equal_range(window);
        for (auto it = first; it != last; ++it) {
            tracked_.at(it->second).placement->topLevelMapped = mapped;
        }
        break;
    }
    case XCB_REPARENT_NOTIFY:
        forgetPlacement(event.as<xcb_reparent_notify_event_t>().window);
        break;
    case XCB_DESTROY_NOTIFY: {
        const XWindow window = event.as<xcb_destroy_notify_event_t>().window;
        std::vector<XWindow> held;
        const auto [first, last] = topLevels_.equal_range(window);
        for (auto it = first; it != last; ++it) {
            held.push_back(it->second);
        }
        for (const XWindow client : held) {
            forgetPlacement(client);
        }
        forgetPlacement(window);
        tracked_.erase(window);
        break;
    }
    default:
        break;
    }
}

void X11Windows::forgetPlacement(XWindow client) {
    const auto found = tracked_.find(client);
    if (found == tracked_.end() || !found->second.placement) {
        return;
    }
    const auto [first, last] = topLevels_.equal_range(found->second.placement->topLevel);
    for (auto it = first; it != last; ++it) {
        if (it->second == client) {
            topLevels_.erase(it);
            break;
        }
    }
    found->second.placement.reset();
}

// --- Tracking ---

bool X11Windows::isClient(XWindow window) {
    return clientSet_.count(window) > 0 || (!clients_ && readClients().count(window) > 0);
}

X11Windows::Client* X11Windows::watched(XWindow window) {
    if (const auto found = tracked_.find(window); found != tracked_.end()) {
        return &found->second;
    }
    if (!isClient(window)) {
        return nullptr;
    }
    xcb_connection_t* xcb = connection_.xcb();
    connection_.countRoundTrip();
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(xcb, xcb_get_window_attributes(xcb, window), nullptr));
    if (!attributes) {
        return nullptr;
    }
    // The event mask is one per connection and window: other ports' selections must survive.
    // Selected before anything is read, so no change after the reads goes unseen; a window
    // that is gone by now fails the reads below.
    const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                               XCB_EVENT_MASK_PROPERTY_CHANGE;
    if (mask != attributes->your_event_mask) {
        xcb_change_window_attributes(xcb, window, XCB_CW_EVENT_MASK, &mask);
    }
    // Everything the ports ask of a client comes in one round trip.
    const std::array wanted{
        atoms_.pid,   atoms_.wmClass,      atoms_.netName,         atoms_.wmName,      atoms_.type,
        atoms_.state, atoms_.frameExtents, atoms_.gtkFrameExtents, atoms_.normalHints, atoms_.role};
    std::array<xcb_get_property_cookie_t, wanted.size()> cookies{};
    for (std::size_t index = 0; index < wanted.size(); ++index) {
        cookies[index] = xcb_get_property(xcb, 0, window, wanted[index], XCB_GET_PROPERTY_TYPE_ANY,
                                          0, maximumPropertyWords);
    }
    connection_.countRoundTrip();
    Client client;
    bool gone = false;
    for (std::size_t index = 0; index < wanted.size(); ++index) {
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(xcb, cookies[index], nullptr));
        if (!reply) {
            gone = true;
            continue;
        }
        client.properties[wanted[index]] = Property{
            reply->type, reply->format,
            std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                        static_cast<std::size_t>(xcb_get_property_value_length(reply.get())))};
    }
    if (gone) {
        return nullptr;
    }
    return &tracked_.emplace(window, std::move(client)).first->second;
}

X11Windows::Client* X11Windows::placed(XWindow window) {
    auto* client = watched(window);
    if (client && (!client->placement || !client->placement->offset) && !place(window)) {
        return nullptr;
    }
    return client;
}

bool X11Windows::place(XWindow window) {
    xcb_connection_t* xcb = connection_.xcb();
    const XWindow root = connection_.root();
    auto& client = tracked_.at(window);
    XWindow topLevel = client.placement ? client.placement->topLevel : XWindow{XCB_WINDOW_NONE};
    // The frame a window manager puts around a client may be several windows deep.
    for (XWindow current = window; topLevel == XCB_WINDOW_NONE;) {
        connection_.countRoundTrip();
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(xcb, xcb_query_tree(xcb, current), nullptr));
        if (!tree) {
            return false;
        }
        if (tree->parent == root || tree->parent == XCB_WINDOW_NONE) {
            topLevel = current;
        }
        current = tree->parent;
    }
    const auto geometryCookie = xcb_get_geometry(xcb, window);
    const auto translateCookie = xcb_translate_coordinates(xcb, window, root, 0, 0);
    const auto attributesCookie = xcb_get_window_attributes(xcb, window);
    const auto topGeometryCookie = xcb_get_geometry(xcb, topLevel);
    const auto topAttributesCookie = xcb_get_window_attributes(xcb, topLevel);
    connection_.countRoundTrip();
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(xcb, geometryCookie, nullptr));
    Reply<xcb_translate_coordinates_reply_t> translated(
        xcb_translate_coordinates_reply(xcb, translateCookie, nullptr));
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(xcb, attributesCookie, nullptr));
    Reply<xcb_get_geometry_reply_t> topGeometry(
        xcb_get_geometry_reply(xcb, topGeometryCookie, nullptr));
    Reply<xcb_get_window_attributes_reply_t> topAttributes(
        xcb_get_window_attributes_reply(xcb, topAttributesCookie, nullptr));
    if (!geometry || !translated || !attributes || !topGeometry || !topAttributes) {
        return false;
    }
    // The replies tell the state when the server answered; events it sent before then are
    // applied after, in order, and end with the same state or a later one.
    forgetPlacement(window);
    client.size = {double(geometry->width), double(geometry->height)};
    client.mapped = attributes->map_state != XCB_MAP_STATE_UNMAPPED;
    Placement placement;
    placement.topLevel = topLevel;
    placement.topLevelMapped = topAttributes->map_state != XCB_MAP_STATE_UNMAPPED;
    placement.topLevelOrigin = {double(topGeometry->x), double(topGeometry->y)};
    placement.topLevelBorder = topGeometry->border_width;
    placement.offset = Point{double(translated->dst_x - topGeometry->x),
                             double(translated->dst_y - topGeometry->y)};
    placement.xInParent = geometry->x;
    placement.yInParent = geometry->y;
    placement.border = geometry->border_width;
    client.placement = placement;
    topLevels_.emplace(topLevel, window);
    return true;
}

// --- Reading ---

X11Windows::Property X11Windows::property(XWindow window, XAtom atom) {
    auto* client = watched(window);
    if (client) {
        if (const auto known = client->properties.find(atom); known != client->properties.end()) {
            return known->second;
        }
    }
    xcb_connection_t* xcb = connection_.xcb();
    connection_.countRoundTrip();
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        xcb,
        xcb_get_property(xcb, 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, maximumPropertyWords),
        nullptr));
    if (!reply) {
        return {};
    }
    Property value{
        reply->type, reply->format,
        std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                    static_cast<std::size_t>(xcb_get_property_value_length(reply.get())))};
    if (client) {
        client->properties[atom] = value;
    }
    return value;
}

std::optional<std::vector<std::uint32_t>> X11Windows::words(XWindow window, XAtom atom,
                                                            XAtom type) {
    const auto value = property(window, atom);
    if (value.type != type || value.format != 32) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> result(value.bytes.size() / 4);
    std::copy_n(value.bytes.data(), result.size() * 4, reinterpret_cast<char*>(result.data()));
    return result;
}

std::vector<std::string> X11Windows::strings(XWindow window, XAtom atom, bool& present) {
    const auto value = property(window, atom);
    present = value.type != XCB_NONE && value.format == 8;
    std::vector<std::string> result;
    if (!present) {
        return result;
    }
    std::string current;
    for (const char byte : value.bytes) {
        if (byte == '\0') {
            result.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(byte);
        }
    }
    if (!current.empty()) {
        result.push_back(std::move(current));
    }
    return result;
}

std::optional<std::string> X11Windows::text(XWindow window, XAtom atom) {
    bool present = false;
    auto values = strings(window, atom, present);
    if (!present) {
        return std::nullopt;
    }
    return values.empty() ? std::string() : std::move(values.front());
}

std::vector<XWindow> X11Windows::clientsBottomToTop() {
    connection_.readArrivedEvents();
    readClients();
    return *clients_;
}

const std::unordered_set<XWindow>& X11Windows::readClients() {
    if (!clients_) {
        xcb_connection_t* xcb = connection_.xcb();
        const XWindow root = connection_.root();
        const auto stackingCookie =
            xcb_get_property(xcb, 0, root, atoms_.stacking, atoms_.window, 0, maximumPropertyWords);
        const auto listCookie =
            xcb_get_property(xcb, 0, root, atoms_.list, atoms_.window, 0, maximumPropertyWords);
        connection_.countRoundTrip();
        Reply<xcb_get_property_reply_t> stacking(
            xcb_get_property_reply(xcb, stackingCookie, nullptr));
        Reply<xcb_get_property_reply_t> list(xcb_get_property_reply(xcb, listCookie, nullptr));
        const auto windowsOf = [](xcb_get_property_reply_t* reply) {
            const auto* values = static_cast<const XWindow*>(xcb_get_property_value(reply));
            const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply)) / 4;
            return std::vector<XWindow>(values, values + length);
        };
        const auto usable = [&](const Reply<xcb_get_property_reply_t>& reply) {
            return reply && reply->type == atoms_.window && reply->format == 32;
        };
        clients_ = usable(stacking) ? windowsOf(stacking.get())
                   : usable(list)   ? windowsOf(list.get())
                                    : std::vector<XWindow>{};
        clientSet_ = std::unordered_set<XWindow>(clients_->begin(), clients_->end());
    }
    return clientSet_;
}

std::optional<XWindow> X11Windows::activeWindow() {
    connection_.readArrivedEvents();
    if (!active_) {
        const auto active = words(connection_.root(), atoms_.active, atoms_.window);
        active_ = (!active || active->empty() || active->front() == XCB_WINDOW_NONE)
                      ? std::nullopt
                      : std::optional<XWindow>(active->front());
    }
    return *active_;
}

std::optional<ProcessId> X11Windows::processOf(XWindow window) {
    connection_.readArrivedEvents();
    if (const auto pid = words(window, atoms_.pid, atoms_.cardinal);
        pid && !pid->empty() && pid->front() != 0) {
        return static_cast<ProcessId>(pid->front());
    }
    if (!connection_.hasResourceExtension()) {
        return std::nullopt;
    }
    // The process that created a window stays the same for the window's life.
    if (auto* client = watched(window); client && client->resourceProcess) {
        return *client->resourceProcess;
    }
    const auto process = resourceProcess(window);
    if (auto* client = watched(window)) {
        client->resourceProcess = process;
    }
    return process;
}

std::optional<ProcessId> X11Windows::resourceProcess(XWindow window) {
    // The server knows the process of every local client that owns a resource; naming the
    // window as the client asks for the one that created it.
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    xcb_connection_t* xcb = connection_.xcb();
    connection_.countRoundTrip();
    Reply<xcb_res_query_client_ids_reply_t> reply(
        xcb_res_query_client_ids_reply(xcb, xcb_res_query_client_ids(xcb, 1, &wanted), nullptr));
    if (!reply) {
        return std::nullopt;
    }
    for (auto ids = xcb_res_query_client_ids_ids_iterator(reply.get()); ids.rem > 0;
         xcb_res_client_id_value_next(&ids)) {
        // Only process ids were asked for, so every value is one: a single CARD32.
        if (xcb_res_client_id_value_value_length(ids.data) >= 1) {
            const std::uint32_t pid = *xcb_res_client_id_value_value(ids.data);
            if (pid != 0) {
                return static_cast<ProcessId>(pid);
            }
        }
    }
    return std::nullopt;
}

std::vector<XWindow> X11Windows::clientsOf(ProcessId process) {
    std::vector<XWindow> result;
    for (const XWindow window : clientsBottomToTop()) {
        if (processOf(window) == process) {
            result.push_back(window);
        }
    }
    return result;
}

std::optional<std::pair<std::string, std::string>> X11Windows::windowClass(XWindow window) {
    connection_.readArrivedEvents();
    bool present = false;
    const auto values = strings(window, atoms_.wmClass, present);
    if (values.empty()) {
        return std::nullopt;
    }
    // A client that sets a single string gets it as both instance and class.
    return std::pair(values[0], values.size() > 1 ? values[1] : values[0]);
}

std::string X11Windows::role(XWindow window) {
    connection_.readArrivedEvents();
    return text(window, atoms_.role).value_or(std::string());
}

std::optional<std::string> X11Windows::title(XWindow window) {
    connection_.readArrivedEvents();
    if (auto name = text(window, atoms_.netName)) {
        return name;
    }
    return text(window, atoms_.wmName);
}

FrameExtents X11Windows::frameExtents(XWindow window) {
    connection_.readArrivedEvents();
    return extentsFrom(words(window, atoms_.frameExtents, atoms_.cardinal))
        .value_or(FrameExtents{});
}

FrameExtents X11Windows::gtkFrameExtents(XWindow window) {
    connection_.readArrivedEvents();
    const auto client = clientRect(window);
    return client ? shadowOf(window, *client) : FrameExtents{};
}

FrameExtents X11Windows::shadowOf(XWindow window, const Rect& client) {
    const auto extents = extentsFrom(words(window, atoms_.gtkFrameExtents, atoms_.cardinal));
    // A margin that leaves nothing of the client to see is no shadow.
    if (!extents || extents->left + extents->right >= client.width() ||
        extents->top + extents->bottom >= client.height()) {
        return {};
    }
    return *extents;
}

SizeHints X11Windows::sizeHints(XWindow window) {
    connection_.readArrivedEvents();
    return sizeHintsFrom(words(window, atoms_.normalHints, atoms_.sizeHints));
}

std::optional<Rect> X11Windows::clientRect(XWindow window) {
    if (const auto* client = placed(window)) {
        const auto& placement = *client->placement;
        return Rect(placement.topLevelOrigin.x + placement.offset->x,
                    placement.topLevelOrigin.y + placement.offset->y, client->size.width,
                    client->size.height);
    }
    if (tracked_.count(window) > 0) {
        return std::nullopt;
    }
    // Not a managed client (or one that is gone): asked of the server, both requests in one
    // round trip.
    xcb_connection_t* xcb = connection_.xcb();
    const auto geometryCookie = xcb_get_geometry(xcb, window);
    const auto translateCookie = xcb_translate_coordinates(xcb, window, connection_.root(), 0, 0);
    connection_.countRoundTrip();
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(xcb, geometryCookie, nullptr));
    Reply<xcb_translate_coordinates_reply_t> translated(
        xcb_translate_coordinates_reply(xcb, translateCookie, nullptr));
    if (!geometry || !translated) {
        return std::nullopt;
    }
    return Rect(translated->dst_x, translated->dst_y, geometry->width, geometry->height);
}

std::optional<Rect> X11Windows::clientFrame(XWindow window) {
    connection_.readArrivedEvents();
    return clientRect(window);
}

std::optional<Rect> X11Windows::outerFrame(XWindow window) {
    connection_.readArrivedEvents();
    const auto client = clientRect(window);
    if (!client) {
        return std::nullopt;
    }
    const auto frame =
        extentsFrom(words(window, atoms_.frameExtents, atoms_.cardinal)).value_or(FrameExtents{});
    const auto shadow = shadowOf(window, *client);
    return Rect(client->minX() - frame.left + shadow.left, client->minY() - frame.top + shadow.top,
                client->width() + frame.left + frame.right - shadow.left - shadow.right,
                client->height() + frame.top + frame.bottom - shadow.top - shadow.bottom);
}

std::optional<XWindow> X11Windows::topLevelOf(XWindow window) {
    connection_.readArrivedEvents();
    if (const auto* client = placed(window)) {
        return client->placement->topLevel;
    }
    xcb_connection_t* xcb = connection_.xcb();
    for (XWindow current = window;;) {
        connection_.countRoundTrip();
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(xcb, xcb_query_tree(xcb, current), nullptr));
        if (!tree) {
            return std::nullopt;
        }
        if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE) {
            return current;
        }
        current = tree->parent;
    }
}

std::vector<XWindow> X11Windows::clientsIn(XWindow topLevel) const {
    std::vector<XWindow> clients;
    const auto [first, last] = topLevels_.equal_range(topLevel);
    for (auto it = first; it != last; ++it) {
        clients.push_back(it->second);
    }
    return clients;
}

bool X11Windows::hasState(XWindow window, std::string_view state) {
    connection_.readArrivedEvents();
    const auto states = words(window, atoms_.state, atoms_.atom);
    if (!states) {
        return false;
    }
    const XAtom wanted = connection_.atom(state);
    return std::find(states->begin(), states->end(), wanted) != states->end();
}

std::string X11Windows::windowType(XWindow window) {
    connection_.readArrivedEvents();
    const auto types = words(window, atoms_.type, atoms_.atom);
    if (!types || types->empty()) {
        return {};
    }
    return connection_.atomName(types->front());
}

bool X11Windows::isViewable(XWindow window) {
    connection_.readArrivedEvents();
    if (const auto* client = placed(window)) {
        const bool shown = client->mapped && (client->placement->topLevel == window ||
                                              client->placement->topLevelMapped);
        return shown && !hasState(window, "_NET_WM_STATE_HIDDEN");
    }
    if (tracked_.count(window) > 0) {
        return false;
    }
    xcb_connection_t* xcb = connection_.xcb();
    connection_.countRoundTrip();
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(xcb, xcb_get_window_attributes(xcb, window), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) {
        return false;
    }
    return !hasState(window, "_NET_WM_STATE_HIDDEN");
}

} // namespace tessera
