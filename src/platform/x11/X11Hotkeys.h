#pragma once

#include "X11Connection.h"

#include "core/platform/Hotkeys.h"
#include "core/platform/Log.h"

namespace tessera {

// Global shortcuts as key grabs on the root window. The stored macOS key code becomes a keysym,
// then the keycode of the current keyboard map; Control stays Control, Option is Alt (Mod1),
// Shift stays Shift and Command is Super (Mod4). Each combination is grabbed with every
// Caps Lock and Num Lock variant, so it works whatever the lock keys are.
class X11Hotkeys final : public Hotkeys {
public:
    X11Hotkeys(X11Connection& connection, Log& log);
    ~X11Hotkeys() override;

    [[nodiscard]] Connection installHandler(std::function<void(HotkeyID)> handler) override;
    // alreadyTaken when this process holds the combination already or the server refuses a grab
    // (another client has it); no partial grab is left behind. invalid when the key has no
    // keycode on this keyboard.
    HotkeyRegistration registerHotkey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                      HotkeyID id) override;
    void unregisterHotkey(HotkeyRef ref) override;
};

} // namespace tessera
