#pragma once

#include <algorithm>

namespace tessera {

// Points, sizes and rectangles in points, in whichever of the two global systems the caller
// names (see Coordinates.h). Rectangles are never normalized implicitly.
struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}

    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }
    double width() const { return size.width; }
    double height() const { return size.height; }

    // Half-open containment: the maximum x and y edges lie outside, so neighbouring displays
    // never both contain a point on their shared edge.
    bool contains(Point p) const {
        return size.width > 0 && size.height > 0 && p.x >= minX() && p.x < maxX() &&
               p.y >= minY() && p.y < maxY();
    }

    // Grows (negative d) or shrinks (positive d) the rectangle on every side.
    Rect insetBy(double dx, double dy) const {
        return {origin.x + dx, origin.y + dy, size.width - 2 * dx, size.height - 2 * dy};
    }

    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace tessera
