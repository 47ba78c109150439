#pragma once

#include "../model/Geometry.h"
#include "../model/Records.h"
#include "../model/Screens.h"
#include "../model/Signal.h"
#include "../model/Uuid.h"
#include "../platform/Accessibility.h"
#include "../platform/Defaults.h"
#include "../platform/Displays.h"
#include "../platform/ProcessId.h"
#include "../platform/Workspace.h"
#include "WindowCommand.h"

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessera {

class LayoutStore;

// What the mover remembers about one window it placed. Frames are in the top-left system.
struct Placement {
    // Absent when the window was made to fill its display.
    std::optional<Uuid> zoneID;
    // ScreenInfo::id of the display it went to.
    std::string screenID;
    // Where the window ended up, as read back right after placing.
    Rect frame;
    // The frame before Tessera first placed it; survives moves from zone to zone.
    Rect original;

    friend bool operator==(const Placement&, const Placement&) = default;
};

// One entry per placed window, keyed by the window's element.
using PlacementTable = std::unordered_map<AccessibilityElement, Placement>;

// Whether a window still sits where it was put: origins within 12 points and sizes within 24,
// which absorbs the rounding and size increments applications apply to a requested frame.
bool framesMatch(const Rect& a, const Rect& b);
// The size half of that tolerance: widths and heights within 24 points.
bool sizesMatch(const Size& a, const Size& b);

// Above this many entries a placement first drops the entries of windows that are gone.
inline constexpr std::size_t placementPruneThreshold = 48;

// The window gap as set by the user and whether edges of the free area go without it.
struct GapRule {
    double gap = 0;
    bool tightEdges = false;
};

// "windowGap" and "tightEdges" as stored, read afresh at each call.
GapRule gapRule(const Defaults& defaults);

// The gap actually applied: nothing for a gap that is not positive (or not a number), at most 40.
double effectiveGap(double storedGap);

// The frame a window gets for a zone, in the top-left system. The zone's rectangle on the free
// area loses the gap: a whole gap (none with tight edges) where it touches an edge of the free
// area, half a gap where it meets another zone, so neighbours end up one gap apart. A zone too
// small to keep more than 40 points each way after the insets gets no gap at all.
Rect zoneWindowFrame(const Zone& zone, const Rect& visibleFrame, const Rect& primaryFrame,
                     const GapRule& rule);
// The frame "Fill Screen" gives: the whole free area as one zone, with its edge gaps.
Rect fillWindowFrame(const Rect& visibleFrame, const Rect& primaryFrame, const GapRule& rule);

// Direction of a neighbouring-zone move; the values are the commands' own order.
enum class ZoneDirection { left = 0, right = 1, up = 2, down = 3 };

// The candidate most like the source zone: the largest intersection over union, then the
// nearest centre; earlier candidates win exact ties. Normalized coordinates, so a left half
// maps to a left half whatever the sizes of the two displays.
std::optional<Zone> mostSimilarZone(const Zone& source, const std::vector<Zone>& candidates);

// The one component that moves other applications' windows. It computes the frame for a zone
// (window gap and edge rule included), sets it through the accessibility port and remembers
// for every window it placed where the window went and what frame it had before, so a later
// drag out of the zone, a second Fill Screen and the zone navigation can build on it.
class AccessibilityWindowMover {
public:
    AccessibilityWindowMover(Accessibility& accessibility, Workspace& workspace, Displays& displays,
                             const Defaults& defaults)
        : accessibility_(accessibility), workspace_(workspace), displays_(displays),
          defaults_(defaults) {}
    AccessibilityWindowMover(const AccessibilityWindowMover&) = delete;
    AccessibilityWindowMover& operator=(const AccessibilityWindowMover&) = delete;

    const PlacementTable& placements() const { return placements_; }

    // The zone's window frame on a display, with the current gap preferences.
    Rect zoneWindowFrame(const Zone& zone, const SystemDisplay& display) const;
    // The frame that fills a display's free area, with the current gap preferences.
    Rect fillWindowFrame(const SystemDisplay& display) const;

    // Raises the window and puts it into the zone. True when the frame was at least partly
    // accepted. A window whose frame can't be read is still moved but not remembered.
    bool placeInZone(const AccessibilityElement& window, const Zone& zone,
                     const SystemDisplay& display);

    // Gives a window dragged out of its zone the size it had before it was placed. Always
    // forgets the window's placement; true only when a size was set and the window has it now.
    bool restoreSizeAfterDragOut(const AccessibilityElement& window,
                                 const std::optional<Rect>& startFrame);
    // At the release of the drag that restored a size: sets the size once more (a window manager
    // may keep the size its move started with until the button is up, or give it back as its
    // move ends). Whether the window has the size now; nothing when no size was restored for
    // this window during the drag.
    std::optional<bool> confirmRestoredSize(const AccessibilityElement& window);
    // The drag ended without a release to confirm the size at.
    void forgetRestoredSize(const AccessibilityElement& window);

    // The placement of a window that still sits where it was put; the table is not changed.
    std::optional<Placement> placementFor(const AccessibilityElement& window,
                                          const Rect& currentFrame) const;
    // Replaces the window's entry, or removes it when there is no placement.
    void recordPlacement(const AccessibilityElement& window,
                         const std::optional<Placement>& placement);

    // The user moved the window away by hand (a drag that ended elsewhere than on a zone): it
    // is no longer in the zone Tessera put it in.
    void windowMovedByHand(const AccessibilityElement& window);

    // Called after a window was put into a zone (with that placement), was made to fill its
    // display (a placement without zone) or left its zone by hand (none). Closed windows
    // dropped from the table are not announced: they may come back.
    [[nodiscard]] Connection onPlacementChange(
        std::function<void(const AccessibilityElement&, const std::optional<Placement>&)>
            observer) {
        return placementChanged_.connect(std::move(observer));
    }

    // Window commands. Each acts on the active window (see activeWindow). The result says
    // whether the window was moved; no caller needs it.

    // Makes the window fill its display's free area; again on a filled window, gives it its
    // earlier frame back. A window in native full screen is only taken out of it.
    bool fillScreen(ProcessId ownProcess, std::optional<ProcessId> preferredProcess);
    // Moves the window into the nearest zone in a direction, across displays. Beeps when there
    // is none; a missing window or frame fails silently.
    bool moveToNeighbouringZone(ZoneDirection direction, const LayoutStore& store,
                                ProcessId ownProcess, std::optional<ProcessId> preferredProcess);
    // Moves the window to the next (step +1) or previous (step -1) display in left-to-right
    // order, wrapping around, into the most similar zone or proportionally. Beeps on every
    // failure before the move.
    bool moveToDisplay(int step, const LayoutStore& store, ProcessId ownProcess,
                       std::optional<ProcessId> preferredProcess);
    // The one place a command becomes its operation, whoever asks (a shortcut, the menu, a
    // script). Whether the window was moved.
    bool perform(WindowCommand command, const LayoutStore& store, ProcessId ownProcess,
                 std::optional<ProcessId> preferredProcess);

private:
    Rect primaryFrameFor(const SystemDisplay& display) const;
    // Sets the frame and remembers the window's placement; shared by zone placement and fill.
    // `before` is the frame the window has as it is asked.
    bool placeAndRecord(const AccessibilityElement& window, const Rect& target,
                        const std::optional<Uuid>& zoneID, const SystemDisplay& display,
                        const Rect& original, const Rect& before);
    void pruneClosedWindows();
    bool hasSize(const AccessibilityElement& window, const Size& size);

    Accessibility& accessibility_;
    Workspace& workspace_;
    Displays& displays_;
    const Defaults& defaults_;
    PlacementTable placements_;
    // Sizes restored during a drag that still wait for its release.
    std::unordered_map<AccessibilityElement, Size> restoring_;
    Signal<const AccessibilityElement&, const std::optional<Placement>&> placementChanged_;
};

} // namespace tessera
