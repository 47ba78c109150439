#pragma once

#include "../model/Geometry.h"
#include "../model/Signal.h"
#include "../model/Uuid.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessera {

// One zone as the overlay shows it.
struct OverlayZoneModel {
    Uuid id;
    // The zone's display name (built-in names already in the current language).
    std::string name;
    // The zone's x, y, width and height as stored: fractions of the free area, y from the top.
    Rect normalized;

    friend bool operator==(const OverlayZoneModel&, const OverlayZoneModel&) = default;
};

// What one display's overlay shows.
struct OverlayScreenModel {
    // The display identifier (ScreenInfo::id).
    std::string id;
    // The display's frame and free area, bottom-left system.
    Rect screenFrame;
    Rect visibleFrame;
    // The display's layout in drawing order: largest area first, so small zones land on top.
    std::vector<OverlayZoneModel> zones;

    friend bool operator==(const OverlayScreenModel&, const OverlayScreenModel&) = default;
};

// The three values one overlay view draws from, as a plain value.
struct OverlayStateSnapshot {
    OverlayScreenModel screen;
    std::optional<Uuid> hoveredID;
    // Drives the appear and disappear animations.
    bool visible = false;

    friend bool operator==(const OverlayStateSnapshot&, const OverlayStateSnapshot&) = default;
};

// The observable state of one display's overlay. The controller writes it; the view bound to the
// panel reads it and redraws on every announced assignment. Every setter announces, even when the
// value is unchanged, so the controller is the one that avoids needless assignments (and tests
// can count them).
class OverlayState {
public:
    enum class Field { screen, hoveredID, visible };

    // A new state shows the given screen, with nothing hovered, not yet visible.
    explicit OverlayState(OverlayScreenModel screen) { values_.screen = std::move(screen); }
    OverlayState(const OverlayState&) = delete;
    OverlayState& operator=(const OverlayState&) = delete;

    const OverlayScreenModel& screen() const { return values_.screen; }
    const std::optional<Uuid>& hoveredID() const { return values_.hoveredID; }
    bool visible() const { return values_.visible; }
    const OverlayStateSnapshot& snapshot() const { return values_; }

    void setScreen(OverlayScreenModel screen) {
        values_.screen = std::move(screen);
        changed_.emit(Field::screen);
    }
    void setHoveredID(std::optional<Uuid> id) {
        values_.hoveredID = id;
        changed_.emit(Field::hoveredID);
    }
    void setVisible(bool visible) {
        values_.visible = visible;
        changed_.emit(Field::visible);
    }

    // Called after every assignment, with the field that was assigned.
    [[nodiscard]] Connection onChange(std::function<void(Field)> observer) {
        return changed_.connect(std::move(observer));
    }

private:
    OverlayStateSnapshot values_;
    Signal<Field> changed_;
};

// The "cardScale" preference (a percentage) as the factor cards are drawn at: 0.6 up to 60
// percent, the percentage itself up to 160, 1.6 beyond. A value that is not a number counts as
// the default 100 percent; taken literally it would make every card, and so every drop target,
// vanish.
inline double cardScaleFromPercent(double cardScalePercent) {
    if (std::isnan(cardScalePercent)) {
        return 1.0;
    }
    if (cardScalePercent <= 60) {
        return 0.6;
    }
    return std::min(cardScalePercent, 160.0) / 100.0;
}

// The size of the card drawn centred in a zone of width × height points, and the area in which a
// drop lands on that zone. The base is 42 % of the width within 132...260 and 28 % of the height
// within 64...110, scaled by the card scale; the card stays 16 points smaller than the zone but
// never below 48 × 32. cardScalePercent is the raw "cardScale" preference.
inline Size cardSize(double width, double height, double cardScalePercent) {
    const double s = cardScaleFromPercent(cardScalePercent);
    // Written as comparisons rather than std::clamp so that a zone whose size is not a number
    // yields a card that is not a number either, which no hit test accepts.
    double baseWidth = 0.42 * width;
    if (baseWidth <= 132) {
        baseWidth = 132;
    } else if (baseWidth > 260) {
        baseWidth = 260;
    }
    double baseHeight = 0.28 * height;
    if (baseHeight <= 64) {
        baseHeight = 64;
    } else if (baseHeight > 110) {
        baseHeight = 110;
    }
    const double roomWidth = (width - 16 > 48 || std::isnan(width)) ? width - 16 : 48;
    const double roomHeight = (height - 16 > 32 || std::isnan(height)) ? height - 16 : 32;
    return {std::min(roomWidth, s * baseWidth), std::min(roomHeight, s * baseHeight)};
}

} // namespace tessera
