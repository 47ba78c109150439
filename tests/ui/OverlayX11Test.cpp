// The overlay window on a real X server with a compositor: what reaches the screen is a
// translucent backdrop over the desktop and the accent highlight over the hovered zone. Its own
// program, since the Qt application must connect to the test's server.

#include "OverlayViewModel.h"
#include "QtOverlaySurface.h"
#include "screenshots/CompositedDesktop.h"

#include "core/app/Preferences.h"
#include "platform/sim/SimDefaults.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace tessera::test {
namespace {

TEST(OverlayX11, BackdropIsTranslucentUnderACompositorAndTheHoveredZoneTinted) {
    screenshots::CompositedDesktop desktop(1280, 800);
    qputenv("DISPLAY", QByteArray::fromStdString(desktop.display()));
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    int argc = 1;
    char name[] = "tessera-ui-x11-tests";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);

    SimDefaults defaults;
    registerPreferenceDefaults(defaults);
    const Rect frame{0, 0, 1280, 800};
    shell::QtOverlaySurfaceFactory factory({defaults,
                                            [](const Rect& r) {
                                                return QRect(0, 0, static_cast<int>(r.width()),
                                                             static_cast<int>(r.height()));
                                            },
                                            [] { return false; }, [] { return false; }});
    const OverlayZoneModel left{Uuid::random(), "Left", Rect(0, 0, 0.5, 1)};
    const OverlayZoneModel right{Uuid::random(), "Right", Rect(0.5, 0, 0.5, 1)};
    const auto state =
        std::make_shared<OverlayState>(OverlayScreenModel{"Screen", frame, frame, {left, right}});
    const auto surface = factory.makeSurface(frame, state);
    surface->orderFront();
    state->setVisible(true);
    state->setHoveredID(left.id);

    // Light scheme: 16 % black over the desktop, and the accent's 10 % fill over the left zone.
    const QPoint dimmed(700, 100);
    const QPoint highlighted(100, 100);
    const QColor desktopColour(screenshots::CompositedDesktop::background);
    const QColor accent = QGuiApplication::palette().color(QPalette::Highlight);
    const QTemporaryDir scratch;
    const auto file = scratch.filePath(QStringLiteral("screen.png"));
    QImage shot;
    const auto grab = [&] {
        const auto error = desktop.grabScreen(file.toStdString());
        shot = error ? QImage() : QImage(file);
        return !shot.isNull();
    };
    const auto near = [](int value, double expected) { return std::abs(value - expected) <= 3; };
    const auto blended = [&](const QColor& seen, double accentShare) {
        const auto over = [&](int behind, int tint) {
            return behind * 0.84 * (1 - accentShare) + tint * accentShare;
        };
        return near(seen.red(), over(desktopColour.red(), accent.red())) &&
               near(seen.green(), over(desktopColour.green(), accent.green())) &&
               near(seen.blue(), over(desktopColour.blue(), accent.blue()));
    };
    const bool settled = QTest::qWaitFor(
        [&] {
            return grab() && blended(shot.pixelColor(dimmed), 0) &&
                   blended(shot.pixelColor(highlighted), 0.1);
        },
        10000);
    if (const auto folder = qEnvironmentVariable("TESSERA_SCREENSHOT_DIR"); !folder.isEmpty()) {
        shot.save(QDir(folder).filePath(QStringLiteral("overlay-x11.png")));
    }
    EXPECT_TRUE(settled) << "dimmed " << shot.pixelColor(dimmed).name().toStdString()
                         << ", highlighted " << shot.pixelColor(highlighted).name().toStdString();

    // Hidden, the desktop shows through untouched.
    surface->orderOut();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return grab() && shot.pixelColor(dimmed) == desktopColour &&
                   shot.pixelColor(highlighted) == desktopColour;
        },
        10000));
}

} // namespace
} // namespace tessera::test
