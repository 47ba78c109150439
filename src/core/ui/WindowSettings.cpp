#include "WindowSettings.h"

#include "../drag/OverlayModels.h"
#include "../model/StringTables.h"
#include "../placement/AccessibilityWindowMover.h"

#include <algorithm>
#include <cmath>

namespace tessera {

double ControlRange::controlValue(double stored) const {
    if (std::isnan(stored)) {
        return minimum;
    }
    const double within = std::clamp(stored, minimum, maximum);
    const double steps = std::round((within - minimum) / step);
    return std::min(maximum, minimum + steps * step);
}

std::string cardScaleText(double cardScalePercent) {
    return std::to_string(std::llround(cardScaleRange.controlValue(cardScalePercent))) + "%";
}

std::string windowGapText(const Localizer& localizer, double windowGap) {
    return localizedFormat(localizer, "%lld pt",
                           {std::to_string(std::llround(windowGapRange.controlValue(windowGap)))});
}

bool tightEdgesEditable(double windowGap) {
    return windowGap > 0;
}

Size cardPreviewSize(double cardScalePercent) {
    return cardSize(cardPreviewZone.width, cardPreviewZone.height, cardScalePercent);
}

GapPreview gapPreview(double windowGap, bool tightEdges) {
    const Rect display{0, 0, gapPreviewDisplay.width, gapPreviewDisplay.height};
    const GapRule rule{windowGap, tightEdges};
    Zone left;
    left.width = 0.5;
    left.height = 1;
    Zone right = left;
    right.x = 0.5;
    return {gapPreviewDisplay, zoneWindowFrame(left, display, display, rule),
            zoneWindowFrame(right, display, display, rule)};
}

} // namespace tessera
