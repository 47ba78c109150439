#include "X11InputEvents.h"

#include "platform/linux/MacKeyCodes.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tessera {

namespace {

template <typename T> struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

constexpr std::uint32_t leftButton = 1;

bool wants(EventMask mask, InputEventType type) {
    return (mask & eventMaskBit(type)) != 0;
}

// The raw events that an event mask needs. A drag is motion with the left button held, and
// only the button's own events tell when that is.
std::uint32_t rawEventsFor(EventMask mask) {
    std::uint32_t raw = 0;
    if (wants(mask, InputEventType::leftMouseDown)) {
        raw |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS;
    }
    if (wants(mask, InputEventType::leftMouseUp)) {
        raw |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
    }
    if (wants(mask, InputEventType::leftMouseDragged)) {
        raw |= XCB_INPUT_XI_EVENT_MASK_RAW_MOTION | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS |
               XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
    }
    if (wants(mask, InputEventType::keyDown)) {
        raw |= XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS;
    }
    return raw;
}

// Alt is Option and Super is Command, as the hotkeys map them.
std::uint64_t flagsOf(std::uint16_t state) {
    std::uint64_t flags = 0;
    if (state & XCB_KEY_BUT_MASK_SHIFT) {
        flags |= eventFlags::shift;
    }
    if (state & XCB_KEY_BUT_MASK_CONTROL) {
        flags |= eventFlags::control;
    }
    if (state & XCB_KEY_BUT_MASK_MOD_1) {
        flags |= eventFlags::option;
    }
    if (state & XCB_KEY_BUT_MASK_MOD_4) {
        flags |= eventFlags::command;
    }
    return flags;
}

// Fills the shared pointer for one delivery and puts back what was there before, so a delivery
// that starts inside another (a handler that dispatches events) leaves the outer one's intact.
class SharingPointer {
public:
    SharingPointer(X11SharedPointer& shared, Point bottomLeft, std::uint64_t flags)
        : shared_(shared), before_(shared) {
        shared_ = {bottomLeft, flags};
    }
    ~SharingPointer() { shared_ = before_; }
    SharingPointer(const SharingPointer&) = delete;
    SharingPointer& operator=(const SharingPointer&) = delete;

private:
    X11SharedPointer& shared_;
    X11SharedPointer before_;
};

struct KeySymbolsDeleter {
    void operator()(xcb_key_symbols_t* symbols) const { xcb_key_symbols_free(symbols); }
};

} // namespace

struct X11InputEvents::State {
    struct TapEntry {
        EventMask mask;
        std::function<void(const TapEvent&)> callback;
        bool enabled = true;
        bool alive = true;
    };
    struct GlobalEntry {
        EventMask mask;
        std::function<void(const MonitorEvent&)> handler;
        bool alive = true;
    };
    struct LocalEntry {
        EventMask mask;
        std::function<bool(const MonitorEvent&)> handler;
        bool alive = true;
    };

    State(X11Connection& connection, Log& log) : connection(connection), log(log) {}

    X11Connection& connection;
    Log& log;
    std::shared_ptr<X11SharedPointer> pointer = std::make_shared<X11SharedPointer>();
    std::vector<std::shared_ptr<TapEntry>> taps;
    std::vector<std::shared_ptr<GlobalEntry>> globals;
    std::vector<std::shared_ptr<LocalEntry>> locals;
    // Fetched on the first key press and dropped when the keyboard map changes.
    std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter> keySymbols;
    // The raw events selected on the server now.
    std::uint32_t selected = 0;
    bool leftHeld = false;
    bool closed = false;

    void updateSelection();
    void select(std::uint32_t raw);
    void handle(const X11Event& event);
    void deliver(InputEventType type, std::uint16_t keyCode);
    std::optional<std::uint16_t> keyCodeOf(std::uint32_t keycode);
};

// Listening costs the server work and the drag monitor wakes up for every motion, so the raw
// events are selected only while someone enabled wants them, and only those wanted.
void X11InputEvents::State::updateSelection() {
    if (!connection.xinputOpcode()) {
        return;
    }
    std::uint32_t raw = 0;
    if (!closed) {
        for (const auto& tap : taps) {
            if (tap->alive && tap->enabled) {
                raw |= rawEventsFor(tap->mask);
            }
        }
        for (const auto& global : globals) {
            if (global->alive) {
                raw |= rawEventsFor(global->mask);
            }
        }
    }
    if (raw == selected) {
        return;
    }
    if ((raw & XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS) != 0 &&
        (selected & XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS) == 0) {
        // A press that happened before we listened still makes the motion after it a drag.
        auto* xcb = connection.xcb();
        connection.countRoundTrip();
        Reply<xcb_query_pointer_reply_t> reply(
            xcb_query_pointer_reply(xcb, xcb_query_pointer(xcb, connection.root()), nullptr));
        leftHeld = reply && (reply->mask & XCB_KEY_BUT_MASK_BUTTON_1) != 0;
    }
    select(raw);
}

void X11InputEvents::State::select(std::uint32_t raw) {
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, raw};
    // The master devices only: each physical or XTest event then arrives once, from the master
    // it drives, not a second time from its slave device. Waiting for the server's answer means
    // that whoever just made a tap or monitor hears every event from then on.
    connection.countRoundTrip();
    std::free(xcb_request_check(
        connection.xcb(),
        xcb_input_xi_select_events_checked(connection.xcb(), connection.root(), 1, &mask.head)));
    selected = raw;
}

std::optional<std::uint16_t> X11InputEvents::State::keyCodeOf(std::uint32_t keycode) {
    if (!keySymbols) {
        keySymbols.reset(xcb_key_symbols_alloc(connection.xcb()));
        if (!keySymbols) {
            return std::nullopt;
        }
    }
    // The first lookup after a mapping change fetches the keyboard map.
    const auto keysym =
        xcb_key_symbols_get_keysym(keySymbols.get(), static_cast<xcb_keycode_t>(keycode), 0);
    // Modifiers alone change flags; the system reports no key press for them.
    if (keysym == XCB_NO_SYMBOL || xcb_is_modifier_key(keysym)) {
        return std::nullopt;
    }
    return macKeyCodeForKeysym(keysym);
}

void X11InputEvents::State::handle(const X11Event& event) {
    if (event.responseType == XCB_MAPPING_NOTIFY) {
        if (event.as<xcb_mapping_notify_event_t>().request == XCB_MAPPING_KEYBOARD) {
            keySymbols.reset();
        }
        return;
    }
    const auto opcode = connection.xinputOpcode();
    if (event.responseType != XCB_GE_GENERIC || !opcode ||
        event.as<xcb_ge_generic_event_t>().extension != *opcode) {
        return;
    }
    switch (event.as<xcb_ge_generic_event_t>().event_type) {
    case XCB_INPUT_RAW_BUTTON_PRESS:
        if (event.as<xcb_input_raw_button_press_event_t>().detail == leftButton) {
            leftHeld = true;
            deliver(InputEventType::leftMouseDown, 0);
        }
        return;
    case XCB_INPUT_RAW_BUTTON_RELEASE:
        if (event.as<xcb_input_raw_button_release_event_t>().detail == leftButton) {
            leftHeld = false;
            deliver(InputEventType::leftMouseUp, 0);
        }
        return;
    case XCB_INPUT_RAW_MOTION:
        if (leftHeld) {
            deliver(InputEventType::leftMouseDragged, 0);
        }
        return;
    case XCB_INPUT_RAW_KEY_PRESS:
        // Auto-repeat sends more presses of a held key; each is a key down, as on the Mac.
        if (const auto keyCode = keyCodeOf(event.as<xcb_input_raw_key_press_event_t>().detail)) {
            deliver(InputEventType::keyDown, *keyCode);
        }
        return;
    default:
        return;
    }
}

void X11InputEvents::State::deliver(InputEventType type, std::uint16_t keyCode) {
    const auto tapWants = [type](const std::shared_ptr<TapEntry>& tap) {
        return tap->alive && tap->enabled && wants(tap->mask, type);
    };
    const auto globalWants = [type](const std::shared_ptr<GlobalEntry>& global) {
        return global->alive && wants(global->mask, type);
    };
    if (std::none_of(taps.begin(), taps.end(), tapWants) &&
        std::none_of(globals.begin(), globals.end(), globalWants)) {
        return;
    }

    // Raw events carry no position; the pointer is where the event put it, as long as the
    // events are handled as they come.
    auto* xcb = connection.xcb();
    connection.countRoundTrip();
    Reply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(xcb, xcb_query_pointer(xcb, connection.root()), nullptr));
    if (!reply) {
        return;
    }
    const Point root{static_cast<double>(reply->root_x), static_cast<double>(reply->root_y)};
    const Point location = connection.toTopLeft(root);
    const auto flags = flagsOf(reply->mask);
    const auto shared = pointer;
    const SharingPointer sharing(*shared, connection.toBottomLeft(root), flags);

    // A callback may end any tap or monitor, this object included; copies keep the entries
    // alive and their flags tell who still listens.
    const TapEvent tapEvent{type, location, flags, keyCode};
    for (const auto& tap : std::vector(taps)) {
        if (closed) {
            return;
        }
        if (tapWants(tap)) {
            tap->callback(tapEvent);
        }
    }
    if (closed || std::none_of(globals.begin(), globals.end(), globalWants)) {
        return;
    }
    const MonitorEvent monitorEvent{type, *shared->bottomLeft, flags, keyCode};
    for (const auto& global : std::vector(globals)) {
        if (closed) {
            return;
        }
        if (globalWants(global)) {
            global->handler(monitorEvent);
        }
    }
}

class X11InputEvents::Tap final : public EventTap {
public:
    Tap(std::weak_ptr<State> state, std::shared_ptr<State::TapEntry> entry)
        : state_(std::move(state)), entry_(std::move(entry)) {}
    ~Tap() override {
        entry_->alive = false;
        if (const auto state = state_.lock()) {
            std::erase(state->taps, entry_);
            state->updateSelection();
        }
    }
    Tap(const Tap&) = delete;
    Tap& operator=(const Tap&) = delete;

    void setEnabled(bool enabled) override {
        entry_->enabled = enabled;
        if (const auto state = state_.lock()) {
            state->updateSelection();
        }
    }
    bool isEnabled() const override { return entry_->enabled; }

private:
    std::weak_ptr<State> state_;
    std::shared_ptr<State::TapEntry> entry_;
};

X11InputEvents::X11InputEvents(X11Connection& connection, Log& log)
    : state_(std::make_shared<State>(connection, log)) {
    std::weak_ptr<State> weak = state_;
    events_ = connection.onEvent([weak](const X11Event& event) {
        if (const auto state = weak.lock(); state && !state->closed) {
            state->handle(event);
        }
    });
}

X11InputEvents::~X11InputEvents() {
    state_->closed = true;
    state_->updateSelection();
}

std::unique_ptr<EventTap>
X11InputEvents::createListenOnlyTap(EventMask mask, std::function<void(const TapEvent&)> callback) {
    if (!state_->connection.xinputOpcode()) {
        state_->log.write("input", LogLevel::error,
                          "the X server has no XInput 2.2, so mouse and key events cannot be "
                          "observed");
        return nullptr;
    }
    auto entry = std::make_shared<State::TapEntry>(State::TapEntry{mask, std::move(callback)});
    state_->taps.push_back(entry);
    state_->updateSelection();
    return std::make_unique<Tap>(state_, std::move(entry));
}

Connection X11InputEvents::addGlobalMonitor(EventMask mask,
                                            std::function<void(const MonitorEvent&)> handler) {
    auto entry = std::make_shared<State::GlobalEntry>(State::GlobalEntry{mask, std::move(handler)});
    state_->globals.push_back(entry);
    state_->updateSelection();
    std::weak_ptr<State> weak = state_;
    return Connection([weak, entry] {
        entry->alive = false;
        if (const auto state = weak.lock()) {
            std::erase(state->globals, entry);
            state->updateSelection();
        }
    });
}

Connection X11InputEvents::addLocalMonitor(EventMask mask,
                                           std::function<bool(const MonitorEvent&)> handler) {
    auto entry = std::make_shared<State::LocalEntry>(State::LocalEntry{mask, std::move(handler)});
    state_->locals.push_back(entry);
    std::weak_ptr<State> weak = state_;
    return Connection([weak, entry] {
        entry->alive = false;
        if (const auto state = weak.lock()) {
            std::erase(state->locals, entry);
        }
    });
}

std::weak_ptr<const X11SharedPointer> X11InputEvents::sharedPointer() const {
    return state_->pointer;
}

bool X11InputEvents::preflightListenEventAccess() const {
    return state_->connection.xinputOpcode().has_value();
}

bool X11InputEvents::deliverLocalEvent(const MonitorEvent& event) {
    const auto state = state_;
    // The toolkit's event knows where the pointer was; nobody handling it needs to ask.
    const auto shared = state->pointer;
    const SharingPointer sharing(*shared, event.location, event.modifierFlags);
    for (const auto& local : std::vector(state->locals)) {
        if (state->closed) {
            return false;
        }
        if (local->alive && wants(local->mask, event.type) && local->handler(event)) {
            return true;
        }
    }
    return false;
}

} // namespace tessera
