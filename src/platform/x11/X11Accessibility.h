#pragma once

#include "X11Windows.h"

#include "core/model/Signal.h"
#include "core/platform/Accessibility.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace tessera {

// Other applications' windows through EWMH and ICCCM. An application element stands for a
// process; its windows are the managed client windows of that process. A window's position and
// size are those of its outer frame (client plus _NET_FRAME_EXTENTS), and setting them makes the
// outer frame land there (_NET_MOVERESIZE_WINDOW, north-west gravity); a maximized window is
// un-maximized first. Raising goes through _NET_ACTIVE_WINDOW, full screen is
// _NET_WM_STATE_FULLSCREEN. X has no permission to grant, so the process is always trusted.
class X11Accessibility final : public Accessibility {
public:
    explicit X11Accessibility(X11Windows& windows);
    ~X11Accessibility() override;

    AttributeResult copyAttribute(const AccessibilityElement& element,
                                  std::string_view attribute) override;
    AccessibilityStatus setAttribute(const AccessibilityElement& element,
                                     std::string_view attribute,
                                     const AttributeValue& value) override;
    AccessibilityStatus performAction(const AccessibilityElement& element,
                                      std::string_view action) override;
    AccessibilityStatus moveAndResize(const AccessibilityElement& window,
                                      const Rect& frame) override;
    ElementResult elementAtPosition(Point topLeft) override;
    AccessibilityElement applicationElement(ProcessId process) override;
    std::optional<ProcessId> processId(const AccessibilityElement& element) override;
    bool isProcessTrusted() override { return true; }
    bool isProcessTrustedWithPrompt(bool) override { return true; }
    // WM_CLASS's class, WM_WINDOW_ROLE and the title.
    WindowIdentity windowIdentity(const AccessibilityElement& window) override;
    // A client the window manager adds to its client list, once it is mapped.
    [[nodiscard]] Connection
    onWindowAppeared(std::function<void(const AccessibilityElement&)> handler) override;
    [[nodiscard]] Connection
    onWindowMoved(std::function<void(const AccessibilityElement&)> handler) override;
    // A managed client by its X window number, decimal or 0x hexadecimal (as xdotool, xprop
    // and wmctrl print it).
    std::optional<AccessibilityElement> windowWithSystemID(std::string_view id) override;

    // The element of a client window, the same one every lookup of it gives.
    AccessibilityElement windowElement(XWindow window);

private:
    using Clock = std::chrono::steady_clock;

    // What an element stands for; nothing when it names nothing that is still there.
    struct Resolved {
        std::optional<XWindow> window;
        std::optional<ProcessId> process;
    };

    Resolved resolve(const AccessibilityElement& element);
    bool applicationExists(ProcessId process);
    AttributeResult readWindowAttribute(XWindow window, std::string_view attribute);
    AttributeResult readApplicationAttribute(ProcessId process, std::string_view attribute);
    // Whether button 1 is down: while it is, a window manager may be moving the window.
    bool buttonHeld();
    // Whether an event may be the window manager's answer to a change of the window's frame.
    bool isAnswer(XWindow window, const X11Event& event);
    // Waits while the window manager goes on answering, until one display frame passes quietly
    // or the deadline comes.
    void settle(XWindow window, Clock::time_point deadline);
    // Asks for the visible frame's origin (top-left system) and size, either or both, and waits
    // for the window manager's answer, accepting what it grants.
    AccessibilityStatus applyFrame(XWindow window, std::optional<Point> topLeft,
                                   std::optional<Size> size);
    AccessibilityStatus setFullScreen(XWindow window, bool fullScreen);
    AccessibilityStatus raise(XWindow window);
    // Sends a _NET_WM_STATE request and waits until the state reads as asked.
    bool changeState(XWindow window, bool add, std::string_view first, std::string_view second,
                     Clock::time_point deadline);

    // Takes note of windows that went away among the events not yet dispatched, so that an id
    // is never resolved to a window whose XID the server has already given to another one.
    void takeNoticeOfPendingEvents();
    // Forgets a destroyed window. Events seen while waiting are remembered so their later
    // dispatch does not act a second time (by then the XID may name a new window).
    void noteEvent(const X11Event& event, bool whileWaiting);
    // Asks for the events that tell when the window changes or goes away, keeping whatever
    // else this connection already selected on it. False when the window is gone.
    bool watch(XWindow window);
    // Waits until the condition holds or the deadline passes, re-checking it after each event
    // the filter accepts. Returns the condition's last answer.
    bool waitFor(const std::function<bool()>& condition,
                 const std::function<bool(const X11Event&)>& relevant, Clock::time_point deadline);

    X11Windows& windows_;
    X11Connection& connection_;
    std::uint64_t nextId_ = 1;
    // Windows handed out and still there, both ways.
    std::unordered_map<XWindow, std::uint64_t> windowIds_;
    std::unordered_map<std::uint64_t, XWindow> windowsById_;
    std::unordered_map<ProcessId, std::uint64_t> applicationIds_;
    std::unordered_map<std::uint64_t, ProcessId> applicationsById_;
    std::unordered_set<const void*> seenWhileWaiting_;
    Connection events_;
    // New clients are looked for only while someone listens: known from the first subscription
    // on, and each appears once the server shows it.
    void lookForNewClients();
    void noteAppearance(const X11Event& event);
    bool shownNow(XWindow window);
    void showAwaitedClients();
    Signal<const AccessibilityElement&> appeared_;
    std::optional<std::unordered_set<XWindow>> knownClients_;
    std::unordered_set<XWindow> awaitingMap_;
    Connection appearances_;
    // Moves are followed only while someone listens.
    void noteMove(const X11Event& event);
    Signal<const AccessibilityElement&> moved_;
    Connection moves_;
    bool followingMoves_ = false;
};

} // namespace tessera
