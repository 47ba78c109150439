#pragma once

#include "../model/Geometry.h"
#include "../model/Signal.h"
#include "ProcessId.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// Whether an application shows in the Dock and can be in front with its own windows (regular),
// only brings up panels or menu-bar items (accessory), or never has a user interface.
enum class ActivationPolicy { regular = 0, accessory = 1, prohibited = 2 };

struct RunningApplication {
    ProcessId processIdentifier = 0;
    // What the exclusions list stores; some applications have none and are never excluded.
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> localizedName;
    ActivationPolicy activationPolicy = ActivationPolicy::regular;

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

// One entry of the on-screen window list, used to find the application the user was working in
// when Tessera starts in front. Layer 0 holds ordinary document windows.
struct WindowListEntry {
    ProcessId ownerPID = 0;
    std::int32_t layer = 0;
    // In the top-left system.
    Rect bounds;

    friend bool operator==(const WindowListEntry&, const WindowListEntry&) = default;
};

// The running applications and the shared services of the desktop.
class Workspace {
public:
    virtual ~Workspace() = default;

    // The application receiving key events, if any.
    virtual std::optional<ProcessId> frontmostApplication() const = 0;
    // Nothing once the process has ended.
    virtual std::optional<RunningApplication> runningApplication(ProcessId process) const = 0;
    // Called on the main loop with the process that has just come to the front (Tessera too).
    [[nodiscard]] virtual Connection
    onDidActivateApplication(std::function<void(ProcessId)> handler) = 0;
    // The system alert sound: the only feedback of a window command that cannot act.
    virtual void beep() = 0;
    // Windows on screen, front to back, without desktop elements (icons, wallpaper).
    virtual std::vector<WindowListEntry> onScreenWindows() const = 0;
    // False when no handler took the address.
    virtual bool openURL(std::string_view url) = 0;
    // Opens the file browser with these items selected; false when no file browser could be
    // started.
    virtual bool revealInFileBrowser(const std::vector<std::filesystem::path>& items) = 0;
};

} // namespace tessera
