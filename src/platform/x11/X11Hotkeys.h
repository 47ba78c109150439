#pragma once

#include "X11Connection.h"

#include "core/platform/Hotkeys.h"
#include "core/platform/Log.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

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

    // Whether one of this object's own registrations has the combination already, by its stored
    // key or by the key it becomes on this keyboard. registerHotkey refuses such a combination
    // as alreadyTaken just as one another client holds; this tells the two apart.
    bool holdsCombination(std::uint32_t keyCode, std::uint32_t carbonModifiers);

private:
    // The keyboard map and the modifier that Num Lock sets, read when first needed and again
    // after the server announces a new map.
    struct Keyboard;
    struct Registration {
        std::uint32_t macKeyCode = 0;
        std::uint32_t carbonModifiers = 0;
        HotkeyID id;
        // The grab as made: keycode, modifiers without lock bits, and every lock variant
        // actually held (empty while the key has no keycode or another client holds it).
        std::uint8_t keycode = 0;
        std::uint16_t modifiers = 0;
        std::vector<std::uint16_t> grabbedVariants;
    };

    Keyboard& keyboard();
    // Grabs every lock variant; on any refusal releases the ones taken and says which status
    // the refusal means.
    HotkeyStatus grab(Registration& registration);
    // Releases the registration's grabs, except those another registration holds as well.
    void ungrab(Registration& registration);
    // Whether a registration other than the given one holds this grab.
    bool heldByAnother(const Registration* registration, std::uint8_t keycode,
                       std::uint16_t modifiers) const;
    void keyPressed(std::uint8_t keycode, std::uint16_t state);
    // Reads the keyboard map again and moves only the grabs whose keycode or lock variants
    // changed: new ones first, then the old ones go.
    void keyboardMapChanged();

    X11Connection& connection_;
    Log& log_;
    std::unique_ptr<Keyboard> keyboard_;
    std::map<std::uint64_t, Registration> registrations_;
    std::uint64_t nextRef_ = 1;
    Signal<HotkeyID> pressed_;
    tessera::Connection events_;
};

} // namespace tessera
