#pragma once

#include "core/model/Geometry.h"
#include "core/model/Signal.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The X protocol types stay out of every header but the backend's sources.
struct xcb_connection_t;
struct xcb_screen_t;
struct _GMainContext;
struct _GSource;

namespace tessera {

using XWindow = std::uint32_t;
using XAtom = std::uint32_t;

// One event as the server sent it. responseType has the "sent by a client" bit cleared; 0 is
// the error of a request nobody waited for. as<T>() reads it as the xcb event type T.
struct X11Event {
    std::uint8_t responseType = 0;
    const void* data = nullptr;

    template <typename T> const T& as() const { return *static_cast<const T*>(data); }
};

// The one connection to the X server that every X11 port shares, and the events it brings.
// Requests are answered in order and events arrive in order, so every port sees the desktop in
// one consistent sequence. Errors of requests nobody waits for arrive as events (response type
// 0) and are otherwise ignored: a window that vanished between two requests is normal on a
// desktop, never a reason to stop.
class X11Connection {
public:
    // Connects to the named display, or to $DISPLAY when the name is empty. Nothing when the
    // server can't be reached; the reason is in error.
    static std::unique_ptr<X11Connection> open(const std::string& displayName, std::string& error);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* xcb() const { return connection_; }
    xcb_screen_t* screen() const { return screen_; }
    XWindow root() const { return root_; }
    // The display's name as given or as found in $DISPLAY.
    const std::string& displayName() const { return displayName_; }

    // The atom of the name, asked of the server once and remembered.
    XAtom atom(std::string_view name);
    // Asks for every name not yet known in one round trip, for a port that needs many.
    void preloadAtoms(const std::vector<std::string_view>& names);
    // The name of an atom, asked once and remembered: an atom names the same thing for the
    // server's whole life.
    std::string atomName(XAtom atom);

    // Properties of format 32 (CARDINAL, WINDOW, ATOM). Nothing when the property is absent,
    // has another type or format, or the window is gone.
    std::optional<std::vector<std::uint32_t>> cardinals(XWindow window, XAtom property, XAtom type);
    std::optional<std::vector<std::uint32_t>> cardinals(XWindow window, std::string_view property,
                                                        std::string_view type);
    // A text property as UTF8_STRING, STRING or COMPOUND_TEXT bytes, up to the first NUL.
    std::optional<std::string> text(XWindow window, std::string_view property);
    // A list of NUL-separated strings (WM_CLASS: instance, then class).
    std::optional<std::vector<std::string>> strings(XWindow window, std::string_view property);

    // An EWMH request: a client message about the window, sent to the root window so the
    // window manager receives it.
    void sendRootMessage(XWindow window, std::string_view type,
                         const std::array<std::uint32_t, 5>& data);
    // Adds to the event mask selected on the root window (masks of several ports combine).
    void selectRootEvents(std::uint32_t eventMask);

    void flush();
    // A round trip: when it returns, the server has handled every earlier request, and every
    // event those requests caused is in the queue.
    void sync();
    // Waits until an event that the predicate accepts has arrived, at most the given time, and
    // says whether one did. Events read meanwhile stay queued for the handlers, in order, so a
    // port can wait for the window manager's answer in the middle of a call without taking
    // events from the others. The predicate sees each event once.
    bool waitForEvent(const std::function<bool(const X11Event&)>& accept, double timeoutSeconds);
    // False once the server has gone; every request then fails quietly.
    bool isConnected() const;
    int fileDescriptor() const;

    // Blocking waits for the server's answer so far (a batch of requests awaited together is
    // one): what a desktop call costs, since each one blocks on the server and on whatever it
    // is busy with. Every wait for a reply in the connection and the window model counts.
    void countRoundTrip() { ++roundTrips_; }
    std::uint64_t roundTrips() const { return roundTrips_; }

    // Takes into the queue every event the server has already sent, without waiting, so that
    // the observers of events read (below) are up to date.
    void readArrivedEvents();
    // Sees every event as soon as it is read from the connection, in order, before it is queued
    // for dispatch: also those read while some port waits for a reply or for the window
    // manager's answer in the middle of a call, so a model kept from events is current when
    // that port reads it. Observers only take note; they must not send requests.
    [[nodiscard]] Connection onEventRead(std::function<void(const X11Event&)> observer) {
        return eventsRead_.connect(std::move(observer));
    }
    // Every event taken from the connection reaches every handler, in order.
    [[nodiscard]] Connection onEvent(std::function<void(const X11Event&)> handler) {
        return events_.connect(std::move(handler));
    }
    // Called once when the server closes the connection.
    [[nodiscard]] Connection onConnectionLost(std::function<void()> handler) {
        return lost_.connect(std::move(handler));
    }

    // Takes every event that has arrived, including those read while waiting for a reply, and
    // hands them to the handlers. The main-loop source calls it; tests may call it directly.
    void dispatchPending();
    // Dispatches events on GLib's main context (the default one when null) whenever they
    // arrive, including those read while some port was waiting for a reply, which leave the
    // socket quiet. Detaches with the connection.
    void attachToMainContext(_GMainContext* context = nullptr);

    // The first event number of RandR, when the server has it.
    std::optional<std::uint8_t> randrFirstEvent() const { return randrFirstEvent_; }
    // The major opcode of XInput (its generic events carry it), when the server has 2.2 or later.
    std::optional<std::uint8_t> xinputOpcode() const { return xinputOpcode_; }
    bool hasResourceExtension() const { return hasResourceExtension_; }

    // The primary monitor's frame in root coordinates (the whole screen when there are no
    // monitors), chosen as the displays choose it. The core's systems have their origin at its
    // corners, and X puts the primary monitor wherever the arrangement says, not necessarily at
    // the root's origin. Read once, and again after the monitors or the screen change.
    Rect primaryMonitorFrame();
    // Root coordinates to the core's top-left system and back.
    Point toTopLeft(Point root);
    Point toRoot(Point topLeft);
    // Root coordinates to the core's bottom-left system (y up from the primary's bottom edge).
    Point toBottomLeft(Point root);

    // Only open() makes connections; the key keeps the constructor usable by make_unique.
    struct Key {
        explicit Key() = default;
    };
    X11Connection(Key, xcb_connection_t* connection, int screenNumber, std::string displayName);

private:
    bool pollQueued();
    // Keeps an event for the handlers, and forgets the primary monitor when the event says the
    // monitors may have changed: as soon as the event is read, not when it is dispatched.
    void enqueue(void* event);

    xcb_connection_t* connection_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    XWindow root_ = 0;
    std::string displayName_;
    std::unordered_map<std::string, XAtom> atoms_;
    std::unordered_map<XAtom, std::string> atomNames_;
    std::uint64_t roundTrips_ = 0;
    std::uint32_t rootEventMask_ = 0;
    std::optional<std::uint8_t> randrFirstEvent_;
    std::optional<std::uint8_t> xinputOpcode_;
    bool hasResourceExtension_ = false;
    bool lostReported_ = false;
    std::optional<Rect> primaryMonitorFrame_;
    bool watchingMonitors_ = false;
    std::vector<void*> queued_;
    Signal<const X11Event&> eventsRead_;
    Signal<const X11Event&> events_;
    Signal<> lost_;
    _GSource* source_ = nullptr;

    friend struct X11ConnectionSource;
};

} // namespace tessera
