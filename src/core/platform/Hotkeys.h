#pragma once

#include "../model/Signal.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace tessera {

// The four-character code "MRZR" that marks Tessera's registrations.
inline constexpr std::uint32_t hotkeySignature = 0x4D525A52;

struct HotkeyID {
    std::uint32_t signature = hotkeySignature;
    std::uint32_t id = 0;

    friend bool operator==(const HotkeyID&, const HotkeyID&) = default;
};

// Names one registration for unregistering; meaningless to anybody but the backend.
struct HotkeyRef {
    std::uint64_t value = 0;

    friend bool operator==(const HotkeyRef&, const HotkeyRef&) = default;
};

// The platform's status codes; any value but ok means the key combination is not registered.
enum class HotkeyStatus : std::int32_t {
    ok = 0,
    // Another registration (ours or another application's) holds the combination.
    alreadyTaken = -9878,
    invalid = -9879,
};

struct HotkeyRegistration {
    HotkeyStatus status = HotkeyStatus::invalid;
    std::optional<HotkeyRef> ref;

    bool registered() const { return status == HotkeyStatus::ok; }
};

// Global keyboard shortcuts. Key codes are macOS virtual key codes and modifiers Carbon bits on
// every platform; backends translate them.
class Hotkeys {
public:
    virtual ~Hotkeys() = default;

    // Presses of registered hotkeys reach the handler on the main loop until the connection
    // ends. Ending it is what guarantees that a handler never reaches an owner that is gone.
    [[nodiscard]] virtual Connection installHandler(std::function<void(HotkeyID)> handler) = 0;
    virtual HotkeyRegistration registerHotkey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                              HotkeyID id) = 0;
    virtual void unregisterHotkey(HotkeyRef ref) = 0;
};

} // namespace tessera
