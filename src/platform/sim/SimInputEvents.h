#pragma once

#include "SimDisplays.h"
#include "core/model/Geometry.h"
#include "core/platform/InputEvents.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tessera {

// Which observers one physical event reaches. On the real system the tap sits at the head of
// the event stream and the global monitor sees the same event a moment later, so a press
// usually arrives twice; the other cases stage a tap that is missing or a monitor that lags.
enum class SimDelivery {
    tapThenMonitor,
    monitorThenTap,
    tapOnly,
    monitorOnly,
};

// Where the pointer or the keyboard focus sends an event: to another application's window
// (seen by the global monitor) or to one of Tessera's own windows (seen by the local monitor
// instead). The tap sees both.
enum class SimEventTarget {
    otherApplication,
    ownWindow,
};

// Scripted pointer and key input for the InputEvents port. Every scripted mouse event first
// moves the pointer of the displays it was given, because monitor handlers read the pointer
// rather than the event's location; then it goes to the observers that SimDelivery and
// SimEventTarget select, each filtered by the mask it was installed with. Delivery is
// synchronous, as the main loop would do it.
//
// A tap is delivered to only while it exists and is enabled. The system's "disabled" notices
// switch the tap off and reach its callback whatever its mask; the callback decides whether to
// switch it on again, and every setEnabled call is recorded.
class SimInputEvents final : public InputEvents {
public:
    explicit SimInputEvents(SimDisplays& displays);
    SimInputEvents(const SimInputEvents&) = delete;
    SimInputEvents& operator=(const SimInputEvents&) = delete;

    // --- InputEvents ---
    // Nothing while tap creation is refused or listening is not allowed.
    std::unique_ptr<EventTap>
    createListenOnlyTap(EventMask mask, std::function<void(const TapEvent&)> callback) override;
    [[nodiscard]] Connection
    addGlobalMonitor(EventMask mask, std::function<void(const MonitorEvent&)> handler) override;
    [[nodiscard]] Connection
    addLocalMonitor(EventMask mask, std::function<bool(const MonitorEvent&)> handler) override;
    bool preflightListenEventAccess() const override { return listenAccess_; }

    // --- Options ---
    // Taps asked for from now on are refused (true) or created (false).
    void refuseTapCreation(bool refuse) { refuseTaps_ = refuse; }
    // The Input Monitoring permission: without it preflight says no and no tap is created.
    void setListenEventAccess(bool allowed) { listenAccess_ = allowed; }
    void setDelivery(SimDelivery delivery) { delivery_ = delivery; }
    void setTarget(SimEventTarget target) { target_ = target; }

    // --- Scripted input (top-left points) ---
    // Presses the left button at the point with these modifier flags (eventFlags bits). The
    // flags stay held for the drags and the release that follow.
    void pressLeft(Point topLeft, std::uint64_t flags = 0);
    void dragTo(Point topLeft);
    // Releases the button where the pointer is, or moves it there first.
    void release();
    void release(Point topLeft);
    // A key press with the pointer where it is. True when a local monitor swallowed it.
    bool keyDown(std::uint16_t keyCode, std::uint64_t flags = 0);
    // Key code of Escape.
    static constexpr std::uint16_t escapeKeyCode = 53;

    // --- Single deliveries, for events a physical sequence can't produce ---
    // To every live, enabled tap whose mask includes the type.
    void sendToTap(const TapEvent& event);
    void sendToGlobalMonitors(const MonitorEvent& event);
    // True when a handler swallowed it; the handlers after that one don't see it.
    bool sendToLocalMonitors(const MonitorEvent& event);

    // --- The system switching the tap off ---
    // Every running tap is disabled and its callback gets the notice.
    void disableTapByTimeout();
    void disableTapByUserInput();

    // --- Inspection ---
    // Taps created and not yet destroyed.
    std::size_t liveTapCount() const;
    // Whether the most recently created tap is alive and enabled.
    bool isTapEnabled() const;
    // The setEnabled calls made on the most recently created tap, in order.
    std::vector<bool> tapEnableCalls() const;
    // Creation attempts, refused ones included, and the mask of the last one.
    std::size_t tapCreationAttempts() const { return tapAttempts_; }
    std::optional<EventMask> lastTapMask() const { return lastTapMask_; }
    std::size_t globalMonitorCount() const;
    std::size_t localMonitorCount() const;
    std::vector<EventMask> globalMonitorMasks() const;
    std::vector<EventMask> localMonitorMasks() const;

private:
    struct TapState;
    class Tap;
    struct State;

    void moveTo(Point topLeft);
    Point pointerTopLeft() const;
    // True when a local monitor swallowed the event.
    bool deliver(InputEventType type, std::uint64_t flags, std::uint16_t keyCode);
    bool deliverToMonitor(const MonitorEvent& event);
    void disableTaps(InputEventType notice);

    SimDisplays& displays_;
    std::shared_ptr<State> state_;
    bool refuseTaps_ = false;
    bool listenAccess_ = true;
    SimDelivery delivery_ = SimDelivery::tapThenMonitor;
    SimEventTarget target_ = SimEventTarget::otherApplication;
    std::uint64_t heldFlags_ = 0;
    std::size_t tapAttempts_ = 0;
    std::optional<EventMask> lastTapMask_;
};

} // namespace tessera
