#pragma once

#include "../model/Geometry.h"
#include "../model/Signal.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace tessera {

// Event types with the platform's numbers, so masks and logs mean the same everywhere. The two
// "disabled" types are not input: the system sends them to a tap it has switched off because
// a callback was too slow or the user's input asked for it.
enum class InputEventType : std::uint32_t {
    leftMouseDown = 1,
    leftMouseUp = 2,
    leftMouseDragged = 6,
    keyDown = 10,
    tapDisabledByTimeout = 0xFFFFFFFE,
    tapDisabledByUserInput = 0xFFFFFFFF,
};

// One bit per event type (bit n for type n).
using EventMask = std::uint64_t;

constexpr EventMask eventMaskBit(InputEventType type) {
    return EventMask{1} << static_cast<std::uint32_t>(type);
}

// What the drag monitor watches: left mouse down, up and dragged, and key down (Escape).
inline constexpr EventMask dragEventMask =
    eventMaskBit(InputEventType::leftMouseDown) | eventMaskBit(InputEventType::leftMouseUp) |
    eventMaskBit(InputEventType::leftMouseDragged) | eventMaskBit(InputEventType::keyDown);
static_assert(dragEventMask == 1094);

// Device-independent modifier bits, identical in tap flags and monitor modifier flags.
namespace eventFlags {
inline constexpr std::uint64_t shift = 1ULL << 17;
inline constexpr std::uint64_t control = 1ULL << 18;
inline constexpr std::uint64_t option = 1ULL << 19;
inline constexpr std::uint64_t command = 1ULL << 20;
} // namespace eventFlags

// An event seen by the tap: the location is the event's own, in the top-left system.
struct TapEvent {
    InputEventType type = InputEventType::leftMouseDown;
    Point location;
    std::uint64_t flags = 0;
    // Virtual key code of a key down (macOS numbering, as shortcuts are stored).
    std::uint16_t keyCode = 0;
};

// An event seen by a monitor. Its location is the event's own, in the bottom-left system; the
// drag monitor reads the pointer position instead, so both sources agree on where it is.
struct MonitorEvent {
    InputEventType type = InputEventType::leftMouseDown;
    Point location;
    std::uint64_t modifierFlags = 0;
    std::uint16_t keyCode = 0;
};

// A listen-only tap at the head of the system's event stream. It never consumes or alters an
// event. Destroying it takes it off the main loop; no callback runs afterwards.
class EventTap {
public:
    virtual ~EventTap() = default;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
};

// System-wide observation of mouse and keys. Everything is delivered on the main loop.
class InputEvents {
public:
    virtual ~InputEvents() = default;

    // A new tap is enabled. Nothing when the system refuses one (typically while listening to
    // input is not allowed); callers then rely on the global monitor alone. The callback also
    // receives the two "disabled" types and must re-enable the tap itself.
    virtual std::unique_ptr<EventTap>
    createListenOnlyTap(EventMask mask, std::function<void(const TapEvent&)> callback) = 0;
    // Events bound for other applications.
    [[nodiscard]] virtual Connection
    addGlobalMonitor(EventMask mask, std::function<void(const MonitorEvent&)> handler) = 0;
    // Events bound for Tessera's own windows, which the global monitor does not see. A handler
    // that returns true swallows the event (the shortcut recorder keeps key presses from
    // reaching the window); false passes it on unchanged.
    [[nodiscard]] virtual Connection
    addLocalMonitor(EventMask mask, std::function<bool(const MonitorEvent&)> handler) = 0;
    // Whether listening to input events is allowed; never prompts.
    virtual bool preflightListenEventAccess() const = 0;
};

} // namespace tessera
