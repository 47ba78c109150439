#include "X11Displays.h"

#include "X11InputEvents.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

namespace tessera {

namespace {

template <typename T> struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

// The one display of a server whose RandR lists no monitors (or has no RandR 1.5 at all).
constexpr std::string_view wholeScreenName = "Screen";

Rect intersection(const Rect& a, const Rect& b) {
    const double minX = std::max(a.minX(), b.minX());
    const double minY = std::max(a.minY(), b.minY());
    const double maxX = std::min(a.maxX(), b.maxX());
    const double maxY = std::min(a.maxY(), b.maxY());
    if (maxX <= minX || maxY <= minY) {
        return {};
    }
    return {minX, minY, maxX - minX, maxY - minY};
}

enum class Edge { left, right, top, bottom };

// The part of the root window a client reserves along one of its edges.
struct Strut {
    Edge edge;
    Rect area;
};

// _NET_WM_STRUT_PARTIAL (12 values) or _NET_WM_STRUT (4 values, whole edges) as rectangles of
// the root window. Ranges run from start to end inclusive; reversed ranges are ignored.
std::vector<Strut> strutsOf(const std::vector<std::uint32_t>& values, Size root) {
    std::vector<Strut> struts;
    if (values.size() < 4) {
        return struts;
    }
    std::array<double, 12> v{
        0, 0, 0, 0, 0, root.height - 1, 0, root.height - 1, 0, root.width - 1, 0, root.width - 1};
    if (values.size() >= 12) {
        std::transform(values.begin(), values.begin() + 12, v.begin(),
                       [](std::uint32_t value) { return static_cast<double>(value); });
    } else {
        std::transform(values.begin(), values.begin() + 4, v.begin(),
                       [](std::uint32_t value) { return static_cast<double>(value); });
    }
    const auto add = [&](Edge edge, double thickness, double start, double end) {
        if (thickness <= 0 || end < start) {
            return;
        }
        const double span = end - start + 1;
        switch (edge) {
        case Edge::left:
            struts.push_back({edge, {0, start, thickness, span}});
            break;
        case Edge::right:
            struts.push_back({edge, {root.width - thickness, start, thickness, span}});
            break;
        case Edge::top:
            struts.push_back({edge, {start, 0, span, thickness}});
            break;
        case Edge::bottom:
            struts.push_back({edge, {start, root.height - thickness, span, thickness}});
            break;
        }
    };
    add(Edge::left, v[0], v[4], v[5]);
    add(Edge::right, v[1], v[6], v[7]);
    add(Edge::top, v[2], v[8], v[9]);
    add(Edge::bottom, v[3], v[10], v[11]);
    return struts;
}

Rect bottomLeftFrame(const Rect& frame, const Rect& primary) {
    return {frame.minX() - primary.minX(),
            primary.height() - (frame.minY() - primary.minY()) - frame.height(), frame.width(),
            frame.height()};
}

// Each monitor's frame without the struts that fall on it.
std::vector<Rect> strutFreeAreas(const std::vector<Rect>& monitors,
                                 const std::vector<Strut>& struts) {
    std::vector<Rect> free = monitors;
    for (const auto& strut : struts) {
        for (std::size_t index = 0; index < free.size(); ++index) {
            const auto covered = intersection(strut.area, monitors[index]);
            if (covered.width() <= 0) {
                continue;
            }
            auto& frame = free[index];
            double minX = frame.minX();
            double minY = frame.minY();
            double maxX = frame.maxX();
            double maxY = frame.maxY();
            switch (strut.edge) {
            case Edge::left:
                minX = std::max(minX, covered.maxX());
                break;
            case Edge::right:
                maxX = std::min(maxX, covered.minX());
                break;
            case Edge::top:
                minY = std::max(minY, covered.maxY());
                break;
            case Edge::bottom:
                maxY = std::min(maxY, covered.minY());
                break;
            }
            frame = {minX, minY, std::max(0.0, maxX - minX), std::max(0.0, maxY - minY)};
        }
    }
    return free;
}

// Panels that publish no strut (icewm's taskbar, fluxbox's toolbar) show only in the window
// manager's _NET_WORKAREA, a single box for the whole screen, so it can't say which monitor a
// panel is on. It counts along a screen edge only where it reaches further in than every strut
// on that edge explains (where the struts explain it, they know their monitors better: a dock
// on one monitor's top edge doesn't shrink its neighbour), and there it cuts every monitor
// touching that edge. A work area that isn't inside the screen is bogus and ignored; one that
// would leave a monitor nothing is ignored for that monitor.
void applyWorkArea(std::vector<Rect>& free, const std::vector<Rect>& monitors,
                   const std::vector<Strut>& struts, const Rect& workArea, Size root) {
    if (workArea.width() <= 0 || workArea.height() <= 0 || workArea.minX() < 0 ||
        workArea.minY() < 0 || workArea.maxX() > root.width || workArea.maxY() > root.height) {
        return;
    }
    std::array<double, 4> explained{};
    for (const auto& strut : struts) {
        const bool across = strut.edge == Edge::left || strut.edge == Edge::right;
        auto& inset = explained[static_cast<std::size_t>(strut.edge)];
        inset = std::max(inset, across ? strut.area.width() : strut.area.height());
    }
    const auto beyond = [&](Edge edge, double inset) {
        return inset > explained[static_cast<std::size_t>(edge)];
    };
    const bool left = beyond(Edge::left, workArea.minX());
    const bool right = beyond(Edge::right, root.width - workArea.maxX());
    const bool top = beyond(Edge::top, workArea.minY());
    const bool bottom = beyond(Edge::bottom, root.height - workArea.maxY());
    for (std::size_t index = 0; index < free.size(); ++index) {
        const auto& monitor = monitors[index];
        const double minX = left && monitor.minX() <= 0 ? std::max(monitor.minX(), workArea.minX())
                                                        : monitor.minX();
        const double minY =
            top && monitor.minY() <= 0 ? std::max(monitor.minY(), workArea.minY()) : monitor.minY();
        const double maxX = right && monitor.maxX() >= root.width
                                ? std::min(monitor.maxX(), workArea.maxX())
                                : monitor.maxX();
        const double maxY = bottom && monitor.maxY() >= root.height
                                ? std::min(monitor.maxY(), workArea.maxY())
                                : monitor.maxY();
        if (maxX <= minX || maxY <= minY) {
            continue;
        }
        if (const auto cut = intersection(free[index], {minX, minY, maxX - minX, maxY - minY});
            cut.width() > 0 && cut.height() > 0) {
            free[index] = cut;
        }
    }
}

} // namespace

struct X11Displays::State {
    explicit State(X11Connection& connection)
        : workAreaAtom(connection.atom("_NET_WORKAREA")),
          currentDesktopAtom(connection.atom("_NET_CURRENT_DESKTOP")),
          clientListAtom(connection.atom("_NET_CLIENT_LIST")),
          partialStrutAtom(connection.atom("_NET_WM_STRUT_PARTIAL")),
          strutAtom(connection.atom("_NET_WM_STRUT")), cardinalAtom(connection.atom("CARDINAL")) {}

    const XAtom workAreaAtom;
    const XAtom currentDesktopAtom;
    const XAtom clientListAtom;
    const XAtom partialStrutAtom;
    const XAtom strutAtom;
    const XAtom cardinalAtom;

    // Each of these is empty once an event said it changed, and read again when next needed.
    std::optional<Arrangement> arrangement;
    bool clientsKnown = false;
    // The managed clients and the strut values of each (partial when it has one, else whole).
    std::map<XWindow, std::optional<std::vector<std::uint32_t>>> struts;
    // The current desktop's work area; known to be absent when it holds an empty optional.
    std::optional<std::optional<Rect>> workArea;
    std::optional<std::vector<SystemDisplay>> displays;

    void readClients(X11Connection& connection);
    void readStruts(X11Connection& connection);
    void readWorkArea(X11Connection& connection);
    const std::vector<SystemDisplay>& current(X11Connection& connection);
};

void X11Displays::State::readClients(X11Connection& connection) {
    clientsKnown = true;
    const auto clients = connection.cardinals(connection.root(), clientListAtom, XCB_ATOM_WINDOW);
    std::map<XWindow, std::optional<std::vector<std::uint32_t>>> kept;
    std::vector<XWindow> added;
    for (const auto client : clients.value_or(std::vector<std::uint32_t>{})) {
        if (const auto known = struts.find(client); known != struts.end()) {
            kept.insert(*known);
        } else if (kept.emplace(client, std::nullopt).second) {
            added.push_back(client);
        }
    }
    struts = std::move(kept);
    if (added.empty()) {
        return;
    }
    // Their strut changes come as PropertyNotify. The mask is one per connection and window, so
    // what other ports selected stays; selected before the struts are read, no change is lost.
    auto* xcb = connection.xcb();
    std::vector<xcb_get_window_attributes_cookie_t> cookies;
    cookies.reserve(added.size());
    for (const auto client : added) {
        cookies.push_back(xcb_get_window_attributes(xcb, client));
    }
    if (!added.empty()) {
        connection.countRoundTrip();
    }
    for (std::size_t index = 0; index < added.size(); ++index) {
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(xcb, cookies[index], nullptr));
        if (!attributes || (attributes->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE) != 0) {
            continue;
        }
        const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(xcb, added[index], XCB_CW_EVENT_MASK, &mask);
    }
}

void X11Displays::State::readStruts(X11Connection& connection) {
    auto* xcb = connection.xcb();
    struct Pending {
        XWindow client;
        xcb_get_property_cookie_t partial;
        xcb_get_property_cookie_t whole;
    };
    std::vector<Pending> pending;
    for (const auto& [client, values] : struts) {
        if (!values) {
            pending.push_back(
                {client, xcb_get_property(xcb, 0, client, partialStrutAtom, cardinalAtom, 0, 12),
                 xcb_get_property(xcb, 0, client, strutAtom, cardinalAtom, 0, 4)});
        }
    }
    const auto valuesOf = [&](xcb_get_property_cookie_t cookie) {
        std::vector<std::uint32_t> values;
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(xcb, cookie, nullptr));
        if (reply && reply->type == cardinalAtom && reply->format == 32) {
            const auto* data =
                static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
            values.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
        }
        return values;
    };
    if (!pending.empty()) {
        connection.countRoundTrip();
    }
    for (const auto& client : pending) {
        auto values = valuesOf(client.partial);
        auto whole = valuesOf(client.whole);
        struts[client.client] = values.size() >= 12 ? std::move(values) : std::move(whole);
    }
}

void X11Displays::State::readWorkArea(X11Connection& connection) {
    auto* xcb = connection.xcb();
    const auto root = connection.root();
    const auto desktopCookie =
        xcb_get_property(xcb, 0, root, currentDesktopAtom, cardinalAtom, 0, 1);
    const auto areaCookie = xcb_get_property(xcb, 0, root, workAreaAtom, cardinalAtom, 0, 4096);
    connection.countRoundTrip();
    Reply<xcb_get_property_reply_t> desktop(xcb_get_property_reply(xcb, desktopCookie, nullptr));
    Reply<xcb_get_property_reply_t> area(xcb_get_property_reply(xcb, areaCookie, nullptr));
    workArea.emplace();
    if (!area || area->type != cardinalAtom || area->format != 32) {
        return;
    }
    const auto count = static_cast<std::size_t>(xcb_get_property_value_length(area.get()) / 4);
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(area.get()));
    std::size_t index = 0;
    if (desktop && desktop->type == cardinalAtom && desktop->format == 32 &&
        xcb_get_property_value_length(desktop.get()) >= 4) {
        const auto number =
            *static_cast<const std::uint32_t*>(xcb_get_property_value(desktop.get()));
        if (number < count / 4) {
            index = number;
        }
    }
    if (count < 4) {
        return;
    }
    // CARDINALs, but some window managers write -1 and the like: as 32-bit signed they are seen
    // as outside the screen.
    const auto value = [&](std::size_t at) {
        return static_cast<double>(static_cast<std::int32_t>(values[index * 4 + at]));
    };
    *workArea = Rect(value(0), value(1), value(2), value(3));
}

const std::vector<SystemDisplay>& X11Displays::State::current(X11Connection& connection) {
    if (displays) {
        return *displays;
    }
    if (!arrangement) {
        arrangement = readArrangement(connection);
    }
    if (!clientsKnown) {
        readClients(connection);
    }
    readStruts(connection);
    if (!workArea) {
        readWorkArea(connection);
    }

    std::vector<Rect> frames;
    frames.reserve(arrangement->monitors.size());
    for (const auto& monitor : arrangement->monitors) {
        frames.push_back(monitor.frame);
    }
    std::vector<Strut> all;
    for (const auto& [client, values] : struts) {
        const auto ofClient =
            strutsOf(values.value_or(std::vector<std::uint32_t>{}), arrangement->root);
        all.insert(all.end(), ofClient.begin(), ofClient.end());
    }
    auto free = strutFreeAreas(frames, all);
    if (*workArea) {
        applyWorkArea(free, frames, all, **workArea, arrangement->root);
    }

    const auto primary = primaryFrame(*arrangement);
    // A point of these frames is a pixel of the root, so the scale is 1.
    constexpr double scale = 1;
    displays.emplace();
    displays->reserve(frames.size());
    for (std::size_t index = 0; index < frames.size(); ++index) {
        displays->push_back({bottomLeftFrame(frames[index], primary),
                             bottomLeftFrame(free[index], primary), scale,
                             arrangement->monitors[index].name});
    }
    return *displays;
}

X11Displays::X11Displays(X11Connection& connection)
    : connection_(connection), state_(std::make_unique<State>(connection)) {
    // The root's ConfigureNotify is the only news of `xrandr --setmonitor` and --delmonitor:
    // the server announces a changed monitor list through it and sends no RandR event.
    connection_.selectRootEvents(XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE);
    if (connection_.randrFirstEvent()) {
        xcb_randr_select_input(connection_.xcb(), connection_.root(),
                               XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
        connection_.flush();
    }
    events_ = connection_.onEvent([this](const X11Event& event) { handle(event); });
}

X11Displays::~X11Displays() = default;

X11Displays::Arrangement X11Displays::readArrangement(X11Connection& connection, bool withNames) {
    auto* xcb = connection.xcb();
    const auto root = connection.root();
    const auto geometryCookie = xcb_get_geometry(xcb, root);
    const bool hasMonitors = connection.randrFirstEvent().has_value();
    xcb_randr_get_monitors_cookie_t monitorsCookie{};
    if (hasMonitors) {
        monitorsCookie = xcb_randr_get_monitors(xcb, root, 1);
    }

    Arrangement arrangement;
    connection.countRoundTrip();
    // The setup's size is the one at connection time; a resized screen only shows in a fresh
    // geometry.
    if (Reply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(xcb, geometryCookie, nullptr));
        geometry) {
        arrangement.root = {static_cast<double>(geometry->width),
                            static_cast<double>(geometry->height)};
    } else {
        arrangement.root = {static_cast<double>(connection.screen()->width_in_pixels),
                            static_cast<double>(connection.screen()->height_in_pixels)};
    }

    if (hasMonitors) {
        Reply<xcb_randr_get_monitors_reply_t> reply(
            xcb_randr_get_monitors_reply(xcb, monitorsCookie, nullptr));
        if (reply) {
            struct Listed {
                xcb_get_atom_name_cookie_t name;
                Rect frame;
                bool primary;
            };
            std::vector<Listed> listed;
            for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
                 xcb_randr_monitor_info_next(&it)) {
                const auto& info = *it.data;
                if (info.width == 0 || info.height == 0) {
                    continue;
                }
                listed.push_back(
                    {withNames ? xcb_get_atom_name(xcb, info.name) : xcb_get_atom_name_cookie_t{},
                     {static_cast<double>(info.x), static_cast<double>(info.y),
                      static_cast<double>(info.width), static_cast<double>(info.height)},
                     info.primary != 0});
            }
            // The primary monitor leads; without one marked, the one at the origin takes its
            // place, as the core looks for the display at (0, 0) first.
            auto primary = std::find_if(listed.begin(), listed.end(),
                                        [](const Listed& monitor) { return monitor.primary; });
            if (primary == listed.end()) {
                primary = std::find_if(listed.begin(), listed.end(), [](const Listed& monitor) {
                    return monitor.frame.minX() == 0 && monitor.frame.minY() == 0;
                });
            }
            if (primary != listed.end()) {
                std::rotate(listed.begin(), primary, primary + 1);
            }
            if (withNames && !listed.empty()) {
                connection.countRoundTrip();
            }
            for (const auto& monitor : listed) {
                Reply<xcb_get_atom_name_reply_t> name(
                    withNames ? xcb_get_atom_name_reply(xcb, monitor.name, nullptr) : nullptr);
                arrangement.monitors.push_back(
                    {name ? std::string(
                                xcb_get_atom_name_name(name.get()),
                                static_cast<std::size_t>(xcb_get_atom_name_name_length(name.get())))
                          : std::string(),
                     monitor.frame});
            }
        }
    }
    if (arrangement.monitors.empty() && arrangement.root.width > 0 && arrangement.root.height > 0) {
        arrangement.monitors.push_back({std::string(wholeScreenName),
                                        {0, 0, arrangement.root.width, arrangement.root.height}});
    }
    return arrangement;
}

Rect X11Displays::primaryFrame(const Arrangement& arrangement) {
    return arrangement.monitors.empty()
               ? Rect(0, 0, arrangement.root.width, arrangement.root.height)
               : arrangement.monitors.front().frame;
}

std::vector<SystemDisplay> X11Displays::screens() const {
    return state_->current(connection_);
}

std::optional<SystemDisplay> X11Displays::mainScreen() const {
    const auto& displays = state_->current(connection_);
    if (displays.empty()) {
        return std::nullopt;
    }
    const auto active = connection_.cardinals(connection_.root(), "_NET_ACTIVE_WINDOW", "WINDOW");
    if (!active || active->empty() || active->front() == XCB_NONE) {
        return displays.front();
    }
    auto* xcb = connection_.xcb();
    const auto window = active->front();
    const auto geometryCookie = xcb_get_geometry(xcb, window);
    const auto originCookie = xcb_translate_coordinates(xcb, window, connection_.root(), 0, 0);
    connection_.countRoundTrip();
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(xcb, geometryCookie, nullptr));
    Reply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(xcb, originCookie, nullptr));
    if (!geometry || !origin) {
        return displays.front();
    }
    const Point centre{origin->dst_x + geometry->width / 2.0,
                       origin->dst_y + geometry->height / 2.0};
    const auto& monitors = state_->arrangement->monitors;
    for (std::size_t index = 0; index < monitors.size(); ++index) {
        if (monitors[index].frame.contains(centre)) {
            return displays[index];
        }
    }
    return displays.front();
}

Point X11Displays::mouseLocation() const {
    // The tap and the monitors hand on the same physical event; whoever handles it asks here
    // too, and the server's answer for it is already known.
    if (const auto shared = pointer_.lock(); shared && shared->bottomLeft) {
        return *shared->bottomLeft;
    }
    auto* xcb = connection_.xcb();
    connection_.countRoundTrip();
    Reply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(xcb, xcb_query_pointer(xcb, connection_.root()), nullptr));
    if (!pointer) {
        return {};
    }
    return connection_.toBottomLeft(
        {static_cast<double>(pointer->root_x), static_cast<double>(pointer->root_y)});
}

void X11Displays::sharePointer(std::weak_ptr<const X11SharedPointer> pointer) {
    pointer_ = std::move(pointer);
}

Connection X11Displays::onChange(std::function<void()> handler) {
    if (changed_.slotCount() == 0) {
        // Nobody listened, so nobody kept track: start from what a new handler would read.
        reported_ = screens();
    }
    return changed_.connect(std::move(handler));
}

void X11Displays::handle(const X11Event& event) {
    auto& state = *state_;
    const auto randr = connection_.randrFirstEvent();
    const auto root = connection_.root();
    bool stale = false;
    if (event.responseType == XCB_CONFIGURE_NOTIFY) {
        if (event.as<xcb_configure_notify_event_t>().window == root) {
            state.arrangement.reset();
            stale = true;
        }
    } else if (event.responseType == XCB_PROPERTY_NOTIFY) {
        const auto& notify = event.as<xcb_property_notify_event_t>();
        if (notify.window == root) {
            if (notify.atom == state.workAreaAtom || notify.atom == state.currentDesktopAtom) {
                state.workArea.reset();
                stale = true;
            } else if (notify.atom == state.clientListAtom) {
                state.clientsKnown = false;
                stale = true;
            }
        } else if (notify.atom == state.partialStrutAtom || notify.atom == state.strutAtom) {
            if (const auto client = state.struts.find(notify.window);
                client != state.struts.end()) {
                client->second.reset();
                stale = true;
            }
        }
    } else if (randr && event.responseType == *randr + XCB_RANDR_SCREEN_CHANGE_NOTIFY) {
        state.arrangement.reset();
        stale = true;
    } else if (randr && event.responseType == *randr + XCB_RANDR_NOTIFY) {
        const auto subCode = event.as<xcb_randr_notify_event_t>().subCode;
        if (subCode == XCB_RANDR_NOTIFY_CRTC_CHANGE || subCode == XCB_RANDR_NOTIFY_OUTPUT_CHANGE) {
            state.arrangement.reset();
            stale = true;
        }
    }
    if (!stale) {
        return;
    }
    state.displays.reset();
    if (changed_.slotCount() == 0) {
        return;
    }
    auto current = screens();
    if (current == reported_) {
        return;
    }
    reported_ = std::move(current);
    changed_.emit();
}

} // namespace tessera
