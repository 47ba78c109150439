#pragma once

#include "core/platform/AppServices.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessera {

// What a Linux program of Tessera knows of itself. Relaunching starts the program's own command
// line again as a process that first waits for this one to end (so the two never run side by
// side, holding the same hotkeys), then asks this process to quit through the callback.
class LinuxAppServices final : public AppServices {
public:
    struct Callbacks {
        // Ends the process in an orderly way (typically by quitting its main loop).
        std::function<void()> quit;
        // Brings the main window forward; a program without one says so.
        std::function<void()> showMainWindow;
    };

    // commandLine: the arguments of main, program first, started again as they are on
    // relaunch (a program name without a slash is looked up in $PATH).
    LinuxAppServices(std::optional<std::string> version, UserFolders folders,
                     std::vector<std::string> commandLine, Callbacks callbacks);

    std::string bundleIdentifier() const override;
    std::optional<std::string> shortVersionString() const override { return version_; }
    int processIdentifier() const override;
    UserFolders userFolders() const override { return folders_; }
    // When the new process can't be started, this one goes on (quitting would leave the user
    // with nothing running) and the reason is in lastError(). A second relaunch after a
    // successful one does nothing: the quit is already on its way.
    void relaunch() override;
    void showMainWindow() override;

    const std::string& lastError() const { return lastError_; }

private:
    std::optional<std::string> version_;
    UserFolders folders_;
    std::vector<std::string> commandLine_;
    Callbacks callbacks_;
    std::string lastError_;
    bool relaunched_ = false;
};

} // namespace tessera
