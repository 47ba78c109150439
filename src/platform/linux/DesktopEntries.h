#pragma once

#include "XdgFolders.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// The "[Desktop Entry]" group of an XDG desktop entry (a ".desktop" file): how the desktop
// names and starts an application. Its id is what Tessera stores as the application's
// identifier.
struct DesktopEntry {
    // The desktop file id: the path below the applications folder without ".desktop", with the
    // subfolders joined by '-' ("kde4/konsole.desktop" is "kde4-konsole"). Empty for text that
    // was parsed without a file.
    std::string id;
    std::filesystem::path file;
    // "Application", "Link" or "Directory"; empty when the entry has no Type.
    std::string type;
    // Empty when the entry has none (invalid, but the id still names the application).
    std::string name;
    // The command as written, with the escapes of string values undone but the quoting and
    // field codes ("%U") of the command line left for whoever starts it.
    std::string exec;
    std::string icon;
    // The WM_CLASS the application's windows carry, when the entry names it.
    std::string startupWMClass;
    // Kept out of menus; the application is still real and its windows still match.
    bool noDisplay = false;
    // The user deleted the entry: it counts as absent, and hides entries of the same id in
    // later folders.
    bool hidden = false;

    friend bool operator==(const DesktopEntry&, const DesktopEntry&) = default;
};

// Bigger files are refused unread: real entries, translations and all, stay far below.
inline constexpr std::uintmax_t maximumDesktopEntrySize = 1024 * 1024;

// The entry in the text of a desktop file. Nothing, with the reason in *error, when the text
// is no desktop entry: longer than maximumDesktopEntrySize, not UTF-8, holding a NUL byte, or
// without a "[Desktop Entry]" group. Keys of other groups (actions) and localized keys
// ("Name[de]") are ignored; a key given twice keeps its last value. Lines that are neither a
// group, a key nor a comment are skipped.
std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, std::string* error);

// The entry in one file, with the id given. Nothing, with the reason in *error, when the file
// isn't a regular file, is too big, can't be read or holds no desktop entry.
std::optional<DesktopEntry> readDesktopEntryFile(const std::filesystem::path& file, std::string id,
                                                 std::string* error);

// The desktop file id of a ".desktop" file at the path relative to its applications folder;
// empty for other files.
std::string desktopFileId(const std::filesystem::path& relativePath);

// Every entry below the folders (subfolders included), earlier folders first and each
// folder's entries by id. For an id found in several folders only the first folder's file
// counts, and when that one is hidden there is no entry of that id. Files that can't be read
// or parsed are skipped, as are missing folders.
std::vector<DesktopEntry> readDesktopEntries(const std::vector<std::filesystem::path>& folders);

// The application entry for a window's WM_CLASS (instance and class), compared without regard
// to ASCII case: the first whose StartupWMClass is the instance or the class, else the first
// whose id is the instance or the class. The instance is tried before the class in both
// steps: some programs give every window a generic class (all of a browser's web
// applications share the browser's) and tell them apart by the instance. Only entries of Type
// "Application" match.
std::optional<DesktopEntry> findDesktopEntry(const std::vector<DesktopEntry>& entries,
                                             std::string_view instance,
                                             std::string_view windowClass);

// Where desktops keep application entries, most important first: "$XDG_DATA_HOME/applications"
// (default "~/.local/share/applications"), then "applications" in each folder of
// $XDG_DATA_DIRS (default "/usr/local/share:/usr/share"). Relative folders are ignored.
std::vector<std::filesystem::path> applicationFolders(const EnvironmentLookup& getenv);
std::vector<std::filesystem::path> applicationFolders();

// The entries of a set of folders, read once and read again only when a window class isn't
// found and the last reading is older than the interval: applications installed meanwhile
// appear, without every unknown window walking the folders anew.
class DesktopEntryCatalog {
public:
    using Clock = std::chrono::steady_clock;

    explicit DesktopEntryCatalog(std::vector<std::filesystem::path> folders,
                                 Clock::duration rescanInterval = std::chrono::seconds(5));

    std::optional<DesktopEntry> entryForWindowClass(std::string_view instance,
                                                    std::string_view windowClass,
                                                    Clock::time_point now);

    const std::vector<std::filesystem::path>& folders() const { return folders_; }
    // How often the folders have been read; lets tests see the cache at work.
    int readings() const { return readings_; }

private:
    void read(Clock::time_point now);

    std::vector<std::filesystem::path> folders_;
    Clock::duration rescanInterval_;
    std::vector<DesktopEntry> entries_;
    std::optional<Clock::time_point> lastReading_;
    int readings_ = 0;
};

} // namespace tessera
