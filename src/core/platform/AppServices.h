#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tessera {

// The folders of the user that the core reads and writes.
struct UserFolders {
    std::filesystem::path home;
    // Where application data lives ("Application Support"; $XDG_DATA_HOME on Linux). Absent
    // when the system names none; callers then fall back to the temporary folder.
    std::optional<std::filesystem::path> applicationSupport;
    // Where the preferences file lives ($XDG_CONFIG_HOME on Linux).
    std::filesystem::path preferences;
    std::filesystem::path temporary;
    // Where state worth keeping across runs but not worth backing up lives ($XDG_STATE_HOME on
    // Linux). Absent when there is none: such state then lasts only for the run.
    std::optional<std::filesystem::path> state;
};

// What the application knows of itself.
class AppServices {
public:
    virtual ~AppServices() = default;

    virtual std::string bundleIdentifier() const = 0;
    virtual std::optional<std::string> shortVersionString() const = 0;
    virtual int processIdentifier() const = 0;
    virtual UserFolders userFolders() const = 0;
    // Starts a new instance that waits for this one to end, then ends this one.
    virtual void relaunch() = 0;
    // Brings the main window forward.
    virtual void showMainWindow() = 0;
};

} // namespace tessera
