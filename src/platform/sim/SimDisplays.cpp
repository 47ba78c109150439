#include "SimDisplays.h"

#include <utility>

namespace tessera {

void SimDisplays::setScreens(std::vector<SystemDisplay> screens) {
    screens_ = std::move(screens);
    changed_.emit();
}

std::optional<SystemDisplay> SimDisplays::mainScreen() const {
    if (screens_.empty()) {
        return std::nullopt;
    }
    if (mainIndex_ && *mainIndex_ < screens_.size()) {
        return screens_[*mainIndex_];
    }
    return screens_.front();
}

namespace simscreens {

namespace {

constexpr Rect builtInFrame{0, 0, 1440, 900};

SystemDisplay builtIn() {
    return display(builtInFrame, "Built-in Retina Display", 2, 25, 0);
}

SystemDisplay external(double x, double y) {
    // Menu bar only on the primary display; a dock on the external one keeps its free area
    // distinct from its frame at the bottom too.
    return display({x, y, 1920, 1080}, "External Display", 1, 0, 70);
}

} // namespace

SystemDisplay display(const Rect& frame, std::string name, double scale, double menuBarHeight,
                      double dockHeight) {
    SystemDisplay d;
    d.frame = frame;
    d.visibleFrame = {frame.minX(), frame.minY() + dockHeight, frame.width(),
                      frame.height() - menuBarHeight - dockHeight};
    d.scale = scale;
    d.name = std::move(name);
    return d;
}

std::vector<SystemDisplay> single() {
    return {builtIn()};
}

std::vector<SystemDisplay> sideBySide() {
    return {builtIn(), external(builtInFrame.maxX(), 0)};
}

std::vector<SystemDisplay> negativeOrigin() {
    return {builtIn(), external(-1920, 0)};
}

std::vector<SystemDisplay> stacked() {
    return {builtIn(), external(0, builtInFrame.maxY())};
}

std::vector<SystemDisplay> withPortrait() {
    return {builtIn(), display({builtInFrame.maxX(), 0, 1080, 1920}, "Portrait Display", 2, 0, 0)};
}

} // namespace simscreens

} // namespace tessera
