#pragma once

#include "X11Connection.h"

#include "core/model/Geometry.h"
#include "core/platform/ProcessId.h"

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tessera {

// Left, right, top and bottom widths around a client: the window manager's title bar and
// borders (_NET_FRAME_EXTENTS), or the invisible shadow a client draws itself
// (_GTK_FRAME_EXTENTS).
struct FrameExtents {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;

    friend bool operator==(const FrameExtents&, const FrameExtents&) = default;
};

// WM_NORMAL_HINTS as far as they decide which client sizes a window can take.
struct SizeHints {
    int minWidth = 1;
    int minHeight = 1;
    int maxWidth = INT_MAX;
    int maxHeight = INT_MAX;
    int baseWidth = 0;
    int baseHeight = 0;
    int widthIncrement = 1;
    int heightIncrement = 1;

    friend bool operator==(const SizeHints&, const SizeHints&) = default;
};

// What the window manager tells about its client windows (EWMH and ICCCM), kept from the
// server's events rather than asked for on every call: a drag moves its window on every pointer
// motion, and a blocking round trip per read would make every port wait on the server each
// time. The events come through the connection's read observers, so the model is current even
// in the middle of a port's wait for the window manager.
//
// - The client list and the active window are read once and again after the root's
//   PropertyNotify for them.
// - A managed client (one in the client list) is watched from its first read on
//   (PropertyChange and StructureNotify, added to whatever this connection already selected):
//   its properties are read once and again after their PropertyNotify; its rectangle follows the
//   ConfigureNotify of its top-level frame (which the root's SubstructureNotify reports) and of
//   the client itself, plus its offset inside the frame, measured once and again after a
//   reparenting, a move inside the frame or a change of the frame extents; its map state follows
//   Map/UnmapNotify; a destroyed window is forgotten. Synthetic ConfigureNotify events are
//   claims any client may send, so only the server's own notifications count.
// - Any other window is read from the server on each call.
//
// Coordinates are the X screen's own (top-left origin, pixels); the ports convert them with the
// connection's toTopLeft and toRoot, since the core's origin is the primary monitor's corner,
// not the root's.
class X11Windows {
public:
    explicit X11Windows(X11Connection& connection);
    X11Windows(const X11Windows&) = delete;
    X11Windows& operator=(const X11Windows&) = delete;

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
    // WM_WINDOW_ROLE: which of its application's windows this is, kept across runs; empty
    // when unset.
    std::string role(XWindow window);
    // _NET_WM_NAME, else WM_NAME.
    std::optional<std::string> title(XWindow window);
    // _NET_FRAME_EXTENTS; zeros when the window manager publishes none or nonsense (a negative
    // width).
    FrameExtents frameExtents(XWindow window);
    // _GTK_FRAME_EXTENTS: the transparent margin a client with its own decorations draws its
    // shadow in, inside the client area. Zeros when unset or absurd (negative, or wider or
    // taller than the client).
    FrameExtents gtkFrameExtents(XWindow window);
    // WM_NORMAL_HINTS; no constraints beyond a size of at least one pixel when unset.
    SizeHints sizeHints(XWindow window);
    // The client area in root coordinates; nothing when the window is gone.
    std::optional<Rect> clientFrame(XWindow window);
    // What the user sees as the window: the client area grown by the frame extents and shrunk
    // by the client's own shadow margin. Under a compositing window manager a client that
    // draws its decorations keeps an invisible shadow of tens of pixels inside its area, which
    // must not count when the window is put into a zone or held by its title band.
    std::optional<Rect> outerFrame(XWindow window);
    // The child of the root that holds the client: the window manager's frame around it, or the
    // client itself when it has none. Nothing when the window is gone.
    std::optional<XWindow> topLevelOf(XWindow window);
    // The clients known to sit in this child of the root (their frame, or themselves), as far
    // as their frames have been measured; no round trip.
    std::vector<XWindow> clientsIn(XWindow topLevel) const;
    // Whether _NET_WM_STATE holds the state atom (for example "_NET_WM_STATE_FULLSCREEN").
    bool hasState(XWindow window, std::string_view state);
    // _NET_WM_WINDOW_TYPE's first entry, e.g. "_NET_WM_WINDOW_TYPE_NORMAL"; empty when unset.
    std::string windowType(XWindow window);
    // Viewable (mapped, and not hidden by the window manager).
    bool isViewable(XWindow window);

private:
    // A property as stored: type None when the window has none (or is gone).
    struct Property {
        XAtom type = 0;
        std::uint8_t format = 0;
        std::string bytes;
    };
    // Where the client sits, as far as known: its top-level window, that window's position
    // (its outer corner, as ConfigureNotify gives it) and the client's offset from there.
    struct Placement {
        XWindow topLevel = 0;
        bool topLevelMapped = false;
        Point topLevelOrigin;
        int topLevelBorder = 0;
        std::optional<Point> offset;
        // Position in the parent and border width from the client's last real ConfigureNotify:
        // while they and the top level's border stay, so does the offset.
        int xInParent = 0;
        int yInParent = 0;
        int border = 0;
    };
    struct Client {
        bool mapped = false;
        Size size;
        std::optional<Placement> placement;
        std::unordered_map<XAtom, Property> properties;
        // The X-Resource extension's answer, for a client without _NET_WM_PID.
        std::optional<std::optional<ProcessId>> resourceProcess;
    };

    void noteEvent(const X11Event& event);
    void forgetPlacement(XWindow client);
    bool isClient(XWindow window);
    // The client list, read when not known.
    const std::unordered_set<XWindow>& readClients();
    // The record of a managed client, watched and with its properties read from the first call
    // on; nothing for any other window and for one that is gone.
    Client* watched(XWindow window);
    // The same with the client's place known, asked of the server when it is not.
    Client* placed(XWindow window);
    bool place(XWindow window);
    // A property, from the record of a managed client, else from the server.
    Property property(XWindow window, XAtom atom);
    std::optional<std::vector<std::uint32_t>> words(XWindow window, XAtom atom, XAtom type);
    // NUL-separated strings of format 8; present says whether the property is set at all.
    std::vector<std::string> strings(XWindow window, XAtom atom, bool& present);
    std::optional<std::string> text(XWindow window, XAtom atom);
    std::optional<Rect> clientRect(XWindow window);
    FrameExtents shadowOf(XWindow window, const Rect& client);
    std::optional<ProcessId> resourceProcess(XWindow window);

    X11Connection& connection_;
    std::optional<std::vector<XWindow>> clients_;
    std::unordered_set<XWindow> clientSet_;
    std::optional<std::optional<XWindow>> active_;
    std::unordered_map<XWindow, Client> tracked_;
    // Top-level window to the clients it holds (a window manager with tabs puts several into
    // one frame).
    std::unordered_multimap<XWindow, XWindow> topLevels_;
    struct Atoms {
        XAtom stacking, list, active, pid, wmClass, netName, wmName, type, state, frameExtents,
            gtkFrameExtents, normalHints, window, cardinal, atom, sizeHints, role;
    } atoms_{};
    Connection events_;
};

} // namespace tessera
