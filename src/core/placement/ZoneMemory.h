#pragma once

#include "../model/Json.h"
#include "../model/Records.h"
#include "../model/Screens.h"
#include "../model/Signal.h"
#include "../model/Uuid.h"
#include "../platform/Accessibility.h"
#include "../platform/AppServices.h"
#include "../platform/Scheduler.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tessera {

class AccessibilityWindowMover;
class Defaults;
class Displays;
class LayoutStore;
class Log;
class Scheduler;
class Workspace;
struct Placement;

// A window Tessera put into a zone, as kept across runs: whose it is, how to know it again, and
// where it went.
struct RememberedWindow {
    // The application's identifier, as the ignore list stores it.
    std::string application;
    WindowIdentity identity;
    // ScreenInfo::id of the display the zone was on.
    std::string screenID;
    Uuid layoutID;
    Uuid zoneID;

    friend bool operator==(const RememberedWindow&, const RememberedWindow&) = default;
};

// The file holds at most this many windows; the ones placed longest ago go first.
inline constexpr std::size_t maximumRememberedWindows = 200;
// Larger files are not read at all: written by Tessera, the file stays far below this.
inline constexpr std::size_t maximumWindowsFileBytes = 1024 * 1024;
// A window moved without a drag is judged this long after its last move: when a display leaves,
// its report comes well within this of the moves the window manager makes for it.
inline constexpr double moveSettleSeconds = 1.0;
// Longer texts are cut to this many bytes when written and refused when read.
inline constexpr std::size_t maximumRememberedTextBytes = 1024;

// {"version": 1, "windows": [...]}, oldest first, pretty-printed with sorted keys.
std::string encodeRememberedWindows(const std::vector<RememberedWindow>& windows);
// Strict: anything but that shape, too many windows, a text too long or a file too large makes
// the whole file unreadable.
Decoded<std::vector<RememberedWindow>> decodeRememberedWindows(std::string_view bytes);

// Everything the memory reaches the system and the rest of Tessera through; every reference
// must outlive it.
struct ZoneMemoryContext {
    Accessibility& accessibility;
    Workspace& workspace;
    Displays& displays;
    const Defaults& defaults;
    Scheduler& scheduler;
    Log& log;
    const LayoutStore& store;
    AccessibilityWindowMover& mover;
};

// Remembers which zone each window went into when Tessera put it there, and puts windows back:
// every window of a display that comes back (connected again, or woken) returns to its zone
// while "returnToZonesOnReconnect" is on, and a window that opens and matches one the user
// placed opens in its zone while "openInLastZone" is on. A window the user takes out of its zone
// (by a drag, or by the window manager's own keys while its display is there) or makes fill its
// display is forgotten. Zones and layouts are looked up as they are now: one
// deleted meanwhile is skipped, as are applications on the ignore list.
//
// Windows are known again by application and class with role, else by title. Only a window
// placed in this run, or recognised as it opened, is returned when its display comes back: a
// window open since before Tessera started can't be told from its twins with certainty.
//
// Main thread only.
class ZoneMemory {
public:
    // Reads the file (none: nothing is written, the memory lasts for the run). An unreadable
    // file is copied aside before anything replaces it; without a copy it is left alone and
    // the memory is not written this run.
    ZoneMemory(const ZoneMemoryContext& context, std::optional<std::filesystem::path> file);
    ~ZoneMemory();
    ZoneMemory(const ZoneMemory&) = delete;
    ZoneMemory& operator=(const ZoneMemory&) = delete;

    // "$XDG_STATE_HOME/Tessera/windows.json"; nothing without a state folder.
    static std::optional<std::filesystem::path> defaultFile(const UserFolders& folders);

    // Follows placements, display changes and new windows from now on.
    void start();

    // Oldest first.
    std::vector<RememberedWindow> windows() const;
    const std::optional<std::filesystem::path>& file() const { return file_; }
    // Where the unreadable file found at start was copied to.
    const std::optional<std::filesystem::path>& keptCopy() const { return keptCopy_; }

private:
    struct Entry {
        RememberedWindow record;
        // The window while it is open in this run.
        std::optional<AccessibilityElement> window;
    };

    void load();
    void save();
    void placementChanged(const AccessibilityElement& window,
                          const std::optional<Placement>& placement);
    void displaysChanged();
    void windowAppeared(const AccessibilityElement& window);
    void windowMoved(const AccessibilityElement& window);
    // Forgets the window when it has left its zone while its display stayed.
    void judgeMove(const AccessibilityElement& window);
    // The record's zone as its layout defines it now, and the display it is on; nothing when
    // the zone, the layout or the display is gone.
    std::optional<std::pair<Zone, SystemDisplay>>
    recordedZone(const RememberedWindow& record) const;
    // The window's application identifier when it is not ignored; what is known of the window
    // stands in when the lookup finds nothing.
    std::optional<std::string> placeableApplication(const AccessibilityElement& window,
                                                    const std::optional<std::string>& known);
    // Puts the window into the recorded zone on a turn of the main loop.
    void returnLater(const AccessibilityElement& window, const RememberedWindow& record);
    void returnNow(const AccessibilityElement& window, const RememberedWindow& record);
    std::set<std::string> connectedScreens() const;

    ZoneMemoryContext context_;
    std::optional<std::filesystem::path> file_;
    std::optional<std::filesystem::path> keptCopy_;
    // False after an unreadable file could not be copied: it must not be replaced.
    bool writable_ = true;
    std::vector<Entry> entries_;
    std::set<std::string> connected_;
    // Windows moved lately, waiting to be judged.
    std::unordered_map<AccessibilityElement, JobHandle> settling_;
    std::vector<Connection> connections_;
    std::shared_ptr<const int> lifetime_ = std::make_shared<const int>(0);
};

} // namespace tessera
