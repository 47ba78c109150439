#pragma once

#include "core/model/Signal.h"
#include "core/platform/Displays.h"

#include <string>
#include <vector>

namespace tessera {

// Displays and pointer set by the test. Every setScreens() counts as a configuration change,
// even one that leaves the list as it was, as the platform's notification does.
class SimDisplays final : public Displays {
public:
    SimDisplays() = default;
    explicit SimDisplays(std::vector<SystemDisplay> screens) : screens_(std::move(screens)) {}

    std::vector<SystemDisplay> screens() const override { return screens_; }
    // The display set with setMainScreen, else the first one.
    std::optional<SystemDisplay> mainScreen() const override;
    Point mouseLocation() const override { return mouse_; }
    [[nodiscard]] Connection onChange(std::function<void()> handler) override {
        return changed_.connect(std::move(handler));
    }

    void setScreens(std::vector<SystemDisplay> screens);
    // In the bottom-left system.
    void setMouseLocation(Point bottomLeft) { mouse_ = bottomLeft; }
    // Index into the list of the display with keyboard focus; nothing means the first one.
    void setMainScreen(std::optional<std::size_t> index) { mainIndex_ = index; }

private:
    std::vector<SystemDisplay> screens_;
    Point mouse_;
    std::optional<std::size_t> mainIndex_;
    Signal<> changed_;
};

// Display arrangements that the tests keep coming back to. Frames are bottom-left; the primary
// display is always first with its origin at (0, 0).
namespace simscreens {

// A display whose free area loses a menu bar at the top and a dock at the bottom.
SystemDisplay display(const Rect& frame, std::string name, double scale = 2,
                      double menuBarHeight = 25, double dockHeight = 0);

// A 1440 × 900 built-in display.
std::vector<SystemDisplay> single();
// The built-in display with a 1920 × 1080 display to its right.
std::vector<SystemDisplay> sideBySide();
// The 1920 × 1080 display to the left of the built-in one, at negative x.
std::vector<SystemDisplay> negativeOrigin();
// The 1920 × 1080 display above the built-in one.
std::vector<SystemDisplay> stacked();
// A 1080 × 1920 portrait display to the right of the built-in one, bottoms aligned.
std::vector<SystemDisplay> withPortrait();

} // namespace simscreens

} // namespace tessera
