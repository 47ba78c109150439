#include "WindowAccess.h"

#include <string>
#include <variant>
#include <vector>

namespace tessera {

namespace {

// The value of a successful read when it has the expected type.
template <typename T> std::optional<T> valueOf(const AttributeResult& result) {
    if (!result.ok()) {
        return std::nullopt;
    }
    if (const auto* value = std::get_if<T>(&*result.value)) {
        return *value;
    }
    return std::nullopt;
}

} // namespace

std::optional<Rect> windowFrame(Accessibility& accessibility, const AccessibilityElement& window) {
    const auto position = accessibility.copyAttribute(window, ax::position);
    if (!position.ok()) {
        return std::nullopt;
    }
    const auto size = accessibility.copyAttribute(window, ax::size);
    if (!size.ok()) {
        return std::nullopt;
    }
    const auto* point = std::get_if<Point>(&*position.value);
    const auto* extent = std::get_if<Size>(&*size.value);
    if (point == nullptr || extent == nullptr) {
        return std::nullopt;
    }
    return Rect{point->x, point->y, extent->width, extent->height};
}

bool setWindowFrame(Accessibility& accessibility, const AccessibilityElement& window,
                    const Rect& frame) {
    return accessibility.moveAndResize(window, frame) == AccessibilityStatus::success;
}

std::optional<AccessibilityElement> activeWindowOfApplication(Accessibility& accessibility,
                                                              ProcessId process) {
    const auto application = accessibility.applicationElement(process);
    if (const auto focused = valueOf<AccessibilityElement>(
            accessibility.copyAttribute(application, ax::focusedWindow))) {
        return *focused;
    }
    if (const auto main = valueOf<AccessibilityElement>(
            accessibility.copyAttribute(application, ax::mainWindow))) {
        return *main;
    }
    const auto windows = accessibility.copyAttribute(application, ax::windows);
    if (const auto list = valueOf<std::vector<AccessibilityElement>>(windows);
        list && !list->empty()) {
        return list->front();
    }
    return std::nullopt;
}

std::optional<AccessibilityElement> activeWindow(Accessibility& accessibility,
                                                 const Workspace& workspace, ProcessId ownProcess,
                                                 std::optional<ProcessId> preferredProcess) {
    const auto frontmost = workspace.frontmostApplication();
    if (!frontmost) {
        return std::nullopt;
    }
    ProcessId process = *frontmost;
    if (process == ownProcess) {
        if (!preferredProcess) {
            return std::nullopt;
        }
        process = *preferredProcess;
    }
    return activeWindowOfApplication(accessibility, process);
}

std::optional<AccessibilityElement> windowOfElement(Accessibility& accessibility,
                                                    const AccessibilityElement& element) {
    auto current = element;
    for (std::size_t looked = 0; looked < windowSearchDepth; ++looked) {
        if (const auto role = valueOf<std::string>(accessibility.copyAttribute(current, ax::role));
            role && *role == ax::windowRole) {
            return current;
        }
        // A parent that is not an element ends the walk as a failed read does.
        const auto parent =
            valueOf<AccessibilityElement>(accessibility.copyAttribute(current, ax::parent));
        if (!parent) {
            return std::nullopt;
        }
        current = *parent;
    }
    return std::nullopt;
}

std::optional<AccessibilityElement> windowUnderPoint(Accessibility& accessibility, Point topLeft) {
    const auto hit = accessibility.elementAtPosition(topLeft);
    if (hit.status != AccessibilityStatus::success || !hit.element) {
        return std::nullopt;
    }
    return windowOfElement(accessibility, *hit.element);
}

bool isFullScreen(Accessibility& accessibility, const AccessibilityElement& window) {
    return valueOf<bool>(accessibility.copyAttribute(window, ax::fullScreen)).value_or(false);
}

std::optional<SystemDisplay> displayOfWindow(Accessibility& accessibility, const Displays& displays,
                                             const AccessibilityElement& window) {
    const auto frame = windowFrame(accessibility, window);
    if (!frame) {
        return displays.mainScreen();
    }
    const auto screens = displays.screens();
    if (screens.empty()) {
        return displays.mainScreen();
    }
    const Point centre{frame->minX() + frame->width() / 2, frame->minY() + frame->height() / 2};
    const auto bottomLeft = toBottomLeft(centre, primaryDisplay(screens).frame);
    for (const auto& screen : screens) {
        if (screen.frame.contains(bottomLeft)) {
            return screen;
        }
    }
    return displays.mainScreen();
}

} // namespace tessera
