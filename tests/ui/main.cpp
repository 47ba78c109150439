// The view-model tests: GoogleTest inside a Qt application, offscreen.

#include <QApplication>
#include <QQuickStyle>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    // The application's style: sizes and colours of the controls are the style's.
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
