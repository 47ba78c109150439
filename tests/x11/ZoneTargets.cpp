#include "ZoneTargets.h"

#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"

#include <unistd.h>

#include <cmath>
#include <string>

namespace tessera::x11test {

namespace fs = std::filesystem;

Pixel pixelAt(Point p) {
    return {static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))};
}

Rect onPixels(const Rect& r) {
    return {std::round(r.minX()), std::round(r.minY()), std::round(r.width()),
            std::round(r.height())};
}

std::vector<ZoneTarget> zoneTargets(const std::vector<SystemDisplay>& screens,
                                    const fs::path& layoutsFile,
                                    const DefaultsDomain& preferences) {
    const auto copy =
        fs::temp_directory_path() / ("tessera-layouts-" + std::to_string(::getpid()) + ".json");
    fs::copy_file(layoutsFile, copy, fs::copy_options::overwrite_existing);
    const LayoutStore store(copy);
    std::error_code ignored;
    fs::remove(copy, ignored);
    SimDefaults defaults(preferences);
    registerPreferenceDefaults(defaults);
    const auto cardScale = preferenceDouble(defaults, prefs::cardScale);
    const Rect primary = primaryDisplay(screens).frame;

    std::vector<ZoneTarget> result;
    for (const auto& display : screens) {
        const auto layout = store.layoutFor(makeScreenInfo(display));
        for (const auto& zone : layout.zones) {
            const Rect area = toTopLeft(zoneRect(zone, display.visibleFrame), primary);
            const Point centre{area.minX() + area.width() / 2, area.minY() + area.height() / 2};
            const auto pixel = pixelAt(centre);
            const auto hit = cardHitTest(
                layout.zones, display.visibleFrame,
                toBottomLeft(Point{double(pixel.x), double(pixel.y)}, primary), cardScale);
            if (!hit || hit->id != zone.id) {
                // Its centre lies under a smaller zone's card.
                continue;
            }
            result.push_back(
                {zone, centre,
                 zoneWindowFrame(zone, display.visibleFrame, primary, gapRule(defaults))});
        }
    }
    return result;
}

} // namespace tessera::x11test
