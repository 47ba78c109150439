#pragma once

#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>

class QQmlApplicationEngine;
class QQuickWindow;

namespace tessera::shell {

class AppViewModel;

// The main window's QML, loaded when the window is asked for and released once it closes:
// Tessera spends most of its run in the tray, where the window's objects, scene and compiled
// pages would only hold memory. Everything the window shows lives in the view models, so a
// reopened window shows what the closed one did.
class MainWindow : public QObject {
    Q_OBJECT
public:
    // prepare readies each new engine before the window loads (context, image providers).
    MainWindow(AppViewModel& app, QUrl source, std::function<void(QQmlApplicationEngine&)> prepare,
               QObject* parent = nullptr);
    ~MainWindow() override;

    // Loads the window if it isn't, then brings it forward. False when it could not be loaded.
    bool show();
    // The loaded window, or null.
    QQuickWindow* window() const { return window_; }

Q_SIGNALS:
    // The window closed and its QML is gone.
    void released();

private:
    bool load();
    void release();

    QUrl source_;
    std::function<void(QQmlApplicationEngine&)> prepare_;
    std::unique_ptr<QQmlApplicationEngine> engine_;
    QQuickWindow* window_ = nullptr;
};

} // namespace tessera::shell
