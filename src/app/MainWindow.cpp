#include "MainWindow.h"

#include "AppViewModel.h"

#include <QCoreApplication>
#include <QEvent>
#include <QQmlApplicationEngine>
#include <QQuickWindow>

#include <iostream>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tessera::shell {

MainWindow::MainWindow(AppViewModel& app, QUrl source,
                       std::function<void(QQmlApplicationEngine&)> prepare, QObject* parent)
    : QObject(parent), source_(std::move(source)), prepare_(std::move(prepare)) {
    connect(&app, &AppViewModel::showWindowRequested, this, [this] { show(); });
}

MainWindow::~MainWindow() = default;

bool MainWindow::show() {
    if (window_ == nullptr && !load()) {
        return false;
    }
    window_->show();
    window_->raise();
    window_->requestActivate();
    return true;
}

bool MainWindow::load() {
    auto engine = std::make_unique<QQmlApplicationEngine>();
    if (prepare_) {
        prepare_(*engine);
    }
    engine->load(source_);
    const auto roots = engine->rootObjects();
    auto* window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.front());
    if (window == nullptr) {
        std::cerr << "tessera: the main window could not be loaded\n";
        return false;
    }
    // A new window takes the style's own colours until the application's palette changes; the
    // palette of the scheme was set before, so the window is told now, as it would be later.
    QEvent paletteChange(QEvent::ApplicationPaletteChange);
    QCoreApplication::sendEvent(window, &paletteChange);
    engine_ = std::move(engine);
    window_ = window;
    connect(window_, &QWindow::visibleChanged, this, [this](bool visible) {
        if (!visible) {
            // Not from inside the window's own signal: it is deleted with the engine.
            QMetaObject::invokeMethod(this, &MainWindow::release, Qt::QueuedConnection);
        }
    });
    return true;
}

void MainWindow::release() {
    if (window_ == nullptr || window_->isVisible()) {
        return;
    }
    window_ = nullptr;
    engine_.reset();
#if defined(__GLIBC__)
    // The window's objects leave holes all over the heap; hand the free pages back, or the
    // process keeps its open-window size for good.
    malloc_trim(0);
#endif
    Q_EMIT released();
}

} // namespace tessera::shell
