#include "SimDesktop.h"

#include "core/model/Screens.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <utility>
#include <variant>

namespace tessera {

namespace {

constexpr std::string_view titleAttribute = "AXTitle";
constexpr std::string_view applicationRole = "AXApplication";

AttributeResult found(AttributeValue value) {
    return {AccessibilityStatus::success, std::move(value)};
}

AttributeResult failed(AccessibilityStatus status) {
    return {status, std::nullopt};
}

bool isFinite(Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

bool isFinite(Size s) {
    return std::isfinite(s.width) && std::isfinite(s.height);
}

double snapDown(double value, double step) {
    return step > 0 ? std::floor(value / step) * step : value;
}

// The size a window ends up with when asked for `requested`: its cell size, then its limits.
Size constrainedSize(Size requested, const SimWindowFaults& faults) {
    Size result{std::max(0.0, requested.width), std::max(0.0, requested.height)};
    if (faults.sizeIncrement) {
        result.width = snapDown(result.width, faults.sizeIncrement->width);
        result.height = snapDown(result.height, faults.sizeIncrement->height);
    }
    if (faults.maximumSize) {
        result.width = std::min(result.width, faults.maximumSize->width);
        result.height = std::min(result.height, faults.maximumSize->height);
    }
    if (faults.minimumSize) {
        result.width = std::max(result.width, faults.minimumSize->width);
        result.height = std::max(result.height, faults.minimumSize->height);
    }
    return result;
}

std::invalid_argument misuse(const char* operation, const std::string& what) {
    return std::invalid_argument(std::string("SimDesktop::") + operation + ": " + what);
}

const char* kindName(SimCallKind kind) {
    switch (kind) {
    case SimCallKind::copyAttribute:
        return "copyAttribute";
    case SimCallKind::setAttribute:
        return "setAttribute";
    case SimCallKind::performAction:
        return "performAction";
    case SimCallKind::elementAtPosition:
        return "elementAtPosition";
    case SimCallKind::applicationElement:
        return "applicationElement";
    case SimCallKind::processId:
        return "processId";
    case SimCallKind::trustCheck:
        return "trustCheck";
    case SimCallKind::beep:
        return "beep";
    case SimCallKind::openURL:
        return "openURL";
    case SimCallKind::revealInFileBrowser:
        return "revealInFileBrowser";
    }
    return "?";
}

struct ValuePrinter {
    std::ostream& os;
    void operator()(Point p) const { os << "(" << p.x << ", " << p.y << ")"; }
    void operator()(Size s) const { os << "(" << s.width << " x " << s.height << ")"; }
    void operator()(bool b) const { os << (b ? "true" : "false"); }
    void operator()(const std::string& text) const { os << '"' << text << '"'; }
    void operator()(const AccessibilityElement& e) const { os << "#" << e.id; }
    void operator()(const std::vector<AccessibilityElement>& list) const {
        os << "[";
        for (std::size_t i = 0; i < list.size(); ++i) {
            os << (i > 0 ? ", #" : "#") << list[i].id;
        }
        os << "]";
    }
};

} // namespace

void PrintTo(const SimCall& call, std::ostream* os) {
    *os << kindName(call.kind);
    if (call.element.id != 0) {
        *os << " #" << call.element.id;
    }
    if (!call.name.empty()) {
        *os << " " << call.name;
    }
    if (call.value) {
        *os << " ";
        std::visit(ValuePrinter{*os}, *call.value);
    }
    if (call.process != 0) {
        *os << " pid " << call.process;
    }
    *os << " -> " << static_cast<std::int32_t>(call.status);
}

SimDesktop::SimDesktop(std::vector<SystemDisplay> screens) : displays_(std::move(screens)) {}

// --- Lookup ---

SimDesktop::Node* SimDesktop::liveNode(const AccessibilityElement& element) {
    const auto it = nodes_.find(element.id);
    return it != nodes_.end() && it->second.alive ? &it->second : nullptr;
}

const SimDesktop::Node* SimDesktop::liveNode(const AccessibilityElement& element) const {
    const auto it = nodes_.find(element.id);
    return it != nodes_.end() && it->second.alive ? &it->second : nullptr;
}

SimDesktop::Node& SimDesktop::liveWindow(const AccessibilityElement& element,
                                         const char* operation) {
    Node* node = liveNode(element);
    if (node == nullptr || node->kind != NodeKind::window) {
        throw misuse(operation, "element " + std::to_string(element.id) + " is no live window");
    }
    return *node;
}

SimDesktop::Application* SimDesktop::runningApp(ProcessId process) {
    const auto it = applications_.find(process);
    return it != applications_.end() ? &it->second : nullptr;
}

const SimDesktop::Application* SimDesktop::runningApp(ProcessId process) const {
    const auto it = applications_.find(process);
    return it != applications_.end() ? &it->second : nullptr;
}

Rect SimDesktop::absoluteFrame(const Node& node) const {
    if (node.kind != NodeKind::child) {
        return node.frame;
    }
    const Rect& window = nodes_.at(node.window).frame;
    return {window.minX() + node.frame.minX(), window.minY() + node.frame.minY(),
            node.frame.width(), node.frame.height()};
}

std::optional<AccessibilityElement> SimDesktop::frontWindowOf(ProcessId process) const {
    for (const auto id : stacking_) {
        const Node& node = nodes_.at(id);
        if (node.process == process && node.onScreen && node.role == ax::windowRole) {
            return AccessibilityElement{id};
        }
    }
    return std::nullopt;
}

std::uint64_t SimDesktop::deepestChildAt(std::uint64_t id, Point topLeft) const {
    const Node& node = nodes_.at(id);
    for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) {
        const Node& child = nodes_.at(*it);
        if (child.alive && absoluteFrame(child).contains(topLeft)) {
            return deepestChildAt(*it, topLeft);
        }
    }
    return id;
}

// --- Reading and writing attributes ---

AttributeResult SimDesktop::readApplicationAttribute(const Node& node,
                                                     std::string_view attribute) const {
    const Application& app = applications_.at(node.process);
    const auto pinnedWindow =
        [this](const std::optional<AccessibilityElement>& pinned) -> AttributeResult {
        if (pinned && liveNode(*pinned) != nullptr) {
            return found(*pinned);
        }
        return failed(AccessibilityStatus::noValue);
    };
    if (attribute == ax::role) {
        return found(std::string(applicationRole));
    }
    if (attribute == titleAttribute) {
        return app.info.localizedName ? found(*app.info.localizedName)
                                      : failed(AccessibilityStatus::noValue);
    }
    if (attribute == ax::parent) {
        return failed(AccessibilityStatus::noValue);
    }
    if (attribute == ax::focusedWindow || attribute == ax::mainWindow) {
        const auto& pinned = attribute == ax::focusedWindow ? app.focused : app.main;
        return pinnedWindow(pinned ? *pinned : frontWindowOf(node.process));
    }
    if (attribute == ax::windows) {
        if (app.windows && !*app.windows) {
            return failed(AccessibilityStatus::noValue);
        }
        std::vector<AccessibilityElement> list;
        if (app.windows) {
            std::copy_if((*app.windows)->begin(), (*app.windows)->end(), std::back_inserter(list),
                         [this](const AccessibilityElement& w) { return liveNode(w) != nullptr; });
        } else {
            list = windowsFrontToBack(node.process);
        }
        return found(std::move(list));
    }
    return failed(AccessibilityStatus::attributeUnsupported);
}

AttributeResult SimDesktop::readAttribute(const Node& node, std::string_view attribute) const {
    if (const auto it = node.overrides.find(attribute); it != node.overrides.end()) {
        return it->second;
    }
    if (node.kind == NodeKind::application) {
        return readApplicationAttribute(node, attribute);
    }
    const bool isWindow = node.kind == NodeKind::window;
    if (attribute == ax::role) {
        return found(node.role);
    }
    if (attribute == titleAttribute) {
        return found(node.title);
    }
    if (attribute == ax::parent) {
        return found(AccessibilityElement{node.parent});
    }
    if (attribute == ax::position || attribute == ax::size) {
        if (isWindow && node.faults.failFrameReads) {
            return failed(node.faults.failureStatus);
        }
        const Rect frame = absoluteFrame(node);
        return attribute == ax::position ? found(frame.origin) : found(frame.size);
    }
    if (attribute == ax::fullScreen && isWindow) {
        return found(node.fullScreen);
    }
    return failed(AccessibilityStatus::attributeUnsupported);
}

AccessibilityStatus SimDesktop::writeAttribute(Node& node, std::string_view attribute,
                                               const AttributeValue& value) {
    if (node.kind != NodeKind::window) {
        return AccessibilityStatus::attributeUnsupported;
    }
    const SimWindowFaults& faults = node.faults;
    if (attribute == ax::position) {
        const auto* point = std::get_if<Point>(&value);
        if (point == nullptr || !isFinite(*point)) {
            return AccessibilityStatus::illegalArgument;
        }
        if (faults.refusePosition) {
            return faults.failureStatus;
        }
        if (node.frame.origin != *point) {
            node.frame.origin = *point;
            moved_.emit(AccessibilityElement{node.window});
        }
        return AccessibilityStatus::success;
    }
    if (attribute == ax::size) {
        const auto* size = std::get_if<Size>(&value);
        if (size == nullptr || !isFinite(*size)) {
            return AccessibilityStatus::illegalArgument;
        }
        if (faults.refuseSize) {
            return faults.failureStatus;
        }
        if (const auto taken = constrainedSize(*size, faults); node.frame.size != taken) {
            node.frame.size = taken;
            moved_.emit(AccessibilityElement{node.window});
        }
        return AccessibilityStatus::success;
    }
    if (attribute == ax::fullScreen) {
        const auto* flag = std::get_if<bool>(&value);
        if (flag == nullptr) {
            return AccessibilityStatus::illegalArgument;
        }
        if (faults.refuseFullScreen) {
            return faults.failureStatus;
        }
        node.fullScreen = *flag;
        return AccessibilityStatus::success;
    }
    return AccessibilityStatus::attributeUnsupported;
}

// --- Accessibility ---

AttributeResult SimDesktop::copyAttribute(const AccessibilityElement& element,
                                          std::string_view attribute) {
    AttributeResult result;
    if (!trusted_) {
        result = failed(AccessibilityStatus::apiDisabled);
    } else if (const Node* node = liveNode(element)) {
        result = readAttribute(*node, attribute);
    } else {
        result = failed(AccessibilityStatus::invalidElement);
    }
    SimCall call;
    call.kind = SimCallKind::copyAttribute;
    call.element = element;
    call.name = std::string(attribute);
    call.value = result.status == AccessibilityStatus::success ? result.value : std::nullopt;
    call.status = result.status;
    record(std::move(call));
    return result;
}

AccessibilityStatus SimDesktop::setAttribute(const AccessibilityElement& element,
                                             std::string_view attribute,
                                             const AttributeValue& value) {
    AccessibilityStatus status = AccessibilityStatus::invalidElement;
    if (!trusted_) {
        status = AccessibilityStatus::apiDisabled;
    } else if (Node* node = liveNode(element)) {
        status = writeAttribute(*node, attribute, value);
    }
    SimCall call;
    call.kind = SimCallKind::setAttribute;
    call.element = element;
    call.name = std::string(attribute);
    call.value = value;
    call.status = status;
    record(std::move(call));
    return status;
}

AccessibilityStatus SimDesktop::moveAndResize(const AccessibilityElement& window,
                                              const Rect& frame) {
    const auto first = setAttribute(window, ax::position, frame.origin);
    const auto second = setAttribute(window, ax::size, frame.size);
    const auto third = setAttribute(window, ax::position, frame.origin);
    for (const auto status : {first, second, third}) {
        if (status == AccessibilityStatus::success) {
            return status;
        }
    }
    return third;
}

AccessibilityStatus SimDesktop::performAction(const AccessibilityElement& element,
                                              std::string_view action) {
    AccessibilityStatus status = AccessibilityStatus::invalidElement;
    if (!trusted_) {
        status = AccessibilityStatus::apiDisabled;
    } else if (const Node* node = liveNode(element)) {
        if (node->kind == NodeKind::window && action == ax::raiseAction) {
            std::erase(stacking_, element.id);
            stacking_.insert(stacking_.begin(), element.id);
            status = AccessibilityStatus::success;
        } else {
            status = AccessibilityStatus::actionUnsupported;
        }
    }
    SimCall call;
    call.kind = SimCallKind::performAction;
    call.element = element;
    call.name = std::string(action);
    call.status = status;
    record(std::move(call));
    return status;
}

ElementResult SimDesktop::elementAtPosition(Point topLeft) {
    ElementResult result;
    if (!trusted_) {
        result.status = AccessibilityStatus::apiDisabled;
    } else {
        result.status = AccessibilityStatus::noValue;
        for (const auto id : stacking_) {
            const Node& window = nodes_.at(id);
            if (!window.onScreen || !window.frame.contains(topLeft)) {
                continue;
            }
            if (window.faults.failHitTest) {
                result.status = window.faults.failureStatus;
            } else {
                result.status = AccessibilityStatus::success;
                result.element = AccessibilityElement{deepestChildAt(id, topLeft)};
            }
            break;
        }
    }
    SimCall call;
    call.kind = SimCallKind::elementAtPosition;
    call.element = result.element.value_or(AccessibilityElement{});
    call.value = topLeft;
    call.status = result.status;
    record(std::move(call));
    return result;
}

AccessibilityElement SimDesktop::applicationElement(ProcessId process) {
    auto it = applicationElements_.find(process);
    if (it == applicationElements_.end()) {
        // A process that isn't running still gets an element; it simply answers nothing.
        const auto id = newId();
        Node node;
        node.kind = NodeKind::application;
        node.process = process;
        node.alive = false;
        node.role = std::string(applicationRole);
        nodes_.emplace(id, std::move(node));
        it = applicationElements_.emplace(process, id).first;
    }
    const AccessibilityElement element{it->second};
    SimCall call;
    call.kind = SimCallKind::applicationElement;
    call.element = element;
    call.process = process;
    record(std::move(call));
    return element;
}

std::optional<AccessibilityElement> SimDesktop::windowWithSystemID(std::string_view id) {
    std::uint64_t value = 0;
    const auto* end = id.data() + id.size();
    if (const auto [rest, error] = std::from_chars(id.data(), end, value);
        error != std::errc{} || rest != end) {
        return std::nullopt;
    }
    const AccessibilityElement element{value};
    const Node* node = liveNode(element);
    if (node == nullptr || node->kind != NodeKind::window) {
        return std::nullopt;
    }
    return element;
}

std::optional<ProcessId> SimDesktop::processId(const AccessibilityElement& element) {
    std::optional<ProcessId> process;
    AccessibilityStatus status = AccessibilityStatus::invalidElement;
    if (!trusted_) {
        status = AccessibilityStatus::apiDisabled;
    } else if (const Node* node = liveNode(element)) {
        status = AccessibilityStatus::success;
        process = node->process;
    }
    SimCall call;
    call.kind = SimCallKind::processId;
    call.element = element;
    call.status = status;
    call.process = process.value_or(0);
    record(std::move(call));
    return process;
}

bool SimDesktop::isProcessTrusted() {
    SimCall call;
    call.kind = SimCallKind::trustCheck;
    record(std::move(call));
    return trusted_;
}

bool SimDesktop::isProcessTrustedWithPrompt(bool prompt) {
    SimCall call;
    call.kind = SimCallKind::trustCheck;
    call.value = prompt;
    record(std::move(call));
    return trusted_;
}

// --- Workspace ---

std::optional<ProcessId> SimDesktop::frontmostApplication() const {
    return frontmost_;
}

std::optional<RunningApplication> SimDesktop::runningApplication(ProcessId process) const {
    if (const Application* app = runningApp(process)) {
        return app->info;
    }
    return std::nullopt;
}

Connection SimDesktop::onDidActivateApplication(std::function<void(ProcessId)> handler) {
    return activated_.connect(std::move(handler));
}

void SimDesktop::beep() {
    SimCall call;
    call.kind = SimCallKind::beep;
    record(std::move(call));
}

std::vector<WindowListEntry> SimDesktop::onScreenWindows() const {
    std::vector<WindowListEntry> entries;
    for (const auto id : stacking_) {
        const Node& window = nodes_.at(id);
        if (window.onScreen) {
            entries.push_back({window.process, window.layer, window.frame});
        }
    }
    return entries;
}

bool SimDesktop::openURL(std::string_view url) {
    SimCall call;
    call.kind = SimCallKind::openURL;
    call.name = std::string(url);
    record(std::move(call));
    return openURLResult_;
}

bool SimDesktop::revealInFileBrowser(const std::vector<std::filesystem::path>& items) {
    SimCall call;
    call.kind = SimCallKind::revealInFileBrowser;
    call.items = items;
    record(std::move(call));
    // Both go through the desktop's opener.
    return openURLResult_;
}

// --- Displays and pointer ---

Rect SimDesktop::topLeftFrame(std::size_t displayIndex) const {
    const auto screens = displays_.screens();
    return toTopLeft(screens.at(displayIndex).frame, primaryDisplay(screens).frame);
}

Rect SimDesktop::topLeftVisibleFrame(std::size_t displayIndex) const {
    const auto screens = displays_.screens();
    return toTopLeft(screens.at(displayIndex).visibleFrame, primaryDisplay(screens).frame);
}

void SimDesktop::setPointerTopLeft(Point topLeft) {
    const auto screens = displays_.screens();
    displays_.setMouseLocation(
        screens.empty() ? topLeft : toBottomLeft(topLeft, primaryDisplay(screens).frame));
}

// --- Applications ---

AccessibilityElement SimDesktop::addApplication(ProcessId process,
                                                std::optional<std::string> bundleIdentifier,
                                                std::string name, ActivationPolicy policy) {
    if (runningApp(process) != nullptr) {
        throw misuse("addApplication",
                     "process " + std::to_string(process) + " is already running");
    }
    std::uint64_t id = 0;
    if (const auto it = applicationElements_.find(process); it != applicationElements_.end()) {
        // Someone asked for this process's element before it started: it is the same one.
        id = it->second;
    } else {
        id = newId();
        applicationElements_.emplace(process, id);
    }
    Node& node = nodes_[id];
    node.kind = NodeKind::application;
    node.process = process;
    node.alive = true;
    node.role = std::string(applicationRole);
    node.title = name;

    Application app;
    app.info.processIdentifier = process;
    app.info.bundleIdentifier = std::move(bundleIdentifier);
    app.info.localizedName = std::move(name);
    app.info.activationPolicy = policy;
    app.element = id;
    applications_.emplace(process, std::move(app));
    return AccessibilityElement{id};
}

void SimDesktop::quitApplication(ProcessId process) {
    const Application* app = runningApp(process);
    if (app == nullptr) {
        return;
    }
    for (auto& [id, node] : nodes_) {
        if (node.alive && node.kind == NodeKind::window && node.process == process) {
            markDead(id);
        }
    }
    markDead(app->element);
    // A process started later under the same id is another process with another element.
    applicationElements_.erase(process);
    applications_.erase(process);
    if (frontmost_ == process) {
        frontmost_.reset();
    }
}

void SimDesktop::setFrontmostApplication(std::optional<ProcessId> process) {
    frontmost_ = process;
}

void SimDesktop::activateApplication(ProcessId process) {
    frontmost_ = process;
    activated_.emit(process);
}

void SimDesktop::setFocusedWindow(ProcessId process, std::optional<AccessibilityElement> window) {
    Application* app = runningApp(process);
    if (app == nullptr) {
        throw misuse("setFocusedWindow", "process " + std::to_string(process) + " isn't running");
    }
    app->focused = window;
}

void SimDesktop::setMainWindow(ProcessId process, std::optional<AccessibilityElement> window) {
    Application* app = runningApp(process);
    if (app == nullptr) {
        throw misuse("setMainWindow", "process " + std::to_string(process) + " isn't running");
    }
    app->main = window;
}

void SimDesktop::setWindowsAttribute(ProcessId process,
                                     std::optional<std::vector<AccessibilityElement>> windows) {
    Application* app = runningApp(process);
    if (app == nullptr) {
        throw misuse("setWindowsAttribute",
                     "process " + std::to_string(process) + " isn't running");
    }
    app->windows = std::move(windows);
}

void SimDesktop::resetApplicationAttributes(ProcessId process) {
    if (Application* app = runningApp(process)) {
        app->focused.reset();
        app->main.reset();
        app->windows.reset();
    }
}

// --- Windows and their elements ---

WindowIdentity SimDesktop::windowIdentity(const AccessibilityElement& window) {
    const Node* node = liveNode(window);
    if (node == nullptr || node->kind != NodeKind::window) {
        return {};
    }
    return {node->windowClass, node->windowRole, node->title};
}

Connection SimDesktop::onWindowAppeared(std::function<void(const AccessibilityElement&)> handler) {
    return appeared_.connect(std::move(handler));
}

Connection SimDesktop::onWindowMoved(std::function<void(const AccessibilityElement&)> handler) {
    return moved_.connect(std::move(handler));
}

AccessibilityElement SimDesktop::addWindow(ProcessId process, const Rect& topLeftFrame,
                                           SimWindowOptions options) {
    const Application* app = runningApp(process);
    if (app == nullptr) {
        throw misuse("addWindow", "process " + std::to_string(process) + " isn't running");
    }
    const auto id = newId();
    Node node;
    node.kind = NodeKind::window;
    node.process = process;
    node.parent = app->element;
    node.window = id;
    node.role = std::move(options.role);
    node.title = std::move(options.title);
    node.frame = topLeftFrame;
    node.fullScreen = options.fullScreen;
    node.layer = options.layer;
    node.onScreen = options.onScreen;
    node.faults = options.faults;
    node.windowClass = std::move(options.windowClass);
    node.windowRole = std::move(options.windowRole);
    nodes_.emplace(id, std::move(node));
    stacking_.insert(stacking_.begin(), id);
    appeared_.emit(AccessibilityElement{id});
    return AccessibilityElement{id};
}

AccessibilityElement SimDesktop::addChild(const AccessibilityElement& parent, std::string role,
                                          const Rect& frameInWindow, std::string title) {
    Node* container = liveNode(parent);
    if (container == nullptr || container->kind == NodeKind::application) {
        throw misuse("addChild",
                     "element " + std::to_string(parent.id) + " is no live window or child");
    }
    const auto id = newId();
    Node node;
    node.kind = NodeKind::child;
    node.process = container->process;
    node.parent = parent.id;
    node.window = container->window;
    node.role = std::move(role);
    node.title = std::move(title);
    node.frame = frameInWindow;
    container->children.push_back(id);
    nodes_.emplace(id, std::move(node));
    return AccessibilityElement{id};
}

AccessibilityElement SimDesktop::addCloseButton(const AccessibilityElement& window) {
    liveWindow(window, "addCloseButton");
    return addChild(window, "AXButton", {8, 6, 14, 14}, "close button");
}

void SimDesktop::closeWindow(const AccessibilityElement& window) {
    if (const Node* node = liveNode(window); node != nullptr && node->kind == NodeKind::window) {
        markDead(window.id);
    }
}

void SimDesktop::markDead(std::uint64_t id) {
    Node& node = nodes_.at(id);
    node.alive = false;
    node.overrides.clear();
    for (const auto child : node.children) {
        markDead(child);
    }
    if (node.kind == NodeKind::window) {
        std::erase(stacking_, id);
    }
}

void SimDesktop::setFrame(const AccessibilityElement& window, const Rect& topLeftFrame) {
    liveWindow(window, "setFrame").frame = topLeftFrame;
    moved_.emit(window);
}

void SimDesktop::setFullScreen(const AccessibilityElement& window, bool fullScreen) {
    liveWindow(window, "setFullScreen").fullScreen = fullScreen;
}

void SimDesktop::setOnScreen(const AccessibilityElement& window, bool onScreen) {
    liveWindow(window, "setOnScreen").onScreen = onScreen;
}

void SimDesktop::setFaults(const AccessibilityElement& window, const SimWindowFaults& faults) {
    liveWindow(window, "setFaults").faults = faults;
}

void SimDesktop::bringToFront(const AccessibilityElement& window) {
    liveWindow(window, "bringToFront");
    std::erase(stacking_, window.id);
    stacking_.insert(stacking_.begin(), window.id);
}

void SimDesktop::sendToBack(const AccessibilityElement& window) {
    liveWindow(window, "sendToBack");
    std::erase(stacking_, window.id);
    stacking_.push_back(window.id);
}

void SimDesktop::overrideAttribute(const AccessibilityElement& element, std::string attribute,
                                   std::optional<AttributeResult> result) {
    Node* node = liveNode(element);
    if (node == nullptr) {
        throw misuse("overrideAttribute",
                     "element " + std::to_string(element.id) + " is not alive");
    }
    if (result) {
        node->overrides.insert_or_assign(std::move(attribute), std::move(*result));
    } else if (const auto it = node->overrides.find(attribute); it != node->overrides.end()) {
        node->overrides.erase(it);
    }
}

// --- Inspection ---

bool SimDesktop::isAlive(const AccessibilityElement& element) const {
    return liveNode(element) != nullptr;
}

std::optional<Rect> SimDesktop::frame(const AccessibilityElement& element) const {
    const Node* node = liveNode(element);
    if (node == nullptr || node->kind == NodeKind::application) {
        return std::nullopt;
    }
    return absoluteFrame(*node);
}

bool SimDesktop::isFullScreen(const AccessibilityElement& window) const {
    const Node* node = liveNode(window);
    return node != nullptr && node->kind == NodeKind::window && node->fullScreen;
}

std::vector<AccessibilityElement> SimDesktop::windowsFrontToBack() const {
    std::vector<AccessibilityElement> result;
    for (const auto id : stacking_) {
        result.push_back({id});
    }
    return result;
}

std::vector<AccessibilityElement> SimDesktop::windowsFrontToBack(ProcessId process) const {
    std::vector<AccessibilityElement> result;
    for (const auto id : stacking_) {
        if (nodes_.at(id).process == process) {
            result.push_back({id});
        }
    }
    return result;
}

// --- Recorded calls ---

void SimDesktop::record(SimCall call) {
    calls_.push_back(call);
    if (!hook_ || inHook_) {
        return;
    }
    // The hook may make port calls of its own; they are recorded without re-entering it.
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{inHook_};
    inHook_ = true;
    const auto hook = hook_;
    hook(call);
}

std::vector<SimCall> SimDesktop::callsOn(const AccessibilityElement& element) const {
    std::vector<SimCall> result;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(result),
                 [&](const SimCall& call) { return call.element == element; });
    return result;
}

std::vector<SimCall> SimDesktop::writesTo(const AccessibilityElement& element) const {
    std::vector<SimCall> result;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(result),
                 [&](const SimCall& call) {
                     return call.element == element && (call.kind == SimCallKind::setAttribute ||
                                                        call.kind == SimCallKind::performAction);
                 });
    return result;
}

std::vector<std::string> SimDesktop::writeNames(const AccessibilityElement& element) const {
    std::vector<std::string> names;
    for (const auto& call : writesTo(element)) {
        names.push_back(call.name);
    }
    return names;
}

std::size_t SimDesktop::count(SimCallKind kind, std::string_view name) const {
    return static_cast<std::size_t>(
        std::count_if(calls_.begin(), calls_.end(), [&](const SimCall& call) {
            return call.kind == kind && (name.empty() || call.name == name);
        }));
}

std::vector<std::string> SimDesktop::openedURLs() const {
    std::vector<std::string> urls;
    for (const auto& call : calls_) {
        if (call.kind == SimCallKind::openURL) {
            urls.push_back(call.name);
        }
    }
    return urls;
}

} // namespace tessera
