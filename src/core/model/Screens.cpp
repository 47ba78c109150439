#include "Screens.h"

#include <algorithm>
#include <cmath>

namespace tessera {

std::int64_t roundedPoints(double value) {
    return static_cast<std::int64_t>(std::round(value));
}

ScreenInfo makeScreenInfo(const SystemDisplay& display) {
    const auto& f = display.frame;
    const auto& v = display.visibleFrame;
    ScreenInfo info;
    info.scale = display.scale;
    info.pointWidth = roundedPoints(f.width());
    info.pointHeight = roundedPoints(f.height());
    info.pixelWidth = roundedPoints(display.scale * f.width());
    info.pixelHeight = roundedPoints(display.scale * f.height());
    info.name = display.name;
    info.id = std::to_string(info.pointWidth) + "x" + std::to_string(info.pointHeight) + "|" +
              display.name + "|" + std::to_string(info.pixelWidth) + "x" +
              std::to_string(info.pixelHeight);
    if (f.width() > 0 && f.height() > 0) {
        info.visibleInsets.top = (f.maxY() - v.maxY()) / f.height();
        info.visibleInsets.left = (v.minX() - f.minX()) / f.width();
        info.visibleInsets.bottom = (v.minY() - f.minY()) / f.height();
        info.visibleInsets.right = (f.maxX() - v.maxX()) / f.width();
    }
    return info;
}

std::vector<ScreenInfo> makeScreenInfos(const std::vector<SystemDisplay>& displays) {
    std::vector<ScreenInfo> infos;
    infos.reserve(displays.size());
    for (const auto& display : displays) {
        infos.push_back(makeScreenInfo(display));
    }
    return infos;
}

const SystemDisplay& primaryDisplay(const std::vector<SystemDisplay>& displays) {
    const auto it = std::find_if(displays.begin(), displays.end(), [](const SystemDisplay& d) {
        return d.frame.origin.x == 0 && d.frame.origin.y == 0;
    });
    return it != displays.end() ? *it : displays.front();
}

Point toTopLeft(Point p, const Rect& primary) {
    return {p.x, primary.maxY() - p.y};
}
Point toBottomLeft(Point p, const Rect& primary) {
    return {p.x, primary.maxY() - p.y};
}

Rect toTopLeft(const Rect& r, const Rect& primary) {
    return {r.minX(), primary.maxY() - r.maxY(), r.width(), r.height()};
}

Rect toBottomLeft(const Rect& r, const Rect& primary) {
    return {r.minX(), primary.maxY() - r.maxY(), r.width(), r.height()};
}

std::optional<std::size_t> displayIndexUnder(Point topLeft,
                                             const std::vector<SystemDisplay>& displays) {
    if (displays.empty()) {
        return std::nullopt;
    }
    const auto p = toBottomLeft(topLeft, primaryDisplay(displays).frame);
    for (std::size_t i = 0; i < displays.size(); ++i) {
        if (displays[i].frame.contains(p)) {
            return i;
        }
    }
    for (std::size_t i = 0; i < displays.size(); ++i) {
        if (displays[i].frame.insetBy(-2, -2).contains(p)) {
            return i;
        }
    }
    return std::nullopt;
}

Rect zoneRect(const Zone& zone, const Rect& v) {
    return {v.minX() + zone.x * v.width(), v.minY() + v.height() * (1 - zone.y - zone.height),
            zone.width * v.width(), zone.height * v.height()};
}

std::vector<Zone> drawingOrder(std::vector<Zone> zones) {
    std::stable_sort(zones.begin(), zones.end(), [](const Zone& a, const Zone& b) {
        return a.width * a.height > b.width * b.height;
    });
    return zones;
}

} // namespace tessera
