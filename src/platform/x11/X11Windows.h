#pragma once

#include "X11Connection.h"

#include "core/model/Geometry.h"
#include "core/platform/ProcessId.h"

#include <optional>
#include <string>
#include <vector>

namespace tessera {

// Frame extents a window manager draws around a client: its title bar and borders.
struct FrameExtents {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;

    friend bool operator==(const FrameExtents&, const FrameExtents&) = default;
};

// What the window manager tells about its client windows (EWMH and ICCCM), read fresh on every
// call: the desktop changes under us all the time. Coordinates are the X screen's own (top-left
// origin, pixels); the ports convert them with the connection's toTopLeft and toRoot, since the
// core's origin is the primary monitor's corner, not the root's.
class X11Windows {
public:
    explicit X11Windows(X11Connection& connection) : connection_(connection) {}

    X11Connection& connection() { return connection_; }

    // Managed client windows, bottom to top (_NET_CLIENT_LIST_STACKING, else _NET_CLIENT_LIST).
    std::vector<XWindow> clientsBottomToTop();
    // _NET_ACTIVE_WINDOW, when a window is active.
    std::optional<XWindow> activeWindow();
    // The process that owns the window: _NET_WM_PID, else the X-Resource extension's client id,
    // which also covers clients that never set _NET_WM_PID.
    std::optional<ProcessId> processOf(XWindow window);
    // The managed client windows of the process, bottom to top.
    std::vector<XWindow> clientsOf(ProcessId process);
    // WM_CLASS: instance and class, when set.
    std::optional<std::pair<std::string, std::string>> windowClass(XWindow window);
    // _NET_WM_NAME, else WM_NAME.
    std::optional<std::string> title(XWindow window);
    // _NET_FRAME_EXTENTS; zeros when the window manager publishes none.
    FrameExtents frameExtents(XWindow window);
    // The client area in root coordinates; nothing when the window is gone.
    std::optional<Rect> clientFrame(XWindow window);
    // The client area grown by the frame extents: what the user sees as the window.
    std::optional<Rect> outerFrame(XWindow window);
    // Whether _NET_WM_STATE holds the state atom (for example "_NET_WM_STATE_FULLSCREEN").
    bool hasState(XWindow window, std::string_view state);
    // _NET_WM_WINDOW_TYPE's first entry, e.g. "_NET_WM_WINDOW_TYPE_NORMAL"; empty when unset.
    std::string windowType(XWindow window);
    // Viewable (mapped, and not hidden by the window manager).
    bool isViewable(XWindow window);

private:
    X11Connection& connection_;
};

} // namespace tessera
