#pragma once

#include "X11Connection.h"

#include "core/platform/InputEvents.h"
#include "core/platform/Log.h"

#include <memory>
#include <optional>

namespace tessera {

// The pointer where the input event being delivered now found it, and the modifiers then held.
// The tap, the monitors and the displays all handle one physical event; one pointer query
// serves them all. Empty between deliveries, when only a fresh query tells.
struct X11SharedPointer {
    std::optional<Point> bottomLeft;
    std::uint64_t modifierFlags = 0;
};

// System-wide mouse and keys from XInput2 raw events selected on the root window: button press
// and release, motion and key press, never grabbing anything. Raw events carry no screen
// position, so each mouse event takes the pointer's position from one pointer query, shared
// with everyone who handles that event (see X11SharedPointer). Option is the
// Alt modifier, Command the Super modifier. Taps and global monitors see the same events. Without
// XInput 2.2 no tap can be made (logged); the global monitor then sees nothing either.
// The server keeps one selection per client, so each connection carries one of these.
class X11InputEvents final : public InputEvents {
public:
    X11InputEvents(X11Connection& connection, Log& log);
    ~X11InputEvents() override;

    std::unique_ptr<EventTap>
    createListenOnlyTap(EventMask mask, std::function<void(const TapEvent&)> callback) override;
    [[nodiscard]] Connection
    addGlobalMonitor(EventMask mask, std::function<void(const MonitorEvent&)> handler) override;
    [[nodiscard]] Connection
    addLocalMonitor(EventMask mask, std::function<bool(const MonitorEvent&)> handler) override;
    bool preflightListenEventAccess() const override;

    // Events bound for Tessera's own windows, handed in by the user interface toolkit; true when a
    // local monitor swallowed it.
    bool deliverLocalEvent(const MonitorEvent& event);

    // Kept up to date for as long as this object lives; hand it to X11Displays::sharePointer.
    std::weak_ptr<const X11SharedPointer> sharedPointer() const;

private:
    struct State;
    class Tap;

    // Shared with the taps and the event handler, which may outlive this object for the rest of
    // a delivery in progress.
    std::shared_ptr<State> state_;
    Connection events_;
};

} // namespace tessera
