// The memory baseline for bench/app-measure: the same Qt stack as tessera (a QApplication, the
// Fusion style, a QML engine with Qt Quick Controls) showing one empty window of the main
// window's size, and nothing else. Prints "ready" once the window's first frame is on screen.

#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>

#include <iostream>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
    QApplication application(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    QQmlApplicationEngine engine;
    engine.loadData(QByteArrayLiteral("import QtQuick\n"
                                      "import QtQuick.Controls\n"
                                      "ApplicationWindow { width: 1180; height: 780; "
                                      "visible: true; title: \"Empty\" }\n"));
    if (engine.rootObjects().isEmpty()) {
        std::cerr << "tessera-empty-window: the window could not be loaded\n";
        return 1;
    }
    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().front());
    if (window == nullptr) {
        return 1;
    }
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window, [] { std::cout << "ready" << std::endl; },
        Qt::SingleShotConnection);
    return QApplication::exec();
}
