#pragma once

#include "X11Connection.h"

#include "core/platform/Displays.h"

#include <string>
#include <vector>

namespace tessera {

// The monitors of the X screen from RandR (XRRGetMonitors), primary first, converted to the
// bottom-left system, whose origin is the primary monitor's bottom-left corner wherever X puts
// that monitor. Each monitor's visible frame leaves out the docks' struts that fall on
// that monitor (_NET_WORKAREA is a single rectangle for all monitors, wrong on the second).
// The scale is 1.0 unless the Xft.dpi resource says otherwise (dpi / 96).
class X11Displays final : public Displays {
public:
    explicit X11Displays(X11Connection& connection);
    ~X11Displays() override;

    std::vector<SystemDisplay> screens() const override;
    std::optional<SystemDisplay> mainScreen() const override;
    Point mouseLocation() const override;
    // After RandR reports a change of screens or monitors, and after a dock's strut or the
    // Xft.dpi resource changes; only when the display list differs from the one last reported.
    [[nodiscard]] Connection onChange(std::function<void()> handler) override;

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

    // The connection keeps the primary monitor for every port's conversions, chosen by the
    // same rule.
    friend class X11Connection;
    // Without names the monitors cost no more than one round trip.
    static Arrangement readArrangement(X11Connection& connection, bool withNames = true);
    // The monitor at whose corners the core's systems have their origin, in root coordinates.
    static Rect primaryFrame(const Arrangement& arrangement);

    std::vector<SystemDisplay> displaysOf(const Arrangement& arrangement) const;
    // Each monitor's frame without the struts of the managed clients that fall on it.
    std::vector<Rect> visibleFrames(const Arrangement& arrangement) const;
    double scale() const;
    void handle(const X11Event& event);

    X11Connection& connection_;
    Signal<> changed_;
    // What the handlers were last told, so a burst of notifications about one change (RandR
    // sends several for a single resize) reaches them once.
    std::vector<SystemDisplay> reported_;
    Connection events_;
};

} // namespace tessera
