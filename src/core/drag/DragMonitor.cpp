#include "DragMonitor.h"

#include "../app/Preferences.h"
#include "../model/Screens.h"
#include "../placement/AccessibilityWindowMover.h"
#include "../placement/WindowAccess.h"
#include "../platform/Defaults.h"
#include "../platform/Displays.h"
#include "../platform/Workspace.h"
#include "../store/LayoutStore.h"
#include "DragOverlayController.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace tessera {

namespace {

// Shortest text that reads back as the same double: "100", "86.5", "-0.25".
std::string number(double value) {
    std::array<char, 32> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (error != std::errc{}) {
        return "?";
    }
    return std::string(buffer.data(), end);
}

std::string describe(Point p) {
    return "(" + number(p.x) + ", " + number(p.y) + ")";
}

std::string describe(const Rect& r) {
    return "(" + number(r.minX()) + ", " + number(r.minY()) + ", " + number(r.width()) + ", " +
           number(r.height()) + ")";
}

std::string describe(const std::optional<Rect>& r) {
    return r ? describe(*r) : std::string("nil");
}

std::string describe(bool value) {
    return value ? "true" : "false";
}

bool optionIn(std::uint64_t flags) {
    return (flags & eventFlags::option) != 0;
}

} // namespace

DragMonitor::DragMonitor(InputEvents& inputEvents, Accessibility& accessibility,
                         Workspace& workspace, Displays& displays, Scheduler& scheduler, Log& log,
                         const Defaults& defaults, LayoutStore& store,
                         AccessibilityWindowMover& mover, DragOverlayController& overlay,
                         ProcessId ownPID)
    : inputEvents_(inputEvents), accessibility_(accessibility), workspace_(workspace),
      displays_(displays), scheduler_(scheduler), log_(log), defaults_(defaults), store_(store),
      overlay_(overlay), mover_(mover), ownPID_(ownPID) {}

DragMonitor::~DragMonitor() {
    // Anything the tap or a monitor still delivers while the members go finds the token gone.
    lifetime_.reset();
}

// --- Event sources ---

void DragMonitor::installTap() {
    std::weak_ptr<const int> alive = lifetime_;
    tap_ = inputEvents_.createListenOnlyTap(dragEventMask, [this, alive](const TapEvent& event) {
        if (alive.expired()) {
            return;
        }
        handleTapEvent(event);
    });
    if (!tap_) {
        write(LogLevel::error, "event tap not created");
        return;
    }
    tap_->setEnabled(true);
}

void DragMonitor::installEventMonitors() {
    std::weak_ptr<const int> alive = lifetime_;
    globalMonitor_ =
        inputEvents_.addGlobalMonitor(dragEventMask, [this, alive](const MonitorEvent& event) {
            if (!alive.expired()) {
                handleMonitorEvent(event);
            }
        });
    // Presses in Tessera's own windows come here instead; they never start a session, but
    // Escape and the end of a drag still have to be seen.
    localMonitor_ =
        inputEvents_.addLocalMonitor(dragEventMask, [this, alive](const MonitorEvent& event) {
            if (!alive.expired()) {
                handleMonitorEvent(event);
            }
            return false;
        });
}

void DragMonitor::stop() {
    if (tap_) {
        tap_->setEnabled(false);
    }
    tap_.reset();
    globalMonitor_.reset();
    localMonitor_.reset();
    session_.reset();
    overlay_.hide();
}

void DragMonitor::handleTapEvent(const TapEvent& event) {
    switch (event.type) {
    case InputEventType::tapDisabledByTimeout:
    case InputEventType::tapDisabledByUserInput:
        // The system switched the tap off because a callback was slow or at the user's request;
        // without this it would stay off for the rest of the run.
        if (tap_) {
            tap_->setEnabled(true);
        }
        return;
    case InputEventType::keyDown:
        if (event.keyCode == escapeKeyCode) {
            cancelDrag();
        }
        return;
    case InputEventType::leftMouseDragged:
        mouseDragged(event.location);
        return;
    case InputEventType::leftMouseUp:
        mouseUp(event.location);
        return;
    case InputEventType::leftMouseDown:
        mouseDown(event.location, optionIn(event.flags));
        return;
    }
}

void DragMonitor::handleMonitorEvent(const MonitorEvent& event) {
    switch (event.type) {
    case InputEventType::keyDown:
        if (event.keyCode == escapeKeyCode) {
            cancelDrag();
        }
        return;
    // A monitored event's own location is relative to whatever window it went to; the pointer
    // is where the tap would have put it.
    case InputEventType::leftMouseDragged:
        mouseDragged(pointerTopLeft());
        return;
    case InputEventType::leftMouseUp:
        mouseUp(pointerTopLeft());
        return;
    case InputEventType::leftMouseDown:
        mouseDown(pointerTopLeft(), optionIn(event.modifierFlags));
        return;
    case InputEventType::tapDisabledByTimeout:
    case InputEventType::tapDisabledByUserInput:
        return;
    }
}

Point DragMonitor::pointerTopLeft() const {
    const auto screens = displays_.screens();
    const auto pointer = displays_.mouseLocation();
    // Without displays there is no primary frame to convert through; both systems coincide.
    return screens.empty() ? pointer : toTopLeft(pointer, primaryDisplay(screens).frame);
}

// --- Handlers ---

void DragMonitor::mouseDown(Point point, bool optionHeld) {
    auto window = windowUnderPoint(accessibility_, point);
    const bool underPoint = window.has_value();
    if (!window) {
        // Some applications don't answer hit tests; their active window stands in, and the
        // title band test below still decides whether the press was on it.
        const auto frontmost = workspace_.frontmostApplication();
        if (frontmost && *frontmost != ownPID_) {
            window = activeWindowOfApplication(accessibility_, *frontmost);
        }
    }
    if (!window) {
        const bool trusted = accessibility_.isProcessTrusted();
        const auto error = accessibility_.elementAtPosition(point).status;
        write(LogLevel::debug, "mouse down at " + describe(point) + ": no window, trusted " +
                                   describe(trusted) + ", AX error " +
                                   std::to_string(static_cast<std::int32_t>(error)));
        return;
    }

    const auto process = accessibility_.processId(*window);
    if (!process || *process == ownPID_) {
        return;
    }
    const auto application = workspace_.runningApplication(*process);
    const auto bundleIdentifier =
        application ? application->bundleIdentifier : std::optional<std::string>{};
    if (bundleIdentifier) {
        const auto ignored = ignoredApps(defaults_);
        if (std::find(ignored.begin(), ignored.end(), *bundleIdentifier) != ignored.end()) {
            return;
        }
    }
    if (isFullScreen(accessibility_, *window)) {
        return;
    }

    const auto frame = windowFrame(accessibility_, *window);
    // Every bound is inclusive: a press exactly on the band's lower edge still counts.
    const bool inTitleBand = frame && frame->minX() <= point.x && point.x <= frame->maxX() &&
                             frame->minY() <= point.y && point.y <= frame->minY() + titleBarHeight;
    write(LogLevel::debug, "mouse down on " + bundleIdentifier.value_or("?") + " frame " +
                               describe(frame) + ", title bar " + describe(inTitleBand));

    // Option makes the whole window a handle, but only a window the press was on. The stand-in
    // window may lie anywhere: an Option-drag on the desktop (copying a file icon) must not end
    // with the window in front jumping into a zone.
    const bool onWindow =
        underPoint || (frame && frame->minX() <= point.x && point.x <= frame->maxX() &&
                       frame->minY() <= point.y && point.y <= frame->maxY());
    if (inTitleBand || (optionHeld && onWindow)) {
        session_ = DragSession{*window, point, frame, false, false};
    }
}

void DragMonitor::mouseDragged(Point point) {
    if (!session_) {
        return;
    }
    const auto window = session_->window;
    const auto startPoint = session_->startPoint;
    const auto startFrame = session_->startFrame;
    const double distance = std::hypot(point.x - startPoint.x, point.y - startPoint.y);

    bool movedNow = false;
    if (startFrame) {
        if (const auto current = windowFrame(accessibility_, window)) {
            const double moved = std::hypot(current->minX() - startFrame->minX(),
                                            current->minY() - startFrame->minY());
            if (session_->leftZone) {
                movedNow = moved > leftZoneDistance;
            } else if (moved > leftZoneDistance) {
                // Once per session: the placement is forgotten by the first restore anyway.
                session_->leftZone = true;
                if (preferenceBool(defaults_, prefs::restoreOnDragOut)) {
                    const bool restored = mover_.restoreSizeAfterDragOut(window, startFrame);
                    write(LogLevel::debug,
                          "drag started, restored original size: " + describe(restored));
                }
                movedNow = true;
            }
        }
    }

    // Sizes are restored above even with zones switched off.
    if (!preferenceBool(defaults_, prefs::snapOnDrag) || !session_) {
        return;
    }
    if (!session_->overlayShown) {
        if (distance < dragThreshold && !movedNow) {
            return;
        }
        // The preview's timer must not hide the overlay this drag now relies on.
        if (previewTask_) {
            previewTask_->cancel();
            previewTask_.reset();
        }
        overlay_.show(store_, std::nullopt);
        session_->overlayShown = true;
    }
    const auto target = overlay_.dropTarget(point, store_);
    overlay_.setHoveredID(target ? std::optional<Uuid>(target->zone.id) : std::nullopt);
}

void DragMonitor::mouseUp(Point point) {
    if (!session_) {
        // The second report of a release, or a release that ends a drag we never started.
        return;
    }
    const auto session = *session_;
    const auto target = session.overlayShown ? overlay_.dropTarget(point, store_) : std::nullopt;
    session_.reset();
    overlay_.hide();

    if (!target) {
        if (const auto restored = mover_.confirmRestoredSize(session.window)) {
            write(LogLevel::debug, "released, original size restored: " + describe(*restored));
        }
        write(LogLevel::debug,
              "drop without zone, overlay shown: " + describe(session.overlayShown));
        // A window the user took somewhere of their own choosing no longer belongs to a zone.
        if (session.leftZone) {
            mover_.windowMovedByHand(session.window);
        }
        return;
    }
    const auto expected = mover_.zoneWindowFrame(target->zone, target->display);
    const bool set = mover_.placeInZone(session.window, target->zone, target->display);
    const auto got = windowFrame(accessibility_, session.window);
    write(LogLevel::debug, "drop on " + target->zone.name + ": set " + describe(set) +
                               ", expected " + describe(expected) + ", got " + describe(got));

    // Some applications settle a moment after the move (animations, size increments); this
    // line shows where the window really ended up. It corrects nothing.
    const auto window = session.window;
    scheduler_.after(settledLogDelay, lifetime_, [this, window] {
        write(LogLevel::debug,
              "0.5 s after drop: " + describe(windowFrame(accessibility_, window)));
    });
}

void DragMonitor::cancelDrag() {
    if (!session_ && !overlay_.isVisible()) {
        return;
    }
    if (session_) {
        mover_.forgetRestoredSize(session_->window);
    }
    session_.reset();
    overlay_.hide();
}

void DragMonitor::previewZones(double seconds) {
    if (previewTask_) {
        previewTask_->cancel();
    }
    overlay_.show(store_, std::nullopt);
    previewTask_ = scheduler_.after(seconds, lifetime_, [this] { overlay_.hide(); });
}

void DragMonitor::write(LogLevel level, const std::string& message) {
    log_.write(dragLogCategory, level, message);
}

} // namespace tessera
