#include "QtOverlaySurface.h"

#include "OverlayViewModel.h"
#include "Shell.h"
#include "WaylandOverlayRole.h"

#include <QQmlEngine>
#include <QQmlError>
#include <QQuickGraphicsConfiguration>
#include <QQuickItem>
#include <QQuickView>
#include <QSurfaceFormat>
#include <QTimer>

#include <iostream>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tessera::shell {

namespace {

const QUrl& overlaySource() {
    static const QUrl source(moduleFile(QStringLiteral("ZoneOverlay.qml")));
    return source;
}

constexpr int drawAheadLimitMs = 5000;

// Beyond the top-left corner of the desktop, where no display reaches.
QRect offScreen(QRect place) {
    place.moveTo(-place.width() - 64, -place.height() - 64);
    return place;
}

} // namespace

Qt::WindowFlags QtOverlaySurface::windowFlags() {
    // Above everything, unmanaged (so no window manager decorates, moves or focuses it), never
    // focused, and transparent for input: the drag under it must go on reaching the desktop.
    return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
           Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput |
           Qt::WindowDoesNotAcceptFocus;
}

QtOverlaySurface::QtOverlaySurface(const Rect& frame, std::unique_ptr<OverlayViewModel> viewModel,
                                   std::shared_ptr<QQmlEngine> engine,
                                   FirstFrameShown firstFrameShown,
                                   std::function<QRect(const Rect&)> toScreen,
                                   std::shared_ptr<WaylandOverlayRole> wayland)
    : frame_(frame), toScreen_(std::move(toScreen)), wayland_(std::move(wayland)),
      engine_(std::move(engine)), viewModel_(std::move(viewModel)),
      view_(std::make_unique<QQuickView>(engine_.get(), nullptr)),
      firstFrameShown_(std::move(firstFrameShown)) {
    view_->setFlags(windowFlags());
    // Drawn over a transparent background, so a compositor blends the backdrop with the desktop
    // (without one the X server shows it opaque, still letting clicks through).
    QSurfaceFormat format = view_->format();
    format.setAlphaBufferSize(8);
    // No depth buffer (the renderer then draws the few items in their order instead of sorting
    // opaque ones by depth) and no stencil (nothing is clipped or rotated): a software
    // rasterizer then neither clears nor tests a display-sized buffer every frame, and the
    // window does not hold one for the whole run.
    format.setDepthBufferSize(0);
    format.setStencilBufferSize(0);
    view_->setFormat(format);
    QQuickGraphicsConfiguration graphics = view_->graphicsConfiguration();
    graphics.setDepthBufferFor2D(false);
    view_->setGraphicsConfiguration(graphics);
    view_->setColor(Qt::transparent);
    view_->setTitle(QStringLiteral("Tessera Overlay"));
    view_->setResizeMode(QQuickView::SizeRootObjectToView);
    // Placed before the scene loads, so the root item starts at the display's size.
    setFrame(frame);
    // The surface owns the view model; the view only borrows it.
    QQmlEngine::setObjectOwnership(viewModel_.get(), QQmlEngine::CppOwnership);
    view_->setInitialProperties(
        {{QStringLiteral("overlay"), QVariant::fromValue<QObject*>(viewModel_.get())}});
    view_->setSource(overlaySource());
    for (const auto& error : view_->errors()) {
        std::cerr << "tessera: overlay: " << error.toString().toStdString() << "\n";
    }
    // Runs on the thread that renders, right after the frame went to the display server; the
    // time is taken there, since the GUI thread may be held up by the next frame before it
    // hears of this one. It keeps to the view itself, not the pointer the destructor resets.
    auto* view = view_.get();
    QObject::connect(
        view, &QQuickWindow::frameSwapped, view,
        [this, view] {
            const double shownAfter = awaitingFrame_.exchange(false)
                                          ? static_cast<double>(orderedFront_.nsecsElapsed()) / 1e6
                                          : -1.0;
            QMetaObject::invokeMethod(
                view,
                [this, shownAfter] {
                    // Taken down after the render loop is done with the frame.
                    finishDrawingAhead();
                    if (shownAfter >= 0 && firstFrameShown_) {
                        firstFrameShown_(view_->geometry(), shownAfter);
                    }
                },
                Qt::QueuedConnection);
        },
        Qt::DirectConnection);
}

QtOverlaySurface::~QtOverlaySurface() {
    if (wayland_) {
        wayland_->hidden(*view_);
    }
    // First, so the render thread is done before the members its frame handler reads go.
    view_.reset();
}

void QtOverlaySurface::setFrame(const Rect& frame) {
    frame_ = frame;
    view_->setGeometry(drawingAhead_ ? offScreen(toScreen_(frame)) : toScreen_(frame));
    if (wayland_ && view_->isVisible()) {
        wayland_->moved(*view_, view_->geometry().topLeft());
    }
    // A hidden window gets no resize event, so the scene would keep its old size until shown.
    if (auto* root = view_->rootObject()) {
        root->setSize(QSizeF(view_->size()));
    }
    // The view draws in the display's points, whatever pixels the desktop gives the window.
    viewModel_->setViewSize(frame.size);
}

void QtOverlaySurface::drawAhead() {
    if (view_->isVisible()) {
        return;
    }
    drawingAhead_ = true;
    viewModel_->setRehearsing(true);
    view_->setGeometry(offScreen(view_->geometry()));
    // A Wayland client can't put its window beyond every output: KWin maps it at the output's
    // corner all the same. There the rehearsal draws its items fully transparent, so the scene
    // is still built once and the user sees nothing.
    setRehearsalVisible(!wayland_);
    showWindow();
    // A desktop that never exposes a window out there gets it back unmapped all the same.
    QTimer::singleShot(drawAheadLimitMs, view_.get(), [this] { finishDrawingAhead(); });
}

void QtOverlaySurface::finishDrawingAhead() {
    if (drawingAhead_) {
        drawingAhead_ = false;
        hideWindow();
        viewModel_->setRehearsing(false);
        setRehearsalVisible(true);
        view_->setGeometry(toScreen_(frame_));
#if defined(__GLIBC__)
        // Compiling the shaders for the first frame leaves megabytes of scratch memory free in
        // the heaps; give it back, or the process carries it through its whole idle run.
        malloc_trim(0);
#endif
    }
}

void QtOverlaySurface::setRehearsalVisible(bool visible) {
    if (auto* root = view_->rootObject()) {
        root->setOpacity(visible ? 1.0 : 0.0);
    }
}

void QtOverlaySurface::orderFront() {
    finishDrawingAhead();
    if (firstFrameShown_ && !view_->isVisible()) {
        orderedFront_.start();
        awaitingFrame_.store(true);
    }
    showWindow();
    view_->raise();
}

void QtOverlaySurface::orderOut() {
    // Hidden before its rehearsal drew, a window still gets its place and its state back.
    if (drawingAhead_) {
        finishDrawingAhead();
    } else {
        hideWindow();
    }
}

void QtOverlaySurface::showWindow() {
    const bool wasVisible = view_->isVisible();
    view_->show();
    if (wayland_ && !wasVisible) {
        wayland_->shown(*view_, view_->geometry().topLeft());
    }
}

void QtOverlaySurface::hideWindow() {
    view_->hide();
    if (wayland_) {
        wayland_->hidden(*view_);
    }
}

// ---------------------------------------------------------------------------------------------

QtOverlaySurfaceFactory::QtOverlaySurfaceFactory(Environment environment)
    : environment_(std::move(environment)), engine_(std::make_shared<QQmlEngine>()),
      wayland_(WaylandOverlayRole::forApplication()) {
    findModule(*engine_);
}

QtOverlaySurfaceFactory::~QtOverlaySurfaceFactory() = default;

std::unique_ptr<OverlaySurface>
QtOverlaySurfaceFactory::makeSurface(const Rect& displayFrame,
                                     std::shared_ptr<OverlayState> state) {
    auto viewModel = std::make_unique<OverlayViewModel>(
        std::move(state),
        OverlayViewModel::Environment{environment_.defaults, environment_.darkScheme,
                                      environment_.reduceMotion},
        displayFrame.size);
    ++madeCount_;
    auto surface = std::make_unique<QtOverlaySurface>(displayFrame, std::move(viewModel), engine_,
                                                      environment_.firstFrameShown,
                                                      environment_.toScreen, wayland_);
    if (environment_.drawAhead) {
        surface->drawAhead();
    }
    return surface;
}

} // namespace tessera::shell
