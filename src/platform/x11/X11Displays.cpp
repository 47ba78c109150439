#include "X11Displays.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace tessera {

namespace {

template <typename T> struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

// The one display of a server whose RandR lists no monitors (or has no RandR 1.5 at all).
constexpr std::string_view wholeScreenName = "Screen";

// Xft.dpi values outside this range are typing errors, not displays.
constexpr double smallestDpi = 48;
constexpr double largestDpi = 960;
constexpr double referenceDpi = 96;

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

// "Xft.dpi:\t144" among the lines of the resource database.
std::optional<double> xftDpi(std::string_view resources) {
    constexpr std::string_view key = "Xft.dpi:";
    while (!resources.empty()) {
        const auto end = resources.find('\n');
        auto line = resources.substr(0, end);
        resources = end == std::string_view::npos ? std::string_view() : resources.substr(end + 1);
        if (!line.starts_with(key)) {
            continue;
        }
        line.remove_prefix(key.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        double dpi = 0;
        const auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), dpi);
        if (error != std::errc{} || !std::isfinite(dpi)) {
            return std::nullopt;
        }
        return dpi;
    }
    return std::nullopt;
}

Rect bottomLeftFrame(const Rect& frame, const Rect& primary) {
    return {frame.minX() - primary.minX(),
            primary.height() - (frame.minY() - primary.minY()) - frame.height(), frame.width(),
            frame.height()};
}

} // namespace

X11Displays::X11Displays(X11Connection& connection) : connection_(connection) {
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

std::vector<Rect> X11Displays::visibleFrames(const Arrangement& arrangement) const {
    std::vector<Rect> visible;
    visible.reserve(arrangement.monitors.size());
    for (const auto& monitor : arrangement.monitors) {
        visible.push_back(monitor.frame);
    }
    const auto clients = connection_.cardinals(connection_.root(), "_NET_CLIENT_LIST", "WINDOW");
    if (!clients || clients->empty()) {
        return visible;
    }

    // Every client's struts in one round trip.
    auto* xcb = connection_.xcb();
    const auto partialAtom = connection_.atom("_NET_WM_STRUT_PARTIAL");
    const auto fullAtom = connection_.atom("_NET_WM_STRUT");
    const auto cardinalAtom = connection_.atom("CARDINAL");
    std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> cookies;
    cookies.reserve(clients->size());
    for (const auto client : *clients) {
        cookies.emplace_back(xcb_get_property(xcb, 0, client, partialAtom, cardinalAtom, 0, 12),
                             xcb_get_property(xcb, 0, client, fullAtom, cardinalAtom, 0, 4));
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

    for (const auto& [partialCookie, fullCookie] : cookies) {
        auto values = valuesOf(partialCookie);
        auto full = valuesOf(fullCookie);
        if (values.size() < 12) {
            values = std::move(full);
        }
        for (const auto& strut : strutsOf(values, arrangement.root)) {
            for (std::size_t index = 0; index < visible.size(); ++index) {
                const auto covered = intersection(strut.area, arrangement.monitors[index].frame);
                if (covered.width() <= 0) {
                    continue;
                }
                auto& frame = visible[index];
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
    }
    return visible;
}

double X11Displays::scale() const {
    const auto resources = connection_.text(connection_.root(), "RESOURCE_MANAGER");
    if (!resources) {
        return 1;
    }
    const auto dpi = xftDpi(*resources);
    if (!dpi || *dpi < smallestDpi || *dpi > largestDpi) {
        return 1;
    }
    return *dpi / referenceDpi;
}

std::vector<SystemDisplay> X11Displays::displaysOf(const Arrangement& arrangement) const {
    const auto visible = visibleFrames(arrangement);
    const auto primary = primaryFrame(arrangement);
    const double displayScale = scale();
    std::vector<SystemDisplay> displays;
    displays.reserve(arrangement.monitors.size());
    for (std::size_t index = 0; index < arrangement.monitors.size(); ++index) {
        const auto& monitor = arrangement.monitors[index];
        displays.push_back({bottomLeftFrame(monitor.frame, primary),
                            bottomLeftFrame(visible[index], primary), displayScale, monitor.name});
    }
    return displays;
}

std::vector<SystemDisplay> X11Displays::screens() const {
    return displaysOf(readArrangement(connection_));
}

std::optional<SystemDisplay> X11Displays::mainScreen() const {
    const auto arrangement = readArrangement(connection_);
    if (arrangement.monitors.empty()) {
        return std::nullopt;
    }
    const auto displays = displaysOf(arrangement);
    const auto active = connection_.cardinals(connection_.root(), "_NET_ACTIVE_WINDOW", "WINDOW");
    if (!active || active->empty() || active->front() == XCB_NONE) {
        return displays.front();
    }
    auto* xcb = connection_.xcb();
    const auto window = active->front();
    const auto geometryCookie = xcb_get_geometry(xcb, window);
    const auto originCookie = xcb_translate_coordinates(xcb, window, connection_.root(), 0, 0);
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(xcb, geometryCookie, nullptr));
    Reply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(xcb, originCookie, nullptr));
    if (!geometry || !origin) {
        return displays.front();
    }
    const Point centre{origin->dst_x + geometry->width / 2.0,
                       origin->dst_y + geometry->height / 2.0};
    for (std::size_t index = 0; index < arrangement.monitors.size(); ++index) {
        if (arrangement.monitors[index].frame.contains(centre)) {
            return displays[index];
        }
    }
    return displays.front();
}

Point X11Displays::mouseLocation() const {
    auto* xcb = connection_.xcb();
    Reply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(xcb, xcb_query_pointer(xcb, connection_.root()), nullptr));
    if (!pointer) {
        return {};
    }
    return connection_.toBottomLeft(
        {static_cast<double>(pointer->root_x), static_cast<double>(pointer->root_y)});
}

Connection X11Displays::onChange(std::function<void()> handler) {
    if (changed_.slotCount() == 0) {
        // Nobody listened, so nobody kept track: start from what a new handler would read.
        reported_ = screens();
    }
    return changed_.connect(std::move(handler));
}

void X11Displays::handle(const X11Event& event) {
    bool relevant = false;
    const auto randr = connection_.randrFirstEvent();
    if (event.responseType == XCB_CONFIGURE_NOTIFY) {
        relevant = event.as<xcb_configure_notify_event_t>().window == connection_.root();
    } else if (event.responseType == XCB_PROPERTY_NOTIFY) {
        const auto& notify = event.as<xcb_property_notify_event_t>();
        // Window managers rewrite _NET_WORKAREA whenever a strut comes, goes or changes.
        relevant = notify.window == connection_.root() &&
                   (notify.atom == connection_.atom("_NET_WORKAREA") ||
                    notify.atom == connection_.atom("RESOURCE_MANAGER"));
    } else if (randr && event.responseType == *randr + XCB_RANDR_SCREEN_CHANGE_NOTIFY) {
        relevant = true;
    } else if (randr && event.responseType == *randr + XCB_RANDR_NOTIFY) {
        const auto subCode = event.as<xcb_randr_notify_event_t>().subCode;
        relevant =
            subCode == XCB_RANDR_NOTIFY_CRTC_CHANGE || subCode == XCB_RANDR_NOTIFY_OUTPUT_CHANGE;
    }
    if (!relevant || changed_.slotCount() == 0) {
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
