#pragma once

#include "../drag/OverlayModels.h"
#include "../model/Geometry.h"

#include <memory>

namespace tessera {

// One display's overlay panel: a borderless, transparent, click-through window above all other
// windows (status level plus 2), on every workspace and beside full-screen windows, never key or
// main, never closed while the application runs. Its content is a view bound to an OverlayState
// that redraws whenever the state announces a change; the panel itself draws nothing of its own.
// Frames are in the bottom-left system.
class OverlaySurface {
public:
    virtual ~OverlaySurface() = default;

    // The panel's current frame.
    virtual Rect frame() const = 0;
    // Moves and resizes the panel and redisplays it; the content view is resized to fill it,
    // with its origin at the panel's corner.
    virtual void setFrame(const Rect& frame) = 0;
    // Brings the panel on screen above everything, without activating the application.
    virtual void orderFront() = 0;
    // Takes the panel off screen; it keeps its view and state and can be ordered front again.
    virtual void orderOut() = 0;
};

// Makes the overlay panels; the controller asks for one per display it has not seen yet.
class OverlaySurfaceFactory {
public:
    virtual ~OverlaySurfaceFactory() = default;

    // A panel covering the display frame (bottom-left system), not yet on screen, whose content
    // view draws the given state for as long as the panel lives.
    virtual std::unique_ptr<OverlaySurface> makeSurface(const Rect& displayFrame,
                                                        std::shared_ptr<OverlayState> state) = 0;
};

} // namespace tessera
