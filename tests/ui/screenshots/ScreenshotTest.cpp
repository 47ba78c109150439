// The overlay as a user sees it, on a private X server with a compositor (picom): translucent
// windows blended over what lies beneath, so the picture comes from the screen rather than from
// the window (what the window draws: OverlayWindowTest). The last picture taken is kept to be
// looked at.

#include "AppViewModel.h"
#include "QtOverlaySurface.h"
#include "SceneGraphChoice.h"
#include "SimShell.h"
#include "Theme.h"
#include "XServerFixture.h"

#include "platform/sim/SimDisplays.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace tessera::screenshots {
namespace {

constexpr int screenWidth = 1920;
constexpr int screenHeight = 1440;

// Xvfb as a user's desktop looks to Tessera: a compositor, a plain mid-tone background in place
// of a wallpaper (light and dark text both stand out), and no window manager, so windows stay
// where they ask to be.
class CompositedDesktop {
public:
    CompositedDesktop() {
        EXPECT_EQ(server.run({"xsetroot", "-solid", "#6d7f91"}), 0) << "xsetroot failed";
        // An empty configuration, so the user's picom.conf (shadows, fading, blur) never
        // applies; the X Render backend, since the server has no GPU.
        compositor = std::make_unique<x11test::ChildProcess>(
            std::vector<std::string>{"picom", "--backend", "xrender", "--config", "/dev/null"},
            std::vector<std::string>{"DISPLAY=" + server.display()});
        EXPECT_TRUE(server.waitUntil([&] { return running() || compositor->waitForExit(0); }, 20));
        EXPECT_TRUE(running()) << "picom did not start compositing: " << compositor->errorOutput();
    }

    bool running() { return server.compositorRunning() && !compositor->waitForExit(0); }

    x11test::XServer server{x11test::ServerOptions{screenWidth, screenHeight, false, {}}};
    std::unique_ptr<x11test::ChildProcess> compositor;
};

// The application on the composited desktop, with the look it has whatever the machine's
// settings say. Made only once the server runs, so listing the tests needs no X server at all.
struct DesktopApplication {
    explicit DesktopApplication(const std::string& display) {
        qputenv("DISPLAY", QByteArray::fromStdString(display));
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
        application = std::make_unique<QApplication>(argc, argv.data());
        // Drawn by the renderer the application picks on this machine.
        shell::chooseSceneGraphBackend();
        shell::applyColorScheme(false);
    }
    int argc = 1;
    std::string name = "tessera-screenshots";
    std::array<char*, 2> argv{name.data(), nullptr};
    std::unique_ptr<QApplication> application;
};

// Real overlay windows for the shell's state. The factory needs the shell's preferences, so it
// is made once the shell exists; the state asks for panels only when the overlay first shows.
class DeferredOverlaySurfaces final : public OverlaySurfaceFactory {
public:
    void makeWith(std::unique_ptr<OverlaySurfaceFactory> factory) { factory_ = std::move(factory); }
    std::unique_ptr<OverlaySurface> makeSurface(const Rect& displayFrame,
                                                std::shared_ptr<OverlayState> state) override {
        return factory_->makeSurface(displayFrame, std::move(state));
    }

private:
    std::unique_ptr<OverlaySurfaceFactory> factory_;
};

// One display filling the X screen, no menu bar or dock, so the bottom-left frames of the
// simulated desktop map straight onto the screen's pixels.
class OverlayScreenshot : public ::testing::Test {
protected:
    OverlayScreenshot() {
        overlays.makeWith(std::make_unique<shell::QtOverlaySurfaceFactory>(
            shell::QtOverlaySurfaceFactory::Environment{
                sim.defaults,
                [](const Rect& frame) {
                    return QRect(static_cast<int>(frame.minX()),
                                 static_cast<int>(screenHeight - frame.maxY()),
                                 static_cast<int>(frame.width()), static_cast<int>(frame.height()));
                },
                [] { return false; }}));
        sim.desktop.displays().setScreens({simscreens::display({0, 0, screenWidth, screenHeight},
                                                               "Screenshot Display", 1, 0, 0)});
        sim.start();
    }

    CompositedDesktop desktop;
    DesktopApplication application{desktop.server.display()};
    DeferredOverlaySurfaces overlays;
    test::SimShell sim{test::SimShellOptions{.overlaySurfaces = &overlays}};
};

TEST_F(OverlayScreenshot, ThePreviewIsBlendedOverTheDesktopAndGoneOnceItEnds) {
    const auto chosen = qEnvironmentVariable("TESSERA_SCREENSHOT_DIR");
    const QDir folder(chosen.isEmpty() ? QStringLiteral(TESSERA_SCREENSHOT_DEFAULT_DIR) : chosen);
    QDir().mkpath(folder.path());
    const auto path = folder.filePath(QStringLiteral("overlay.png")).toStdString();
    // An ordinary white window under the overlay, for it to dim.
    QQuickWindow beneath;
    beneath.setColor(Qt::white);
    beneath.setGeometry(0, 0, screenWidth, screenHeight);
    beneath.show();
    QColor seen;
    // Away from the cards the window shows through the backdrop, 16 % darker (an opaque overlay
    // would hide it), or untouched. The root window's pixels are what the compositor last drew.
    const auto shows = [&](double shade) {
        if (const int status = desktop.server.run({"import", "-window", "root", "png:" + path})) {
            ADD_FAILURE() << "import -window root exited with status " << status;
            return true;
        }
        seen = QImage(QString::fromStdString(path)).pixelColor(10, 10);
        return std::abs(seen.red() - 255 * shade) <= 3 &&
               std::abs(seen.green() - 255 * shade) <= 3 &&
               std::abs(seen.blue() - 255 * shade) <= 3;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return shows(1); }, 10000)) << seen.name().toStdString();
    sim.shell->app().previewZones();
    // The panels turn visible a moment after they are ordered front.
    sim.scheduler.advance(0.1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shows(0.84); }, 10000))
        << "under the overlay: " << seen.name().toStdString();
    EXPECT_TRUE(desktop.running()) << "picom stopped";

    sim.scheduler.advance(3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shows(1); }, 10000))
        << "after the overlay: " << seen.name().toStdString();
}

} // namespace
} // namespace tessera::screenshots
