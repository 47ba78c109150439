#pragma once

#include "../model/Geometry.h"
#include "../platform/Accessibility.h"
#include "../platform/InputEvents.h"
#include "../platform/Log.h"
#include "../platform/ProcessId.h"
#include "../platform/Scheduler.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tessera {

class AccessibilityWindowMover;
class Defaults;
class Displays;
class DragOverlayController;
class LayoutStore;
class Workspace;

// One drag of another application's window, from the press in its title band to the release.
// Points and frames are in the top-left system.
struct DragSession {
    AccessibilityElement window;
    // Pointer position at the press.
    Point startPoint;
    // The window's frame at the press; absent when it could not be read.
    std::optional<Rect> startFrame;
    bool overlayShown = false;
    // The window's origin has been more than 2 points from its start at least once.
    bool leftZone = false;

    friend bool operator==(const DragSession&, const DragSession&) = default;
};

// The log category of everything on the drag path.
inline constexpr std::string_view dragLogCategory = "drag";

// Watches the left mouse button and Escape system-wide and turns a drag of another
// application's window by its title band (or anywhere in it with Option) into drag-to-snap: the
// overlay comes up once the pointer or the window has moved far enough, the zone whose card is
// under the pointer is highlighted, and a release over a card puts the window into that zone. A
// window dragged out of the zone it was placed in gets its earlier size back.
//
// It only observes: no event is consumed, delayed or changed, and the system drags the window
// as usual. Events come from a listen-only tap and from the global and local monitors; the tap
// and the global monitor usually both report one physical event, and every handler is written
// so that the second report changes nothing.
//
// Main thread only. Handlers and delayed jobs reach the monitor through an internal token that
// dies with it, so a monitor may be destroyed with jobs pending. Not copyable or movable, since
// those handlers refer to it.
class DragMonitor {
public:
    // Pointer travel in points before the overlay is shown.
    static constexpr double dragThreshold = 8;
    // Height in points of the band below a window's top edge that starts a drag.
    static constexpr double titleBarHeight = 86;
    // How far the window's origin must be from its start to count as having left its zone.
    static constexpr double leftZoneDistance = 2;
    // Key code of Escape.
    static constexpr std::uint16_t escapeKeyCode = 53;
    // Seconds from a drop to the line that tells where the window finally settled.
    static constexpr double settledLogDelay = 0.5;

    DragMonitor(InputEvents& inputEvents, Accessibility& accessibility, Workspace& workspace,
                Displays& displays, Scheduler& scheduler, Log& log, const Defaults& defaults,
                LayoutStore& store, AccessibilityWindowMover& mover, DragOverlayController& overlay,
                ProcessId ownPID);
    DragMonitor(const DragMonitor&) = delete;
    DragMonitor& operator=(const DragMonitor&) = delete;
    ~DragMonitor();

    // Creates and enables the listen-only tap. When the system refuses one, logs "event tap
    // not created" at error level and leaves the monitors as the only event source; it is not
    // tried again.
    void installTap();
    // Adds the global and the local event monitor.
    void installEventMonitors();
    // Removes tap and monitors, drops the session and hides the overlay. A running preview
    // keeps its timer.
    void stop();
    // Shows the overlay without a drag and hides it after the given time. A drag that brings
    // the overlay up cancels the pending hide.
    void previewZones(double seconds);

    // What the event sources call, with top-left points.
    // A press opens a session in the window's title band, or with Option anywhere on the
    // window. When no window answers at the point, the active window of the application in
    // front stands in, but only the point's position on it counts, never Option alone.
    void mouseDown(Point point, bool optionHeld);
    void mouseDragged(Point point);
    void mouseUp(Point point);
    // Escape: abandons the drag, or hides an overlay shown without one.
    void cancelDrag();

    // The drag in progress, if any.
    const std::optional<DragSession>& session() const { return session_; }
    ProcessId ownPID() const { return ownPID_; }
    bool hasTap() const { return tap_ != nullptr; }
    bool hasGlobalMonitor() const { return globalMonitor_.has_value(); }
    bool hasLocalMonitor() const { return localMonitor_.has_value(); }
    bool isPreviewPending() const { return previewTask_ && previewTask_->isActive(); }

private:
    void handleTapEvent(const TapEvent& event);
    void handleMonitorEvent(const MonitorEvent& event);
    // The pointer position in the top-left system.
    Point pointerTopLeft() const;
    void write(LogLevel level, const std::string& message);

    InputEvents& inputEvents_;
    Accessibility& accessibility_;
    Workspace& workspace_;
    Displays& displays_;
    Scheduler& scheduler_;
    Log& log_;
    const Defaults& defaults_;

    LayoutStore& store_;
    DragOverlayController& overlay_;
    AccessibilityWindowMover& mover_;
    ProcessId ownPID_;
    // The tap owns its place on the main loop, so there is no separate run-loop source to keep.
    std::unique_ptr<EventTap> tap_;
    std::optional<Connection> globalMonitor_;
    std::optional<Connection> localMonitor_;
    std::optional<DragSession> session_;
    std::optional<JobHandle> previewTask_;

    // Handlers and jobs hold this weakly; it dies first when the monitor goes.
    std::shared_ptr<const int> lifetime_ = std::make_shared<const int>(0);
};

} // namespace tessera
