#include "X11Windows.h"

#include <xcb/res.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace tessera {

namespace {

template <typename T> struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

} // namespace

std::vector<XWindow> X11Windows::clientsBottomToTop() {
    const XWindow root = connection_.root();
    if (auto stacking = connection_.cardinals(root, "_NET_CLIENT_LIST_STACKING", "WINDOW")) {
        return *stacking;
    }
    if (auto list = connection_.cardinals(root, "_NET_CLIENT_LIST", "WINDOW")) {
        return *list;
    }
    return {};
}

std::optional<XWindow> X11Windows::activeWindow() {
    const auto active = connection_.cardinals(connection_.root(), "_NET_ACTIVE_WINDOW", "WINDOW");
    if (!active || active->empty() || active->front() == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    return active->front();
}

std::optional<ProcessId> X11Windows::processOf(XWindow window) {
    if (const auto pid = connection_.cardinals(window, "_NET_WM_PID", "CARDINAL");
        pid && !pid->empty() && pid->front() != 0) {
        return static_cast<ProcessId>(pid->front());
    }
    if (!connection_.hasResourceExtension()) {
        return std::nullopt;
    }
    // The server knows the process of every local client that owns a resource; naming the
    // window as the client asks for the one that created it.
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    xcb_connection_t* xcb = connection_.xcb();
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
    const auto values = connection_.strings(window, "WM_CLASS");
    if (!values || values->empty()) {
        return std::nullopt;
    }
    // A client that sets a single string gets it as both instance and class.
    return std::pair((*values)[0], values->size() > 1 ? (*values)[1] : (*values)[0]);
}

std::optional<std::string> X11Windows::title(XWindow window) {
    if (auto name = connection_.text(window, "_NET_WM_NAME")) {
        return name;
    }
    return connection_.text(window, "WM_NAME");
}

FrameExtents X11Windows::frameExtents(XWindow window) {
    const auto values = connection_.cardinals(window, "_NET_FRAME_EXTENTS", "CARDINAL");
    if (!values || values->size() < 4) {
        return {};
    }
    return FrameExtents{static_cast<int>((*values)[0]), static_cast<int>((*values)[1]),
                        static_cast<int>((*values)[2]), static_cast<int>((*values)[3])};
}

std::optional<Rect> X11Windows::clientFrame(XWindow window) {
    xcb_connection_t* xcb = connection_.xcb();
    // Both requests go out before either reply is awaited: one round trip.
    const auto geometryCookie = xcb_get_geometry(xcb, window);
    const auto translateCookie = xcb_translate_coordinates(xcb, window, connection_.root(), 0, 0);
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(xcb, geometryCookie, nullptr));
    Reply<xcb_translate_coordinates_reply_t> translated(
        xcb_translate_coordinates_reply(xcb, translateCookie, nullptr));
    if (!geometry || !translated) {
        return std::nullopt;
    }
    return Rect(translated->dst_x, translated->dst_y, geometry->width, geometry->height);
}

std::optional<Rect> X11Windows::outerFrame(XWindow window) {
    const auto client = clientFrame(window);
    if (!client) {
        return std::nullopt;
    }
    const auto extents = frameExtents(window);
    return Rect(client->minX() - extents.left, client->minY() - extents.top,
                client->width() + extents.left + extents.right,
                client->height() + extents.top + extents.bottom);
}

bool X11Windows::hasState(XWindow window, std::string_view state) {
    const auto states = connection_.cardinals(window, "_NET_WM_STATE", "ATOM");
    if (!states) {
        return false;
    }
    const XAtom wanted = connection_.atom(state);
    return std::find(states->begin(), states->end(), wanted) != states->end();
}

std::string X11Windows::windowType(XWindow window) {
    const auto types = connection_.cardinals(window, "_NET_WM_WINDOW_TYPE", "ATOM");
    if (!types || types->empty()) {
        return {};
    }
    return connection_.atomName(types->front());
}

bool X11Windows::isViewable(XWindow window) {
    xcb_connection_t* xcb = connection_.xcb();
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(xcb, xcb_get_window_attributes(xcb, window), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) {
        return false;
    }
    return !hasState(window, "_NET_WM_STATE_HIDDEN");
}

} // namespace tessera
