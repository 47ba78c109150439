#pragma once

// Helpers shared by the tests of the window mover, the window commands and the X11 backend.

#include "core/model/Geometry.h"
#include "core/model/Records.h"
#include "core/model/Uuid.h"

#include <ostream>
#include <string>

namespace tessera {

// Readable failures for frames.
inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.minX() << ", " << r.minY() << ", " << r.width() << ", " << r.height() << ")";
}
inline void PrintTo(const Point& p, std::ostream* os) {
    *os << "(" << p.x << ", " << p.y << ")";
}

} // namespace tessera

namespace placementtest {

inline tessera::Zone zone(double x, double y, double width, double height, std::string name = {}) {
    tessera::Zone z;
    z.id = tessera::Uuid::random();
    z.name = std::move(name);
    z.x = x;
    z.y = y;
    z.width = width;
    z.height = height;
    return z;
}

// Frames compared to within floating-point noise: every value here comes out of fractions of
// a display, so a last-bit difference is no fault.
inline bool sameFrame(const tessera::Rect& a, const tessera::Rect& b) {
    const auto near = [](double u, double v) { return u - v < 1e-9 && v - u < 1e-9; };
    return near(a.minX(), b.minX()) && near(a.minY(), b.minY()) && near(a.width(), b.width()) &&
           near(a.height(), b.height());
}

} // namespace placementtest
