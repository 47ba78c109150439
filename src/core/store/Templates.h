#pragma once

#include "../model/Records.h"
#include "../platform/Localizer.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessera {

enum class Orientation { horizontal, vertical };

struct PresetZone {
    std::string name; // localization key
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const PresetZone&, const PresetZone&) = default;
};

// A named arrangement of zones offered when the user creates a layout.
struct LayoutPreset {
    std::string id;
    Orientation orientation = Orientation::horizontal;
    std::string title; // localization key
    std::vector<PresetZone> zones;

    // The nineteen templates in their fixed order.
    static const std::vector<LayoutPreset>& all();

    friend bool operator==(const LayoutPreset&, const LayoutPreset&) = default;
};

// A new layout from a template: fresh ids, names localized now (they stay as stored if the
// language changes later), no shortcuts.
Layout makeLayout(const LayoutPreset& preset, const Localizer& localizer);

// The order of the template sheet's sections: vertical first on a portrait display.
std::vector<Orientation> presetSectionOrder(const std::optional<ScreenInfo>& screen);

// The sheet's previews, one layout per template, keyed by template id.
std::map<std::string, Layout> makePresetPreviews(const Localizer& localizer);

} // namespace tessera
