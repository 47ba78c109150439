#include "KWinPorts.h"

#include <glib.h>

#include <algorithm>
#include <utility>

namespace tessera {

namespace {

constexpr std::string_view logCategory = "kwin";

// The output at KWin's origin, through which the two systems convert; else the first.
std::optional<Rect> primaryFrame(const std::vector<KWinOutputInfo>& outputs) {
    if (outputs.empty()) {
        return std::nullopt;
    }
    const auto origin = std::ranges::find_if(outputs, [](const KWinOutputInfo& output) {
        return output.frame.minX() == 0 && output.frame.minY() == 0;
    });
    return (origin != outputs.end() ? *origin : outputs.front()).frame;
}

Point centre(const Rect& r) {
    return {r.minX() + r.width() / 2, r.minY() + r.height() / 2};
}

} // namespace

// --- Displays ---

KWinDisplays::KWinDisplays(KWinBridge& bridge) : bridge_(bridge) {}

std::vector<SystemDisplay> KWinDisplays::screens() const {
    const auto& outputs = bridge_.outputs();
    const auto primary = primaryFrame(outputs);
    std::vector<SystemDisplay> displays;
    for (const auto& output : outputs) {
        displays.push_back({toBottomLeft(output.frame, *primary),
                            toBottomLeft(output.area, *primary), 1.0, output.name});
    }
    return displays;
}

std::optional<SystemDisplay> KWinDisplays::mainScreen() const {
    const auto displays = screens();
    if (displays.empty()) {
        return std::nullopt;
    }
    if (const auto* active = bridge_.window(bridge_.activeWindow())) {
        const auto middle = toBottomLeft(centre(active->frame), *primaryFrame(bridge_.outputs()));
        for (const auto& display : displays) {
            if (display.frame.contains(middle)) {
                return display;
            }
        }
    }
    return primaryDisplay(displays);
}

Point KWinDisplays::mouseLocation() const {
    const auto primary = primaryFrame(bridge_.outputs());
    if (!primary) {
        return {};
    }
    return toBottomLeft(bridge_.cursor().value_or(centre(*primary)), *primary);
}

Connection KWinDisplays::onChange(std::function<void()> handler) {
    return bridge_.onOutputsChanged(std::move(handler));
}

Rect KWinDisplays::toKWin(const Rect& frame) const {
    const auto primary = primaryFrame(bridge_.outputs());
    return primary ? toTopLeft(frame, *primary) : frame;
}

// --- Accessibility ---

KWinAccessibility::KWinAccessibility(KWinBridge& bridge) : bridge_(bridge) {}

WindowIdentity KWinAccessibility::windowIdentity(const AccessibilityElement& element) {
    const auto* window = windowOf(element);
    if (window == nullptr) {
        return {};
    }
    return {window->resourceClass, std::string(), window->caption};
}

Connection
KWinAccessibility::onWindowAppeared(std::function<void(const AccessibilityElement&)> handler) {
    return bridge_.onWindowAdded([this, handler = std::move(handler)](const std::string& id) {
        if (const auto* window = bridge_.window(id); window != nullptr && window->normal) {
            handler(windowElement(id));
        }
    });
}

Connection
KWinAccessibility::onWindowMoved(std::function<void(const AccessibilityElement&)> handler) {
    return bridge_.onWindowMoved([this, handler = std::move(handler)](const std::string& id) {
        if (const auto known = windowIds_.find(id); known != windowIds_.end()) {
            handler(AccessibilityElement{known->second});
        }
    });
}

std::optional<AccessibilityElement> KWinAccessibility::windowWithSystemID(std::string_view id) {
    const std::string key(id);
    if (bridge_.window(key) == nullptr) {
        return std::nullopt;
    }
    return windowElement(key);
}

AccessibilityElement KWinAccessibility::windowElement(const std::string& id) {
    const auto [it, added] = windowIds_.try_emplace(id, nextId_);
    if (added) {
        windowsById_.emplace(nextId_++, id);
    }
    return {it->second};
}

AccessibilityElement KWinAccessibility::applicationElement(ProcessId process) {
    const auto [it, added] = applicationIds_.try_emplace(process, nextId_);
    if (added) {
        applicationsById_.emplace(nextId_++, process);
    }
    return {it->second};
}

const KWinWindowInfo* KWinAccessibility::windowOf(const AccessibilityElement& element) const {
    const auto it = windowsById_.find(element.id);
    return it == windowsById_.end() ? nullptr : bridge_.window(it->second);
}

std::optional<ProcessId>
KWinAccessibility::applicationOf(const AccessibilityElement& element) const {
    const auto it = applicationsById_.find(element.id);
    if (it == applicationsById_.end()) {
        return std::nullopt;
    }
    return it->second;
}

AttributeResult KWinAccessibility::copyAttribute(const AccessibilityElement& element,
                                                 std::string_view attribute) {
    const auto success = [](AttributeValue value) {
        return AttributeResult{AccessibilityStatus::success, std::move(value)};
    };
    if (const auto* window = windowOf(element)) {
        if (attribute == ax::position) {
            return success(window->frame.origin);
        }
        if (attribute == ax::size) {
            return success(window->frame.size);
        }
        if (attribute == ax::role) {
            return success(std::string(ax::windowRole));
        }
        if (attribute == ax::fullScreen) {
            return success(window->fullScreen);
        }
        if (attribute == ax::parent) {
            return success(applicationElement(window->pid));
        }
        return {AccessibilityStatus::attributeUnsupported, std::nullopt};
    }
    if (const auto process = applicationOf(element)) {
        return applicationAttribute(*process, attribute);
    }
    return {AccessibilityStatus::invalidElement, std::nullopt};
}

AttributeResult KWinAccessibility::applicationAttribute(ProcessId process,
                                                        std::string_view attribute) {
    std::vector<AccessibilityElement> windows;
    for (const auto* window : bridge_.windowsByRecency()) {
        if (window->pid == process && window->normal) {
            windows.push_back(windowElement(window->id));
        }
    }
    if (windows.empty()) {
        return {AccessibilityStatus::invalidElement, std::nullopt};
    }
    if (attribute == ax::windows) {
        return {AccessibilityStatus::success, windows};
    }
    if (attribute == ax::role) {
        return {AccessibilityStatus::success, std::string("AXApplication")};
    }
    if (attribute == ax::focusedWindow) {
        const auto* active = bridge_.window(bridge_.activeWindow());
        if (active == nullptr || active->pid != process) {
            return {AccessibilityStatus::noValue, std::nullopt};
        }
        return {AccessibilityStatus::success, windowElement(active->id)};
    }
    if (attribute == ax::mainWindow) {
        return {AccessibilityStatus::success, windows.front()};
    }
    return {AccessibilityStatus::attributeUnsupported, std::nullopt};
}

AccessibilityStatus KWinAccessibility::setAttribute(const AccessibilityElement& element,
                                                    std::string_view attribute,
                                                    const AttributeValue& value) {
    const auto* window = windowOf(element);
    if (window == nullptr) {
        return AccessibilityStatus::invalidElement;
    }
    Rect frame = window->frame;
    if (attribute == ax::position && std::holds_alternative<Point>(value)) {
        frame.origin = std::get<Point>(value);
    } else if (attribute == ax::size && std::holds_alternative<Size>(value)) {
        frame.size = std::get<Size>(value);
    } else if (attribute == ax::position || attribute == ax::size) {
        return AccessibilityStatus::illegalArgument;
    } else {
        return AccessibilityStatus::attributeUnsupported;
    }
    return moveAndResize(element, frame);
}

AccessibilityStatus KWinAccessibility::performAction(const AccessibilityElement& element,
                                                     std::string_view action) {
    const auto* window = windowOf(element);
    if (window == nullptr) {
        return AccessibilityStatus::invalidElement;
    }
    if (action != ax::raiseAction) {
        return AccessibilityStatus::actionUnsupported;
    }
    bridge_.activate(window->id);
    return AccessibilityStatus::success;
}

AccessibilityStatus KWinAccessibility::moveAndResize(const AccessibilityElement& element,
                                                     const Rect& frame) {
    const auto* window = windowOf(element);
    if (window == nullptr) {
        return AccessibilityStatus::invalidElement;
    }
    if (frame.width() <= 0 || frame.height() <= 0) {
        return AccessibilityStatus::illegalArgument;
    }
    bridge_.setFrame(window->id, frame);
    return AccessibilityStatus::success;
}

ElementResult KWinAccessibility::elementAtPosition(Point topLeft) {
    if (const auto* moving = bridge_.window(bridge_.movingWindow());
        moving != nullptr && moving->frame.contains(topLeft)) {
        return {AccessibilityStatus::success, windowElement(moving->id)};
    }
    for (const auto* window : bridge_.windowsFrontToBack()) {
        if (window->normal && !window->minimized && window->frame.contains(topLeft)) {
            return {AccessibilityStatus::success, windowElement(window->id)};
        }
    }
    return {AccessibilityStatus::noValue, std::nullopt};
}

std::optional<ProcessId> KWinAccessibility::processId(const AccessibilityElement& element) {
    if (const auto* window = windowOf(element)) {
        return window->pid;
    }
    return applicationOf(element);
}

// --- Workspace ---

KWinWorkspace::KWinWorkspace(KWinBridge& bridge, Log& log) : bridge_(bridge), log_(log) {}

std::optional<ProcessId> KWinWorkspace::frontmostApplication() const {
    const auto* active = bridge_.window(bridge_.activeWindow());
    if (active == nullptr || active->pid == 0) {
        return std::nullopt;
    }
    return active->pid;
}

std::optional<RunningApplication> KWinWorkspace::runningApplication(ProcessId process) const {
    const KWinWindowInfo* found = nullptr;
    bool regular = false;
    for (const auto* window : bridge_.windowsByRecency()) {
        if (window->pid != process) {
            continue;
        }
        if (found == nullptr || (window->normal && !found->normal)) {
            found = window;
        }
        regular = regular || window->normal;
    }
    if (found == nullptr) {
        return std::nullopt;
    }
    RunningApplication application;
    application.processIdentifier = process;
    if (!found->desktopFileName.empty()) {
        application.bundleIdentifier = found->desktopFileName;
    } else if (!found->resourceClass.empty()) {
        application.bundleIdentifier = found->resourceClass;
    }
    application.localizedName = application.bundleIdentifier;
    application.activationPolicy =
        regular ? ActivationPolicy::regular : ActivationPolicy::accessory;
    return application;
}

Connection KWinWorkspace::onDidActivateApplication(std::function<void(ProcessId)> handler) {
    return bridge_.onActivated([this, handler = std::move(handler),
                                last = std::optional<ProcessId>()](const std::string&) mutable {
        const auto front = frontmostApplication();
        if (front && front != last) {
            handler(*front);
        }
        last = front;
    });
}

void KWinWorkspace::beep() {
    log_.write(logCategory, LogLevel::info, "a window command could not act");
}

std::vector<WindowListEntry> KWinWorkspace::onScreenWindows() const {
    std::vector<WindowListEntry> entries;
    for (const auto* window : bridge_.windowsFrontToBack()) {
        if (window->normal && !window->minimized) {
            entries.push_back({window->pid, 0, window->frame});
        }
    }
    return entries;
}

bool KWinWorkspace::open(const std::string& argument) {
    std::string program = "xdg-open";
    std::vector<char*> argv{program.data(), const_cast<char*>(argument.c_str()), nullptr};
    GError* error = nullptr;
    if (g_spawn_async(nullptr, argv.data(), nullptr,
                      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL),
                      nullptr, nullptr, nullptr, &error) == FALSE) {
        log_.write(logCategory, LogLevel::error,
                   "Can't start xdg-open: " + std::string(error != nullptr && error->message
                                                              ? error->message
                                                              : "unknown error"));
        g_clear_error(&error);
        return false;
    }
    return true;
}

bool KWinWorkspace::openURL(std::string_view url) {
    return open(std::string(url));
}

bool KWinWorkspace::revealInFileBrowser(const std::vector<std::filesystem::path>& items) {
    // As on X11: no common way to select items, so the folders holding them open.
    bool opened = false;
    std::vector<std::filesystem::path> folders;
    for (const auto& item : items) {
        auto folder = std::filesystem::absolute(item).parent_path();
        if (std::ranges::find(folders, folder) == folders.end()) {
            folders.push_back(folder);
            opened = open(folder.string()) || opened;
        }
    }
    return opened;
}

// --- Hotkeys ---

KWinHotkeys::KWinHotkeys(KWinBridge& bridge) : bridge_(bridge) {
    shortcuts_ = bridge_.onShortcut([this](const std::string& name) {
        for (const auto& [ref, registration] : registrations_) {
            if (registration.name == name) {
                pressed_.emit(registration.id);
                return;
            }
        }
    });
    kwinBack_ = bridge_.onKWinBack([this] {
        for (const auto& [ref, registration] : registrations_) {
            bridge_.registerShortcut(registration.name, registration.name, registration.keys);
        }
    });
}

std::optional<std::string> KWinHotkeys::shortcutName(std::uint32_t keyCode,
                                                     std::uint32_t carbonModifiers) {
    const auto keys = qtKeys(keyCode, carbonModifiers);
    if (!keys) {
        return std::nullopt;
    }
    return "Tessera " + keys->text;
}

Connection KWinHotkeys::installHandler(std::function<void(HotkeyID)> handler) {
    return pressed_.connect(std::move(handler));
}

HotkeyRegistration KWinHotkeys::registerHotkey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                               HotkeyID id) {
    const auto keys = qtKeys(keyCode, carbonModifiers);
    if (!keys) {
        return {HotkeyStatus::invalid, std::nullopt};
    }
    const auto name = *shortcutName(keyCode, carbonModifiers);
    const bool held = std::ranges::any_of(
        registrations_, [&](const auto& entry) { return entry.second.name == name; });
    if (held) {
        return {HotkeyStatus::alreadyTaken, std::nullopt};
    }
    // Nothing refuses a script's shortcut on keys another action holds (inside KWin's own
    // component kglobalaccel even hands them to both), so kglobalaccel is asked first, as an X
    // server refuses a grab. Only this very action (left by an earlier run in this KWin) is no
    // other's.
    const auto holders = bridge_.globalShortcutsOn(keys->code);
    if (std::ranges::any_of(holders, [&](const KWinBridge::GlobalShortcut& holder) {
            return holder.component != "kwin" || holder.action != name;
        })) {
        return {HotkeyStatus::alreadyTaken, std::nullopt};
    }
    bridge_.registerShortcut(name, name, keys->text);
    const HotkeyRef ref{nextRef_++};
    registrations_.emplace(ref.value, Registration{name, keys->text, id});
    return {HotkeyStatus::ok, ref};
}

void KWinHotkeys::unregisterHotkey(HotkeyRef ref) {
    const auto it = registrations_.find(ref.value);
    if (it == registrations_.end()) {
        return;
    }
    bridge_.unregisterShortcut(it->second.name);
    registrations_.erase(it);
}

// --- Input events ---

namespace {

// Escape's macOS key code, as the drag monitor expects it.
constexpr std::uint16_t escapeKeyCode = 53;

class MoveTap final : public EventTap {
public:
    MoveTap(KWinBridge& bridge, EventMask mask, std::function<void(const TapEvent&)> callback) {
        moves_ = bridge.onMove([this, mask, callback = std::move(callback)](MovePhase phase,
                                                                            Point cursor) {
            if (!enabled_) {
                return;
            }
            // Escape, which the script can't see, shows as the cancel of the move.
            const auto type = phase == MovePhase::start    ? InputEventType::leftMouseDown
                              : phase == MovePhase::step   ? InputEventType::leftMouseDragged
                              : phase == MovePhase::cancel ? InputEventType::keyDown
                                                           : InputEventType::leftMouseUp;
            if ((mask & eventMaskBit(type)) != 0) {
                const bool escape = type == InputEventType::keyDown;
                // KWin moves a window only when it was taken as a whole (by its title bar,
                // or anywhere with Meta held): the press carries the modifier that makes
                // the whole window a handle, so a Meta+drag from its middle counts too.
                const std::uint64_t flags =
                    type == InputEventType::leftMouseDown ? eventFlags::option : 0;
                callback(TapEvent{type, cursor, flags, escape ? escapeKeyCode : std::uint16_t{0}});
            }
        });
    }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    bool isEnabled() const override { return enabled_; }

private:
    bool enabled_ = true;
    Connection moves_;
};

} // namespace

KWinInputEvents::KWinInputEvents(KWinBridge& bridge) : bridge_(bridge) {}

std::unique_ptr<EventTap>
KWinInputEvents::createListenOnlyTap(EventMask mask,
                                     std::function<void(const TapEvent&)> callback) {
    return std::make_unique<MoveTap>(bridge_, mask, std::move(callback));
}

Connection KWinInputEvents::addGlobalMonitor(EventMask, std::function<void(const MonitorEvent&)>) {
    return {};
}

Connection KWinInputEvents::addLocalMonitor(EventMask mask,
                                            std::function<bool(const MonitorEvent&)> handler) {
    const auto id = nextLocal_++;
    locals_->emplace(id, LocalMonitor{mask, std::move(handler)});
    return Connection([weak = std::weak_ptr(locals_), id] {
        if (const auto locals = weak.lock()) {
            locals->erase(id);
        }
    });
}

bool KWinInputEvents::deliverLocalEvent(const MonitorEvent& event) {
    const auto locals = locals_;
    std::vector<std::uint64_t> ids;
    for (const auto& entry : *locals) {
        ids.push_back(entry.first);
    }
    for (const auto id : ids) {
        // A handler may end its own monitor or another one; each is looked up afresh and
        // called through a copy.
        const auto it = locals->find(id);
        if (it == locals->end() || (it->second.mask & eventMaskBit(event.type)) == 0) {
            continue;
        }
        const auto handler = it->second.handler;
        if (handler(event)) {
            return true;
        }
    }
    return false;
}

} // namespace tessera
