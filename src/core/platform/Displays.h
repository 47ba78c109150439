#pragma once

#include "../model/Geometry.h"
#include "../model/Screens.h"
#include "../model/Signal.h"

#include <functional>
#include <optional>
#include <vector>

namespace tessera {

// The connected displays, in the system's order, and the pointer.
class Displays {
public:
    virtual ~Displays() = default;

    virtual std::vector<SystemDisplay> screens() const = 0;
    // The display holding the window that has keyboard focus, else the one with the menu bar;
    // nothing without displays.
    virtual std::optional<SystemDisplay> mainScreen() const = 0;
    // The pointer position in the bottom-left system.
    virtual Point mouseLocation() const = 0;
    // Called after the display configuration changed.
    [[nodiscard]] virtual Connection onChange(std::function<void()> handler) = 0;
};

} // namespace tessera
