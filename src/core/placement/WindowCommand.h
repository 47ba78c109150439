#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tessera {

// The seven window commands. Case order is significant: it gives the hotkey identifiers and
// the order of every list of commands.
enum class WindowCommand {
    fillScreen,
    zoneLeft,
    zoneRight,
    zoneUp,
    zoneDown,
    previousDisplay,
    nextDisplay
};

inline constexpr std::array<WindowCommand, 7> allWindowCommands{
    WindowCommand::fillScreen, WindowCommand::zoneLeft, WindowCommand::zoneRight,
    WindowCommand::zoneUp,     WindowCommand::zoneDown, WindowCommand::previousDisplay,
    WindowCommand::nextDisplay};

struct WindowCommandInfo {
    std::string_view rawValue;
    std::string_view title; // localization key
    std::string_view symbol;
    std::uint32_t defaultKeyCode;
    std::uint32_t defaultCarbonModifiers;
};

constexpr WindowCommandInfo info(WindowCommand command) {
    switch (command) {
    case WindowCommand::fillScreen:
        return {"fillScreen", "Fill Screen", "arrow.up.left.and.arrow.down.right", 36, 0x900};
    case WindowCommand::zoneLeft:
        return {"zoneLeft", "Zone to the Left", "arrow.left.square", 123, 0x1800};
    case WindowCommand::zoneRight:
        return {"zoneRight", "Zone to the Right", "arrow.right.square", 124, 0x1800};
    case WindowCommand::zoneUp:
        return {"zoneUp", "Zone Above", "arrow.up.square", 126, 0x1800};
    case WindowCommand::zoneDown:
        return {"zoneDown", "Zone Below", "arrow.down.square", 125, 0x1800};
    case WindowCommand::previousDisplay:
        return {"previousDisplay", "Previous Display", "rectangle.lefthalf.inset.filled.arrow.left",
                123, 0x1900};
    case WindowCommand::nextDisplay:
        return {"nextDisplay", "Next Display", "rectangle.righthalf.inset.filled.arrow.right", 124,
                0x1900};
    }
    return {};
}

constexpr std::string_view rawValue(WindowCommand command) {
    return info(command).rawValue;
}

constexpr std::optional<WindowCommand> windowCommandFromRaw(std::string_view raw) {
    for (auto command : allWindowCommands) {
        if (rawValue(command) == raw) {
            return command;
        }
    }
    return std::nullopt;
}

} // namespace tessera
