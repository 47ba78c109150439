#pragma once

#include "../model/Geometry.h"
#include "../model/Records.h"
#include "../model/Screens.h"
#include "../model/Uuid.h"
#include "../platform/Defaults.h"
#include "../platform/Displays.h"
#include "../platform/Localizer.h"
#include "../platform/OverlaySurface.h"
#include "../platform/Scheduler.h"
#include "OverlayModels.h"

#include <compare>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessera {

class LayoutStore;

// The display and zone whose card lies under a point.
struct DropTarget {
    SystemDisplay display;
    Zone zone;

    friend bool operator==(const DropTarget&, const DropTarget&) = default;
};

// Whether a bottom-left point lies on a card drawn as a rounded rectangle: inside the card
// (maximum edges outside), and off the cut-away parts of its corners, whose radius is half the
// shorter side but at most 20. Half a square point of slack keeps points that sit exactly on the
// rounded edge inside. A card without positive size holds no point.
bool pointInRoundedCard(Point q, const Rect& card);

// The zone of a layout whose card holds a bottom-left point, on a display with the given free
// area. Where cards overlap, the smallest card wins (it is drawn on top); equal cards go to the
// zone earlier in the layout. cardScalePercent is the raw "cardScale" preference.
std::optional<Zone> cardHitTest(const std::vector<Zone>& zones, const Rect& visibleFrame, Point q,
                                double cardScalePercent);

// Puts the zones of every connected display on screen while a window is dragged or the zones
// are previewed, keeps the hovered zone highlighted on all of them and tells the drag monitor
// which zone's card lies under the pointer.
//
// One panel per display, created when the overlay is prepared or first shown on it and reused for
// the rest of the run; showing only rebuilds value models and assigns those that changed. Hiding
// fades the views out first and takes the panels off screen 0.26 seconds later, unless the
// overlay is shown again in between.
//
// Main thread only. Delayed jobs hold the controller weakly (through an internal token), so the
// controller may be destroyed with jobs pending: they are then dropped unrun. Not copyable or
// movable, since those jobs refer to it.
class DragOverlayController {
public:
    // Seconds from ordering the panels front to setting the states visible, so the views first
    // draw the hidden look and then animate in.
    static constexpr double fadeInDelay = 0.016;
    // Seconds from a hide to ordering the panels out: after the 0.16-second fade-out has ended.
    static constexpr double orderOutDelay = 0.26;

    // Surfaces are keyed by display identifier. Two displays of the same model, size and scale
    // share an identifier; each still gets its own surface, told apart by the position of the
    // display among those sharing the identifier (0 for the first in the system's order).
    // Were they to share one panel, it would follow the later display only and the other would
    // accept drops on cards nobody can see.
    struct SurfaceKey {
        std::string displayID;
        std::size_t occurrence = 0;

        friend bool operator==(const SurfaceKey&, const SurfaceKey&) = default;
        friend auto operator<=>(const SurfaceKey&, const SurfaceKey&) = default;
    };

    struct Surface {
        std::unique_ptr<OverlaySurface> panel;
        std::shared_ptr<OverlayState> state;
    };

    DragOverlayController(Displays& displays, Scheduler& scheduler, const Localizer& localizer,
                          const Defaults& defaults, OverlaySurfaceFactory& surfaceFactory);
    DragOverlayController(const DragOverlayController&) = delete;
    DragOverlayController& operator=(const DragOverlayController&) = delete;
    ~DragOverlayController();

    // Shows the overlay on every connected display, each with its own layout from the store,
    // and the given zone (or none) hovered. Cancels a pending order-out, so a show during the
    // fade-out wins and the panels animate back in. The states turn visible 0.016 seconds later.
    void show(const LayoutStore& store, std::optional<Uuid> hoveredID);

    // Makes the panel of every connected display that has none yet and brings the states up to
    // date, without putting anything on screen, so the first show only has to order them front.
    // Does nothing while shown.
    void prepare(const LayoutStore& store);

    // Fades the overlay out; the panels leave the screen and the hover is cleared 0.26 seconds
    // later. Does nothing while hidden.
    void hide();

    // Highlights the zone with this id (or none) on every display; a zone shown on two displays
    // lights up on both. Ignored while hidden. Assigns only to states whose id differs, so a
    // drag that stays over one card causes no redraw.
    void setHoveredID(std::optional<Uuid> id);

    // The display under a top-left point and the zone of that display's layout whose card holds
    // the point; none when no display is under it or no card is.
    std::optional<DropTarget> dropTarget(Point topLeft, const LayoutStore& store) const;

    // The card size for a zone of width × height points at the current "cardScale".
    Size cardSize(double width, double height) const;

    // Shown, from show() until hide().
    bool isVisible() const { return isVisible_; }

    // One entry per display the overlay has been shown on and that was still connected then.
    const std::map<SurfaceKey, Surface>& surfaces() const { return surfaces_; }
    // The surface of the first display with this identifier, or null.
    const Surface* surface(const std::string& displayID) const;

private:
    // Makes, updates and forgets panels to match the connected displays; returns them in the
    // displays' order.
    std::vector<OverlaySurface*> syncSurfaces(const LayoutStore& store);
    OverlayScreenModel screenModel(const SystemDisplay& display, const ScreenInfo& info,
                                   const LayoutStore& store) const;
    double cardScalePercent() const;

    Displays& displays_;
    Scheduler& scheduler_;
    const Localizer& localizer_;
    const Defaults& defaults_;
    OverlaySurfaceFactory& surfaceFactory_;

    std::map<SurfaceKey, Surface> surfaces_;
    bool isVisible_ = false;
    JobHandle hideTask_;
    // Delayed jobs hold this weakly; it dies with the controller and takes them with it.
    std::shared_ptr<const int> lifetime_ = std::make_shared<const int>(0);
};

} // namespace tessera
