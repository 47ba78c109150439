#pragma once

#include "core/model/Geometry.h"
#include "core/model/Signal.h"
#include "core/platform/Accessibility.h"
#include "core/platform/Displays.h"
#include "core/platform/Hotkeys.h"
#include "core/platform/InputEvents.h"
#include "core/platform/Log.h"
#include "core/platform/Workspace.h"

#include <QRect>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessera {
class SessionBus;
}

namespace tessera::shell {

enum class DesktopPlatform { x11, kwin };

// The desktop the program serves and the name of its display, which keys the single instance.
struct DesktopChoice {
    DesktopPlatform platform;
    std::string displayName;
};

// "--platform x11|kwin" (or "--platform=…") when given, removed from the arguments: Qt would
// take it for its own option and look for a platform plugin of that name. Otherwise KWin inside
// a Plasma Wayland session (KWin on the session bus), X11 where there is an X display and no
// Wayland session. Nothing, with a
// message for the user, when there is neither or the option is wrong.
std::optional<DesktopChoice> chooseDesktop(std::vector<char*>& arguments, std::string& error);

// The Qt platform plugin the windows must use beside that desktop's services.
const char* qtPlatformFor(DesktopPlatform platform);

// The ports of one desktop for the application state and the shell, the place of a display on
// it for the overlay's windows, and its events on the main context.
class DesktopSession {
public:
    virtual ~DesktopSession() = default;

    virtual Accessibility& accessibility() = 0;
    virtual Workspace& workspace() = 0;
    virtual Displays& displays() = 0;
    virtual InputEvents& inputEvents() = 0;
    virtual Hotkeys& hotkeys() = 0;
    // Hands a key press made in one of Tessera's own windows to the local event monitors (the
    // shortcut recorder listens there). True when a monitor swallowed it.
    virtual bool deliverLocalEvent(const MonitorEvent& event) = 0;
    // A display frame (bottom-left system, points) as the desktop places windows.
    virtual QRect toScreen(const Rect& frame) const = 0;
    // Once the state has started: the desktop's events begin to reach the ports.
    virtual void attach() = 0;
    // Told, with the reason, when the desktop goes away under the program.
    [[nodiscard]] virtual Connection onLost(std::function<void(const std::string&)> handler) = 0;
};

// The session for the chosen desktop, or nothing with a message for the user. KWin's bridge
// needs the session bus (which must outlive the session) and claims its name.
std::unique_ptr<DesktopSession> openDesktopSession(const DesktopChoice& choice, Log& log,
                                                   SessionBus* bus, std::string& error);

} // namespace tessera::shell
