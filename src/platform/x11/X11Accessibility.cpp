#include "X11Accessibility.h"

#include <xcb/xcb.h>

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <variant>

namespace tessera {

namespace {

template <typename T> struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

constexpr std::string_view applicationRole = "AXApplication";
constexpr std::string_view titleAttribute = "AXTitle";

// A window manager that does not answer a request at all (it refused it without changing
// anything) must not stall the caller for long.
constexpr auto answerTimeout = std::chrono::milliseconds(500);
// A window manager that answers in several steps (frame, then client; un-maximize, then the
// old frame) sends them back to back; one display frame of quiet after an answer ends it.
constexpr auto settlingTime = std::chrono::milliseconds(16);

// _NET_MOVERESIZE_WINDOW's first word: gravity in the low byte, which of x, y, width and height
// are given in bits 8 to 11, and the source of the request in bits 12 and 13 (2: a pager or
// similar tool acting for the user, which window managers honour without second-guessing).
constexpr std::uint32_t northWestGravity = 1;
constexpr std::uint32_t positionGiven = 0x3u << 8;
constexpr std::uint32_t sizeGiven = 0xcu << 8;
constexpr std::uint32_t sourceIsPager = 2u << 12;
constexpr std::uint32_t sourceIndication = 2;

// _NET_WM_STATE actions.
constexpr std::uint32_t stateRemove = 0;
constexpr std::uint32_t stateAdd = 1;

// Largest coordinate or size the protocol carries in a window's geometry.
constexpr double largestCoordinate = 32767;

AttributeResult found(AttributeValue value) {
    return {AccessibilityStatus::success, std::move(value)};
}

AttributeResult failed(AccessibilityStatus status) {
    return {status, std::nullopt};
}

// The client size a window manager that honours the hints makes of the asked one: within the
// bounds, then down to whole increments above the base size.
int constrainedLength(int length, int minimum, int maximum, int base, int increment) {
    length = std::clamp(length, minimum, std::max(minimum, maximum));
    if (increment > 1 && length > base) {
        length = base + (length - base) / increment * increment;
    }
    return std::max(1, length);
}

bool isCoordinate(double value) {
    return std::isfinite(value) && std::fabs(value) <= largestCoordinate;
}

} // namespace

X11Accessibility::X11Accessibility(X11Windows& windows)
    : windows_(windows), connection_(windows.connection()) {
    events_ = connection_.onEvent([this](const X11Event& event) { noteEvent(event, false); });
    // Frames are children of the root: their moves show there. The active window is a root
    // property.
    connection_.selectRootEvents(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                                 XCB_EVENT_MASK_PROPERTY_CHANGE);
}

X11Accessibility::~X11Accessibility() = default;

// --- Elements ---

std::optional<AccessibilityElement> X11Accessibility::windowWithSystemID(std::string_view id) {
    const std::string text(id);
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || text.front() == '-' || end != text.c_str() + text.size() || errno != 0 ||
        value == 0 || value > 0xFFFFFFFFULL) {
        return std::nullopt;
    }
    const auto window = static_cast<XWindow>(value);
    const auto clients = windows_.clientsBottomToTop();
    if (std::find(clients.begin(), clients.end(), window) == clients.end()) {
        return std::nullopt;
    }
    return windowElement(window);
}

AccessibilityElement X11Accessibility::windowElement(XWindow window) {
    takeNoticeOfPendingEvents();
    if (const auto known = windowIds_.find(window); known != windowIds_.end()) {
        return AccessibilityElement{known->second};
    }
    const auto id = nextId_++;
    // A window that is already gone gets an id that never resolves: its reads fail like those
    // of any closed window.
    if (watch(window)) {
        windowIds_.emplace(window, id);
        windowsById_.emplace(id, window);
    }
    return AccessibilityElement{id};
}

AccessibilityElement X11Accessibility::applicationElement(ProcessId process) {
    if (const auto known = applicationIds_.find(process); known != applicationIds_.end()) {
        return AccessibilityElement{known->second};
    }
    const auto id = nextId_++;
    applicationIds_.emplace(process, id);
    applicationsById_.emplace(id, process);
    return AccessibilityElement{id};
}

X11Accessibility::Resolved X11Accessibility::resolve(const AccessibilityElement& element) {
    takeNoticeOfPendingEvents();
    if (const auto window = windowsById_.find(element.id); window != windowsById_.end()) {
        return {window->second, std::nullopt};
    }
    if (const auto process = applicationsById_.find(element.id);
        process != applicationsById_.end() && applicationExists(process->second)) {
        return {std::nullopt, process->second};
    }
    return {};
}

bool X11Accessibility::applicationExists(ProcessId process) {
    if (process <= 0) {
        return false;
    }
    // A process that still runs answers even without windows; one on another host that owns
    // windows here is known only by them.
    if (::kill(process, 0) == 0 || errno == EPERM) {
        return true;
    }
    return !windows_.clientsOf(process).empty();
}

std::optional<ProcessId> X11Accessibility::processId(const AccessibilityElement& element) {
    const auto resolved = resolve(element);
    if (resolved.window) {
        return windows_.processOf(*resolved.window);
    }
    return resolved.process;
}

// --- Reading ---

AttributeResult X11Accessibility::copyAttribute(const AccessibilityElement& element,
                                                std::string_view attribute) {
    const auto resolved = resolve(element);
    if (resolved.window) {
        return readWindowAttribute(*resolved.window, attribute);
    }
    if (resolved.process) {
        return readApplicationAttribute(*resolved.process, attribute);
    }
    return failed(AccessibilityStatus::invalidElement);
}

AttributeResult X11Accessibility::readWindowAttribute(XWindow window, std::string_view attribute) {
    if (attribute == ax::role) {
        return found(std::string(ax::windowRole));
    }
    if (attribute == titleAttribute) {
        return found(windows_.title(window).value_or(std::string()));
    }
    if (attribute == ax::parent) {
        const auto process = windows_.processOf(window);
        return process ? found(applicationElement(*process)) : failed(AccessibilityStatus::noValue);
    }
    if (attribute == ax::position || attribute == ax::size) {
        const auto frame = windows_.outerFrame(window);
        if (!frame) {
            return failed(AccessibilityStatus::invalidElement);
        }
        return attribute == ax::position ? found(connection_.toTopLeft(frame->origin))
                                         : found(frame->size);
    }
    if (attribute == ax::fullScreen) {
        return found(windows_.hasState(window, "_NET_WM_STATE_FULLSCREEN"));
    }
    return failed(AccessibilityStatus::attributeUnsupported);
}

AttributeResult X11Accessibility::readApplicationAttribute(ProcessId process,
                                                           std::string_view attribute) {
    if (attribute == ax::role) {
        return found(std::string(applicationRole));
    }
    if (attribute == ax::parent) {
        return failed(AccessibilityStatus::noValue);
    }
    // The desktop and the panels are windows too, but no window a user arranges: a command
    // pressed while the desktop is active must not move the desktop itself.
    const auto arrangeable = [&](XWindow window) {
        const auto type = windows_.windowType(window);
        return type != "_NET_WM_WINDOW_TYPE_DESKTOP" && type != "_NET_WM_WINDOW_TYPE_DOCK";
    };
    if (attribute == ax::focusedWindow || attribute == ax::mainWindow) {
        if (const auto active = windows_.activeWindow();
            active && windows_.processOf(*active) == process && arrangeable(*active)) {
            return found(windowElement(*active));
        }
        if (attribute == ax::focusedWindow) {
            return failed(AccessibilityStatus::noValue);
        }
        const auto clients = windows_.clientsOf(process);
        for (auto it = clients.rbegin(); it != clients.rend(); ++it) {
            if (windows_.isViewable(*it) && arrangeable(*it)) {
                return found(windowElement(*it));
            }
        }
        return failed(AccessibilityStatus::noValue);
    }
    if (attribute == ax::windows) {
        const auto clients = windows_.clientsOf(process);
        std::vector<AccessibilityElement> list;
        list.reserve(clients.size());
        for (auto it = clients.rbegin(); it != clients.rend(); ++it) {
            if (arrangeable(*it)) {
                list.push_back(windowElement(*it));
            }
        }
        return found(std::move(list));
    }
    return failed(AccessibilityStatus::attributeUnsupported);
}

ElementResult X11Accessibility::elementAtPosition(Point topLeft) {
    ElementResult result;
    result.status = AccessibilityStatus::noValue;
    const Point at = connection_.toRoot(topLeft);
    const auto clients = windows_.clientsBottomToTop();
    for (auto it = clients.rbegin(); it != clients.rend(); ++it) {
        if (!windows_.isViewable(*it)) {
            continue;
        }
        const auto frame = windows_.outerFrame(*it);
        if (!frame || !frame->contains(at)) {
            continue;
        }
        // The desktop window and panels are part of the desktop, not windows to arrange; a
        // panel also hides whatever lies beneath it.
        const auto type = windows_.windowType(*it);
        if (type == "_NET_WM_WINDOW_TYPE_DESKTOP" || type == "_NET_WM_WINDOW_TYPE_DOCK") {
            break;
        }
        result.status = AccessibilityStatus::success;
        result.element = windowElement(*it);
        break;
    }
    return result;
}

// --- Writing ---

AccessibilityStatus X11Accessibility::setAttribute(const AccessibilityElement& element,
                                                   std::string_view attribute,
                                                   const AttributeValue& value) {
    const auto resolved = resolve(element);
    if (!resolved.window && !resolved.process) {
        return AccessibilityStatus::invalidElement;
    }
    if (!resolved.window) {
        return AccessibilityStatus::attributeUnsupported;
    }
    const XWindow window = *resolved.window;
    if (attribute == ax::position) {
        const auto* point = std::get_if<Point>(&value);
        if (point == nullptr || !isCoordinate(point->x) || !isCoordinate(point->y)) {
            return AccessibilityStatus::illegalArgument;
        }
        return applyFrame(window, *point, std::nullopt);
    }
    if (attribute == ax::size) {
        const auto* size = std::get_if<Size>(&value);
        if (size == nullptr || !isCoordinate(size->width) || !isCoordinate(size->height)) {
            return AccessibilityStatus::illegalArgument;
        }
        return applyFrame(window, std::nullopt, *size);
    }
    if (attribute == ax::fullScreen) {
        const auto* flag = std::get_if<bool>(&value);
        if (flag == nullptr) {
            return AccessibilityStatus::illegalArgument;
        }
        return setFullScreen(window, *flag);
    }
    return AccessibilityStatus::attributeUnsupported;
}

AccessibilityStatus X11Accessibility::performAction(const AccessibilityElement& element,
                                                    std::string_view action) {
    const auto resolved = resolve(element);
    if (!resolved.window && !resolved.process) {
        return AccessibilityStatus::invalidElement;
    }
    if (!resolved.window || action != ax::raiseAction) {
        return AccessibilityStatus::actionUnsupported;
    }
    return raise(*resolved.window);
}

AccessibilityStatus X11Accessibility::moveAndResize(const AccessibilityElement& element,
                                                    const Rect& frame) {
    const auto resolved = resolve(element);
    if (!resolved.window) {
        return resolved.process ? AccessibilityStatus::attributeUnsupported
                                : AccessibilityStatus::invalidElement;
    }
    if (!isCoordinate(frame.minX()) || !isCoordinate(frame.minY()) ||
        !isCoordinate(frame.width()) || !isCoordinate(frame.height())) {
        return AccessibilityStatus::illegalArgument;
    }
    return applyFrame(*resolved.window, frame.origin, frame.size);
}

bool X11Accessibility::buttonHeld() {
    connection_.countRoundTrip();
    Reply<xcb_query_pointer_reply_t> pointer(xcb_query_pointer_reply(
        connection_.xcb(), xcb_query_pointer(connection_.xcb(), connection_.root()), nullptr));
    return pointer && (pointer->mask & XCB_KEY_BUT_MASK_BUTTON_1) != 0;
}

bool X11Accessibility::isAnswer(XWindow window, const X11Event& event) {
    // Any configure notification may be the window's frame (its ancestors are the window
    // manager's); the frame read after it tells whether it was.
    if (event.responseType == XCB_CONFIGURE_NOTIFY) {
        return true;
    }
    if (event.responseType == XCB_PROPERTY_NOTIFY) {
        const auto& notify = event.as<xcb_property_notify_event_t>();
        return notify.window == window && (notify.atom == connection_.atom("_NET_FRAME_EXTENTS") ||
                                           notify.atom == connection_.atom("_GTK_FRAME_EXTENTS") ||
                                           notify.atom == connection_.atom("_NET_WM_STATE"));
    }
    return false;
}

void X11Accessibility::settle(XWindow window, Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        const auto quiet = std::min<Clock::duration>(settlingTime, deadline - Clock::now());
        const bool answered = connection_.waitForEvent(
            [&](const X11Event& event) {
                noteEvent(event, true);
                return isAnswer(window, event);
            },
            std::chrono::duration<double>(quiet).count());
        if (!answered) {
            return;
        }
    }
}

// The frame is the visible one: positions in the core's top-left system, sizes as the user sees
// the window. The request names the window manager's frame origin (north-west gravity) and the
// client's size, so the window manager's decorations are added and a client-side shadow is
// taken off on the way.
AccessibilityStatus X11Accessibility::applyFrame(XWindow window, std::optional<Point> topLeft,
                                                 std::optional<Size> size) {
    std::optional<Point> origin;
    if (topLeft) {
        origin = connection_.toRoot(*topLeft);
        if (!isCoordinate(origin->x) || !isCoordinate(origin->y)) {
            return AccessibilityStatus::illegalArgument;
        }
    }
    const auto started = Clock::now();
    // A maximized window keeps its maximized frame whatever it is asked; it has to leave that
    // state first, and the window manager then gives back the frame from before in steps.
    if (windows_.hasState(window, "_NET_WM_STATE_MAXIMIZED_VERT") ||
        windows_.hasState(window, "_NET_WM_STATE_MAXIMIZED_HORZ")) {
        changeState(window, false, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ",
                    started + answerTimeout);
        settle(window, started + answerTimeout);
    }
    const auto initial = windows_.outerFrame(window);
    if (!initial) {
        return AccessibilityStatus::invalidElement;
    }
    const Point wantedOrigin = origin.value_or(initial->origin);
    const Size wantedSize = size.value_or(initial->size);
    const auto hints = windows_.sizeHints(window);

    // What the window manager is asked and what it should make of it, for the extents it has
    // now. Extents that change while it answers (decorations redrawn for the new size) are
    // asked again once.
    FrameExtents sentExtents;
    FrameExtents sentShadow;
    Rect predicted;
    const auto request = [&](const Rect& now, bool evenUnchanged) {
        sentExtents = windows_.frameExtents(window);
        sentShadow = windows_.gtkFrameExtents(window);
        const int x = static_cast<int>(std::lround(wantedOrigin.x)) - sentShadow.left;
        const int y = static_cast<int>(std::lround(wantedOrigin.y)) - sentShadow.top;
        const int decorationWidth =
            sentExtents.left + sentExtents.right - sentShadow.left - sentShadow.right;
        const int decorationHeight =
            sentExtents.top + sentExtents.bottom - sentShadow.top - sentShadow.bottom;
        const int clientWidth =
            std::max(1, static_cast<int>(std::lround(wantedSize.width)) - decorationWidth);
        const int clientHeight =
            std::max(1, static_cast<int>(std::lround(wantedSize.height)) - decorationHeight);
        const int width = constrainedLength(clientWidth, hints.minWidth, hints.maxWidth,
                                            hints.baseWidth, hints.widthIncrement);
        const int height = constrainedLength(clientHeight, hints.minHeight, hints.maxHeight,
                                             hints.baseHeight, hints.heightIncrement);
        predicted = Rect(x + sentShadow.left, y + sentShadow.top, width + decorationWidth,
                         height + decorationHeight);
        const bool changes = now != predicted;
        if (!changes && !evenUnchanged) {
            return false;
        }
        const std::uint32_t given = (origin ? positionGiven : 0) | (size ? sizeGiven : 0);
        connection_.sendRootMessage(window, "_NET_MOVERESIZE_WINDOW",
                                    {northWestGravity | given | sourceIsPager,
                                     static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                                     static_cast<std::uint32_t>(clientWidth),
                                     static_cast<std::uint32_t>(clientHeight)});
        return changes;
    };
    // Sent even when the window seems to have the frame already: the window manager may be
    // changing it at this moment (openbox gives a dragged window its old size back when the move
    // ends), and a request that really changes nothing is answered by nothing, so it is waited
    // for one frame only. While the user holds the button, a window manager that is moving the
    // window answers at once or only after the release; the drag must not stall on it.
    const bool changes = request(*initial, true);
    const auto firstAnswerBy =
        Clock::now() + (!changes || buttonHeld() ? settlingTime : answerTimeout);
    bool resent = false;
    const auto current = [&] { return windows_.outerFrame(window); };
    auto deadline = firstAnswerBy;
    while (Clock::now() < deadline) {
        const bool answered = connection_.waitForEvent(
            [&](const X11Event& event) {
                noteEvent(event, true);
                return isAnswer(window, event);
            },
            std::chrono::duration<double>(deadline - Clock::now()).count());
        if (!answered) {
            break;
        }
        const auto now = current();
        if (!now || *now == predicted) {
            break;
        }
        const bool newExtents = windows_.frameExtents(window) != sentExtents ||
                                windows_.gtkFrameExtents(window) != sentShadow;
        if (newExtents && !resent) {
            resent = true;
            if (!request(*now, false)) {
                break;
            }
        }
        // Once the window manager has answered every part asked for (it may move the frame
        // and size the client in separate steps, the second one late for a large window),
        // whatever it grants is what the window gets, as soon as it has stopped changing it.
        // Other windows' notifications leave the wait as it was.
        const bool positionAnswered =
            !origin || now->origin == predicted.origin || now->origin != initial->origin;
        const bool sizeAnswered =
            !size || now->size == predicted.size || now->size != initial->size;
        if (positionAnswered && sizeAnswered) {
            deadline = std::min(Clock::now() + settlingTime, started + answerTimeout * 2);
        }
    }
    const auto final = current();
    if (!final) {
        return AccessibilityStatus::invalidElement;
    }
    return (*final == predicted || *final != *initial) ? AccessibilityStatus::success
                                                       : AccessibilityStatus::cannotComplete;
}

bool X11Accessibility::changeState(XWindow window, bool add, std::string_view first,
                                   std::string_view second, Clock::time_point deadline) {
    const auto done = [&] {
        const bool hasFirst = windows_.hasState(window, first);
        const bool hasSecond = !second.empty() && windows_.hasState(window, second);
        return add ? hasFirst && (second.empty() || hasSecond) : !hasFirst && !hasSecond;
    };
    if (done()) {
        return true;
    }
    connection_.sendRootMessage(window, "_NET_WM_STATE",
                                {add ? stateAdd : stateRemove, connection_.atom(first),
                                 second.empty() ? 0 : connection_.atom(second), sourceIndication,
                                 0});
    const XAtom stateAtom = connection_.atom("_NET_WM_STATE");
    return waitFor(
        done,
        [&](const X11Event& event) {
            if (event.responseType != XCB_PROPERTY_NOTIFY) {
                return false;
            }
            const auto& notify = event.as<xcb_property_notify_event_t>();
            return notify.window == window && notify.atom == stateAtom;
        },
        deadline);
}

AccessibilityStatus X11Accessibility::setFullScreen(XWindow window, bool fullScreen) {
    if (changeState(window, fullScreen, "_NET_WM_STATE_FULLSCREEN", {},
                    Clock::now() + answerTimeout)) {
        return AccessibilityStatus::success;
    }
    return windows_.clientFrame(window) ? AccessibilityStatus::cannotComplete
                                        : AccessibilityStatus::invalidElement;
}

AccessibilityStatus X11Accessibility::raise(XWindow window) {
    if (!windows_.clientFrame(window)) {
        return AccessibilityStatus::invalidElement;
    }
    const auto previous = windows_.activeWindow();
    connection_.sendRootMessage(window, "_NET_ACTIVE_WINDOW",
                                {sourceIndication, XCB_CURRENT_TIME, previous.value_or(0), 0, 0});
    const XAtom activeAtom = connection_.atom("_NET_ACTIVE_WINDOW");
    const bool active =
        waitFor([&] { return windows_.activeWindow() == window; },
                [&](const X11Event& event) {
                    if (event.responseType != XCB_PROPERTY_NOTIFY) {
                        return false;
                    }
                    const auto& notify = event.as<xcb_property_notify_event_t>();
                    return notify.window == connection_.root() && notify.atom == activeAtom;
                },
                Clock::now() + answerTimeout);
    return active ? AccessibilityStatus::success : AccessibilityStatus::cannotComplete;
}

// --- Events ---

bool X11Accessibility::watch(XWindow window) {
    // The window model already follows every managed client's changes and its end.
    const auto clients = windows_.clientsBottomToTop();
    if (std::find(clients.begin(), clients.end(), window) != clients.end()) {
        return windows_.clientFrame(window).has_value();
    }
    xcb_connection_t* xcb = connection_.xcb();
    connection_.countRoundTrip();
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(xcb, xcb_get_window_attributes(xcb, window), nullptr));
    if (!attributes) {
        return false;
    }
    // The event mask is one per connection and window: other ports' selections must survive.
    const std::uint32_t wanted = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    const std::uint32_t mask = attributes->your_event_mask | wanted;
    if (mask != attributes->your_event_mask) {
        const auto cookie =
            xcb_change_window_attributes_checked(xcb, window, XCB_CW_EVENT_MASK, &mask);
        if (std::unique_ptr<xcb_generic_error_t, FreeDeleter<xcb_generic_error_t>> error{
                xcb_request_check(xcb, cookie)}) {
            return false;
        }
    }
    return true;
}

void X11Accessibility::noteEvent(const X11Event& event, bool whileWaiting) {
    if (!whileWaiting) {
        if (seenWhileWaiting_.erase(event.data) > 0) {
            return;
        }
    }
    if (event.responseType != XCB_DESTROY_NOTIFY) {
        return;
    }
    const XWindow window = event.as<xcb_destroy_notify_event_t>().window;
    const auto known = windowIds_.find(window);
    if (known == windowIds_.end()) {
        return;
    }
    windowsById_.erase(known->second);
    windowIds_.erase(known);
    if (whileWaiting) {
        seenWhileWaiting_.insert(event.data);
    }
}

// --- Windows that appear ---

WindowIdentity X11Accessibility::windowIdentity(const AccessibilityElement& element) {
    const auto window = resolve(element).window;
    if (!window) {
        return {};
    }
    WindowIdentity identity;
    if (const auto names = windows_.windowClass(*window)) {
        identity.windowClass = names->second;
    }
    identity.role = windows_.role(*window);
    identity.title = windows_.title(*window).value_or(std::string());
    return identity;
}

Connection
X11Accessibility::onWindowAppeared(std::function<void(const AccessibilityElement&)> handler) {
    if (!knownClients_) {
        const auto clients = windows_.clientsBottomToTop();
        knownClients_.emplace(clients.begin(), clients.end());
        appearances_ =
            connection_.onEvent([this](const X11Event& event) { noteAppearance(event); });
    }
    return appeared_.connect(std::move(handler));
}

void X11Accessibility::noteAppearance(const X11Event& event) {
    switch (event.responseType) {
    case XCB_PROPERTY_NOTIFY: {
        const auto& notify = event.as<xcb_property_notify_event_t>();
        if (notify.window == connection_.root() &&
            (notify.atom == connection_.atom("_NET_CLIENT_LIST") ||
             notify.atom == connection_.atom("_NET_CLIENT_LIST_STACKING"))) {
            lookForNewClients();
        } else if (awaitingMap_.count(notify.window) > 0) {
            // The window manager marks a client it has shown (WM_STATE, _NET_WM_STATE).
            showAwaitedClients();
        }
        break;
    }
    case XCB_MAP_NOTIFY:
    case XCB_REPARENT_NOTIFY:
        // A client becomes visible with the last of its frame's windows to be mapped, which is
        // the client itself or any of the frames around it, in the window manager's order.
        showAwaitedClients();
        break;
    case XCB_DESTROY_NOTIFY: {
        // A new client may get the window id of one that just quit, and the window manager's
        // list may drop the old and add the new between two of our reads: forgotten here, the
        // id counts as new when it is listed again.
        const XWindow window = event.as<xcb_destroy_notify_event_t>().window;
        knownClients_->erase(window);
        awaitingMap_.erase(window);
        break;
    }
    default:
        break;
    }
}

Connection
X11Accessibility::onWindowMoved(std::function<void(const AccessibilityElement&)> handler) {
    if (!followingMoves_) {
        followingMoves_ = true;
        moves_ = connection_.onEvent([this](const X11Event& event) { noteMove(event); });
    }
    return moved_.connect(std::move(handler));
}

void X11Accessibility::noteMove(const X11Event& event) {
    if (event.responseType != XCB_CONFIGURE_NOTIFY) {
        return;
    }
    // A move shows on the frame (seen through the root) or, from the window manager as a
    // synthetic event, on the client; a resize on both. Only windows handed out are reported.
    const XWindow window = event.as<xcb_configure_notify_event_t>().window;
    auto clients = windows_.clientsIn(window);
    if (std::find(clients.begin(), clients.end(), window) == clients.end()) {
        clients.push_back(window);
    }
    for (const XWindow client : clients) {
        if (const auto known = windowIds_.find(client); known != windowIds_.end()) {
            moved_.emit(AccessibilityElement{known->second});
        }
    }
}

bool X11Accessibility::shownNow(XWindow window) {
    // Asked of the server, not of the window model: a client first read while its frame was
    // still being built may be placed in the model under a frame that is already gone.
    xcb_connection_t* xcb = connection_.xcb();
    connection_.countRoundTrip();
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(xcb, xcb_get_window_attributes(xcb, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
           !windows_.hasState(window, "_NET_WM_STATE_HIDDEN");
}

void X11Accessibility::showAwaitedClients() {
    // A copy: reading the server delivers events, and their handling may change the set.
    const std::vector<XWindow> awaited(awaitingMap_.begin(), awaitingMap_.end());
    std::vector<XWindow> shown;
    for (const XWindow window : awaited) {
        if (shownNow(window)) {
            shown.push_back(window);
        }
    }
    for (const XWindow window : shown) {
        // Handlers may read the server and so re-enter; each window appears once.
        if (awaitingMap_.erase(window) > 0) {
            appeared_.emit(windowElement(window));
        }
    }
}

void X11Accessibility::lookForNewClients() {
    const auto clients = windows_.clientsBottomToTop();
    std::unordered_set<XWindow> now(clients.begin(), clients.end());
    std::erase_if(awaitingMap_, [&](XWindow window) { return now.count(window) == 0; });
    std::vector<XWindow> fresh;
    for (const XWindow window : clients) {
        if (knownClients_->count(window) == 0) {
            fresh.push_back(window);
        }
    }
    knownClients_ = std::move(now);
    for (const XWindow window : fresh) {
        // Watched before it is asked about, so the event that shows it later reaches us.
        if (windows_.clientFrame(window)) {
            awaitingMap_.insert(window);
        }
    }
    showAwaitedClients();
}

void X11Accessibility::takeNoticeOfPendingEvents() {
    connection_.waitForEvent(
        [this](const X11Event& event) {
            noteEvent(event, true);
            return false;
        },
        0.0);
}

bool X11Accessibility::waitFor(const std::function<bool()>& condition,
                               const std::function<bool(const X11Event&)>& relevant,
                               Clock::time_point deadline) {
    while (true) {
        if (condition()) {
            return true;
        }
        const std::chrono::duration<double> left = deadline - Clock::now();
        if (left.count() <= 0) {
            return false;
        }
        const bool arrived = connection_.waitForEvent(
            [&](const X11Event& event) {
                noteEvent(event, true);
                return relevant(event);
            },
            left.count());
        if (!arrived) {
            return condition();
        }
    }
}

} // namespace tessera
