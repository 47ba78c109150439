#pragma once

#include "ZoneGrid.h"

#include "../model/Geometry.h"
#include "../model/Records.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessera {

class Localizer;

// What a drag on a zone changes: the whole zone, or the edges named by the compass letters.
enum class CanvasHandle { move, nw, n, ne, e, se, s, sw, w };

struct HandleEdges {
    bool left = false;
    bool top = false;
    bool right = false;
    bool bottom = false;
};
HandleEdges draggedEdges(CanvasHandle handle);

// Minimum size of a zone after any canvas change.
inline constexpr double canvasMinimumZoneSize = 0.04;

// Keeps a zone inside the unit square and at least minimumSize in each direction. Only the
// geometry changes.
Zone clamped(Zone zone, double minimumSize);
// round(value × divisions) / divisions with halves away from zero; divisions are the grid's
// columns for horizontal values and its rows for vertical ones.
double snap(double value, std::int64_t divisions);
// The smallest zone containing p (bounds included); of equal areas the earlier in the list.
std::optional<Zone> hitZone(Point normalized, const std::vector<Zone>& zones);

// A move or resize of `start` by (dx, dy) in normalized units; with snapToGrid the dragged
// coordinates land on the grid while the other edges keep their values. The result is clamped
// with the canvas minimum size and never turned inside out.
Zone draggedZone(const Zone& start, CanvasHandle handle, double dx, double dy, const ZoneGrid& grid,
                 bool snapToGrid);

// View geometry. The drawing area is the view inset by 3 points; zone boxes are drawn inset a
// further 3 points so neighbours show a 6-point gap.
inline constexpr double canvasAreaInset = 3;
inline constexpr double zoneBoxInset = 3;
inline constexpr double cornerHandleSize = 18;
inline constexpr double cornerHandleMarkSize = 9;
inline constexpr double edgeHandleThickness = 10;
inline constexpr double minimumEdgeHandleLength = 4;

Rect canvasArea(Size viewSize);
Point normalizedPoint(Point view, const Rect& area);
// The zone's cell on screen, before the drawing inset.
Rect zoneFrame(const Zone& zone, const Rect& area);
// The rounded box actually drawn.
Rect zoneBox(const Zone& zone, const Rect& area);

struct HandleTarget {
    CanvasHandle handle = CanvasHandle::move;
    Rect rect;
};
// The eight resize targets around a drawn box: the corners nw, ne, se, sw, then the edges
// n, e, s, w.
std::vector<HandleTarget> resizeHandleTargets(const Rect& box);
// The resize handle under a point; corners win over edges.
std::optional<CanvasHandle> resizeHandleAt(Point view, const Rect& box);

struct CanvasGridLine {
    Point from;
    Point to;
    friend bool operator==(const CanvasGridLine&, const CanvasGridLine&) = default;
};
// The canvas's inner grid lines, placed on whole points plus a quarter so they stay crisp.
std::vector<CanvasGridLine> canvasGridLines(const ZoneGrid& grid, const Rect& area);

enum class ArrowKey { left, right, up, down };

enum class ZoneMenuAction { splitLeftRight, splitTopBottom, remove };
struct ZoneMenuItem {
    ZoneMenuAction action = ZoneMenuAction::splitLeftRight;
    std::string title; // localization key
    std::string image;
    bool destructive = false;
    bool dividerBefore = false;
};
// The context menu of a zone, in order.
const std::vector<ZoneMenuItem>& zoneMenuItems();

// The text under the selected zone, such as "50% × 100%".
std::string zoneSizeLabel(const Zone& zone, const Localizer& localizer);

// fraction × scale rounded half away from zero, for the numbers shown for a stored fraction
// (scale 100 for whole percent, 1000 for tenths). A stored fraction can be any finite double,
// as a hand-edited file may hold one, so it is held within ±10,000 (a million percent, far past
// any size the editor makes) before it becomes an integer.
long long shownPercent(double fraction, double scale);

// Where the pointer falls on the canvas: a zone's body or a resize handle of the selected zone.
struct PointerTarget {
    Uuid zoneID;
    CanvasHandle handle = CanvasHandle::move;
    friend bool operator==(const PointerTarget&, const PointerTarget&) = default;
};

// The interactive picture of one layout, free of any toolkit: the interface feeds it gestures
// and keys in view coordinates and draws what it exposes. It holds a copy of the layout's zones
// and reports every change it makes itself through onBeginEdit followed by onZonesChanged, so
// the owner can record an undo step and then store the list.
class ZoneCanvasModel {
public:
    struct Callbacks {
        std::function<void()> onBeginEdit;
        std::function<void(const std::vector<Zone>&)> onZonesChanged;
        std::function<void(const std::optional<Uuid>&)> onSelectionChanged;
        std::function<void(const Zone&, bool leftAndRight)> onSplit;
        std::function<void(const Zone&)> onDelete;
        std::function<void(const Zone&)> onCreate;
    };

    // Everything the canvas shows and works from, so a view can tell whether a call changed
    // anything by comparing two of them.
    struct State {
        std::vector<Zone> zones;
        std::optional<Uuid> selectedID;
        ZoneGrid grid;
        Size viewSize;
        bool focused = false;
        std::optional<Zone> dragStart;
        std::optional<CanvasHandle> activeHandle;
        std::optional<Zone> liveZone;
        std::optional<Zone> snapZone;
        std::optional<Zone> drawnZone;

        friend bool operator==(const State&, const State&) = default;
    };

    ZoneCanvasModel() = default;
    ZoneCanvasModel(std::vector<Zone> zones, ZoneGrid grid, Size viewSize);

    Callbacks callbacks;

    // State handed in by the owner; none of these report back.
    void setZones(std::vector<Zone> zones) { state_.zones = std::move(zones); }
    void setSelectedID(std::optional<Uuid> id) { state_.selectedID = std::move(id); }
    void setGrid(ZoneGrid grid) { state_.grid = grid; }
    void setViewSize(Size size) { state_.viewSize = size; }
    void setFocused(bool focused) { state_.focused = focused; }

    const State& state() const { return state_; }
    const std::vector<Zone>& zones() const { return state_.zones; }
    const std::optional<Uuid>& selectedID() const { return state_.selectedID; }
    std::optional<Zone> selectedZone() const;
    const ZoneGrid& grid() const { return state_.grid; }
    Size viewSize() const { return state_.viewSize; }
    Rect area() const { return canvasArea(state_.viewSize); }
    bool focused() const { return state_.focused; }
    const std::optional<Zone>& dragStart() const { return state_.dragStart; }
    const std::optional<CanvasHandle>& activeHandle() const { return state_.activeHandle; }
    const std::optional<Zone>& liveZone() const { return state_.liveZone; }
    const std::optional<Zone>& snapZone() const { return state_.snapZone; }
    const std::optional<Zone>& drawnZone() const { return state_.drawnZone; }
    bool isMovingOrResizing() const { return state_.dragStart.has_value(); }

    // A move or resize gesture on zone `zoneID` with `handle`; translation since the gesture
    // began, in points.
    void zoneDragChanged(const Uuid& zoneID, CanvasHandle handle, Size translation);
    void zoneDragEnded(CanvasHandle handle);

    // A drag on empty space, from start to the current or final location, in view points. An
    // end without a drawn zone is a click.
    void backgroundDragChanged(Point start, Point current);
    void backgroundDragEnded(Point end);

    // True when the key was consumed: whenever a zone is selected.
    bool arrowKey(ArrowKey key);
    // The Delete key; true when a zone was selected and its deletion requested.
    bool deleteCommand();
    // A secondary click: the zone whose body lies under the point is selected before its menu
    // opens, so the menu acts on the zone the user sees highlighted. Returns that zone; none
    // over empty space or a resize handle, where no menu opens.
    std::optional<Uuid> zoneMenuRequested(Point view);
    void performMenuAction(ZoneMenuAction action, const Uuid& zoneID);

    // Zones as drawn, bottom first: the live zone in place of its original while dragging,
    // largest area first, equal areas in list order.
    std::vector<Zone> shownZones() const;
    // The topmost zone body or selected-zone handle under a view point; none over empty space.
    std::optional<PointerTarget> pointerTarget(Point view) const;
    // The selected zone's size label, present only while its box is wider than 90 points and
    // taller than 50.
    std::optional<std::string> sizeLabel(const Localizer& localizer) const;
    bool showsEmptyState() const { return state_.zones.empty() && !state_.drawnZone; }
    double gridLineOpacity() const { return isMovingOrResizing() ? 0.40 : 0.16; }
    std::vector<CanvasGridLine> gridLines() const { return canvasGridLines(state_.grid, area()); }

private:
    void select(std::optional<Uuid> id);
    // Replaces the zone with the same id; onBeginEdit and onZonesChanged only when something
    // actually changes.
    bool commit(const Zone& zone);
    void endMoveOrResize();

    State state_;
};

} // namespace tessera
