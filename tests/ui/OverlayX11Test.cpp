// The overlay window on a real X server with a compositor: what reaches the screen is a
// translucent backdrop over the windows beneath and the accent highlight over the hovered zone.
// Its own program, since the Qt application must connect to the test's server.

#include "OverlayViewModel.h"
#include "QtOverlaySurface.h"

#include "../x11/XServerFixture.h"
#include "core/app/Preferences.h"
#include "platform/sim/SimDefaults.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QQuickView>
#include <QSGRendererInterface>
#include <QTest>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>

namespace tessera::test {
namespace {

using x11test::XServer;

// The screen as shown, read back from the root window.
QImage screenshot(const XServer& server) {
    auto* connection = server.connection();
    const auto cookie = xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, server.root(), 0, 0,
                                      static_cast<std::uint16_t>(server.width()),
                                      static_cast<std::uint16_t>(server.height()), ~0U);
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
        xcb_get_image_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->depth != 24) {
        return {};
    }
    // 24-bit depth comes as 32 bits per pixel, blue first: Qt's RGB32 on a little-endian host.
    const QImage view(xcb_get_image_data(reply.get()), server.width(), server.height(),
                      server.width() * 4, QImage::Format_RGB32);
    return view.copy();
}

// An ordinary white window covering the screen, for the overlay to dim.
void mapWhiteWindow(const XServer& server) {
    auto* connection = server.connection();
    const auto* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const auto window = xcb_generate_id(connection);
    const std::uint32_t values[] = {screen->white_pixel};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, server.root(), 0, 0,
                      static_cast<std::uint16_t>(server.width()),
                      static_cast<std::uint16_t>(server.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL, values);
    xcb_map_window(connection, window);
    xcb_flush(connection);
}

bool compositorRunning(XServer& server) {
    auto* connection = server.connection();
    const auto cookie = xcb_get_selection_owner(connection, server.atom("_NET_WM_CM_S0"));
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(connection, cookie, nullptr), &std::free);
    return reply && reply->owner != 0;
}

TEST(OverlayX11, BackdropIsTranslucentUnderACompositorAndTheHoveredZoneTinted) {
    XServer server({.width = 1280, .height = 800, .windowManager = false, .monitors = {}});
    mapWhiteWindow(server);
    server.spawn(
        {"picom", "--config", "/dev/null", "--backend", "xrender", "--no-fading-openclose"});
    ASSERT_TRUE(server.waitUntil([&] { return compositorRunning(server); }))
        << "picom did not take the screen";

    qputenv("DISPLAY", QByteArray::fromStdString(server.display()));
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

    // Light scheme: 16 % black over white, and the accent over the left zone.
    const QPoint dimmed(700, 100);
    const QPoint highlighted(100, 100);
    const QColor accent = QGuiApplication::palette().color(QPalette::Highlight);
    QImage shot;
    const bool settled = QTest::qWaitFor(
        [&] {
            server.sync();
            shot = screenshot(server);
            if (shot.isNull()) {
                return false;
            }
            const QColor d = shot.pixelColor(dimmed);
            const QColor h = shot.pixelColor(highlighted);
            // 16 % black over white is grey 214; the accent's 10 % fill over that.
            const auto near = [](int value, double expected) {
                return std::abs(value - expected) <= 3;
            };
            const double grey = 255 * 0.84;
            return near(d.red(), grey) && near(d.green(), grey) && near(d.blue(), grey) &&
                   near(h.red(), grey * 0.9 + accent.red() * 0.1) &&
                   near(h.blue(), grey * 0.9 + accent.blue() * 0.1);
        },
        10000);
    if (const char* folder = std::getenv("TESSERA_SCREENSHOT_DIR"); folder != nullptr) {
        shot.save(QString::fromLocal8Bit(folder) + QStringLiteral("/overlay-x11.png"));
    }
    EXPECT_TRUE(settled) << "dimmed " << shot.pixelColor(dimmed).name().toStdString()
                         << ", highlighted " << shot.pixelColor(highlighted).name().toStdString();

    // Hidden, the desktop shows through untouched.
    surface->orderOut();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            server.sync();
            shot = screenshot(server);
            return !shot.isNull() && shot.pixelColor(dimmed) == QColor(Qt::white) &&
                   shot.pixelColor(highlighted) == QColor(Qt::white);
        },
        10000));
}

} // namespace
} // namespace tessera::test
