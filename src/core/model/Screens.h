#pragma once

#include "Geometry.h"
#include "Records.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tessera {

// A display as the platform reports it. Frames are in the bottom-left system: origin at the
// primary display's bottom-left corner, y growing upward.
struct SystemDisplay {
    Rect frame;
    Rect visibleFrame;
    double scale = 1;
    std::string name;

    friend bool operator==(const SystemDisplay&, const SystemDisplay&) = default;
};

// Rounds halves away from zero, as every size in a display identifier is rounded.
std::int64_t roundedPoints(double value);

ScreenInfo makeScreenInfo(const SystemDisplay& display);
// One ScreenInfo per display, in the platform's order.
std::vector<ScreenInfo> makeScreenInfos(const std::vector<SystemDisplay>& displays);

// The first display whose frame origin is exactly (0, 0), else the first display.
// Must not be called with an empty list.
const SystemDisplay& primaryDisplay(const std::vector<SystemDisplay>& displays);

// Conversions between the bottom-left system (display frames, pointer) and the top-left system
// (window frames, event locations), both through the primary display's frame.
Point toTopLeft(Point bottomLeft, const Rect& primaryFrame);
Point toBottomLeft(Point topLeft, const Rect& primaryFrame);
Rect toTopLeft(const Rect& bottomLeft, const Rect& primaryFrame);
Rect toBottomLeft(const Rect& topLeft, const Rect& primaryFrame);

// Index of the display under a top-left point: the first frame containing it, else the first
// frame grown by 2 points on every side (points on the outer edges of the arrangement).
std::optional<std::size_t> displayIndexUnder(Point topLeft,
                                             const std::vector<SystemDisplay>& displays);

// A zone's rectangle on a display's visible frame, in the bottom-left system.
Rect zoneRect(const Zone& zone, const Rect& visibleFrame);

// Largest area first; zones of equal area keep their layout order.
std::vector<Zone> drawingOrder(std::vector<Zone> zones);

} // namespace tessera
