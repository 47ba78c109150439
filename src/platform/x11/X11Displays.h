#pragma once

#include "X11Connection.h"

#include "core/platform/Displays.h"

#include <memory>
#include <string>
#include <vector>

namespace tessera {

struct X11SharedPointer;

// The monitors of the X screen from RandR (XRRGetMonitors), primary first, converted to the
// bottom-left system, whose origin is the primary monitor's bottom-left corner wherever X puts
// that monitor. Each monitor's visible frame leaves out the docks' struts that fall on that
// monitor, and the panels a window manager keeps without struts, as far as _NET_WORKAREA (one
// box for the whole screen) tells of them. Frames are in the root's pixels, so the scale is 1
// whatever Xft.dpi says: a larger dpi makes toolkits draw bigger, not the monitor hold more
// pixels.
// Everything is kept from events (RandR, the root's ConfigureNotify and properties, the clients'
// strut properties) and read again only after one told of a change, so asking costs no round
// trip in the middle of a drag.
class X11Displays final : public Displays {
public:
    explicit X11Displays(X11Connection& connection);
    ~X11Displays() override;

    std::vector<SystemDisplay> screens() const override;
    std::optional<SystemDisplay> mainScreen() const override;
    // Where the input event being delivered found the pointer, when there is one; else asked.
    Point mouseLocation() const override;
    // After RandR reports a change of screens or monitors, and after a dock's strut, the client
    // list or the work area changes; only when the display list differs from the one last
    // reported.
    [[nodiscard]] Connection onChange(std::function<void()> handler) override;

    // The pointer as the input events being delivered found it (X11InputEvents keeps it).
    void sharePointer(std::weak_ptr<const X11SharedPointer> pointer);

private:
    // A monitor as the X server has it: pixels, top-left origin.
    struct Monitor {
        std::string name;
        Rect frame;
    };
    // The monitors in the system's order (the primary one first) and the root window's size.
    struct Arrangement {
        std::vector<Monitor> monitors;
        Size root;
    };
    struct State;

    // The connection keeps the primary monitor for every port's conversions, chosen by the
    // same rule.
    friend class X11Connection;
    // Without names the monitors cost no more than one round trip.
    static Arrangement readArrangement(X11Connection& connection, bool withNames = true);
    // The monitor at whose corners the core's systems have their origin, in root coordinates.
    static Rect primaryFrame(const Arrangement& arrangement);

    void handle(const X11Event& event);

    X11Connection& connection_;
    // Caches filled on demand; asking refreshes what an event made stale.
    std::unique_ptr<State> state_;
    std::weak_ptr<const X11SharedPointer> pointer_;
    Signal<> changed_;
    // What the handlers were last told, so a burst of notifications about one change (RandR
    // sends several for a single resize) reaches them once.
    std::vector<SystemDisplay> reported_;
    Connection events_;
};

} // namespace tessera
