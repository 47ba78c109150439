#pragma once

#include "../model/Geometry.h"
#include "../model/Screens.h"
#include "../platform/Accessibility.h"
#include "../platform/Displays.h"
#include "../platform/ProcessId.h"
#include "../platform/Workspace.h"

#include <cstddef>
#include <optional>

namespace tessera {

// The accessibility operations the rest of the system performs on other applications' windows.
// Every rectangle here is in the top-left system. None of them reports why it failed: a missing
// permission, a closed window and an application that refuses look the same to the caller.

// The window's frame from its position and size; nothing when either can't be read.
std::optional<Rect> windowFrame(Accessibility& accessibility, const AccessibilityElement& window);

// Sets the window's frame. True when the window took it or changed towards it, so a window that
// takes only its size, or rounds it to its size increments, still counts.
bool setWindowFrame(Accessibility& accessibility, const AccessibilityElement& window,
                    const Rect& frame);

// The focused window of an application, else its main window, else the first of its windows.
std::optional<AccessibilityElement> activeWindowOfApplication(Accessibility& accessibility,
                                                              ProcessId process);

// The active window of the application in front. When Tessera itself is in front, the
// preferred application (the last other one in front) stands in, so commands given from our own
// menu act on the window the user was working in.
std::optional<AccessibilityElement> activeWindow(Accessibility& accessibility,
                                                 const Workspace& workspace, ProcessId ownProcess,
                                                 std::optional<ProcessId> preferredProcess);

// How many elements the walk from an element up to its window looks at, the element included.
inline constexpr std::size_t windowSearchDepth = 16;

// The element itself when it is a window, else its nearest ancestor that is one.
std::optional<AccessibilityElement> windowOfElement(Accessibility& accessibility,
                                                    const AccessibilityElement& element);

// The window holding the element under a point of the top-left system.
std::optional<AccessibilityElement> windowUnderPoint(Accessibility& accessibility, Point topLeft);

// True only when the window says it is in native full screen.
bool isFullScreen(Accessibility& accessibility, const AccessibilityElement& window);

// The display whose frame holds the window's centre; the main display when the window has no
// frame or its centre lies outside every display.
std::optional<SystemDisplay> displayOfWindow(Accessibility& accessibility, const Displays& displays,
                                             const AccessibilityElement& window);

} // namespace tessera
