#include "DesktopSession.h"

#include "platform/kwin/KWinBridge.h"
#include "platform/kwin/KWinPorts.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/X11Hotkeys.h"
#include "platform/x11/X11InputEvents.h"
#include "platform/x11/X11Windows.h"
#include "platform/x11/X11Workspace.h"

#include <cstdlib>
#include <string_view>

namespace tessera::shell {

namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// One X connection and the ports over it.
class X11Session final : public DesktopSession {
public:
    X11Session(std::unique_ptr<X11Connection> connection, Log& log)
        : connection_(std::move(connection)), windows_(*connection_), displays_(*connection_),
          accessibility_(windows_), workspace_(windows_, log), inputEvents_(*connection_, log),
          hotkeys_(*connection_, log) {
        // One pointer query per input event serves its handlers and the pointer position alike.
        displays_.sharePointer(inputEvents_.sharedPointer());
    }

    Accessibility& accessibility() override { return accessibility_; }
    Workspace& workspace() override { return workspace_; }
    Displays& displays() override { return displays_; }
    InputEvents& inputEvents() override { return inputEvents_; }
    Hotkeys& hotkeys() override { return hotkeys_; }
    bool deliverLocalEvent(const MonitorEvent& event) override {
        return inputEvents_.deliverLocalEvent(event);
    }

    QRect toScreen(const Rect& frame) const override {
        // Bottom-left points to the root window's top-left pixels, through the primary monitor
        // the core measures from.
        const auto primary = connection_->primaryMonitorFrame();
        const Point topLeft{frame.minX(), primary.height() - frame.maxY()};
        const auto root = connection_->toRoot(topLeft);
        return {static_cast<int>(root.x), static_cast<int>(root.y), static_cast<int>(frame.width()),
                static_cast<int>(frame.height())};
    }

    void attach() override { connection_->attachToMainContext(); }

    Connection onLost(std::function<void(const std::string&)> handler) override {
        return connection_->onConnectionLost(
            [handler = std::move(handler)] { handler("lost the connection to the X display"); });
    }

private:
    std::unique_ptr<X11Connection> connection_;
    X11Windows windows_;
    X11Displays displays_;
    X11Accessibility accessibility_;
    X11Workspace workspace_;
    X11InputEvents inputEvents_;
    X11Hotkeys hotkeys_;
};

// KDE Plasma on Wayland: the ports over the KWin script's bridge. Tessera's windows are a Wayland
// client of the same KWin, placed in its logical coordinates.
class KWinSession final : public DesktopSession {
public:
    KWinSession(std::unique_ptr<KWinBridge> bridge, Log& log)
        : bridge_(std::move(bridge)), displays_(*bridge_), accessibility_(*bridge_),
          workspace_(*bridge_, log), inputEvents_(*bridge_), hotkeys_(*bridge_),
          silent_(bridge_->onScriptSilent([&log] {
              log.write("kwin", LogLevel::error,
                        "KWin's script stopped answering; loading it again");
          })) {}

    Accessibility& accessibility() override { return accessibility_; }
    Workspace& workspace() override { return workspace_; }
    Displays& displays() override { return displays_; }
    InputEvents& inputEvents() override { return inputEvents_; }
    Hotkeys& hotkeys() override { return hotkeys_; }
    bool deliverLocalEvent(const MonitorEvent& event) override {
        return inputEvents_.deliverLocalEvent(event);
    }

    QRect toScreen(const Rect& frame) const override {
        const auto placed = displays_.toKWin(frame);
        return {static_cast<int>(placed.minX()), static_cast<int>(placed.minY()),
                static_cast<int>(placed.width()), static_cast<int>(placed.height())};
    }

    // The bridge runs on the default GLib context from its start, which Qt's loop drives.
    void attach() override {}

    Connection onLost(std::function<void(const std::string&)> handler) override {
        // A KWin that leaves the bus and comes back gets the script again; only one that
        // refuses it leaves nothing to serve.
        return bridge_->onAttachFailed([handler = std::move(handler)](const std::string& reason) {
            handler("can't reach KWin: " + reason);
        });
    }

private:
    std::unique_ptr<KWinBridge> bridge_;
    KWinDisplays displays_;
    KWinAccessibility accessibility_;
    KWinWorkspace workspace_;
    KWinInputEvents inputEvents_;
    KWinHotkeys hotkeys_;
    Connection silent_;
};

} // namespace

std::optional<DesktopChoice> chooseDesktop(std::vector<char*>& arguments, std::string& error) {
    std::optional<std::string> asked;
    for (auto it = arguments.begin(); it != arguments.end();) {
        const std::string_view argument = *it;
        if (argument == "--platform" && std::next(it) != arguments.end()) {
            asked = *std::next(it);
            it = arguments.erase(it, std::next(it, 2));
        } else if (argument.starts_with("--platform=")) {
            asked = argument.substr(std::string_view("--platform=").size());
            it = arguments.erase(it);
        } else {
            ++it;
        }
    }
    const auto wayland = environmentValue("WAYLAND_DISPLAY");
    const auto x11 = environmentValue("DISPLAY");
    if (asked && *asked != "x11" && *asked != "kwin") {
        error = "--platform takes x11 or kwin";
        return std::nullopt;
    }
    if (asked == "x11" || (!asked && wayland.empty() && !x11.empty())) {
        return DesktopChoice{DesktopPlatform::x11, x11};
    }
    if (asked == "kwin" || (!wayland.empty() && kwinSessionAvailable())) {
        return DesktopChoice{DesktopPlatform::kwin, wayland};
    }
    error = wayland.empty()
                ? "no desktop to serve: Tessera runs on an X11 display (DISPLAY) or in KDE Plasma "
                  "on Wayland; choose one with --platform x11|kwin"
                : "this Wayland session is not KDE Plasma's (KWin is not on the session bus): "
                  "Tessera serves KDE Plasma on Wayland and X11 sessions; --platform x11 reaches "
                  "only the windows of X11 applications here";
    return std::nullopt;
}

const char* qtPlatformFor(DesktopPlatform platform) {
    // The windows live on the same display server as the services: override-redirect and X
    // coordinates on X11, a native Wayland client beside KWin.
    return platform == DesktopPlatform::x11 ? "xcb" : "wayland";
}

std::unique_ptr<DesktopSession> openDesktopSession(const DesktopChoice& choice, Log& log,
                                                   SessionBus* bus, std::string& error) {
    switch (choice.platform) {
    case DesktopPlatform::x11:
        if (auto connection = X11Connection::open(choice.displayName, error)) {
            return std::make_unique<X11Session>(std::move(connection), log);
        }
        return nullptr;
    case DesktopPlatform::kwin:
        if (bus == nullptr) {
            error = "can't reach KWin: no session bus";
            return nullptr;
        }
        if (auto bridge = KWinBridge::start(*bus, error)) {
            return std::make_unique<KWinSession>(std::move(bridge), log);
        }
        error = "can't reach KWin: " + error;
        return nullptr;
    }
    return nullptr;
}

} // namespace tessera::shell
