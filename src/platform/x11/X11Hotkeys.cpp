#include "X11Hotkeys.h"

#include "platform/linux/MacKeyCodes.h"

#include "core/model/Records.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <utility>

namespace tessera {

namespace {

template <typename T> struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

constexpr std::string_view logCategory = "hotkeys";

// The Carbon bits a shortcut may carry; others (Caps Lock, the right-hand variants) are not
// part of a combination.
constexpr std::uint32_t carbonCombinationBits =
    carbon::cmdKey | carbon::shiftKey | carbon::optionKey | carbon::controlKey;

// Every modifier of a key event's state, without the pointer buttons above them.
constexpr std::uint16_t allModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK |
                                       XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_2 |
                                       XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;

std::uint16_t xModifiers(std::uint32_t carbonModifiers) {
    std::uint16_t modifiers = 0;
    if ((carbonModifiers & carbon::cmdKey) != 0) {
        modifiers |= XCB_MOD_MASK_4;
    }
    if ((carbonModifiers & carbon::shiftKey) != 0) {
        modifiers |= XCB_MOD_MASK_SHIFT;
    }
    if ((carbonModifiers & carbon::optionKey) != 0) {
        modifiers |= XCB_MOD_MASK_1;
    }
    if ((carbonModifiers & carbon::controlKey) != 0) {
        modifiers |= XCB_MOD_MASK_CONTROL;
    }
    return modifiers;
}

std::uint32_t virtualKeyCode(std::uint32_t keyCode) {
    return keyCode & 0xFFFF;
}

} // namespace

struct X11Hotkeys::Keyboard {
    xcb_key_symbols_t* symbols = nullptr;
    std::uint16_t numLockMask = 0;

    explicit Keyboard(xcb_connection_t* connection) : symbols(xcb_key_symbols_alloc(connection)) {
        const auto numLockCodes = keycodes(XK_Num_Lock);
        Reply<xcb_get_modifier_mapping_reply_t> mapping(xcb_get_modifier_mapping_reply(
            connection, xcb_get_modifier_mapping(connection), nullptr));
        if (!mapping || numLockCodes.empty()) {
            return;
        }
        const int perModifier = mapping->keycodes_per_modifier;
        const auto* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int index = 0; index < perModifier; ++index) {
                const auto code = codes[modifier * perModifier + index];
                if (code != 0 && std::find(numLockCodes.begin(), numLockCodes.end(), code) !=
                                     numLockCodes.end()) {
                    numLockMask = static_cast<std::uint16_t>(1u << modifier);
                    return;
                }
            }
        }
    }
    ~Keyboard() {
        if (symbols) {
            xcb_key_symbols_free(symbols);
        }
    }
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    std::vector<std::uint8_t> keycodes(std::uint32_t keysym) const {
        std::vector<std::uint8_t> result;
        if (!symbols) {
            return result;
        }
        std::unique_ptr<xcb_keycode_t, FreeDeleter<xcb_keycode_t>> codes(
            xcb_key_symbols_get_keycode(symbols, keysym));
        for (const auto* code = codes.get(); code && *code != XCB_NO_SYMBOL; ++code) {
            result.push_back(*code);
        }
        return result;
    }

    // Caps Lock and Num Lock in every combination, each variant once.
    std::vector<std::uint16_t> lockVariants() const {
        std::vector<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK};
        if (numLockMask != 0 && numLockMask != XCB_MOD_MASK_LOCK) {
            variants.push_back(numLockMask);
            variants.push_back(static_cast<std::uint16_t>(numLockMask | XCB_MOD_MASK_LOCK));
        }
        return variants;
    }
};

X11Hotkeys::X11Hotkeys(X11Connection& connection, Log& log) : connection_(connection), log_(log) {
    // Grabbed keys reach the grabbing client whatever the root's event mask; the keyboard map
    // notices reach every client.
    events_ = connection_.onEvent([this](const X11Event& event) {
        if (event.responseType == XCB_KEY_PRESS) {
            const auto& press = event.as<xcb_key_press_event_t>();
            if (press.event == connection_.root()) {
                keyPressed(press.detail, press.state);
            }
        } else if (event.responseType == XCB_MAPPING_NOTIFY) {
            if (event.as<xcb_mapping_notify_event_t>().request != XCB_MAPPING_POINTER) {
                keyboardMapChanged();
            }
        }
    });
}

X11Hotkeys::~X11Hotkeys() {
    for (auto& [ref, registration] : registrations_) {
        ungrab(registration);
    }
}

X11Hotkeys::Keyboard& X11Hotkeys::keyboard() {
    if (!keyboard_) {
        keyboard_ = std::make_unique<Keyboard>(connection_.xcb());
    }
    return *keyboard_;
}

Connection X11Hotkeys::installHandler(std::function<void(HotkeyID)> handler) {
    return pressed_.connect(std::move(handler));
}

HotkeyStatus X11Hotkeys::grab(Registration& registration) {
    const auto keysym = keysymForMacKeyCode(virtualKeyCode(registration.macKeyCode));
    if (!keysym) {
        return HotkeyStatus::invalid;
    }
    auto& map = keyboard();
    const auto codes = map.keycodes(*keysym);
    if (codes.empty()) {
        return HotkeyStatus::invalid;
    }
    registration.keycode = codes.front();
    registration.modifiers = xModifiers(registration.carbonModifiers);

    xcb_connection_t* xcb = connection_.xcb();
    const auto variants = map.lockVariants();
    std::vector<xcb_void_cookie_t> cookies;
    for (const auto variant : variants) {
        cookies.push_back(
            xcb_grab_key_checked(xcb, 1, connection_.root(),
                                 static_cast<std::uint16_t>(registration.modifiers | variant),
                                 registration.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    auto status = HotkeyStatus::ok;
    for (std::size_t index = 0; index < cookies.size(); ++index) {
        Reply<xcb_generic_error_t> error(xcb_request_check(xcb, cookies[index]));
        if (!error) {
            registration.grabbedVariants.push_back(variants[index]);
        } else if (status == HotkeyStatus::ok) {
            status = error->error_code == XCB_ACCESS ? HotkeyStatus::alreadyTaken
                                                     : HotkeyStatus::invalid;
        }
    }
    if (status != HotkeyStatus::ok) {
        // Released before the caller hears of the refusal, so whoever it tells finds the
        // combination exactly as it was.
        ungrab(registration);
        connection_.sync();
    }
    return status;
}

void X11Hotkeys::ungrab(Registration& registration) {
    for (const auto variant : registration.grabbedVariants) {
        const auto modifiers = static_cast<std::uint16_t>(registration.modifiers | variant);
        // After a change of the map two stored keys may land on one keycode; the server keeps
        // a single grab for both, which stays while either needs it.
        if (!heldByAnother(&registration, registration.keycode, modifiers)) {
            xcb_ungrab_key(connection_.xcb(), registration.keycode, connection_.root(), modifiers);
        }
    }
    registration.grabbedVariants.clear();
    connection_.flush();
}

bool X11Hotkeys::heldByAnother(const Registration* registration, std::uint8_t keycode,
                               std::uint16_t modifiers) const {
    return std::any_of(registrations_.begin(), registrations_.end(), [&](const auto& entry) {
        const auto& other = entry.second;
        return &other != registration && other.keycode == keycode &&
               std::any_of(
                   other.grabbedVariants.begin(), other.grabbedVariants.end(),
                   [&](std::uint16_t variant) { return (other.modifiers | variant) == modifiers; });
    });
}

HotkeyRegistration X11Hotkeys::registerHotkey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                              HotkeyID id) {
    Registration registration;
    registration.macKeyCode = keyCode;
    registration.carbonModifiers = carbonModifiers & carbonCombinationBits;
    registration.id = id;

    // The server lets a client grab what it already holds, silently replacing the first grab,
    // so our own combinations are told apart here.
    if (holdsCombination(keyCode, carbonModifiers)) {
        return {HotkeyStatus::alreadyTaken, std::nullopt};
    }
    if (const auto status = grab(registration); status != HotkeyStatus::ok) {
        return {status, std::nullopt};
    }
    const HotkeyRef ref{nextRef_++};
    registrations_.emplace(ref.value, std::move(registration));
    return {HotkeyStatus::ok, ref};
}

bool X11Hotkeys::holdsCombination(std::uint32_t keyCode, std::uint32_t carbonModifiers) {
    // By the stored key, and by the key it becomes on this keyboard (two codes may name one
    // key).
    const auto combination = carbonModifiers & carbonCombinationBits;
    const auto keysym = keysymForMacKeyCode(virtualKeyCode(keyCode));
    const auto codes = keysym ? keyboard().keycodes(*keysym) : std::vector<std::uint8_t>{};
    const auto modifiers = xModifiers(combination);
    return std::any_of(registrations_.begin(), registrations_.end(), [&](const auto& entry) {
        const auto& other = entry.second;
        const bool sameStoredKey = virtualKeyCode(other.macKeyCode) == virtualKeyCode(keyCode) &&
                                   other.carbonModifiers == combination;
        const bool sameGrab = !other.grabbedVariants.empty() && !codes.empty() &&
                              other.keycode == codes.front() && other.modifiers == modifiers;
        return sameStoredKey || sameGrab;
    });
}

void X11Hotkeys::unregisterHotkey(HotkeyRef ref) {
    const auto found = registrations_.find(ref.value);
    if (found == registrations_.end()) {
        return;
    }
    ungrab(found->second);
    registrations_.erase(found);
}

void X11Hotkeys::keyPressed(std::uint8_t keycode, std::uint16_t state) {
    const auto locks = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | keyboard().numLockMask);
    const auto modifiers = static_cast<std::uint16_t>(state & allModifiers & ~locks);
    // Handlers may register or unregister; the matches are taken before any of them runs.
    std::vector<HotkeyID> matches;
    for (const auto& [ref, registration] : registrations_) {
        if (!registration.grabbedVariants.empty() && registration.keycode == keycode &&
            registration.modifiers == modifiers) {
            matches.push_back(registration.id);
        }
    }
    for (const auto& id : matches) {
        pressed_.emit(id);
    }
}

void X11Hotkeys::keyboardMapChanged() {
    // Every change brings two notices (keys and modifiers), the core keyboard announces its
    // map whenever it switches devices, and desktops write their unchanged map back whenever
    // they apply their keyboard settings. Releasing the grabs and taking them again would open
    // a moment in which a shortcut reaches the focused window instead, or another client takes
    // it; so only the grabs that really moved change, and a new grab is held before the old
    // one goes.
    const auto previousVariants = keyboard_ ? keyboard_->lockVariants().size() : 0;
    keyboard_.reset();
    if (registrations_.empty()) {
        return;
    }
    auto& map = keyboard();
    const auto variants = map.lockVariants();

    using Grab = std::pair<std::uint8_t, std::uint16_t>;
    const auto grabOf = [](std::uint8_t keycode, std::uint16_t modifiers, std::uint16_t variant) {
        return Grab{keycode, static_cast<std::uint16_t>(modifiers | variant)};
    };
    std::set<Grab> heldBefore;
    for (const auto& [ref, registration] : registrations_) {
        for (const auto variant : registration.grabbedVariants) {
            heldBefore.insert(grabOf(registration.keycode, registration.modifiers, variant));
        }
    }

    struct Renewal {
        Registration* registration = nullptr;
        // 0 when the key is on no keycode of the new map.
        std::uint8_t keycode = 0;
        std::vector<std::uint16_t> held;
        std::vector<std::pair<std::uint16_t, xcb_void_cookie_t>> requested;
    };
    xcb_connection_t* xcb = connection_.xcb();
    std::vector<Renewal> renewals;
    std::set<Grab> heldAfter;
    for (auto& [ref, registration] : registrations_) {
        Renewal renewal;
        renewal.registration = &registration;
        const auto keysym = keysymForMacKeyCode(virtualKeyCode(registration.macKeyCode));
        const auto codes = keysym ? map.keycodes(*keysym) : std::vector<std::uint8_t>{};
        if (!codes.empty()) {
            renewal.keycode = codes.front();
            for (const auto variant : variants) {
                const auto wanted = grabOf(renewal.keycode, registration.modifiers, variant);
                if (heldBefore.contains(wanted)) {
                    renewal.held.push_back(variant);
                    heldAfter.insert(wanted);
                } else {
                    renewal.requested.emplace_back(
                        variant, xcb_grab_key_checked(xcb, 1, connection_.root(), wanted.second,
                                                      wanted.first, XCB_GRAB_MODE_ASYNC,
                                                      XCB_GRAB_MODE_ASYNC));
                }
            }
        }
        renewals.push_back(std::move(renewal));
    }
    for (auto& renewal : renewals) {
        for (const auto& [variant, cookie] : renewal.requested) {
            if (Reply<xcb_generic_error_t> error(xcb_request_check(xcb, cookie)); !error) {
                renewal.held.push_back(variant);
                heldAfter.insert(grabOf(renewal.keycode, renewal.registration->modifiers, variant));
            }
        }
    }
    for (const auto& [keycode, modifiers] : heldBefore) {
        if (!heldAfter.contains(Grab{keycode, modifiers})) {
            xcb_ungrab_key(xcb, keycode, connection_.root(), modifiers);
        }
    }
    connection_.flush();

    for (auto& renewal : renewals) {
        auto& registration = *renewal.registration;
        // Said once, when a shortcut that worked stops working; a combination another client
        // took stays registered, and is tried again at the next change of the map.
        const bool worked = !registration.grabbedVariants.empty() &&
                            registration.grabbedVariants.size() == previousVariants;
        registration.keycode = renewal.keycode;
        registration.grabbedVariants = std::move(renewal.held);
        if (!worked || registration.grabbedVariants.size() == variants.size()) {
            continue;
        }
        const auto key = std::to_string(virtualKeyCode(registration.macKeyCode));
        log_.write(logCategory, LogLevel::error,
                   renewal.keycode == 0
                       ? "After the keyboard map changed, the key of the shortcut with key code " +
                             key + " is on no key any more"
                       : "After the keyboard map changed, the shortcut with key code " + key +
                             " could not be grabbed again: another client holds it");
    }
}

} // namespace tessera
