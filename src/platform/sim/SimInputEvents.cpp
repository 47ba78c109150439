#include "SimInputEvents.h"

#include "core/model/Screens.h"

#include <algorithm>
#include <utility>

namespace tessera {

struct SimInputEvents::TapState {
    EventMask mask = 0;
    std::function<void(const TapEvent&)> callback;
    bool enabled = true;
    bool alive = true;
    std::vector<bool> enableCalls;
};

// The handle the port returns. Destroying it takes the tap out of delivery at once, so a
// callback never runs for an owner that has let go of its tap.
class SimInputEvents::Tap final : public EventTap {
public:
    explicit Tap(std::shared_ptr<TapState> state) : state_(std::move(state)) {}
    Tap(const Tap&) = delete;
    Tap& operator=(const Tap&) = delete;
    ~Tap() override { state_->alive = false; }

    void setEnabled(bool enabled) override {
        state_->enableCalls.push_back(enabled);
        state_->enabled = enabled;
    }
    bool isEnabled() const override { return state_->enabled; }

private:
    std::shared_ptr<TapState> state_;
};

struct SimInputEvents::State {
    template <typename Handler> struct Monitor {
        std::uint64_t id = 0;
        EventMask mask = 0;
        std::shared_ptr<Handler> handler;
    };
    using GlobalHandler = std::function<void(const MonitorEvent&)>;
    using LocalHandler = std::function<bool(const MonitorEvent&)>;

    std::vector<std::shared_ptr<TapState>> taps;
    std::vector<Monitor<GlobalHandler>> globals;
    std::vector<Monitor<LocalHandler>> locals;
    std::uint64_t nextId = 0;
};

namespace {

bool inMask(EventMask mask, InputEventType type) {
    return (mask & eventMaskBit(type)) != 0;
}

// Monitors may be added or removed by a handler while an event is being delivered; one removed
// on the way is not called afterwards.
template <typename List> bool stillListed(const List& list, std::uint64_t id) {
    return std::any_of(list.begin(), list.end(), [id](const auto& m) { return m.id == id; });
}

template <typename List> std::vector<EventMask> masksOf(const List& list) {
    std::vector<EventMask> masks;
    masks.reserve(list.size());
    for (const auto& monitor : list) {
        masks.push_back(monitor.mask);
    }
    return masks;
}

} // namespace

SimInputEvents::SimInputEvents(SimDisplays& displays)
    : displays_(displays), state_(std::make_shared<State>()) {}

// --- InputEvents ---

std::unique_ptr<EventTap>
SimInputEvents::createListenOnlyTap(EventMask mask, std::function<void(const TapEvent&)> callback) {
    ++tapAttempts_;
    lastTapMask_ = mask;
    if (refuseTaps_ || !listenAccess_) {
        return nullptr;
    }
    auto tap = std::make_shared<TapState>();
    tap->mask = mask;
    tap->callback = std::move(callback);
    state_->taps.push_back(tap);
    return std::make_unique<Tap>(std::move(tap));
}

Connection SimInputEvents::addGlobalMonitor(EventMask mask,
                                            std::function<void(const MonitorEvent&)> handler) {
    const auto id = state_->nextId++;
    state_->globals.push_back(
        {id, mask, std::make_shared<State::GlobalHandler>(std::move(handler))});
    std::weak_ptr<State> weak = state_;
    return Connection([weak, id] {
        if (auto state = weak.lock()) {
            std::erase_if(state->globals, [id](const auto& m) { return m.id == id; });
        }
    });
}

Connection SimInputEvents::addLocalMonitor(EventMask mask,
                                           std::function<bool(const MonitorEvent&)> handler) {
    const auto id = state_->nextId++;
    state_->locals.push_back({id, mask, std::make_shared<State::LocalHandler>(std::move(handler))});
    std::weak_ptr<State> weak = state_;
    return Connection([weak, id] {
        if (auto state = weak.lock()) {
            std::erase_if(state->locals, [id](const auto& m) { return m.id == id; });
        }
    });
}

// --- Scripted input ---

void SimInputEvents::pressLeft(Point topLeft, std::uint64_t flags) {
    heldFlags_ = flags;
    moveTo(topLeft);
    deliver(InputEventType::leftMouseDown, heldFlags_, 0);
}

void SimInputEvents::dragTo(Point topLeft) {
    moveTo(topLeft);
    deliver(InputEventType::leftMouseDragged, heldFlags_, 0);
}

void SimInputEvents::release() {
    deliver(InputEventType::leftMouseUp, heldFlags_, 0);
    heldFlags_ = 0;
}

void SimInputEvents::release(Point topLeft) {
    moveTo(topLeft);
    release();
}

bool SimInputEvents::keyDown(std::uint16_t keyCode, std::uint64_t flags) {
    return deliver(InputEventType::keyDown, flags, keyCode);
}

void SimInputEvents::moveTo(Point topLeft) {
    const auto screens = displays_.screens();
    // Without displays both systems coincide, as SimDesktop::setPointerTopLeft has it.
    displays_.setMouseLocation(
        screens.empty() ? topLeft : toBottomLeft(topLeft, primaryDisplay(screens).frame));
}

Point SimInputEvents::pointerTopLeft() const {
    const auto screens = displays_.screens();
    const auto pointer = displays_.mouseLocation();
    return screens.empty() ? pointer : toTopLeft(pointer, primaryDisplay(screens).frame);
}

bool SimInputEvents::deliver(InputEventType type, std::uint64_t flags, std::uint16_t keyCode) {
    const TapEvent tapEvent{type, pointerTopLeft(), flags, keyCode};
    const MonitorEvent monitorEvent{type, displays_.mouseLocation(), flags, keyCode};
    switch (delivery_) {
    case SimDelivery::tapThenMonitor:
        sendToTap(tapEvent);
        return deliverToMonitor(monitorEvent);
    case SimDelivery::monitorThenTap: {
        const bool swallowed = deliverToMonitor(monitorEvent);
        sendToTap(tapEvent);
        return swallowed;
    }
    case SimDelivery::tapOnly:
        sendToTap(tapEvent);
        return false;
    case SimDelivery::monitorOnly:
        return deliverToMonitor(monitorEvent);
    }
    return false;
}

bool SimInputEvents::deliverToMonitor(const MonitorEvent& event) {
    if (target_ == SimEventTarget::ownWindow) {
        return sendToLocalMonitors(event);
    }
    sendToGlobalMonitors(event);
    return false;
}

// --- Single deliveries ---

void SimInputEvents::sendToTap(const TapEvent& event) {
    const auto snapshot = state_->taps;
    for (const auto& tap : snapshot) {
        if (tap->alive && tap->enabled && inMask(tap->mask, event.type) && tap->callback) {
            tap->callback(event);
        }
    }
}

void SimInputEvents::sendToGlobalMonitors(const MonitorEvent& event) {
    const auto snapshot = state_->globals;
    for (const auto& monitor : snapshot) {
        if (inMask(monitor.mask, event.type) && stillListed(state_->globals, monitor.id)) {
            (*monitor.handler)(event);
        }
    }
}

bool SimInputEvents::sendToLocalMonitors(const MonitorEvent& event) {
    const auto snapshot = state_->locals;
    for (const auto& monitor : snapshot) {
        if (inMask(monitor.mask, event.type) && stillListed(state_->locals, monitor.id) &&
            (*monitor.handler)(event)) {
            return true;
        }
    }
    return false;
}

// --- The system switching the tap off ---

void SimInputEvents::disableTapByTimeout() {
    disableTaps(InputEventType::tapDisabledByTimeout);
}

void SimInputEvents::disableTapByUserInput() {
    disableTaps(InputEventType::tapDisabledByUserInput);
}

void SimInputEvents::disableTaps(InputEventType notice) {
    const auto snapshot = state_->taps;
    // Only a tap that is running can be switched off; one its owner disabled hears nothing.
    for (const auto& tap : snapshot) {
        if (!tap->alive || !tap->enabled) {
            continue;
        }
        tap->enabled = false;
        if (tap->callback) {
            tap->callback(TapEvent{notice, pointerTopLeft(), 0, 0});
        }
    }
}

// --- Inspection ---

std::size_t SimInputEvents::liveTapCount() const {
    return static_cast<std::size_t>(std::count_if(state_->taps.begin(), state_->taps.end(),
                                                  [](const auto& tap) { return tap->alive; }));
}

bool SimInputEvents::isTapEnabled() const {
    return !state_->taps.empty() && state_->taps.back()->alive && state_->taps.back()->enabled;
}

std::vector<bool> SimInputEvents::tapEnableCalls() const {
    return state_->taps.empty() ? std::vector<bool>{} : state_->taps.back()->enableCalls;
}

std::size_t SimInputEvents::globalMonitorCount() const {
    return state_->globals.size();
}

std::size_t SimInputEvents::localMonitorCount() const {
    return state_->locals.size();
}

std::vector<EventMask> SimInputEvents::globalMonitorMasks() const {
    return masksOf(state_->globals);
}

std::vector<EventMask> SimInputEvents::localMonitorMasks() const {
    return masksOf(state_->locals);
}

} // namespace tessera
