#include "ControlRequests.h"

#include "../hotkeys/HotkeyCenter.h"
#include "../model/Screens.h"
#include "../placement/AccessibilityWindowMover.h"
#include "../placement/WindowAccess.h"
#include "../platform/Displays.h"
#include "../platform/Workspace.h"
#include "../store/DisplayNames.h"
#include "../store/LayoutStore.h"
#include "../ui/Pages.h"
#include "Preferences.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>

namespace tessera {

namespace {

using nlohmann::json;

json frameJson(const Rect& r) {
    return {{"x", r.minX()}, {"y", r.minY()}, {"width", r.width()}, {"height", r.height()}};
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

ControlError failed(ControlFailure failure, std::string message) {
    return {failure, std::move(message)};
}

// A 1-based position written as plain digits; nothing for anything else.
std::optional<std::size_t> position(std::string_view text) {
    std::size_t value = 0;
    const auto* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || rest != end || value == 0) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string_view failureName(ControlFailure failure) {
    switch (failure) {
    case ControlFailure::unknownZone:
        return "UnknownZone";
    case ControlFailure::unknownLayout:
        return "UnknownLayout";
    case ControlFailure::unknownDisplay:
        return "UnknownDisplay";
    case ControlFailure::unknownWindow:
        return "UnknownWindow";
    case ControlFailure::unknownCommand:
        return "UnknownCommand";
    case ControlFailure::unknownPage:
        return "UnknownPage";
    case ControlFailure::noActiveWindow:
        return "NoActiveWindow";
    case ControlFailure::excluded:
        return "Excluded";
    case ControlFailure::notMoved:
        return "NotMoved";
    }
    return "Failed";
}

ControlRequests::ControlRequests(AppState& state, const AppPorts& ports)
    : state_(state), ports_(ports), knownLayouts_(state.store().layouts()),
      knownAssignments_(state.store().assignments()) {
    connections_.push_back(state_.store().onWillChange([this] {
        // The store announces before it changes; what changed is known a turn later.
        if (std::exchange(checkPending_, true)) {
            return;
        }
        const std::weak_ptr<const int> alive = lifetime_;
        ports_.scheduler.post([this, alive] {
            if (alive.lock()) {
                storeChanged();
            }
        });
    }));
    connections_.push_back(state_.mover().onPlacementChange(
        [this](const AccessibilityElement&, const std::optional<Placement>& placement) {
            if (placement) {
                placed_.emit(placement->zoneID, placement->screenID);
            }
        }));
}

void ControlRequests::storeChanged() {
    checkPending_ = false;
    const auto& store = state_.store();
    if (store.layouts() != knownLayouts_) {
        knownLayouts_ = store.layouts();
        layoutsChanged_.emit();
    }
    if (store.assignments() != knownAssignments_) {
        knownAssignments_ = store.assignments();
        assignmentsChanged_.emit();
    }
}

std::string ControlRequests::displays() const {
    const auto& store = state_.store();
    const auto screens = ports_.displays.screens();
    json list = json::array();
    if (!screens.empty()) {
        const auto primary = primaryDisplay(screens).frame;
        for (const auto& screen : screens) {
            const auto info = makeScreenInfo(screen);
            const auto layout = store.layoutFor(info);
            json zones = json::array();
            for (std::size_t i = 0; i < layout.zones.size(); ++i) {
                const auto& zone = layout.zones[i];
                zones.push_back(
                    {{"id", zone.id.string()},
                     {"index", i + 1},
                     {"name", displayName(zone.id, zone.name, ports_.localizer)},
                     {"frame", frameJson(state_.mover().zoneWindowFrame(zone, screen))}});
            }
            list.push_back({{"id", info.id},
                            {"name", info.name},
                            {"frame", frameJson(toTopLeft(screen.frame, primary))},
                            {"visibleFrame", frameJson(toTopLeft(screen.visibleFrame, primary))},
                            {"layout",
                             {{"id", layout.id.string()},
                              {"name", displayName(layout.id, layout.name, ports_.localizer)}}},
                            {"zones", std::move(zones)}});
        }
    }
    return json{{"displays", std::move(list)}}.dump(2);
}

std::string ControlRequests::layouts() const {
    const auto& store = state_.store();
    const auto screens = makeScreenInfos(ports_.displays.screens());
    json list = json::array();
    for (const auto& layout : store.layouts()) {
        json zones = json::array();
        for (std::size_t i = 0; i < layout.zones.size(); ++i) {
            const auto& zone = layout.zones[i];
            zones.push_back(
                {{"id", zone.id.string()},
                 {"index", i + 1},
                 {"name", displayName(zone.id, zone.name, ports_.localizer)},
                 {"rect",
                  {{"x", zone.x}, {"y", zone.y}, {"width", zone.width}, {"height", zone.height}}}});
        }
        json shownOn = json::array();
        for (const auto& screen : screens) {
            if (store.layoutFor(screen).id == layout.id) {
                shownOn.push_back(screen.id);
            }
        }
        list.push_back({{"id", layout.id.string()},
                        {"name", displayName(layout.id, layout.name, ports_.localizer)},
                        {"zones", std::move(zones)},
                        {"displays", std::move(shownOn)}});
    }
    return json{{"layouts", std::move(list)}}.dump(2);
}

std::optional<Layout> ControlRequests::findLayout(std::string_view text) const {
    const auto& layouts = state_.store().layouts();
    if (const auto id = Uuid::parse(text)) {
        if (const auto it = std::ranges::find(layouts, *id, &Layout::id); it != layouts.end()) {
            return *it;
        }
    }
    for (const auto& layout : layouts) {
        if (layout.name == text || displayName(layout.id, layout.name, ports_.localizer) == text) {
            return layout;
        }
    }
    return std::nullopt;
}

std::optional<ControlRequests::ZoneTarget> ControlRequests::findZone(std::string_view text,
                                                                     ControlError& error) const {
    if (const auto id = Uuid::parse(text)) {
        for (const auto& layout : state_.store().layouts()) {
            if (const auto it = std::ranges::find(layout.zones, *id, &Zone::id);
                it != layout.zones.end()) {
                return ZoneTarget{layout.id, *it};
            }
        }
    }
    // Layout names may hold a colon; the position never does.
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        error = failed(ControlFailure::unknownZone,
                       "unknown zone " + quoted(text) + " (give a zone id or LAYOUT:INDEX)");
        return std::nullopt;
    }
    const auto layoutText = text.substr(0, colon);
    const auto layout = findLayout(layoutText);
    if (!layout) {
        error = failed(ControlFailure::unknownLayout, "unknown layout " + quoted(layoutText));
        return std::nullopt;
    }
    const auto index = position(text.substr(colon + 1));
    if (!index || *index > layout->zones.size()) {
        error = failed(ControlFailure::unknownZone, "unknown zone " + quoted(text) + ": layout " +
                                                        quoted(layoutText) + " has zones 1 to " +
                                                        std::to_string(layout->zones.size()));
        return std::nullopt;
    }
    return ZoneTarget{layout->id, layout->zones[*index - 1]};
}

ControlResult ControlRequests::place(std::string_view zone, std::string_view window) {
    ControlError error{ControlFailure::unknownZone, {}};
    const auto target = findZone(zone, error);
    if (!target) {
        return error;
    }
    std::optional<AccessibilityElement> element;
    if (window.empty()) {
        element = activeWindow(ports_.accessibility, ports_.workspace, state_.ownPID(),
                               state_.lastForeignPID());
        if (!element) {
            return failed(ControlFailure::noActiveWindow, "no active window");
        }
    } else {
        element = ports_.accessibility.windowWithSystemID(window);
        if (!element || !windowFrame(ports_.accessibility, *element)) {
            return failed(ControlFailure::unknownWindow, "unknown window " + quoted(window));
        }
    }
    // The rules drag-to-snap follows: never Tessera's own windows nor an excluded application.
    const auto process = ports_.accessibility.processId(*element);
    if (process && *process == state_.ownPID()) {
        return failed(ControlFailure::excluded, "the window is one of Tessera's own");
    }
    if (const auto application =
            process ? ports_.workspace.runningApplication(*process) : std::nullopt;
        application && application->bundleIdentifier) {
        const auto ignored = ignoredApps(ports_.defaults);
        if (std::ranges::find(ignored, *application->bundleIdentifier) != ignored.end()) {
            return failed(ControlFailure::excluded, "the window's application (" +
                                                        *application->bundleIdentifier +
                                                        ") is excluded");
        }
    }
    const auto display = displayForLayout(target->layoutID, state_.store(), ports_.displays);
    if (!display) {
        return failed(ControlFailure::unknownDisplay, "no display is connected");
    }
    if (!state_.mover().placeInZone(*element, target->zone, *display)) {
        return failed(ControlFailure::notMoved, "the window did not move");
    }
    return std::nullopt;
}

ControlResult ControlRequests::perform(std::string_view command, bool* moved) {
    const auto known = windowCommandFromRaw(command);
    if (!known) {
        std::string names;
        for (const auto each : allWindowCommands) {
            names += (names.empty() ? "" : ", ") + std::string(rawValue(each));
        }
        return failed(ControlFailure::unknownCommand,
                      "unknown command " + quoted(command) + " (one of " + names + ")");
    }
    if (!activeWindow(ports_.accessibility, ports_.workspace, state_.ownPID(),
                      state_.lastForeignPID())) {
        return failed(ControlFailure::noActiveWindow, "no active window");
    }
    const bool done =
        state_.mover().perform(*known, state_.store(), state_.ownPID(), state_.lastForeignPID());
    if (moved != nullptr) {
        *moved = done;
    }
    return std::nullopt;
}

ControlResult ControlRequests::assign(std::string_view display, std::string_view layout) {
    const auto screens = state_.screens();
    const auto index = position(display);
    auto screen = std::ranges::find_if(
        screens, [&](const ScreenInfo& s) { return s.id == display || s.name == display; });
    if (screen == screens.end() && index && *index <= screens.size()) {
        screen = screens.begin() + static_cast<std::ptrdiff_t>(*index - 1);
    }
    if (screen == screens.end()) {
        return failed(ControlFailure::unknownDisplay, "unknown display " + quoted(display));
    }
    const auto found = findLayout(layout);
    if (!found) {
        return failed(ControlFailure::unknownLayout, "unknown layout " + quoted(layout));
    }
    state_.assignLayout(found->id, *screen);
    return std::nullopt;
}

void ControlRequests::previewZones() {
    state_.previewZones();
}

ControlResult ControlRequests::showMainWindow(std::string_view page) {
    if (!page.empty()) {
        if (const auto known = appPageFromRaw(page)) {
            state_.setPage(*known);
        } else if (const auto pane = settingsPaneFromRaw(page)) {
            state_.setPage(AppPage::settings);
            state_.setSettingsPane(*pane);
        } else {
            return failed(ControlFailure::unknownPage, "unknown page " + quoted(page));
        }
    }
    state_.showMainWindow();
    return std::nullopt;
}

} // namespace tessera
