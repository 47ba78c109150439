#pragma once

#include "../model/Geometry.h"
#include "../model/Signal.h"
#include "ProcessId.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tessera {

// One accessibility element: an application, a window or anything inside a window. Backends
// hand out the same id for the same element however it was reached (under a point, as a
// parent, as an application's focused window), because placements are remembered per window
// across separate lookups. Ids are not reused within a run, so a handle kept for a closed window
// never comes to name another one; its reads simply fail.
struct AccessibilityElement {
    std::uint64_t id = 0;

    friend bool operator==(const AccessibilityElement&, const AccessibilityElement&) = default;
};

// What recognises a window again once it has been closed and opened anew, or after a restart:
// the class its application gives it, its role among that application's windows, and its
// title. Any of them is empty where the platform has none.
struct WindowIdentity {
    std::string windowClass;
    std::string role;
    std::string title;

    friend bool operator==(const WindowIdentity&, const WindowIdentity&) = default;
};

// The outcome of an accessibility call. The values are the platform's own error codes, kept so
// diagnostics print the number a developer can look up. Callers treat anything but success as
// "no value".
enum class AccessibilityStatus : std::int32_t {
    success = 0,
    failure = -25200,
    illegalArgument = -25201,
    invalidElement = -25202,
    cannotComplete = -25204,
    attributeUnsupported = -25205,
    actionUnsupported = -25206,
    notImplemented = -25208,
    apiDisabled = -25211,
    noValue = -25212,
};

// An attribute's value. Positions are in the top-left system; an element-valued attribute
// ("AXParent", "AXFocusedWindow") holds an element, "AXWindows" a list.
using AttributeValue = std::variant<Point, Size, bool, std::string, AccessibilityElement,
                                    std::vector<AccessibilityElement>>;

struct AttributeResult {
    AccessibilityStatus status = AccessibilityStatus::noValue;
    std::optional<AttributeValue> value;

    // What every caller relies on: a success status and a value.
    bool ok() const { return status == AccessibilityStatus::success && value.has_value(); }
};

struct ElementResult {
    AccessibilityStatus status = AccessibilityStatus::noValue;
    std::optional<AccessibilityElement> element;
};

// Attribute and action names, spelled as the platform spells them.
namespace ax {
inline constexpr std::string_view position = "AXPosition";
inline constexpr std::string_view size = "AXSize";
inline constexpr std::string_view role = "AXRole";
inline constexpr std::string_view parent = "AXParent";
inline constexpr std::string_view fullScreen = "AXFullScreen";
inline constexpr std::string_view focusedWindow = "AXFocusedWindow";
inline constexpr std::string_view mainWindow = "AXMainWindow";
inline constexpr std::string_view windows = "AXWindows";
inline constexpr std::string_view windowRole = "AXWindow";
inline constexpr std::string_view raiseAction = "AXRaise";
} // namespace ax

// Reading, moving and raising other applications' windows. Every call fails while the process
// is not trusted; calls are synchronous and may block briefly on a slow application. Calls are
// non-const because each one is an exchange with another process, not a read of our own state.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    virtual AttributeResult copyAttribute(const AccessibilityElement& element,
                                          std::string_view attribute) = 0;
    virtual AccessibilityStatus setAttribute(const AccessibilityElement& element,
                                             std::string_view attribute,
                                             const AttributeValue& value) = 0;
    virtual AccessibilityStatus performAction(const AccessibilityElement& element,
                                              std::string_view action) = 0;
    // Moves and sizes a window in one go: the frame's origin in the top-left system and its size,
    // as the user sees the window. One intent rather than separate position and size writes, so a
    // backend can hand the whole frame to whoever applies it in one request. The window may take
    // something close to it (size increments, a minimum size, clamping by the system): success
    // means the window took the frame or changed towards it; cannotComplete that it kept the
    // frame it had.
    virtual AccessibilityStatus moveAndResize(const AccessibilityElement& window,
                                              const Rect& frame) = 0;
    // The deepest element at a point of the top-left system, on any application's window.
    virtual ElementResult elementAtPosition(Point topLeft) = 0;
    // Always yields an element; whether the process exists shows only in later reads.
    virtual AccessibilityElement applicationElement(ProcessId process) = 0;
    virtual std::optional<ProcessId> processId(const AccessibilityElement& element) = 0;
    // How the window can be recognised later; empty fields for what can't be read.
    virtual WindowIdentity windowIdentity(const AccessibilityElement& window) = 0;
    // Called on the main loop once for each window that opens after the subscription, as soon
    // as the platform shows it with its class and title set. Windows already open are not
    // reported.
    [[nodiscard]] virtual Connection
    onWindowAppeared(std::function<void(const AccessibilityElement&)> handler) = 0;
    // Called on the main loop after the frame of a window handed out earlier changed, whoever
    // moved it: the user through the window manager's own keys or menus, the window manager
    // making room for a display that left, the application, or Tessera. Windows never handed
    // out are not reported; a burst of changes may come as one report.
    [[nodiscard]] virtual Connection
    onWindowMoved(std::function<void(const AccessibilityElement&)> handler) = 0;
    // Never shows the system's permission prompt.
    virtual bool isProcessTrusted() = 0;
    // With prompt true the system may ask the user to grant access; Tessera passes false and
    // sends the user to the settings instead.
    virtual bool isProcessTrustedWithPrompt(bool prompt) = 0;
    // The window the desktop itself knows by this id (what its own tools print for a window),
    // so a script outside Tessera can name one; nothing when no such window exists.
    virtual std::optional<AccessibilityElement> windowWithSystemID(std::string_view id) {
        (void)id;
        return std::nullopt;
    }
};

} // namespace tessera

template <> struct std::hash<tessera::AccessibilityElement> {
    std::size_t operator()(const tessera::AccessibilityElement& element) const noexcept {
        return std::hash<std::uint64_t>{}(element.id);
    }
};
