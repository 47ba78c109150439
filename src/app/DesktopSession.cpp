#include "DesktopSession.h"

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
    if (asked == "kwin" || !wayland.empty()) {
        return DesktopChoice{DesktopPlatform::kwin, wayland};
    }
    error = "no desktop to serve: Tessera runs on an X11 display (DISPLAY) or in KDE Plasma on "
            "Wayland; choose one with --platform x11|kwin";
    return std::nullopt;
}

const char* qtPlatformFor(DesktopPlatform platform) {
    // The windows live on the same display server as the services: override-redirect and X
    // coordinates on X11, a native Wayland client beside KWin.
    return platform == DesktopPlatform::x11 ? "xcb" : "wayland";
}

std::unique_ptr<DesktopSession> openDesktopSession(const DesktopChoice& choice, Log& log,
                                                   std::string& error) {
    switch (choice.platform) {
    case DesktopPlatform::x11:
        if (auto connection = X11Connection::open(choice.displayName, error)) {
            return std::make_unique<X11Session>(std::move(connection), log);
        }
        return nullptr;
    case DesktopPlatform::kwin:
        // The KWin bridge's ports (src/platform/kwin) come in here: a session over the bridge,
        // whose toScreen is the output's logical geometry, top-left.
        error = "this Wayland session can't be served yet: Tessera needs an X11 session for now "
                "(or --platform x11, which reaches only the windows of X11 applications)";
        return nullptr;
    }
    return nullptr;
}

} // namespace tessera::shell
