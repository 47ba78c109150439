#include "Templates.h"

#include <utility>

namespace tessera {

namespace {

constexpr double third = 1.0 / 3.0;
constexpr double twoThirds = 2.0 / 3.0;

LayoutPreset preset(const char* id, Orientation orientation, const char* title,
                    std::vector<PresetZone> zones) {
    return LayoutPreset{id, orientation, title, std::move(zones)};
}

} // namespace

const std::vector<LayoutPreset>& LayoutPreset::all() {
    using enum Orientation;
    static const std::vector<LayoutPreset> presets{
        preset("halves", horizontal, "Halves", {{"Left", 0, 0, 0.5, 1}, {"Right", 0.5, 0, 0.5, 1}}),
        preset("thirds", horizontal, "Thirds",
               {{"Left", 0, 0, third, 1},
                {"Center", third, 0, third, 1},
                {"Right", twoThirds, 0, third, 1}}),
        preset("focus", horizontal, "Focus Center",
               {{"Left", 0, 0, 0.25, 1}, {"Focus", 0.25, 0, 0.5, 1}, {"Right", 0.75, 0, 0.25, 1}}),
        preset("halvesCenter", horizontal, "Halves + Center",
               {{"Left", 0, 0, 0.5, 1}, {"Right", 0.5, 0, 0.5, 1}, {"Center", 0.2, 0.1, 0.6, 0.8}}),
        preset("quarters", horizontal, "Quarters",
               {{"Top Left", 0, 0, 0.5, 0.5},
                {"Top Right", 0.5, 0, 0.5, 0.5},
                {"Bottom Left", 0, 0.5, 0.5, 0.5},
                {"Bottom Right", 0.5, 0.5, 0.5, 0.5}}),
        preset("mainSidebar", horizontal, "Main + Sidebar",
               {{"Main", 0, 0, 0.7, 1}, {"Sidebar", 0.7, 0, 0.3, 1}}),
        preset("mainStack", horizontal, "Main + Stack",
               {{"Main", 0, 0, 0.6, 1},
                {"Top Right", 0.6, 0, 0.4, 0.5},
                {"Bottom Right", 0.6, 0.5, 0.4, 0.5}}),
        preset("stackMain", horizontal, "Stack + Main",
               {{"Top Left", 0, 0, 0.4, 0.5},
                {"Bottom Left", 0, 0.5, 0.4, 0.5},
                {"Main", 0.4, 0, 0.6, 1}}),
        preset("sixGrid", horizontal, "Six Grid",
               {{"Top Left", 0, 0, third, 0.5},
                {"Top Center", third, 0, third, 0.5},
                {"Top Right", twoThirds, 0, third, 0.5},
                {"Bottom Left", 0, 0.5, third, 0.5},
                {"Bottom Center", third, 0.5, third, 0.5},
                {"Bottom Right", twoThirds, 0.5, third, 0.5}}),
        preset("fourColumns", horizontal, "Four Columns",
               {{"Column 1", 0, 0, 0.25, 1},
                {"Column 2", 0.25, 0, 0.25, 1},
                {"Column 3", 0.5, 0, 0.25, 1},
                {"Column 4", 0.75, 0, 0.25, 1}}),
        preset("developer", horizontal, "Developer",
               {{"Browser", 0, 0, 0.3, 1},
                {"Editor", 0.3, 0, 0.4, 1},
                {"Terminal", 0.7, 0, 0.3, 0.5},
                {"Chat", 0.7, 0.5, 0.3, 0.5}}),
        preset("meeting", horizontal, "Meeting",
               {{"Call", 0, 0, 0.6, 1}, {"Notes", 0.6, 0, 0.4, 0.6}, {"Chat", 0.6, 0.6, 0.4, 0.4}}),
        preset("pictureInPicture", horizontal, "Picture in Picture",
               {{"Main", 0, 0, 1, 1}, {"Corner", 0.7, 0.65, 0.3, 0.35}}),
        preset("rows", vertical, "Rows",
               {{"Top", 0, 0, 1, third},
                {"Middle", 0, third, 1, third},
                {"Bottom", 0, twoThirds, 1, third}}),
        preset("verticalHalves", vertical, "Vertical Halves",
               {{"Top", 0, 0, 1, 0.5}, {"Bottom", 0, 0.5, 1, 0.5}}),
        preset("readerChat", vertical, "Reader + Chat",
               {{"Main", 0, 0, 1, 0.65}, {"Chat", 0, 0.65, 1, 0.35}}),
        preset("topTwo", vertical, "Top + Two",
               {{"Top", 0, 0, 1, 0.5},
                {"Bottom Left", 0, 0.5, 0.5, 0.5},
                {"Bottom Right", 0.5, 0.5, 0.5, 0.5}}),
        preset("fourRows", vertical, "Four Rows",
               {{"Row 1", 0, 0, 1, 0.25},
                {"Row 2", 0, 0.25, 1, 0.25},
                {"Row 3", 0, 0.5, 1, 0.25},
                {"Row 4", 0, 0.75, 1, 0.25}}),
        preset(
            "verticalCenter", vertical, "Stack + Center",
            {{"Top", 0, 0, 1, 0.5}, {"Bottom", 0, 0.5, 1, 0.5}, {"Center", 0.1, 0.25, 0.8, 0.5}}),
    };
    return presets;
}

Layout makeLayout(const LayoutPreset& preset, const Localizer& localizer) {
    Layout layout{Uuid::random(), localizer.localized(preset.title), {}};
    layout.zones.reserve(preset.zones.size());
    for (const auto& zone : preset.zones) {
        layout.zones.push_back(Zone{Uuid::random(), localizer.localized(zone.name), zone.x, zone.y,
                                    zone.width, zone.height, std::nullopt});
    }
    return layout;
}

std::vector<Orientation> presetSectionOrder(const std::optional<ScreenInfo>& screen) {
    if (screen && screen->isPortrait()) {
        return {Orientation::vertical, Orientation::horizontal};
    }
    return {Orientation::horizontal, Orientation::vertical};
}

std::map<std::string, Layout> makePresetPreviews(const Localizer& localizer) {
    std::map<std::string, Layout> previews;
    for (const auto& preset : LayoutPreset::all()) {
        previews.emplace(preset.id, makeLayout(preset, localizer));
    }
    return previews;
}

} // namespace tessera
