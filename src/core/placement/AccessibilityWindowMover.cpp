#include "AccessibilityWindowMover.h"

#include "../app/Preferences.h"
#include "WindowAccess.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace tessera {

namespace {

// Edges within this distance of the free area's border count as touching it, so zones drawn a
// hair away from the border still get the edge gap.
constexpr double nearEdge = 0.001;
constexpr double maximumGap = 40;
// A gap that would leave a side this short or shorter is dropped altogether.
constexpr double minimumGappedSide = 40;

} // namespace

bool framesMatch(const Rect& a, const Rect& b) {
    return std::abs(a.minX() - b.minX()) < 12 && std::abs(a.minY() - b.minY()) < 12 &&
           sizesMatch(a.size, b.size);
}

bool sizesMatch(const Size& a, const Size& b) {
    return std::abs(a.width - b.width) < 24 && std::abs(a.height - b.height) < 24;
}

GapRule gapRule(const Defaults& defaults) {
    return {preferenceDouble(defaults, prefs::windowGap),
            preferenceBool(defaults, prefs::tightEdges)};
}

double effectiveGap(double storedGap) {
    // Written so that a gap that is not a number fails the comparison and counts as none.
    if (!(storedGap > 0)) {
        return 0;
    }
    return std::min(storedGap, maximumGap);
}

Rect zoneWindowFrame(const Zone& zone, const Rect& visibleFrame, const Rect& primaryFrame,
                     const GapRule& rule) {
    auto rect = zoneRect(zone, visibleFrame);
    const double gap = effectiveGap(rule.gap);
    if (gap > 0) {
        const double edge = rule.tightEdges ? 0 : gap;
        const double shared = gap / 2;
        const double left = zone.x <= nearEdge ? edge : shared;
        const double right = zone.x + zone.width < 1 - nearEdge ? shared : edge;
        const double top = zone.y > nearEdge ? shared : edge;
        const double bottom = zone.y + zone.height < 1 - nearEdge ? shared : edge;
        // Bottom-left system: the bottom inset moves the origin.
        const Rect inset{rect.minX() + left, rect.minY() + bottom, rect.width() - left - right,
                         rect.height() - top - bottom};
        if (inset.width() > minimumGappedSide && inset.height() > minimumGappedSide) {
            rect = inset;
        }
    }
    return toTopLeft(rect, primaryFrame);
}

std::optional<Zone> mostSimilarZone(const Zone& source, const std::vector<Zone>& candidates) {
    if (candidates.empty()) {
        return std::nullopt;
    }
    const double sourceArea = source.width * source.height;
    const auto similarity = [&](const Zone& zone) {
        const double overlapWidth =
            std::min(zone.x + zone.width, source.x + source.width) - std::max(zone.x, source.x);
        const double overlapHeight =
            std::min(zone.y + zone.height, source.y + source.height) - std::max(zone.y, source.y);
        if (!(overlapWidth > 0) || !(overlapHeight > 0)) {
            return 0.0;
        }
        const double intersection = overlapWidth * overlapHeight;
        const double unionArea = zone.width * zone.height + sourceArea - intersection;
        return unionArea > 0 ? intersection / unionArea : 0.0;
    };
    const auto centreDistance = [&](const Zone& zone) {
        const double dx = (zone.x + zone.width / 2) - (source.x + source.width / 2);
        const double dy = (zone.y + zone.height / 2) - (source.y + source.height / 2);
        return std::hypot(dx, dy);
    };
    auto best = candidates.begin();
    double bestSimilarity = similarity(*best);
    for (auto it = std::next(candidates.begin()); it != candidates.end(); ++it) {
        const double s = similarity(*it);
        if (s > bestSimilarity ||
            (s == bestSimilarity && centreDistance(*it) < centreDistance(*best))) {
            best = it;
            bestSimilarity = s;
        }
    }
    return *best;
}

Rect fillWindowFrame(const Rect& visibleFrame, const Rect& primaryFrame, const GapRule& rule) {
    Zone whole;
    whole.width = 1;
    whole.height = 1;
    return zoneWindowFrame(whole, visibleFrame, primaryFrame, rule);
}

Rect AccessibilityWindowMover::primaryFrameFor(const SystemDisplay& display) const {
    const auto screens = displays_.screens();
    // Without a display list the display itself is the only reference there is.
    return screens.empty() ? display.frame : primaryDisplay(screens).frame;
}

Rect AccessibilityWindowMover::zoneWindowFrame(const Zone& zone,
                                               const SystemDisplay& display) const {
    return tessera::zoneWindowFrame(zone, display.visibleFrame, primaryFrameFor(display),
                                    gapRule(defaults_));
}

Rect AccessibilityWindowMover::fillWindowFrame(const SystemDisplay& display) const {
    return tessera::fillWindowFrame(display.visibleFrame, primaryFrameFor(display),
                                    gapRule(defaults_));
}

std::optional<Placement> AccessibilityWindowMover::placementFor(const AccessibilityElement& window,
                                                                const Rect& currentFrame) const {
    const auto it = placements_.find(window);
    if (it == placements_.end() || !framesMatch(it->second.frame, currentFrame)) {
        return std::nullopt;
    }
    return it->second;
}

void AccessibilityWindowMover::recordPlacement(const AccessibilityElement& window,
                                               const std::optional<Placement>& placement) {
    if (placement) {
        placements_.insert_or_assign(window, *placement);
    } else {
        placements_.erase(window);
    }
}

void AccessibilityWindowMover::pruneClosedWindows() {
    std::erase_if(placements_, [this](const auto& entry) {
        return !windowFrame(accessibility_, entry.first).has_value();
    });
}

bool AccessibilityWindowMover::placeAndRecord(const AccessibilityElement& window,
                                              const Rect& target, const std::optional<Uuid>& zoneID,
                                              const SystemDisplay& display, const Rect& original,
                                              const Rect& before) {
    restoring_.erase(window);
    accessibility_.performAction(window, ax::raiseAction);
    const bool accepted = setWindowFrame(accessibility_, window, target);
    if (placements_.size() > placementPruneThreshold) {
        pruneClosedWindows();
    }
    // Applications round or clamp what they are given; what they made of it is what later
    // tolerance checks compare against. A window still at its frame from before has not been
    // answered yet (a busy window manager answers after the backend stopped waiting): the frame
    // asked for is then the better guess of where it ends up.
    auto placed = windowFrame(accessibility_, window).value_or(target);
    if (placed == before) {
        placed = target;
    }
    const Placement placement{zoneID, makeScreenInfo(display).id, placed, original};
    recordPlacement(window, placement);
    placementChanged_.emit(window, placement);
    return accepted;
}

bool AccessibilityWindowMover::placeInZone(const AccessibilityElement& window, const Zone& zone,
                                           const SystemDisplay& display) {
    const auto target = zoneWindowFrame(zone, display);
    const auto current = windowFrame(accessibility_, window);
    if (!current) {
        accessibility_.performAction(window, ax::raiseAction);
        return setWindowFrame(accessibility_, window, target);
    }
    // A window moved from zone to zone keeps the frame it had before the first of them.
    const auto earlier = placementFor(window, *current);
    const auto original = earlier ? earlier->original : *current;
    return placeAndRecord(window, target, zone.id, display, original, *current);
}

bool AccessibilityWindowMover::restoreSizeAfterDragOut(const AccessibilityElement& window,
                                                       const std::optional<Rect>& startFrame) {
    const auto it = placements_.find(window);
    if (it == placements_.end()) {
        return false;
    }
    const auto placement = it->second;
    placements_.erase(it);
    placementChanged_.emit(window, std::nullopt);
    if (!startFrame) {
        return false;
    }
    // The window had left its zone before this drag: its present size is the user's.
    if (!framesMatch(*startFrame, placement.frame)) {
        return false;
    }
    if (placement.original.size == startFrame->size) {
        return false;
    }
    // Only the size: the window stays under the pointer that is dragging it. Until the release
    // confirms it, the size is remembered: a window manager may hold the size the move started
    // with until its move ends.
    const Size wanted = placement.original.size;
    restoring_.insert_or_assign(window, wanted);
    accessibility_.setAttribute(window, ax::size, wanted);
    return hasSize(window, wanted);
}

std::optional<bool>
AccessibilityWindowMover::confirmRestoredSize(const AccessibilityElement& window) {
    const auto it = restoring_.find(window);
    if (it == restoring_.end()) {
        return std::nullopt;
    }
    const Size wanted = it->second;
    restoring_.erase(it);
    // Asked again even when the window seems to have the size: the window manager may give it
    // the size its move started with as the move ends, at the very release being handled here.
    accessibility_.setAttribute(window, ax::size, wanted);
    return hasSize(window, wanted);
}

void AccessibilityWindowMover::windowMovedByHand(const AccessibilityElement& window) {
    // The table's entry stays: it no longer matches the window's frame, so nothing builds on it.
    placementChanged_.emit(window, std::nullopt);
}

void AccessibilityWindowMover::forgetRestoredSize(const AccessibilityElement& window) {
    restoring_.erase(window);
}

bool AccessibilityWindowMover::hasSize(const AccessibilityElement& window, const Size& size) {
    // A setter's success only says the request went through; what counts is the size the
    // window has now, within the tolerance that size increments need.
    const auto frame = windowFrame(accessibility_, window);
    return frame && sizesMatch(frame->size, size);
}

} // namespace tessera
