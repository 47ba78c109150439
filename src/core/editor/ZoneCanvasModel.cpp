#include "ZoneCanvasModel.h"

#include "../model/Screens.h"
#include "../model/StringTables.h"
#include "../platform/Localizer.h"

#include <algorithm>
#include <cmath>

namespace tessera {

HandleEdges draggedEdges(CanvasHandle handle) {
    switch (handle) {
    case CanvasHandle::move:
        return {};
    case CanvasHandle::nw:
        return {.left = true, .top = true};
    case CanvasHandle::n:
        return {.top = true};
    case CanvasHandle::ne:
        return {.top = true, .right = true};
    case CanvasHandle::e:
        return {.right = true};
    case CanvasHandle::se:
        return {.right = true, .bottom = true};
    case CanvasHandle::s:
        return {.bottom = true};
    case CanvasHandle::sw:
        return {.left = true, .bottom = true};
    case CanvasHandle::w:
        return {.left = true};
    }
    return {};
}

Zone clamped(Zone zone, double minimumSize) {
    if (zone.width <= minimumSize) {
        zone.width = minimumSize;
    }
    zone.width = std::min(zone.width, 1.0);
    if (zone.height <= minimumSize) {
        zone.height = minimumSize;
    }
    zone.height = std::min(zone.height, 1.0);
    if (zone.x <= 0) {
        zone.x = 0;
    }
    zone.x = std::min(zone.x, 1 - zone.width);
    if (zone.y <= 0) {
        zone.y = 0;
    }
    zone.y = std::min(zone.y, 1 - zone.height);
    return zone;
}

double snap(double value, std::int64_t divisions) {
    const auto n = static_cast<double>(divisions);
    // std::round rounds halves away from zero.
    return std::round(value * n) / n;
}

std::optional<Zone> hitZone(Point p, const std::vector<Zone>& zones) {
    const Zone* best = nullptr;
    for (const auto& zone : zones) {
        const bool contains = zone.x <= p.x && p.x <= zone.x + zone.width && zone.y <= p.y &&
                              p.y <= zone.y + zone.height;
        // Strictly smaller only, so the earlier of equal areas stays.
        if (contains && (!best || zone.width * zone.height < best->width * best->height)) {
            best = &zone;
        }
    }
    return best ? std::optional<Zone>(*best) : std::nullopt;
}

Zone draggedZone(const Zone& s, CanvasHandle handle, double dx, double dy, const ZoneGrid& grid,
                 bool snapToGrid) {
    const auto snapX = [&](double v) { return snapToGrid ? snap(v, grid.columns) : v; };
    const auto snapY = [&](double v) { return snapToGrid ? snap(v, grid.rows) : v; };
    const double minW = std::min(1.0 / static_cast<double>(grid.columns), 0.1);
    const double minH = std::min(1.0 / static_cast<double>(grid.rows), 0.1);

    Zone zone = s;
    if (handle == CanvasHandle::move) {
        zone.x = snapX(s.x + dx);
        zone.y = snapY(s.y + dy);
        return clamped(zone, canvasMinimumZoneSize);
    }
    const auto edges = draggedEdges(handle);
    if (edges.right) {
        const double right = std::min(snapX(s.x + dx + s.width), 1.0);
        zone.width = std::max(right - s.x, minW);
    }
    if (edges.bottom) {
        const double bottom = std::min(snapY(s.y + dy + s.height), 1.0);
        zone.height = std::max(bottom - s.y, minH);
    }
    if (edges.left) {
        const double r = s.x + s.width;
        zone.x = std::max(std::min(snapX(s.x + dx), r - minW), 0.0);
        zone.width = r - zone.x;
    }
    if (edges.top) {
        const double b = s.y + s.height;
        zone.y = std::max(std::min(snapY(s.y + dy), b - minH), 0.0);
        zone.height = b - zone.y;
    }
    return clamped(zone, canvasMinimumZoneSize);
}

Rect canvasArea(Size viewSize) {
    return Rect{0, 0, viewSize.width, viewSize.height}.insetBy(canvasAreaInset, canvasAreaInset);
}

Point normalizedPoint(Point view, const Rect& area) {
    return {(view.x - area.minX()) / area.width(), (view.y - area.minY()) / area.height()};
}

Rect zoneFrame(const Zone& zone, const Rect& area) {
    return {area.minX() + zone.x * area.width(), area.minY() + zone.y * area.height(),
            zone.width * area.width(), zone.height * area.height()};
}

Rect zoneBox(const Zone& zone, const Rect& area) {
    return zoneFrame(zone, area).insetBy(zoneBoxInset, zoneBoxInset);
}

std::vector<HandleTarget> resizeHandleTargets(const Rect& box) {
    const double half = cornerHandleSize / 2;
    const auto corner = [&](CanvasHandle handle, double x, double y) {
        return HandleTarget{handle, {x - half, y - half, cornerHandleSize, cornerHandleSize}};
    };
    const double thick = edgeHandleThickness;
    const double across = std::max(box.width() - 2 * cornerHandleSize, minimumEdgeHandleLength);
    const double down = std::max(box.height() - 2 * cornerHandleSize, minimumEdgeHandleLength);
    const double midX = box.minX() + box.width() / 2;
    const double midY = box.minY() + box.height() / 2;
    return {
        corner(CanvasHandle::nw, box.minX(), box.minY()),
        corner(CanvasHandle::ne, box.maxX(), box.minY()),
        corner(CanvasHandle::se, box.maxX(), box.maxY()),
        corner(CanvasHandle::sw, box.minX(), box.maxY()),
        {CanvasHandle::n, {midX - across / 2, box.minY() - thick / 2, across, thick}},
        {CanvasHandle::e, {box.maxX() - thick / 2, midY - down / 2, thick, down}},
        {CanvasHandle::s, {midX - across / 2, box.maxY() - thick / 2, across, thick}},
        {CanvasHandle::w, {box.minX() - thick / 2, midY - down / 2, thick, down}},
    };
}

std::optional<CanvasHandle> resizeHandleAt(Point view, const Rect& box) {
    // Targets come corners first, so a corner wins where a short edge strip reaches into it.
    for (const auto& target : resizeHandleTargets(box)) {
        if (target.rect.contains(view)) {
            return target.handle;
        }
    }
    return std::nullopt;
}

std::vector<CanvasGridLine> canvasGridLines(const ZoneGrid& grid, const Rect& area) {
    std::vector<CanvasGridLine> lines;
    for (std::int64_t i = 1; i < grid.columns; ++i) {
        const double x = std::round(area.minX() + area.width() * static_cast<double>(i) /
                                                      static_cast<double>(grid.columns)) +
                         0.25;
        lines.push_back({{x, area.minY()}, {x, area.maxY()}});
    }
    for (std::int64_t i = 1; i < grid.rows; ++i) {
        const double y = std::round(area.minY() + area.height() * static_cast<double>(i) /
                                                      static_cast<double>(grid.rows)) +
                         0.25;
        lines.push_back({{area.minX(), y}, {area.maxX(), y}});
    }
    return lines;
}

const std::vector<ZoneMenuItem>& zoneMenuItems() {
    static const std::vector<ZoneMenuItem> items{
        {ZoneMenuAction::splitLeftRight, "Split Left and Right", "rectangle.split.2x1", false,
         false},
        {ZoneMenuAction::splitTopBottom, "Split Top and Bottom", "rectangle.split.1x2", false,
         false},
        {ZoneMenuAction::remove, "Delete Zone", "trash", true, true},
    };
    return items;
}

long long shownPercent(double fraction, double scale) {
    constexpr double limit = 10'000;
    if (std::isnan(fraction)) {
        return 0;
    }
    return std::llround(std::clamp(fraction, -limit, limit) * scale);
}

std::string zoneSizeLabel(const Zone& zone, const Localizer& localizer) {
    const auto percent = [](double value) { return std::to_string(shownPercent(value, 100)); };
    return localizedFormat(localizer, "%lld%% × %lld%%",
                           {percent(zone.width), percent(zone.height)});
}

ZoneCanvasModel::ZoneCanvasModel(std::vector<Zone> zones, ZoneGrid grid, Size viewSize) {
    state_.zones = std::move(zones);
    state_.grid = grid;
    state_.viewSize = viewSize;
}

std::optional<Zone> ZoneCanvasModel::selectedZone() const {
    if (!state_.selectedID) {
        return std::nullopt;
    }
    const auto it = std::find_if(state_.zones.begin(), state_.zones.end(),
                                 [&](const Zone& z) { return z.id == *state_.selectedID; });
    return it == state_.zones.end() ? std::nullopt : std::optional<Zone>(*it);
}

void ZoneCanvasModel::select(std::optional<Uuid> id) {
    if (state_.selectedID == id) {
        return;
    }
    state_.selectedID = std::move(id);
    // The owner may hand new content back from inside the callback; it gets its own copy.
    if (callbacks.onSelectionChanged) {
        const auto selected = state_.selectedID;
        callbacks.onSelectionChanged(selected);
    }
}

bool ZoneCanvasModel::commit(const Zone& zone) {
    // Built on a copy: the owner stores the list and may hand new content back from inside the
    // callbacks, which replaces state_.zones while they run.
    auto zones = state_.zones;
    const auto it =
        std::find_if(zones.begin(), zones.end(), [&](const Zone& z) { return z.id == zone.id; });
    // A zone that vanished meanwhile, or an unchanged one, records no undo step.
    if (it == zones.end() || *it == zone) {
        return false;
    }
    *it = zone;
    if (callbacks.onBeginEdit) {
        callbacks.onBeginEdit();
    }
    state_.zones = zones;
    if (callbacks.onZonesChanged) {
        callbacks.onZonesChanged(zones);
    }
    return true;
}

void ZoneCanvasModel::zoneDragChanged(const Uuid& zoneID, CanvasHandle handle, Size translation) {
    const Rect a = area();
    if (a.width() <= 0 || a.height() <= 0 || state_.grid.columns < 1 || state_.grid.rows < 1) {
        return;
    }
    if (!state_.dragStart) {
        // The gesture only starts once the pointer has travelled a point.
        if (std::hypot(translation.width, translation.height) < 1) {
            return;
        }
        const auto it = std::find_if(state_.zones.begin(), state_.zones.end(),
                                     [&](const Zone& z) { return z.id == zoneID; });
        if (it == state_.zones.end()) {
            return;
        }
        // The drag holds its own copy before the owner hears of the selection and may hand
        // new content back.
        state_.dragStart = *it;
        state_.activeHandle = handle;
        state_.focused = true;
        select(zoneID);
    }
    if (state_.activeHandle != handle || state_.dragStart->id != zoneID) {
        return;
    }
    const double dx = translation.width / a.width();
    const double dy = translation.height / a.height();
    state_.liveZone = draggedZone(*state_.dragStart, handle, dx, dy, state_.grid, false);
    state_.snapZone = draggedZone(*state_.dragStart, handle, dx, dy, state_.grid, true);
}

void ZoneCanvasModel::zoneDragEnded(CanvasHandle handle) {
    if (state_.dragStart && state_.activeHandle == handle) {
        const Zone final = state_.snapZone ? *state_.snapZone : *state_.dragStart;
        state_.snapZone.reset();
        state_.liveZone.reset();
        if (final != *state_.dragStart) {
            commit(final);
        }
    }
    endMoveOrResize();
}

void ZoneCanvasModel::endMoveOrResize() {
    state_.dragStart.reset();
    state_.activeHandle.reset();
    state_.liveZone.reset();
    state_.snapZone.reset();
}

void ZoneCanvasModel::backgroundDragChanged(Point start, Point current) {
    const Rect a = area();
    if (std::hypot(current.x - start.x, current.y - start.y) <= 4 || a.width() <= 0 ||
        a.height() <= 0 || state_.grid.columns < 1 || state_.grid.rows < 1) {
        return;
    }
    const auto unit = [&](Point p) {
        const auto n = normalizedPoint(p, a);
        return Point{std::clamp(n.x, 0.0, 1.0), std::clamp(n.y, 0.0, 1.0)};
    };
    const Point pa = unit(start);
    const Point pb = unit(current);
    const double cellW = 1.0 / static_cast<double>(state_.grid.columns);
    const double cellH = 1.0 / static_cast<double>(state_.grid.rows);

    Zone zone =
        state_.drawnZone ? *state_.drawnZone : Zone{Uuid::random(), "", 0, 0, 0, 0, std::nullopt};
    zone.x = snap(std::min(pa.x, pb.x), state_.grid.columns);
    zone.y = snap(std::min(pa.y, pb.y), state_.grid.rows);
    zone.width = std::max(snap(std::max(pa.x, pb.x), state_.grid.columns) - zone.x, cellW);
    zone.height = std::max(snap(std::max(pa.y, pb.y), state_.grid.rows) - zone.y, cellH);
    state_.drawnZone = clamped(zone, std::min(cellH, cellW));
}

void ZoneCanvasModel::backgroundDragEnded(Point end) {
    state_.focused = true;
    if (state_.drawnZone) {
        const Zone zone = *state_.drawnZone;
        state_.drawnZone.reset();
        if (callbacks.onCreate) {
            callbacks.onCreate(zone);
        }
        return;
    }
    const Rect a = area();
    if (a.width() <= 0 || a.height() <= 0) {
        select(std::nullopt);
        return;
    }
    const auto n = normalizedPoint(end, a);
    const Point p{std::clamp(n.x, 0.0, 1.0), std::clamp(n.y, 0.0, 1.0)};
    const auto hit = hitZone(p, state_.zones);
    select(hit ? std::optional<Uuid>(hit->id) : std::nullopt);
}

bool ZoneCanvasModel::arrowKey(ArrowKey key) {
    const auto zone = selectedZone();
    if (!zone) {
        return false;
    }
    if (state_.grid.columns < 1 || state_.grid.rows < 1) {
        return true;
    }
    const double cellW = 1.0 / static_cast<double>(state_.grid.columns);
    const double cellH = 1.0 / static_cast<double>(state_.grid.rows);
    Zone moved = *zone;
    switch (key) {
    case ArrowKey::left:
        moved.x = snap(moved.x - cellW, state_.grid.columns);
        break;
    case ArrowKey::right:
        moved.x = snap(moved.x + cellW, state_.grid.columns);
        break;
    case ArrowKey::up:
        moved.y = snap(moved.y - cellH, state_.grid.rows);
        break;
    case ArrowKey::down:
        moved.y = snap(moved.y + cellH, state_.grid.rows);
        break;
    }
    commit(clamped(moved, canvasMinimumZoneSize));
    return true;
}

bool ZoneCanvasModel::deleteCommand() {
    const auto zone = selectedZone();
    if (!zone) {
        return false;
    }
    if (callbacks.onDelete) {
        callbacks.onDelete(*zone);
    }
    return true;
}

std::optional<Uuid> ZoneCanvasModel::zoneMenuRequested(Point view) {
    const auto target = pointerTarget(view);
    if (!target || target->handle != CanvasHandle::move) {
        return std::nullopt;
    }
    state_.focused = true;
    select(target->zoneID);
    return target->zoneID;
}

void ZoneCanvasModel::performMenuAction(ZoneMenuAction action, const Uuid& zoneID) {
    const auto it = std::find_if(state_.zones.begin(), state_.zones.end(),
                                 [&](const Zone& z) { return z.id == zoneID; });
    if (it == state_.zones.end()) {
        return;
    }
    const Zone zone = *it;
    switch (action) {
    case ZoneMenuAction::splitLeftRight:
    case ZoneMenuAction::splitTopBottom:
        if (callbacks.onSplit) {
            callbacks.onSplit(zone, action == ZoneMenuAction::splitLeftRight);
        }
        break;
    case ZoneMenuAction::remove:
        if (callbacks.onDelete) {
            callbacks.onDelete(zone);
        }
        break;
    }
}

std::vector<Zone> ZoneCanvasModel::shownZones() const {
    auto shown = state_.zones;
    if (state_.liveZone) {
        for (auto& zone : shown) {
            if (zone.id == state_.liveZone->id) {
                zone = *state_.liveZone;
                break;
            }
        }
    }
    return drawingOrder(std::move(shown));
}

std::optional<PointerTarget> ZoneCanvasModel::pointerTarget(Point view) const {
    const Rect a = area();
    const auto shown = shownZones();
    // Topmost first: the last drawn zone receives the pointer before the ones beneath it.
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        const Rect box = zoneBox(*it, a);
        if (state_.selectedID && it->id == *state_.selectedID) {
            if (const auto handle = resizeHandleAt(view, box)) {
                return PointerTarget{it->id, *handle};
            }
        }
        if (box.contains(view)) {
            return PointerTarget{it->id, CanvasHandle::move};
        }
    }
    return std::nullopt;
}

std::optional<std::string> ZoneCanvasModel::sizeLabel(const Localizer& localizer) const {
    if (!state_.selectedID) {
        return std::nullopt;
    }
    for (const auto& zone : shownZones()) {
        if (zone.id == *state_.selectedID) {
            const Rect box = zoneBox(zone, area());
            if (box.width() > 90 && box.height() > 50) {
                return zoneSizeLabel(zone, localizer);
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace tessera
