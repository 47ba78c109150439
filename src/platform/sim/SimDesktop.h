#pragma once

#include "SimDisplays.h"
#include "core/model/Geometry.h"
#include "core/model/Signal.h"
#include "core/platform/Accessibility.h"
#include "core/platform/ProcessId.h"
#include "core/platform/Workspace.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessera {

// How a window misbehaves when other processes talk to it. Each fault mirrors something real
// applications do; the default is a well-behaved window.
struct SimWindowFaults {
    // Writes of "AXPosition" fail and leave the window where it is. On its own this is a window
    // that accepts only its size.
    bool refusePosition = false;
    // Writes of "AXSize" fail and leave the size as it is.
    bool refuseSize = false;
    // Writes of "AXFullScreen" fail and leave the state as it is.
    bool refuseFullScreen = false;
    // Reads of "AXPosition" and "AXSize" fail (the window's frame can't be read). The window
    // still moves when asked to.
    bool failFrameReads = false;
    // A hit test over this window fails, as with applications that don't answer it; the
    // windows behind are not searched.
    bool failHitTest = false;
    // The window never gets smaller than this: a smaller size is raised to it, the write still
    // succeeds and the size read back differs from the one asked for.
    std::optional<Size> minimumSize;
    // Nor larger than this.
    std::optional<Size> maximumSize;
    // Sizes snap down to a multiple of this step (a terminal's character cell); a dimension
    // whose step is 0 or less is left alone. Applied before the minimum and maximum.
    std::optional<Size> sizeIncrement;
    // The status a refused write or failed read reports.
    AccessibilityStatus failureStatus = AccessibilityStatus::cannotComplete;

    // Fluent building, since designated initializers that skip fields trip
    // -Wmissing-field-initializers: SimWindowFaults{}.refusingPosition().withMinimumSize(s).
    static SimWindowFaults onlySizeAccepted() { return SimWindowFaults{}.refusingPosition(); }
    [[nodiscard]] SimWindowFaults refusingPosition() const {
        return with(&SimWindowFaults::refusePosition, true);
    }
    [[nodiscard]] SimWindowFaults refusingSize() const {
        return with(&SimWindowFaults::refuseSize, true);
    }
    [[nodiscard]] SimWindowFaults refusingFullScreen() const {
        return with(&SimWindowFaults::refuseFullScreen, true);
    }
    [[nodiscard]] SimWindowFaults failingFrameReads() const {
        return with(&SimWindowFaults::failFrameReads, true);
    }
    [[nodiscard]] SimWindowFaults failingHitTest() const {
        return with(&SimWindowFaults::failHitTest, true);
    }
    [[nodiscard]] SimWindowFaults withMinimumSize(Size size) const {
        return with(&SimWindowFaults::minimumSize, std::optional(size));
    }
    [[nodiscard]] SimWindowFaults withMaximumSize(Size size) const {
        return with(&SimWindowFaults::maximumSize, std::optional(size));
    }
    [[nodiscard]] SimWindowFaults withSizeIncrement(Size step) const {
        return with(&SimWindowFaults::sizeIncrement, std::optional(step));
    }
    [[nodiscard]] SimWindowFaults withFailureStatus(AccessibilityStatus status) const {
        return with(&SimWindowFaults::failureStatus, status);
    }

    friend bool operator==(const SimWindowFaults&, const SimWindowFaults&) = default;

private:
    template <typename T> SimWindowFaults with(T SimWindowFaults::*field, T value) const {
        SimWindowFaults copy = *this;
        copy.*field = std::move(value);
        return copy;
    }
};

// A window as a test creates it.
struct SimWindowOptions {
    // "AXTitle".
    std::string title;
    // "AXRole": "AXWindow" for every ordinary window; something else ("AXSheet") for elements
    // that sit at the top of a parent chain without being windows.
    std::string role = "AXWindow";
    // "AXFullScreen". The flag alone: the frame stays what the test gave.
    bool fullScreen = false;
    // Window-list layer: 0 for document windows, higher for panels and menu-bar items.
    std::int32_t layer = 0;
    // False for minimized or hidden windows: they keep their element but are neither in the
    // on-screen window list nor found under a point.
    bool onScreen = true;
    SimWindowFaults faults;
    // What windowIdentity() answers besides the title: the application's class for the window
    // and its role among the application's windows.
    std::string windowClass;
    std::string windowRole;

    // Fluent building: SimWindowOptions{}.titled("Notes").inFullScreen().withFaults(f).
    [[nodiscard]] SimWindowOptions titled(std::string text) const {
        auto copy = *this;
        copy.title = std::move(text);
        return copy;
    }
    [[nodiscard]] SimWindowOptions withRole(std::string name) const {
        auto copy = *this;
        copy.role = std::move(name);
        return copy;
    }
    [[nodiscard]] SimWindowOptions inFullScreen(bool on = true) const {
        auto copy = *this;
        copy.fullScreen = on;
        return copy;
    }
    [[nodiscard]] SimWindowOptions onLayer(std::int32_t value) const {
        auto copy = *this;
        copy.layer = value;
        return copy;
    }
    [[nodiscard]] SimWindowOptions offScreen() const {
        auto copy = *this;
        copy.onScreen = false;
        return copy;
    }
    [[nodiscard]] SimWindowOptions ofClass(std::string className, std::string role = {}) const {
        auto copy = *this;
        copy.windowClass = std::move(className);
        copy.windowRole = std::move(role);
        return copy;
    }
    [[nodiscard]] SimWindowOptions withFaults(SimWindowFaults value) const {
        auto copy = *this;
        copy.faults = std::move(value);
        return copy;
    }
};

// One call made through the ports, as the desktop saw it.
enum class SimCallKind {
    copyAttribute,
    setAttribute,
    performAction,
    elementAtPosition,
    applicationElement,
    processId,
    // isProcessTrusted (value absent) or isProcessTrustedWithPrompt (value: the prompt flag).
    trustCheck,
    beep,
    openURL,
    revealInFileBrowser,
};

struct SimCall {
    SimCallKind kind = SimCallKind::copyAttribute;
    // The element the call was about; id 0 for calls without one (beep, hit test, ...). For
    // elementAtPosition, the element found.
    AccessibilityElement element;
    // The attribute or action name; the address for openURL.
    std::string name;
    // The value written by setAttribute, the point of elementAtPosition, the value read by a
    // successful copyAttribute, the prompt flag of a trust check.
    std::optional<AttributeValue> value;
    // Outcome of accessibility calls; success for the others.
    AccessibilityStatus status = AccessibilityStatus::success;
    // The process of applicationElement; the process found by processId (0 when none).
    ProcessId process = 0;
    // The items of revealInFileBrowser.
    std::vector<std::filesystem::path> items;

    friend bool operator==(const SimCall&, const SimCall&) = default;
};

// Readable test failures: "setAttribute #3 AXPosition (10, 20) -> 0".
void PrintTo(const SimCall& call, std::ostream* os);

// A desktop of applications and windows that answers the Accessibility and Workspace ports
// deterministically, with the displays and pointer of a SimDisplays it owns.
//
// Model:
// - Applications have a process id, an optional bundle identifier, a name and an activation
//   policy. Each has one application element ("AXRole" "AXApplication"), the same for every
//   applicationElement() call with its process id.
// - Windows belong to an application; frames are in the top-left system. One stacking order
//   runs across all applications, front to back: a new window comes in front, "AXRaise" brings
//   a window to the front. "AXParent" of a window is its application element.
// - Child elements (buttons, toolbars) sit inside a window or another child at a frame relative
//   to the window's top-left corner, so they move with it. Their "AXParent" chain leads to the
//   window; elementAtPosition() returns the deepest child under the point.
// - Elements are identified by id; a lookup of the same window by any route gives an equal
//   element. Ids are never reused. Once a window is closed or its application quits, every
//   call on its elements (children included) fails with invalidElement and it vanishes from
//   lists, attributes and hit tests.
// - While not trusted, every Accessibility call fails with apiDisabled (processId() gives
//   nothing, elementAtPosition() no element; applicationElement() still yields the element);
//   the calls are still recorded.
//
// Attributes answered (anything else: attributeUnsupported; an absent value: noValue):
// - application: "AXRole", "AXTitle" (the name), "AXFocusedWindow", "AXMainWindow" (unless set
//   otherwise: the application's frontmost window whose role is "AXWindow"), "AXWindows" (the
//   application's windows front to back, minimized ones included);
// - window: "AXRole", "AXTitle", "AXParent", "AXPosition", "AXSize", "AXFullScreen";
// - child: "AXRole", "AXTitle", "AXParent", "AXPosition", "AXSize" (absolute, top-left).
// Writable: "AXPosition" (Point), "AXSize" (Size) and "AXFullScreen" (bool) of windows; a value
// of the wrong type gives illegalArgument. Action: "AXRaise" on windows (actionUnsupported
// elsewhere).
//
// Every non-const port call is appended to calls() after it took effect, with its outcome.
class SimDesktop final : public Accessibility, public Workspace {
public:
    explicit SimDesktop(std::vector<SystemDisplay> screens = simscreens::single());
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    // --- Accessibility ---
    AttributeResult copyAttribute(const AccessibilityElement& element,
                                  std::string_view attribute) override;
    AccessibilityStatus setAttribute(const AccessibilityElement& element,
                                     std::string_view attribute,
                                     const AttributeValue& value) override;
    // The sequence the platform it simulates needs: position, size, then position again, each an
    // ordinary attribute write in the call log, since some applications clamp the position to the
    // old size and the second position lands where the first could not.
    AccessibilityStatus moveAndResize(const AccessibilityElement& window,
                                      const Rect& frame) override;
    AccessibilityStatus performAction(const AccessibilityElement& element,
                                      std::string_view action) override;
    // The deepest on-screen element at the point, searching windows front to back; noValue
    // when no window is there.
    ElementResult elementAtPosition(Point topLeft) override;
    AccessibilityElement applicationElement(ProcessId process) override;
    std::optional<ProcessId> processId(const AccessibilityElement& element) override;
    // The desktop's id of a window is its element id in decimal.
    std::optional<AccessibilityElement> windowWithSystemID(std::string_view id) override;
    bool isProcessTrusted() override;
    // Reports the trusted flag; the prompt never changes it.
    bool isProcessTrustedWithPrompt(bool prompt) override;
    // The class, role and title the window was added with (its title as it is now); empty for
    // anything but a live window. Not recorded, like the inspection calls.
    WindowIdentity windowIdentity(const AccessibilityElement& window) override;
    // Handlers run synchronously inside addWindow(), once the window is in place.
    [[nodiscard]] Connection
    onWindowAppeared(std::function<void(const AccessibilityElement&)> handler) override;
    [[nodiscard]] Connection
    onWindowMoved(std::function<void(const AccessibilityElement&)> handler) override;

    // --- Workspace ---
    // The process last set or activated, whether or not it was added as an application (a
    // test may leave Tessera's own process out); nothing once it has quit.
    std::optional<ProcessId> frontmostApplication() const override;
    std::optional<RunningApplication> runningApplication(ProcessId process) const override;
    // Handlers run synchronously inside activateApplication().
    [[nodiscard]] Connection
    onDidActivateApplication(std::function<void(ProcessId)> handler) override;
    void beep() override;
    // Live, on-screen windows front to back, with their layer and current frame.
    std::vector<WindowListEntry> onScreenWindows() const override;
    // Recorded; returns what setOpenURLResult() set (true at first).
    bool openURL(std::string_view url) override;
    bool revealInFileBrowser(const std::vector<std::filesystem::path>& items) override;

    // --- Displays and pointer ---
    SimDisplays& displays() { return displays_; }
    const SimDisplays& displays() const { return displays_; }
    // A display's frame and visible frame converted to the top-left system (window
    // coordinates), through the primary display. The index is into displays().screens().
    Rect topLeftFrame(std::size_t displayIndex) const;
    Rect topLeftVisibleFrame(std::size_t displayIndex) const;
    // Puts the pointer at a top-left point (stored bottom-left in displays()).
    void setPointerTopLeft(Point topLeft);

    // --- Applications (test side; nothing here is recorded) ---
    // Adds a running application and returns its application element. Throws
    // std::invalid_argument when an application with this process id is already running.
    AccessibilityElement addApplication(ProcessId process,
                                        std::optional<std::string> bundleIdentifier,
                                        std::string name,
                                        ActivationPolicy policy = ActivationPolicy::regular);
    // Ends the application: its windows are closed, it is no longer running or frontmost
    // (nothing is activated instead). Unknown process ids are ignored.
    void quitApplication(ProcessId process);
    // Makes the application frontmost without any notification (how things stood at start).
    void setFrontmostApplication(std::optional<ProcessId> process);
    // Makes the application frontmost and notifies onDidActivateApplication() handlers, even
    // when it already was frontmost. Stacking order is left alone.
    void activateApplication(ProcessId process);

    // Pin what the application answers for "AXFocusedWindow" / "AXMainWindow": a window, or
    // nullopt for no value (noValue). A pinned window that is later closed reads as no value.
    void setFocusedWindow(ProcessId process, std::optional<AccessibilityElement> window);
    void setMainWindow(ProcessId process, std::optional<AccessibilityElement> window);
    // Pin "AXWindows": a list (may be empty), or nullopt for no value. Closed windows are
    // left out when read.
    void setWindowsAttribute(ProcessId process,
                             std::optional<std::vector<AccessibilityElement>> windows);
    // Back to the values derived from the stacking order.
    void resetApplicationAttributes(ProcessId process);

    // --- Windows and their elements (test side; nothing here is recorded) ---
    // Adds a window in front of all others. Throws std::invalid_argument when the application
    // is not running.
    AccessibilityElement addWindow(ProcessId process, const Rect& topLeftFrame,
                                   SimWindowOptions options = {});
    // The same for a plain window that misbehaves.
    AccessibilityElement addWindow(ProcessId process, const Rect& topLeftFrame,
                                   const SimWindowFaults& faults) {
        return addWindow(process, topLeftFrame, SimWindowOptions{}.withFaults(faults));
    }
    // Adds an element inside a window or inside another child, at a frame relative to the
    // window's top-left corner; later children lie above earlier ones. Throws
    // std::invalid_argument when the parent is not a live window or child.
    AccessibilityElement addChild(const AccessibilityElement& parent, std::string role,
                                  const Rect& frameInWindow, std::string title = {});
    // A close button in the title bar, the usual thing a hit test finds near a window's
    // top-left corner: "AXButton" at (8, 6, 14, 14) in the window.
    AccessibilityElement addCloseButton(const AccessibilityElement& window);
    // The window goes away with all its children.
    void closeWindow(const AccessibilityElement& window);

    // The user moved or resized the window: no fault applies, nothing is recorded.
    void setFrame(const AccessibilityElement& window, const Rect& topLeftFrame);
    void setFullScreen(const AccessibilityElement& window, bool fullScreen);
    void setOnScreen(const AccessibilityElement& window, bool onScreen);
    void setFaults(const AccessibilityElement& window, const SimWindowFaults& faults);
    // Stacking order changes made by the user (not recorded).
    void bringToFront(const AccessibilityElement& window);
    void sendToBack(const AccessibilityElement& window);

    // Replaces what copyAttribute answers for one attribute of one live element (a parent that
    // is not an element, a role that can't be read, ...). nullopt removes the override.
    void overrideAttribute(const AccessibilityElement& element, std::string attribute,
                           std::optional<AttributeResult> result);
    // While false every Accessibility call fails with apiDisabled. True at first.
    void setTrusted(bool trusted) { trusted_ = trusted; }
    void setOpenURLResult(bool handled) { openURLResult_ = handled; }

    // --- Inspection (bypasses faults and trust; nothing is recorded) ---
    bool isAlive(const AccessibilityElement& element) const;
    // Current frame of a live window or child (absolute, top-left).
    std::optional<Rect> frame(const AccessibilityElement& element) const;
    bool isFullScreen(const AccessibilityElement& window) const;
    // Live windows, front to back: all of them, or those of one application.
    std::vector<AccessibilityElement> windowsFrontToBack() const;
    std::vector<AccessibilityElement> windowsFrontToBack(ProcessId process) const;

    // --- Recorded calls ---
    const std::vector<SimCall>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    // Every recorded call about this element, in order.
    std::vector<SimCall> callsOn(const AccessibilityElement& element) const;
    // The writes and actions on this element (setAttribute and performAction), in order.
    std::vector<SimCall> writesTo(const AccessibilityElement& element) const;
    // Their names only, e.g. {"AXRaise", "AXPosition", "AXSize", "AXPosition"}.
    std::vector<std::string> writeNames(const AccessibilityElement& element) const;
    // Calls of a kind, optionally only those with this attribute or action name.
    std::size_t count(SimCallKind kind, std::string_view name = {}) const;
    std::size_t beepCount() const { return count(SimCallKind::beep); }
    std::vector<std::string> openedURLs() const;

    // Runs after each recorded call has taken effect, with that call; it may change the
    // desktop (close the window, make reads fail) to stage what happens between two calls of
    // one operation. Calls the hook itself makes through the ports are recorded but don't call
    // it again. An empty function removes it.
    void setCallHook(std::function<void(const SimCall&)> hook) { hook_ = std::move(hook); }

private:
    enum class NodeKind { application, window, child };

    struct Node {
        NodeKind kind = NodeKind::window;
        ProcessId process = 0;
        bool alive = true;
        // The containing element: the application for a window, the window or child for a
        // child; 0 for an application.
        std::uint64_t parent = 0;
        // The window a child lies in (the window itself for a window).
        std::uint64_t window = 0;
        std::string role;
        std::string title;
        std::string windowClass;
        std::string windowRole;
        // Absolute for windows; relative to the window's top-left corner for children.
        Rect frame;
        bool fullScreen = false;
        std::int32_t layer = 0;
        bool onScreen = true;
        SimWindowFaults faults;
        // Children in the order they were added (later ones on top).
        std::vector<std::uint64_t> children;
        std::map<std::string, AttributeResult, std::less<>> overrides;
    };

    struct Application {
        RunningApplication info;
        std::uint64_t element = 0;
        // nullopt: derived from the stacking order; otherwise the pinned answer.
        std::optional<std::optional<AccessibilityElement>> focused;
        std::optional<std::optional<AccessibilityElement>> main;
        std::optional<std::optional<std::vector<AccessibilityElement>>> windows;
    };

    std::uint64_t newId() { return nextId_++; }
    Node* liveNode(const AccessibilityElement& element);
    const Node* liveNode(const AccessibilityElement& element) const;
    Node& liveWindow(const AccessibilityElement& element, const char* operation);
    Application* runningApp(ProcessId process);
    const Application* runningApp(ProcessId process) const;
    Rect absoluteFrame(const Node& node) const;
    AttributeResult readAttribute(const Node& node, std::string_view attribute) const;
    AttributeResult readApplicationAttribute(const Node& node, std::string_view attribute) const;
    AccessibilityStatus writeAttribute(Node& node, std::string_view attribute,
                                       const AttributeValue& value);
    std::optional<AccessibilityElement> frontWindowOf(ProcessId process) const;
    std::uint64_t deepestChildAt(std::uint64_t id, Point topLeft) const;
    void markDead(std::uint64_t id);
    void record(SimCall call);

    SimDisplays displays_;
    std::map<std::uint64_t, Node> nodes_;
    std::map<ProcessId, Application> applications_;
    // Application elements handed out for process ids, kept so a later lookup is equal.
    std::map<ProcessId, std::uint64_t> applicationElements_;
    // Window ids, front to back.
    std::vector<std::uint64_t> stacking_;
    std::optional<ProcessId> frontmost_;
    Signal<ProcessId> activated_;
    Signal<const AccessibilityElement&> appeared_;
    Signal<const AccessibilityElement&> moved_;
    std::vector<SimCall> calls_;
    std::function<void(const SimCall&)> hook_;
    bool inHook_ = false;
    bool trusted_ = true;
    bool openURLResult_ = true;
    std::uint64_t nextId_ = 1;
};

} // namespace tessera
