#include "CompositedDesktop.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <stdexcept>

namespace tessera::screenshots {

namespace {

// A compositing manager owns the selection _NET_WM_CM_S<screen> while it runs.
bool compositorSelectionOwned(x11test::XServer& server) {
    auto* connection = server.connection();
    const auto cookie = xcb_get_selection_owner(connection, server.atom("_NET_WM_CM_S0"));
    auto* reply = xcb_get_selection_owner_reply(connection, cookie, nullptr);
    const bool owned = reply != nullptr && reply->owner != XCB_NONE;
    std::free(reply);
    return owned;
}

} // namespace

CompositedDesktop::CompositedDesktop(int width, int height) {
    server_ = std::make_unique<x11test::XServer>(
        x11test::ServerOptions{width, height, /*windowManager=*/false, {}});
    // A mid-tone background, as a wallpaper would be: light text and dark text both stand out.
    if (server_->run({"xsetroot", "-solid", "#6d7f91"}) != 0) {
        throw std::runtime_error("xsetroot could not set the background of " + display());
    }
    // An empty configuration, so the user's picom.conf (shadows, fading, blur) never applies;
    // the X Render backend, since the server has no GPU.
    compositor_ = std::make_unique<x11test::ChildProcess>(
        std::vector<std::string>{"picom", "--backend", "xrender", "--config", "/dev/null"},
        std::vector<std::string>{"DISPLAY=" + display()});
    const bool up = server_->waitUntil(
        [&] { return compositorSelectionOwned(*server_) || compositor_->waitForExit(0); }, 20);
    if (!up || !compositorRunning()) {
        const auto status = compositor_->waitForExit(0);
        throw std::runtime_error(
            "picom did not start compositing on " + display() +
            (status ? " (it exited with status " + std::to_string(*status) + ")" : "") + ": " +
            compositor_->errorOutput());
    }
}

CompositedDesktop::~CompositedDesktop() {
    compositor_.reset();
    server_.reset();
}

bool CompositedDesktop::compositorRunning() {
    return !compositor_->waitForExit(0) && compositorSelectionOwned(*server_);
}

std::optional<std::string> CompositedDesktop::grabScreen(const std::string& pngPath) {
    // The root window's pixels are what the compositor last drew, overlay included.
    const int status = server_->run({"import", "-window", "root", "png:" + pngPath});
    if (status != 0) {
        return "import -window root exited with status " + std::to_string(status);
    }
    return std::nullopt;
}

} // namespace tessera::screenshots
