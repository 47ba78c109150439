#pragma once

#include "core/platform/OverlaySurface.h"

#include <QElapsedTimer>
#include <QRect>

#include <atomic>
#include <functional>
#include <memory>

class QQmlEngine;
class QQuickView;

namespace tessera {

class Defaults;

namespace shell {

class OverlayViewModel;
class WaylandOverlayRole;

// One display's overlay panel: a frameless, transparent Qt Quick window that stays above other
// windows, bypasses the window manager (override-redirect on X11), never takes focus and lets
// every click through. It draws the module's ZoneOverlay.qml over an OverlayViewModel of its state.
// The window is made once and only shown and hidden afterwards. On Wayland, where the flags do
// nothing, a WaylandOverlayRole gives it the same behaviour.
class QtOverlaySurface final : public OverlaySurface {
public:
    // The window flags every overlay window carries.
    static Qt::WindowFlags windowFlags();

    using FirstFrameShown = std::function<void(const QRect&, double)>;

    QtOverlaySurface(const Rect& frame, std::unique_ptr<OverlayViewModel> viewModel,
                     std::shared_ptr<QQmlEngine> engine, FirstFrameShown firstFrameShown,
                     std::function<QRect(const Rect&)> toScreen,
                     std::shared_ptr<WaylandOverlayRole> wayland = nullptr);
    ~QtOverlaySurface() override;
    QtOverlaySurface(const QtOverlaySurface&) = delete;
    QtOverlaySurface& operator=(const QtOverlaySurface&) = delete;

    // Draws the window once beyond every display (on Wayland, where it can't go there, fully
    // transparent) and takes it down again, so its graphics context, shaders, glyphs and scene
    // are ready before the first show, which then only maps it. Showing or hiding it meanwhile
    // ends this at once.
    void drawAhead();
    // Drawing ahead and not yet done.
    bool drawingAhead() const { return drawingAhead_; }

    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame) override;
    void orderFront() override;
    void orderOut() override;

    QQuickView* window() const { return view_.get(); }
    OverlayViewModel& viewModel() const { return *viewModel_; }

private:
    void finishDrawingAhead();
    void setRehearsalVisible(bool visible);
    // Shows the window where its geometry says, with the Wayland role when there is one.
    void showWindow();
    void hideWindow();

    Rect frame_;
    std::function<QRect(const Rect&)> toScreen_;
    std::shared_ptr<WaylandOverlayRole> wayland_;
    // Declared before the view model and the view, so it is destroyed after them: the view's
    // objects belong to this engine.
    std::shared_ptr<QQmlEngine> engine_;
    std::unique_ptr<OverlayViewModel> viewModel_;
    std::unique_ptr<QQuickView> view_;
    FirstFrameShown firstFrameShown_;
    QElapsedTimer orderedFront_;
    // Set on this thread, taken by the render thread.
    std::atomic<bool> awaitingFrame_ = false;
    bool drawingAhead_ = false;
};

// Makes the overlay windows, all from one QML engine.
class QtOverlaySurfaceFactory final : public OverlaySurfaceFactory {
public:
    struct Environment {
        const Defaults& defaults;
        // A display frame (bottom-left system, points) as the desktop places windows.
        std::function<QRect(const Rect&)> toScreen;
        // The colour scheme the overlay draws in.
        std::function<bool()> darkScheme;
        // Whether cards keep still (see desktopPrefersReducedMotion); nothing means they move.
        std::function<bool()> reduceMotion = {};
        // Told, for measurements, how long a window took from being ordered front to its first
        // frame on screen (the window's place on the desktop, milliseconds).
        std::function<void(const QRect&, double)> firstFrameShown = {};
        // Whether each window is drawn ahead (see QtOverlaySurface::drawAhead) when made.
        bool drawAhead = false;
    };
    explicit QtOverlaySurfaceFactory(Environment environment);
    ~QtOverlaySurfaceFactory() override;

    std::unique_ptr<OverlaySurface> makeSurface(const Rect& displayFrame,
                                                std::shared_ptr<OverlayState> state) override;

    // Windows made so far, the removed ones included.
    int madeCount() const { return madeCount_; }
    // Nothing unless Qt runs on Wayland.
    const WaylandOverlayRole* waylandRole() const { return wayland_.get(); }

private:
    Environment environment_;
    std::shared_ptr<QQmlEngine> engine_;
    std::shared_ptr<WaylandOverlayRole> wayland_;
    int madeCount_ = 0;
};

} // namespace shell
} // namespace tessera
