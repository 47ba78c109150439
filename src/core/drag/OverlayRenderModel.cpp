#include "OverlayRenderModel.h"

#include <algorithm>

namespace tessera {

namespace {

OverlayAnimation spring(double response, double dampingFraction, double delay = 0) {
    return {AnimationKind::spring, response, dampingFraction, 0, delay};
}

OverlayAnimation timed(AnimationKind kind, double duration) {
    return {kind, 0, 0, duration, 0};
}

Rect centred(const Rect& around, double width, double height) {
    return {around.minX() + (around.width() - width) / 2,
            around.minY() + (around.height() - height) / 2, width, height};
}

} // namespace

Rect overlayFreeArea(const OverlayScreenModel& screen, Size viewSize) {
    const Rect& s = screen.screenFrame;
    const Rect& v = screen.visibleFrame;
    if (!(s.width() > 0) || !(s.height() > 0)) {
        return {0, 0, viewSize.width, viewSize.height};
    }
    return {(v.minX() - s.minX()) / s.width() * viewSize.width,
            (s.maxY() - v.maxY()) / s.height() * viewSize.height,
            v.width() / s.width() * viewSize.width, v.height() / s.height() * viewSize.height};
}

OverlayRender renderOverlay(const OverlayRenderInput& input) {
    const auto& state = input.state;
    const bool dark = input.colorScheme == ColorScheme::dark;
    const bool visible = state.visible;
    const bool reduceMotion = input.reduceMotion;

    OverlayRender render;
    render.backdropOpacity = (dark ? 0.42 : 0.16) * (visible ? 1 : 0);
    render.backdropAnimation =
        visible ? timed(AnimationKind::easeOut, 0.22) : timed(AnimationKind::easeIn, 0.16);
    render.freeArea = overlayFreeArea(state.screen, input.viewSize);

    const Rect& r = render.freeArea;
    render.zones.reserve(state.screen.zones.size());
    for (std::size_t i = 0; i < state.screen.zones.size(); ++i) {
        const auto& zone = state.screen.zones[i];
        const Rect& n = zone.normalized;
        const Rect z(r.minX() + n.minX() * r.width(), r.minY() + n.minY() * r.height(),
                     n.width() * r.width(), n.height() * r.height());
        const Size card = cardSize(z.width(), z.height(), input.cardScale);
        const bool hovered = visible && state.hoveredID == zone.id;
        const bool expanded = hovered || reduceMotion;

        ZoneRender out;
        out.id = zone.id;
        out.zoneRect = z;
        out.hovered = hovered;

        auto& h = out.highlight;
        h.rect = expanded
                     ? centred(z, std::max(24.0, z.width() - 18), std::max(24.0, z.height() - 18))
                     : centred(z, card.width, card.height);
        h.cornerRadius = expanded ? 28 : 20;
        h.fillOpacity = dark ? 0.16 : 0.10;
        h.strokeOpacity = dark ? 0.85 : 0.70;
        h.strokeWidth = 2;
        h.opacity = hovered ? 1 : 0;
        h.hoverAnimation = spring(0.36, 0.86);

        auto& c = out.card;
        c.rect = centred(z, card.width, card.height);
        c.name = zone.name;
        if (hovered) {
            c.tintOpacity = dark ? 0.42 : 0.28;
        }
        c.borderOpacity = hovered ? 1 : 0;
        c.shadow = hovered ? OverlayShadow{0.28, 16, {0, 8}} : OverlayShadow{0.14, 8, {0, 4}};
        if (reduceMotion) {
            c.scale = 1;
        } else if (!visible) {
            c.scale = 0.9;
        } else {
            c.scale = hovered ? 1.06 : 1.0;
        }
        c.verticalOffset = (!visible && !reduceMotion) ? 10 : 0;
        c.opacity = visible ? 1 : 0;
        const double stagger =
            std::min(overlayStaggerLimit, static_cast<double>(i) * overlayStaggerStep);
        c.visibilityAnimation =
            visible ? spring(0.38, 0.8, stagger) : timed(AnimationKind::easeIn, 0.16);
        c.hoverAnimation = spring(0.3, 0.78);

        render.zones.push_back(std::move(out));
    }
    return render;
}

} // namespace tessera
