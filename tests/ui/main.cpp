// The view-model tests: GoogleTest inside a Qt application, offscreen.

#include "Theme.h"

#include <QApplication>
#include <QQuickStyle>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    // The application's style and palette, set as it sets them: the controls take their sizes
    // from the style, and follow a later change of scheme only from a palette set before.
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    QApplication application(argc, argv);
    tessera::shell::applyColorScheme(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
