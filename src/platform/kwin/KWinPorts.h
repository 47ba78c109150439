#pragma once

#include "KWinBridge.h"

#include "core/platform/Accessibility.h"
#include "core/platform/Displays.h"
#include "core/platform/Hotkeys.h"
#include "core/platform/InputEvents.h"
#include "core/platform/Log.h"
#include "core/platform/Workspace.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

namespace tessera {

// The outputs KWin reports, in its order, converted to the bottom-left system through the
// output at KWin's origin (else the first). A display's visible frame is KWin's placement area
// on it, which leaves out the panels. KWin's coordinates are logical pixels, so the scale is 1.
// The pointer is where the latest interactive move found it: a script sees the cursor only
// then.
class KWinDisplays final : public Displays {
public:
    explicit KWinDisplays(KWinBridge& bridge);

    std::vector<SystemDisplay> screens() const override;
    std::optional<SystemDisplay> mainScreen() const override;
    Point mouseLocation() const override;
    [[nodiscard]] Connection onChange(std::function<void()> handler) override;

    // A frame of the core's (bottom-left) system in KWin's logical top-left coordinates, where
    // Tessera's own windows are placed; unchanged while KWin has reported no output.
    Rect toKWin(const Rect& frame) const;

private:
    KWinBridge& bridge_;
};

// Windows as KWin has them. An application element stands for a process, a window element for
// one KWin window (Wayland or Xwayland); ids are never reused. Reads come from the bridge's
// model; a frame change is one command to KWin, taken by the model at once (KWin applies a
// Wayland window's new size only once the client has drawn it, and the script's reports then
// bring what it became). Raising activates. KWin grants access to every window, so the process
// is always trusted.
class KWinAccessibility final : public Accessibility {
public:
    explicit KWinAccessibility(KWinBridge& bridge);

    AttributeResult copyAttribute(const AccessibilityElement& element,
                                  std::string_view attribute) override;
    AccessibilityStatus setAttribute(const AccessibilityElement& element,
                                     std::string_view attribute,
                                     const AttributeValue& value) override;
    AccessibilityStatus performAction(const AccessibilityElement& element,
                                      std::string_view action) override;
    AccessibilityStatus moveAndResize(const AccessibilityElement& window,
                                      const Rect& frame) override;
    // The window being moved when the point is on it, else the frontmost window holding the
    // point in KWin's stacking order.
    ElementResult elementAtPosition(Point topLeft) override;
    AccessibilityElement applicationElement(ProcessId process) override;
    std::optional<ProcessId> processId(const AccessibilityElement& element) override;
    bool isProcessTrusted() override { return true; }
    bool isProcessTrustedWithPrompt(bool) override { return true; }
    // Resource class and caption; KWin's scripts see no window role.
    WindowIdentity windowIdentity(const AccessibilityElement& window) override;
    // Ordinary windows the script reports as added.
    [[nodiscard]] Connection
    onWindowAppeared(std::function<void(const AccessibilityElement&)> handler) override;
    [[nodiscard]] Connection
    onWindowMoved(std::function<void(const AccessibilityElement&)> handler) override;
    // A window by KWin's own id for it (its internalId).
    std::optional<AccessibilityElement> windowWithSystemID(std::string_view id) override;

    AccessibilityElement windowElement(const std::string& id);

private:
    const KWinWindowInfo* windowOf(const AccessibilityElement& element) const;
    std::optional<ProcessId> applicationOf(const AccessibilityElement& element) const;
    AttributeResult applicationAttribute(ProcessId process, std::string_view attribute);

    KWinBridge& bridge_;
    std::uint64_t nextId_ = 1;
    std::unordered_map<std::string, std::uint64_t> windowIds_;
    std::unordered_map<std::uint64_t, std::string> windowsById_;
    std::unordered_map<ProcessId, std::uint64_t> applicationIds_;
    std::unordered_map<std::uint64_t, ProcessId> applicationsById_;
};

// Running applications as their windows show them: the frontmost is the active window's
// process; an application's identifier is its desktop file name, else its resource class.
class KWinWorkspace final : public Workspace {
public:
    KWinWorkspace(KWinBridge& bridge, Log& log);

    std::optional<ProcessId> frontmostApplication() const override;
    std::optional<RunningApplication> runningApplication(ProcessId process) const override;
    [[nodiscard]] Connection
    onDidActivateApplication(std::function<void(ProcessId)> handler) override;
    // A script has no sound to play; the log says a command could not act.
    void beep() override;
    // Ordinary windows as KWin stacks them, the frontmost first, all in layer 0.
    std::vector<WindowListEntry> onScreenWindows() const override;
    bool openURL(std::string_view url) override;
    bool revealInFileBrowser(const std::vector<std::filesystem::path>& items) override;

private:
    bool open(const std::string& argument);

    KWinBridge& bridge_;
    Log& log_;
};

// Global shortcuts registered by the script with KWin (so they show in KDE's shortcut
// settings), named after their keys, and registered again with a KWin that restarted. Keys that
// one of KDE's global shortcuts holds (KWin's own, another application's) are refused as taken,
// as is a second registration of the same keys here.
class KWinHotkeys final : public Hotkeys {
public:
    explicit KWinHotkeys(KWinBridge& bridge);

    [[nodiscard]] Connection installHandler(std::function<void(HotkeyID)> handler) override;
    HotkeyRegistration registerHotkey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                      HotkeyID id) override;
    void unregisterHotkey(HotkeyRef ref) override;

    // The name KWin knows a combination by ("Tessera Meta+Ctrl+Left"); nothing for keys that
    // have no name there.
    static std::optional<std::string> shortcutName(std::uint32_t keyCode,
                                                   std::uint32_t carbonModifiers);

private:
    struct Registration {
        std::string name;
        std::string keys;
        HotkeyID id;
    };

    KWinBridge& bridge_;
    std::map<std::uint64_t, Registration> registrations_;
    std::uint64_t nextRef_ = 1;
    Signal<HotkeyID> pressed_;
    Connection shortcuts_;
    Connection kwinBack_;
};

// The mouse as the compositor's interactive moves show it: a move's start is a left mouse down
// at the cursor, its steps drags, its end the release. Scripts see nothing else of the input,
// so the tap carries these and the monitors stay silent.
class KWinInputEvents final : public InputEvents {
public:
    explicit KWinInputEvents(KWinBridge& bridge);

    std::unique_ptr<EventTap>
    createListenOnlyTap(EventMask mask, std::function<void(const TapEvent&)> callback) override;
    [[nodiscard]] Connection
    addGlobalMonitor(EventMask mask, std::function<void(const MonitorEvent&)> handler) override;
    [[nodiscard]] Connection
    addLocalMonitor(EventMask mask, std::function<bool(const MonitorEvent&)> handler) override;
    bool preflightListenEventAccess() const override { return true; }

    // Hands an event of one of Tessera's own windows (a key press the toolkit saw) to the local
    // monitors, newest last, until one swallows it; true when one did.
    bool deliverLocalEvent(const MonitorEvent& event);

private:
    struct LocalMonitor {
        EventMask mask;
        std::function<bool(const MonitorEvent&)> handler;
    };

    KWinBridge& bridge_;
    // Shared with the monitors' connections, which may outlive this object.
    std::shared_ptr<std::map<std::uint64_t, LocalMonitor>> locals_ =
        std::make_shared<std::map<std::uint64_t, LocalMonitor>>();
    std::uint64_t nextLocal_ = 1;
};

} // namespace tessera
