#pragma once

#include "XServerFixture.h"

#include <memory>
#include <optional>
#include <string>

namespace tessera::screenshots {

// A private X server as a user's desktop looks to Tessera: Xvfb with a compositor (picom), so
// translucent windows such as the overlay are blended over what lies beneath, and a plain
// coloured background in place of a wallpaper. No window manager: windows stay where they ask
// to be. Construction throws std::runtime_error with the reason when the server or the
// compositor does not come up.
class CompositedDesktop {
public:
    CompositedDesktop(int width, int height);
    ~CompositedDesktop();
    CompositedDesktop(const CompositedDesktop&) = delete;
    CompositedDesktop& operator=(const CompositedDesktop&) = delete;

    // ":N"
    const std::string& display() const { return server_->display(); }
    x11test::XServer& server() { return *server_; }
    bool compositorRunning();

    // Saves the screen as shown, compositor included, as a PNG file; the reason when it failed.
    std::optional<std::string> grabScreen(const std::string& pngPath);

private:
    std::unique_ptr<x11test::XServer> server_;
    std::unique_ptr<x11test::ChildProcess> compositor_;
};

} // namespace tessera::screenshots
