// The window commands: fill the display, move to the neighbouring zone, move to another display.
// They belong to the mover because they build on its frame computation and placement table.

#include "AccessibilityWindowMover.h"

#include "../store/LayoutStore.h"
#include "WindowAccess.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tessera {

namespace {

// A candidate zone has to lie at least this far in the requested direction, so a zone the
// window almost covers never counts as the next one.
constexpr double minimumTravel = 4;
// Sideways offset weighs double: a zone straight ahead beats a nearer one off to the side.
constexpr double offsetWeight = 2;

Point centre(const Rect& r) {
    return {r.minX() + r.width() / 2, r.minY() + r.height() / 2};
}

// Progress in the direction and sideways offset of a point from another, in the top-left system.
struct Travel {
    double distance;
    double offset;
};

Travel travel(ZoneDirection direction, Point from, Point to) {
    switch (direction) {
    case ZoneDirection::left:
        return {from.x - to.x, to.y - from.y};
    case ZoneDirection::right:
        return {to.x - from.x, to.y - from.y};
    case ZoneDirection::up:
        return {from.y - to.y, to.x - from.x};
    case ZoneDirection::down:
        return {to.y - from.y, to.x - from.x};
    }
    return {0, 0};
}

// Where a fraction lies between 0 and 1; anything not above 0 (a number or not) is 0.
double unitFraction(double value) {
    if (!(value > 0)) {
        return 0;
    }
    return std::min(value, 1.0);
}

} // namespace

bool AccessibilityWindowMover::fillScreen(ProcessId ownProcess,
                                          std::optional<ProcessId> preferredProcess) {
    const auto window = activeWindow(accessibility_, workspace_, ownProcess, preferredProcess);
    if (!window) {
        return false;
    }
    accessibility_.performAction(*window, ax::raiseAction);
    if (isFullScreen(accessibility_, *window)) {
        // Leaving native full screen is all this command does for such a window; placing it
        // while the system animates out would be undone.
        return accessibility_.setAttribute(*window, ax::fullScreen, false) ==
               AccessibilityStatus::success;
    }
    const auto display = displayOfWindow(accessibility_, displays_, *window);
    if (!display) {
        return false;
    }
    const auto current = windowFrame(accessibility_, *window);
    if (!current) {
        return false;
    }
    // A second Fill Screen on a window that still fills its display gives its frame back.
    if (const auto it = placements_.find(*window); it != placements_.end() && !it->second.zoneID &&
                                                   framesMatch(current.value(), it->second.frame)) {
        const auto original = it->second.original;
        placements_.erase(it);
        return setWindowFrame(accessibility_, *window, original);
    }
    const auto target = fillWindowFrame(*display);
    const auto earlier = placementFor(*window, *current);
    const auto original = earlier ? earlier->original : *current;
    return placeAndRecord(*window, target, std::nullopt, *display, original, *current);
}

bool AccessibilityWindowMover::moveToNeighbouringZone(ZoneDirection direction,
                                                      const LayoutStore& store,
                                                      ProcessId ownProcess,
                                                      std::optional<ProcessId> preferredProcess) {
    const auto window = activeWindow(accessibility_, workspace_, ownProcess, preferredProcess);
    if (!window) {
        return false;
    }
    const auto current = windowFrame(accessibility_, *window);
    if (!current) {
        return false;
    }
    const auto placement = placementFor(*window, *current);
    const auto from = centre(*current);

    const auto screens = displays_.screens();
    if (screens.empty()) {
        workspace_.beep();
        return false;
    }
    const auto& primaryFrame = primaryDisplay(screens).frame;

    // Candidates are visited in display order and then layout order; a later one has to score
    // strictly lower to win, so ties go to the earlier one.
    const SystemDisplay* bestDisplay = nullptr;
    std::optional<Zone> bestZone;
    double bestScore = 0;
    for (const auto& screen : screens) {
        const auto info = makeScreenInfo(screen);
        const auto layout = store.layoutFor(info);
        for (const auto& zone : layout.zones) {
            if (placement && placement->zoneID == zone.id && placement->screenID == info.id) {
                continue;
            }
            const auto frame = tessera::zoneWindowFrame(zone, screen.visibleFrame, primaryFrame,
                                                        gapRule(defaults_));
            // A window already covering the zone is in it, placed by us or not.
            if (framesMatch(frame, *current)) {
                continue;
            }
            const auto step = travel(direction, from, centre(frame));
            if (!(step.distance > minimumTravel)) {
                continue;
            }
            const double score = step.distance + offsetWeight * std::abs(step.offset);
            if (!bestZone || score < bestScore) {
                bestDisplay = &screen;
                bestZone = zone;
                bestScore = score;
            }
        }
    }
    if (!bestZone) {
        workspace_.beep();
        return false;
    }
    return placeInZone(*window, *bestZone, *bestDisplay);
}

bool AccessibilityWindowMover::moveToDisplay(int step, const LayoutStore& store,
                                             ProcessId ownProcess,
                                             std::optional<ProcessId> preferredProcess) {
    // Left to right, and bottom to top among displays sharing a left edge.
    auto ordered = displays_.screens();
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const SystemDisplay& a, const SystemDisplay& b) {
                         if (a.frame.minX() != b.frame.minX()) {
                             return a.frame.minX() < b.frame.minX();
                         }
                         return a.frame.minY() < b.frame.minY();
                     });
    const auto count = static_cast<std::ptrdiff_t>(ordered.size());
    if (count <= 1) {
        workspace_.beep();
        return false;
    }

    const auto window = activeWindow(accessibility_, workspace_, ownProcess, preferredProcess);
    if (!window) {
        workspace_.beep();
        return false;
    }
    const auto current = windowFrame(accessibility_, *window);
    if (!current) {
        workspace_.beep();
        return false;
    }
    const auto source = displayOfWindow(accessibility_, displays_, *window);
    if (!source) {
        workspace_.beep();
        return false;
    }
    const auto sourceIt = std::find(ordered.begin(), ordered.end(), *source);
    if (sourceIt == ordered.end()) {
        workspace_.beep();
        return false;
    }
    const auto index = std::distance(ordered.begin(), sourceIt);
    // Wraps around in both directions, whatever the size of the step.
    const auto targetIndex = ((index + step) % count + count) % count;
    const auto& target = ordered[static_cast<std::size_t>(targetIndex)];

    const auto placement = placementFor(*window, *current);
    if (placement && !placement->zoneID) {
        // A window filling its display fills the next one, keeping its earlier frame.
        return placeAndRecord(*window, fillWindowFrame(target), std::nullopt, target,
                              placement->original, *current);
    }
    if (placement) {
        const auto sourceLayout = store.layoutFor(makeScreenInfo(*source));
        const auto zone =
            std::find_if(sourceLayout.zones.begin(), sourceLayout.zones.end(),
                         [&](const Zone& candidate) { return candidate.id == *placement->zoneID; });
        if (zone != sourceLayout.zones.end()) {
            const auto targetLayout = store.layoutFor(makeScreenInfo(target));
            if (const auto similar = mostSimilarZone(*zone, targetLayout.zones)) {
                return placeInZone(*window, *similar, target);
            }
        }
    }

    // Keep the window's size where it fits and its relative position in the free area.
    const auto primaryFrame = primaryFrameFor(target);
    const auto from = toTopLeft(source->visibleFrame, primaryFrame);
    const auto to = toTopLeft(target.visibleFrame, primaryFrame);
    const double width = std::min(current->width(), to.width());
    const double height = std::min(current->height(), to.height());
    const double fx = unitFraction((current->minX() - from.minX()) /
                                   std::max(1.0, from.width() - current->width()));
    const double fy = unitFraction((current->minY() - from.minY()) /
                                   std::max(1.0, from.height() - current->height()));
    const Rect moved{to.minX() + fx * (to.width() - width), to.minY() + fy * (to.height() - height),
                     width, height};
    accessibility_.performAction(*window, ax::raiseAction);
    return setWindowFrame(accessibility_, *window, moved);
}

bool AccessibilityWindowMover::perform(WindowCommand command, const LayoutStore& store,
                                       ProcessId ownProcess,
                                       std::optional<ProcessId> preferredProcess) {
    switch (command) {
    case WindowCommand::fillScreen:
        return fillScreen(ownProcess, preferredProcess);
    case WindowCommand::zoneLeft:
        return moveToNeighbouringZone(ZoneDirection::left, store, ownProcess, preferredProcess);
    case WindowCommand::zoneRight:
        return moveToNeighbouringZone(ZoneDirection::right, store, ownProcess, preferredProcess);
    case WindowCommand::zoneUp:
        return moveToNeighbouringZone(ZoneDirection::up, store, ownProcess, preferredProcess);
    case WindowCommand::zoneDown:
        return moveToNeighbouringZone(ZoneDirection::down, store, ownProcess, preferredProcess);
    case WindowCommand::previousDisplay:
        return moveToDisplay(-1, store, ownProcess, preferredProcess);
    case WindowCommand::nextDisplay:
        return moveToDisplay(+1, store, ownProcess, preferredProcess);
    }
    return false;
}

} // namespace tessera
