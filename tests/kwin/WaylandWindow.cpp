// A plain Wayland-native window for the KWin tests: a Qt window with the title given, which
// takes any size it is given.
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

namespace {

class Window final : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(), size()), Qt::darkCyan);
    }
};

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    Window window;
    window.setTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("window"));
    window.resize(400, 300);
    window.show();
    return QGuiApplication::exec();
}
