#pragma once

#include "../model/Signal.h"
#include "../model/Uuid.h"
#include "AppState.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// Why a request from outside the process (a script, tesseractl) could not be carried out. The
// cases are the kinds a caller may tell apart; the message says which name was wrong.
enum class ControlFailure {
    unknownZone,
    unknownLayout,
    unknownDisplay,
    unknownWindow,
    unknownCommand,
    unknownPage,
    noActiveWindow,
    excluded,
    notMoved,
};

// The stable name of a failure, for error names outside the process ("UnknownZone", ...).
std::string_view failureName(ControlFailure failure);

struct ControlError {
    ControlFailure failure;
    std::string message;

    friend bool operator==(const ControlError&, const ControlError&) = default;
};

// Nothing on success.
using ControlResult = std::optional<ControlError>;

// What a script may ask of the running Tessera, answered the way the application itself acts:
// placements go through the mover as a zone shortcut's do, commands through the one command
// table, assignments through the state, as the Overview makes them. Names given from outside
// are looked up here and nowhere else:
//
// - a zone: its id, or LAYOUT:INDEX with the layout's id or name and the zone's 1-based
//   position in it;
// - a layout: its id or its name (as stored or as shown);
// - a display: its id, its name, or its 1-based position in the system's order;
// - a window: the desktop's own id for it; none means the active window;
// - a command: its stored name ("fillScreen", "zoneLeft", ...);
// - a page: "overview", "zones", "settings", "about", or a Settings pane's name.
//
// Main thread only; the state and the ports must outlive it.
class ControlRequests {
public:
    ControlRequests(AppState& state, const AppPorts& ports);
    ControlRequests(const ControlRequests&) = delete;
    ControlRequests& operator=(const ControlRequests&) = delete;

    // Every display with its frame and free area (top-left system), the layout it shows and
    // that layout's zones with the frame a window gets in each, as JSON text.
    std::string displays() const;
    // Every layout with its zones (rectangles normalized to the free area) and the displays
    // showing it, as JSON text.
    std::string layouts() const;

    // Puts a window (the active one when window is empty) into a zone, on the display a zone
    // shortcut would use.
    ControlResult place(std::string_view zone, std::string_view window = {});
    // Runs a window command on the active window; moved tells whether it moved a window (a
    // command that finds nothing to do is no failure: the shortcut would do nothing either).
    ControlResult perform(std::string_view command, bool* moved = nullptr);
    ControlResult assign(std::string_view display, std::string_view layout);
    void previewZones();
    // An empty page shows the window as it was.
    ControlResult showMainWindow(std::string_view page);

    // A turn of the main loop after the store changed, when the layouts (or assignments) now
    // differ from what they were at the last such announcement.
    [[nodiscard]] Connection onLayoutsChanged(std::function<void()> observer) {
        return layoutsChanged_.connect(std::move(observer));
    }
    [[nodiscard]] Connection onAssignmentsChanged(std::function<void()> observer) {
        return assignmentsChanged_.connect(std::move(observer));
    }
    // Whenever the mover placed a window (a drop, a shortcut, a request): the zone (none when
    // it fills the display) and the display's id.
    [[nodiscard]] Connection
    onPlaced(std::function<void(const std::optional<Uuid>&, const std::string&)> observer) {
        return placed_.connect(std::move(observer));
    }

private:
    struct ZoneTarget {
        Uuid layoutID;
        Zone zone;
    };
    std::optional<ZoneTarget> findZone(std::string_view text, ControlError& error) const;
    std::optional<Layout> findLayout(std::string_view text) const;
    void storeChanged();

    AppState& state_;
    AppPorts ports_;
    std::vector<Layout> knownLayouts_;
    std::map<std::string, Uuid> knownAssignments_;
    bool checkPending_ = false;
    Signal<> layoutsChanged_;
    Signal<> assignmentsChanged_;
    Signal<const std::optional<Uuid>&, const std::string&> placed_;
    std::vector<Connection> connections_;
    std::shared_ptr<const int> lifetime_ = std::make_shared<const int>(0);
};

} // namespace tessera
