#pragma once

#include "../app/AppState.h"

#include <array>
#include <optional>
#include <string_view>

namespace tessera {

// How a page or a pane is named in the page picker and in the Settings list. The title is a
// localization key; the icon a symbol name that each shell draws in its own way.
struct PageInfo {
    std::string_view rawValue;
    std::string_view title;
    std::string_view icon;
};

inline constexpr std::array<AppPage, 4> allAppPages{AppPage::overview, AppPage::zones,
                                                    AppPage::settings, AppPage::about};
inline constexpr std::array<SettingsPane, 5> allSettingsPanes{
    SettingsPane::general, SettingsPane::windows, SettingsPane::keyboard, SettingsPane::exclusions,
    SettingsPane::permissions};

constexpr PageInfo info(AppPage page) {
    switch (page) {
    case AppPage::overview:
        return {"overview", "Overview", "rectangle.3.group"};
    case AppPage::zones:
        return {"zones", "Zones", "rectangle.split.3x3"};
    case AppPage::settings:
        return {"settings", "Settings", "gearshape"};
    case AppPage::about:
        return {"about", "About", "person.crop.circle"};
    }
    return {};
}

constexpr PageInfo info(SettingsPane pane) {
    switch (pane) {
    case SettingsPane::general:
        return {"general", "General", "gearshape"};
    case SettingsPane::windows:
        return {"windows", "Windows", "macwindow.on.rectangle"};
    case SettingsPane::keyboard:
        return {"keyboard", "Keyboard", "command"};
    case SettingsPane::exclusions:
        return {"exclusions", "Exclusions", "nosign"};
    case SettingsPane::permissions:
        return {"permissions", "Permissions", "lock.shield"};
    }
    return {};
}

constexpr std::optional<AppPage> appPageFromRaw(std::string_view raw) {
    for (auto page : allAppPages) {
        if (info(page).rawValue == raw) {
            return page;
        }
    }
    return std::nullopt;
}

constexpr std::optional<SettingsPane> settingsPaneFromRaw(std::string_view raw) {
    for (auto pane : allSettingsPanes) {
        if (info(pane).rawValue == raw) {
            return pane;
        }
    }
    return std::nullopt;
}

// The Permissions row carries this instead of its own icon while a permission is missing.
inline constexpr std::string_view missingPermissionIcon = "exclamationmark.circle.fill";

// Whether the "Access Needed" badge and the overview's warning card show.
constexpr bool accessNeeded(const PermissionStatus& permissions) {
    return !(permissions.accessibility && permissions.inputMonitoring);
}

} // namespace tessera
