#pragma once

#include "../model/Geometry.h"

#include <string>

namespace tessera {

class Localizer;

// The range a numeric control of the Windows pane moves in.
struct ControlRange {
    double minimum = 0;
    double maximum = 0;
    double step = 1;

    // What the control shows for a stored value and what it writes: kept within the range and
    // on the nearest step from the minimum. A value that is not a number shows as the minimum,
    // the only reading that never makes a control claim a setting it cannot reach.
    double controlValue(double stored) const;

    friend bool operator==(const ControlRange&, const ControlRange&) = default;
};

// "cardScale" in percent and "windowGap" in points as their controls move.
inline constexpr ControlRange cardScaleRange{60, 160, 10};
inline constexpr ControlRange windowGapRange{0, 40, 2};

// The slider's label: the card scale as a whole percentage ("100%").
std::string cardScaleText(double cardScalePercent);

// The stepper's label: "%lld pt" with the gap in whole points.
std::string windowGapText(const Localizer& localizer, double windowGap);

// "No gap at screen edges" only means something while there is a gap; without one the toggle
// is off limits and keeps whatever it stored.
bool tightEdgesEditable(double windowGap);

// The zone the card preview stands for: a zone the size of a large display, so that its card
// shows the whole range of the scale rather than being cut by the zone's own size.
inline constexpr Size cardPreviewZone{1280, 720};

// The card drawn in the preview at a card scale (the raw "cardScale" percentage).
Size cardPreviewSize(double cardScalePercent);

// The gap preview: a display of this size in points with two windows side by side, each placed
// into its half exactly as the window mover would place it.
inline constexpr Size gapPreviewDisplay{640, 400};

struct GapPreview {
    Size display = gapPreviewDisplay;
    // In the top-left system of the preview display.
    Rect left;
    Rect right;

    friend bool operator==(const GapPreview&, const GapPreview&) = default;
};

GapPreview gapPreview(double windowGap, bool tightEdges);

} // namespace tessera
