#include "DragOverlayController.h"

#include "../app/Preferences.h"
#include "../store/DisplayNames.h"
#include "../store/LayoutStore.h"

#include <algorithm>
#include <set>
#include <utility>

namespace tessera {

namespace {

// Radius of a card's corners, and its limit for small cards.
constexpr double maxCardCornerRadius = 20;
// Squared points by which a corner test may miss and still count: keeps a point sitting on the
// curve itself (up to rounding) inside the card.
constexpr double cornerSlack = 0.5;

Rect centredRect(const Rect& around, Size size) {
    return {around.minX() + (around.width() - size.width) / 2,
            around.minY() + (around.height() - size.height) / 2, size.width, size.height};
}

} // namespace

bool pointInRoundedCard(Point q, const Rect& card) {
    const double cw = card.width();
    const double ch = card.height();
    if (!(cw > 0) || !(ch > 0)) {
        return false;
    }
    if (!card.contains(q)) {
        return false;
    }
    const double r = std::min(std::min(cw, ch) / 2, maxCardCornerRadius);
    const bool inNarrowedX = q.x >= card.minX() + r && q.x <= card.maxX() - r;
    const bool inNarrowedY = q.y >= card.minY() + r && q.y <= card.maxY() - r;
    if (inNarrowedX || inNarrowedY) {
        return true;
    }
    // In one of the corner squares: measure from that corner's centre.
    const double cx = q.x < card.minX() + r ? card.minX() + r : card.maxX() - r;
    const double cy = q.y < card.minY() + r ? card.minY() + r : card.maxY() - r;
    const double dx = q.x - cx;
    const double dy = q.y - cy;
    return dx * dx + dy * dy <= r * r + cornerSlack;
}

std::optional<Zone> cardHitTest(const std::vector<Zone>& zones, const Rect& visibleFrame, Point q,
                                double cardScalePercent) {
    const Zone* best = nullptr;
    double bestArea = 0;
    for (const auto& zone : zones) {
        const Rect z = zoneRect(zone, visibleFrame);
        const Size card = cardSize(z.width(), z.height(), cardScalePercent);
        if (!pointInRoundedCard(q, centredRect(z, card))) {
            continue;
        }
        const double area = card.width * card.height;
        // Strictly smaller only: of equal cards the earliest in the layout stays.
        if (best == nullptr || area < bestArea) {
            best = &zone;
            bestArea = area;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return *best;
}

DragOverlayController::DragOverlayController(Displays& displays, Scheduler& scheduler,
                                             const Localizer& localizer, const Defaults& defaults,
                                             OverlaySurfaceFactory& surfaceFactory)
    : displays_(displays), scheduler_(scheduler), localizer_(localizer), defaults_(defaults),
      surfaceFactory_(surfaceFactory) {}

// Pending jobs need no cancelling: they hold lifetime_ weakly and are dropped once it is gone.
DragOverlayController::~DragOverlayController() = default;

void DragOverlayController::show(const LayoutStore& store, std::optional<Uuid> hoveredID) {
    hideTask_.cancel();
    isVisible_ = true;
    for (auto* panel : syncSurfaces(store)) {
        panel->orderFront();
    }
    for (auto& [key, surface] : surfaces_) {
        if (surface.state->hoveredID() != hoveredID) {
            surface.state->setHoveredID(hoveredID);
        }
    }
    // The panels are on screen with the states still invisible; turning them visible on a later
    // turn lets the views animate from the hidden look instead of appearing at once.
    scheduler_.after(fadeInDelay, lifetime_, [this] {
        if (!isVisible_) {
            return;
        }
        for (auto& [key, surface] : surfaces_) {
            if (!surface.state->visible()) {
                surface.state->setVisible(true);
            }
        }
    });
}

void DragOverlayController::prepare(const LayoutStore& store) {
    if (!isVisible_) {
        syncSurfaces(store);
    }
}

void DragOverlayController::hide() {
    if (!isVisible_) {
        return;
    }
    isVisible_ = false;
    for (auto& [key, surface] : surfaces_) {
        if (surface.state->visible()) {
            surface.state->setVisible(false);
        }
    }
    hideTask_.cancel();
    // The views fade out on their own; the panels stay until that has ended.
    hideTask_ = scheduler_.after(orderOutDelay, lifetime_, [this] {
        if (isVisible_) {
            return;
        }
        for (auto& [key, surface] : surfaces_) {
            surface.panel->orderOut();
            if (surface.state->hoveredID()) {
                surface.state->setHoveredID(std::nullopt);
            }
        }
    });
}

void DragOverlayController::setHoveredID(std::optional<Uuid> id) {
    if (!isVisible_) {
        return;
    }
    for (auto& [key, surface] : surfaces_) {
        if (surface.state->hoveredID() != id) {
            surface.state->setHoveredID(id);
        }
    }
}

std::optional<DropTarget> DragOverlayController::dropTarget(Point topLeft,
                                                            const LayoutStore& store) const {
    const auto screens = displays_.screens();
    const auto index = displayIndexUnder(topLeft, screens);
    if (!index) {
        return std::nullopt;
    }
    const SystemDisplay& display = screens[*index];
    const Layout layout = store.layoutFor(makeScreenInfo(display));
    const Point q = toBottomLeft(topLeft, primaryDisplay(screens).frame);
    auto zone = cardHitTest(layout.zones, display.visibleFrame, q, cardScalePercent());
    if (!zone) {
        return std::nullopt;
    }
    return DropTarget{display, std::move(*zone)};
}

Size DragOverlayController::cardSize(double width, double height) const {
    return tessera::cardSize(width, height, cardScalePercent());
}

const DragOverlayController::Surface*
DragOverlayController::surface(const std::string& displayID) const {
    const auto it = surfaces_.find(SurfaceKey{displayID, 0});
    return it == surfaces_.end() ? nullptr : &it->second;
}

double DragOverlayController::cardScalePercent() const {
    return preferenceDouble(defaults_, prefs::cardScale);
}

OverlayScreenModel DragOverlayController::screenModel(const SystemDisplay& display,
                                                      const ScreenInfo& info,
                                                      const LayoutStore& store) const {
    OverlayScreenModel model;
    model.id = info.id;
    model.screenFrame = display.frame;
    model.visibleFrame = display.visibleFrame;
    const auto zones = drawingOrder(store.layoutFor(info).zones);
    model.zones.reserve(zones.size());
    for (const auto& zone : zones) {
        model.zones.push_back({zone.id, displayName(zone.id, zone.name, localizer_),
                               Rect(zone.x, zone.y, zone.width, zone.height)});
    }
    return model;
}

std::vector<OverlaySurface*> DragOverlayController::syncSurfaces(const LayoutStore& store) {
    const auto screens = displays_.screens();

    std::vector<SurfaceKey> keys;
    std::vector<ScreenInfo> infos;
    keys.reserve(screens.size());
    infos.reserve(screens.size());
    std::map<std::string, std::size_t> seen;
    for (const auto& display : screens) {
        auto info = makeScreenInfo(display);
        keys.push_back({info.id, seen[info.id]++});
        infos.push_back(std::move(info));
    }

    const std::set<SurfaceKey> present(keys.begin(), keys.end());
    for (auto it = surfaces_.begin(); it != surfaces_.end();) {
        if (present.contains(it->first)) {
            ++it;
            continue;
        }
        it->second.panel->orderOut();
        it = surfaces_.erase(it);
    }

    std::vector<OverlaySurface*> panels;
    panels.reserve(screens.size());
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const SystemDisplay& display = screens[i];
        auto model = screenModel(display, infos[i], store);
        auto it = surfaces_.find(keys[i]);
        if (it != surfaces_.end()) {
            if (it->second.state->screen() != model) {
                it->second.state->setScreen(std::move(model));
            }
        } else {
            auto state = std::make_shared<OverlayState>(std::move(model));
            auto panel = surfaceFactory_.makeSurface(display.frame, state);
            it = surfaces_.emplace(keys[i], Surface{std::move(panel), std::move(state)}).first;
        }
        OverlaySurface& panel = *it->second.panel;
        if (panel.frame() != display.frame) {
            panel.setFrame(display.frame);
        }
        panels.push_back(&panel);
    }
    return panels;
}

} // namespace tessera
