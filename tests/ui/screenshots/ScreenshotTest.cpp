#include "AppViewModel.h"
#include "QtOverlaySurface.h"
#include "ScreenshotEnvironment.h"
#include "SimShell.h"

#include "platform/sim/SimDisplays.h"

#include <QDir>
#include <QImage>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace tessera::screenshots {
namespace {

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

    DeferredOverlaySurfaces overlays;
    test::SimShell sim{test::SimShellOptions{.overlaySurfaces = &overlays}};
};

// The overlay as a user sees it: translucent windows blended over the desktop by the compositor,
// so the picture comes from the screen rather than from the window (what the window draws:
// OverlayWindowTest). The last picture taken is kept to be looked at.
TEST_F(OverlayScreenshot, ThePreviewIsBlendedOverTheDesktopAndGoneOnceItEnds) {
    QDir().mkpath(screenshotFolder());
    const auto path =
        QDir(screenshotFolder()).filePath(QStringLiteral("overlay.png")).toStdString();
    // An ordinary white window under the overlay, for it to dim.
    QQuickWindow beneath;
    beneath.setColor(Qt::white);
    beneath.setGeometry(0, 0, screenWidth, screenHeight);
    beneath.show();
    QColor seen;
    // Away from the cards the window shows through the backdrop, 16 % darker (an opaque overlay
    // would hide it), or untouched.
    const auto shows = [&](double shade) {
        if (const auto error = desktop().grabScreen(path)) {
            ADD_FAILURE() << *error;
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
    EXPECT_TRUE(desktop().compositorRunning()) << "picom stopped";

    sim.scheduler.advance(3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shows(1); }, 10000))
        << "after the overlay: " << seen.name().toStdString();
}

} // namespace
} // namespace tessera::screenshots
