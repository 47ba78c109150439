// The overlay on a private, composited X server, and the tessera program itself. The Qt
// application is made only once the server runs, so listing the tests needs no X server at all.

#include "SceneGraphChoice.h"
#include "ScreenshotEnvironment.h"
#include "Theme.h"

#include <QApplication>
#include <QDir>
#include <QQuickStyle>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tessera::screenshots {

namespace {

class DesktopEnvironment final : public ::testing::Environment {
public:
    DesktopEnvironment(int argc, char** argv) : argc_(argc), argv_(argv) {}

    void SetUp() override {
        try {
            desktop_ = std::make_unique<CompositedDesktop>(screenWidth, screenHeight);
        } catch (const std::exception& error) {
            FAIL() << error.what();
        }
        qputenv("DISPLAY", QByteArray::fromStdString(desktop_->display()));
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
        // The same look as the application, whatever the machine's settings say.
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
        application_ = std::make_unique<QApplication>(argc_, argv_);
        // Drawn by the renderer the application picks on this machine.
        shell::chooseSceneGraphBackend();
        shell::applyColorScheme(false);
    }

    void TearDown() override {
        application_.reset();
        desktop_.reset();
    }

    CompositedDesktop& desktop() { return *desktop_; }

private:
    int argc_;
    char** argv_;
    std::unique_ptr<CompositedDesktop> desktop_;
    std::unique_ptr<QApplication> application_;
};

// GoogleTest owns the environment; the tests reach the desktop through it.
DesktopEnvironment*& registeredEnvironment() {
    static DesktopEnvironment* environment = nullptr;
    return environment;
}

} // namespace

CompositedDesktop& desktop() {
    return registeredEnvironment()->desktop();
}

void registerEnvironment(int argc, char** argv) {
    auto owned = std::make_unique<DesktopEnvironment>(argc, argv);
    registeredEnvironment() = owned.get();
    ::testing::AddGlobalTestEnvironment(owned.release());
}

QString screenshotFolder() {
    const auto chosen = qEnvironmentVariable("TESSERA_SCREENSHOT_DIR");
    return chosen.isEmpty() ? QStringLiteral(TESSERA_SCREENSHOT_DEFAULT_DIR) : chosen;
}

} // namespace tessera::screenshots

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tessera::screenshots::registerEnvironment(argc, argv);
    return RUN_ALL_TESTS();
}
