#pragma once

#include "../app/AppState.h"
#include "../placement/WindowCommand.h"
#include "../platform/ProcessId.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

class Defaults;
class Localizer;
class Workspace;

// The everyday menu (the tray icon's, and the main window's menu button where there is no
// tray), as plain values. Each shell draws these the way its toolkit draws menus.
enum class MenuEntryKind {
    // A line of text that cannot be chosen.
    status,
    // The title of a section.
    heading,
    button,
    // A button with a check mark.
    toggle,
};

// What choosing an entry does.
enum class MenuAction {
    none,
    // Runs `command` on the active window, when there is a hotkey center.
    windowCommand,
    previewZones,
    toggleSnapOnDrag,
    // Adds `bundleIdentifier` to the ignored applications, or takes it out.
    toggleIgnoredApp,
    // Opens the main window at `page`.
    openPage,
    quit,
};

// A key combination beside an entry, in the glyph form the preferences store ("⌃⌥←") and as
// Linux desktops write it ("Ctrl+Alt+←").
struct MenuShortcut {
    std::string text;
    std::string linuxText;
    // As toolkits parse it ("Ctrl+Q"), for the application's own keys only: a menu that is open
    // holds the keyboard, so a shell binds these to the entry to keep them working there. The
    // window commands' keys are global hotkeys and have none.
    std::string keys;

    friend bool operator==(const MenuShortcut&, const MenuShortcut&) = default;
};

struct MenuEntry {
    // Stable across rebuilds and languages: what a shell hands back when the entry is chosen.
    std::string id;
    MenuEntryKind kind = MenuEntryKind::button;
    // Localized.
    std::string title;
    // A symbol name; empty for none.
    std::string symbol;
    MenuAction action = MenuAction::none;
    std::optional<WindowCommand> command;
    std::optional<AppPage> page;
    std::optional<MenuShortcut> shortcut;
    // Explains the entry where the toolkit can (a tooltip); empty for none.
    std::string note;
    bool checked = false;
    bool enabled = true;
    // The application a toggleIgnoredApp entry is about.
    std::string bundleIdentifier;

    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

// Entries of one group; shells draw a separator between groups.
using MenuGroup = std::vector<MenuEntry>;

namespace menuEntryID {
inline constexpr std::string_view status = "status";
inline constexpr std::string_view activeWindow = "activeWindow";
// Followed by the command's raw value: "command.fillScreen".
inline constexpr std::string_view commandPrefix = "command.";
inline constexpr std::string_view previewZones = "previewZones";
inline constexpr std::string_view snapOnDrag = "snapOnDrag";
inline constexpr std::string_view ignoreApp = "ignoreApp";
inline constexpr std::string_view openTessera = "openTessera";
inline constexpr std::string_view editZones = "editZones";
inline constexpr std::string_view settings = "settings";
inline constexpr std::string_view quit = "quit";
} // namespace menuEntryID

struct MenuBarContent {
    std::vector<MenuGroup> groups;

    // The entry with this id; null when the menu has none.
    const MenuEntry* find(std::string_view id) const;

    friend bool operator==(const MenuBarContent&, const MenuBarContent&) = default;
};

// The menu as it stands now: the permission status line; the "Active Window" section with the
// seven window commands in case order, each with its effective shortcut (left out, and said in
// the note, while another program holds its keys, since pressing them would not run it); the
// preview, the
// drag-to-snap switch and, for the last other application in front when it is still running
// and has a bundle identifier, the switch that excludes it from drag-to-snap (disabled while
// drag-to-snap is off); the page commands; Quit. Preferences are read afresh.
MenuBarContent buildMenuBarContent(const PermissionStatus& permissions,
                                   std::optional<ProcessId> lastForeignPID,
                                   const ShortcutsHeldElsewhere& heldElsewhere,
                                   const Workspace& workspace, const Defaults& defaults,
                                   const Localizer& localizer);

// The stored text of "ignoredApps" after switching one application: every copy of the
// identifier goes, the others keep their order, and switching on appends it once at the end.
// Nothing left stores the empty string.
std::string ignoredAppsToggled(std::string_view stored, std::string_view identifier, bool ignore);
// The same, starting from what the preferences hold now.
std::string ignoredAppsToggled(const Defaults& defaults, std::string_view identifier, bool ignore);

// "showsMenuBarIcon": the stored switch, else on. The key has no registered default, so the
// generic reader would answer off for a preference never set.
bool showsMenuBarIcon(const Defaults& defaults);

} // namespace tessera
