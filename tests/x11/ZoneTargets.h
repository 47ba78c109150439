#pragma once

#include "core/model/Geometry.h"
#include "core/model/Records.h"
#include "core/model/Screens.h"
#include "core/platform/Defaults.h"

#include <filesystem>
#include <vector>

namespace tessera::x11test {

// One zone as tesseractl should treat it: where its card's centre is and which frame a window
// dropped there gets. Top-left system, which is the X screen's.
struct ZoneTarget {
    Zone zone;
    Point cardCentre;
    Rect windowFrame;
};

// A point on the screen in whole pixels, as XTest moves the pointer.
struct Pixel {
    int x = 0;
    int y = 0;
};

Pixel pixelAt(Point p);

// A frame in whole pixels: X places windows on pixels, so a frame the core computes with a
// fraction lands on the nearest one.
Rect onPixels(const Rect& r);

// Every zone of every display whose card centre is a drop target for that zone, computed by the
// core's own rules from the layouts file tesseractl uses (read from a copy, so tesseractl's own
// file is never written) and its preferences.
std::vector<ZoneTarget> zoneTargets(const std::vector<SystemDisplay>& screens,
                                    const std::filesystem::path& layoutsFile,
                                    const DefaultsDomain& preferences);

} // namespace tessera::x11test
