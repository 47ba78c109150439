#pragma once

#include "../model/Geometry.h"
#include "../model/Uuid.h"
#include "OverlayModels.h"

#include <optional>
#include <string>
#include <vector>

namespace tessera {

// What one display's overlay must draw, as plain numbers: the user interface only draws this
// and runs the animations it names. All rectangles are in view coordinates (origin at the view's
// top-left corner, y down, points). Colours are black and the system accent colour; the model
// gives their opacities.

enum class ColorScheme { light, dark };

enum class AnimationKind { easeIn, easeOut, spring };

// How a property animates when it changes. Springs use response and dampingFraction, timing
// curves use duration; delay applies to both.
struct OverlayAnimation {
    AnimationKind kind = AnimationKind::spring;
    double response = 0;
    double dampingFraction = 0;
    double duration = 0;
    double delay = 0;

    friend bool operator==(const OverlayAnimation&, const OverlayAnimation&) = default;
};

struct OverlayShadow {
    // Black at this opacity.
    double opacity = 0;
    double radius = 0;
    // Positive y is down.
    Point offset;

    friend bool operator==(const OverlayShadow&, const OverlayShadow&) = default;
};

// The accent-coloured rounded rectangle that grows from the card to fill the hovered zone.
struct ZoneHighlightRender {
    // Centred on the zone.
    Rect rect;
    // Continuous-corner rounded rectangle.
    double cornerRadius = 0;
    // Accent colour at these opacities; the stroke lies inside the shape.
    double fillOpacity = 0;
    double strokeOpacity = 0;
    double strokeWidth = 2;
    // Of the whole highlight.
    double opacity = 0;
    // Runs when the zone becomes hovered or stops being hovered.
    OverlayAnimation hoverAnimation;

    friend bool operator==(const ZoneHighlightRender&, const ZoneHighlightRender&) = default;
};

// The glass tile bearing the zone's name.
struct ZoneCardRender {
    // Centred on the zone, before scale and offset. May overhang a small zone.
    Rect rect;
    // Drawn as given, not localized again; centred, lines centred, semibold system font.
    std::string name;
    double fontSize = 14;
    double horizontalPadding = 16;
    // Continuous-corner rounded rectangle of the glass background and border.
    double cornerRadius = 20;
    // Accent colour over the glass at this opacity; none for the plain glass.
    std::optional<double> tintOpacity;
    // Accent-coloured border inside the shape.
    double borderOpacity = 0;
    double borderWidth = 2;
    OverlayShadow shadow;
    // About the card's centre.
    double scale = 1;
    // Points down.
    double verticalOffset = 0;
    double opacity = 0;
    // Runs when the overlay becomes visible (staggered by the zone's position) or invisible;
    // the one for the direction that led to this render.
    OverlayAnimation visibilityAnimation;
    // Runs when the zone becomes hovered or stops being hovered.
    OverlayAnimation hoverAnimation;

    friend bool operator==(const ZoneCardRender&, const ZoneCardRender&) = default;
};

struct ZoneRender {
    Uuid id;
    // The zone itself in view coordinates.
    Rect zoneRect;
    bool hovered = false;
    ZoneHighlightRender highlight;
    ZoneCardRender card;

    friend bool operator==(const ZoneRender&, const ZoneRender&) = default;
};

struct OverlayRender {
    // Black over the whole view at this opacity.
    double backdropOpacity = 0;
    // Runs when the overlay becomes visible or invisible; the one for the direction that led to
    // this render.
    OverlayAnimation backdropAnimation;
    // The display's free area in view coordinates.
    Rect freeArea;
    // Back to front: the highlight of a zone, then its card, zone by zone.
    std::vector<ZoneRender> zones;

    friend bool operator==(const OverlayRender&, const OverlayRender&) = default;
};

struct OverlayRenderInput {
    OverlayStateSnapshot state;
    ColorScheme colorScheme = ColorScheme::light;
    // The system's Reduce Motion setting: cards neither scale nor slide and highlights keep
    // the zone's size.
    bool reduceMotion = false;
    // The raw "cardScale" preference, a percentage (clamped as cardScaleFromPercent says).
    double cardScale = 100;
    // The view covers the whole display.
    Size viewSize;

    friend bool operator==(const OverlayRenderInput&, const OverlayRenderInput&) = default;
};

// Seconds between the appear animations of consecutive zones, and their limit.
inline constexpr double overlayStaggerStep = 0.025;
inline constexpr double overlayStaggerLimit = 0.15;

// Everything one overlay view draws. Pure: equal inputs give equal renders.
OverlayRender renderOverlay(const OverlayRenderInput& input);

// The display's free area in view coordinates; the whole view when the display frame has no
// positive size.
Rect overlayFreeArea(const OverlayScreenModel& screen, Size viewSize);

} // namespace tessera
