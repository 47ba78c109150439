// The overlay windows as a native Wayland client of KWin: each sits on its output, stays above a
// full-screen window, lets a click through to it and leaves the focus where it was, seen through
// KWin's own list of windows, in a private headless session (never the user's).

#include "KWinSession.h"
#include "OverlayViewModel.h"
#include "QtOverlaySurface.h"
#include "WaylandOverlayRole.h"
#include "fake-input-client-protocol.h"

#include "core/app/Preferences.h"
#include "platform/sim/SimDefaults.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QQuickView>
#include <QQuickWindow>
#include <QRasterWindow>
#include <QSGRendererInterface>
#include <QScreen>
#include <QTest>
#include <qpa/qplatformnativeinterface.h>

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace tessera::test {
namespace {

constexpr const char* listScript = R"(
report(JSON.stringify(windows().map(function (w) {
        var g = w.frameGeometry;
        return {caption: w.caption, x: g.x, y: g.y, width: g.width, height: g.height,
                active: w.active, fullScreen: w.fullScreen, osd: w.onScreenDisplay,
                skipTaskbar: w.skipTaskbar, skipSwitcher: w.skipSwitcher,
                stacking: w.stackingOrder};
})));
)";

// KWin's fake input, which a session started with KWIN_WAYLAND_NO_PERMISSION_CHECKS offers to
// every client. Its first device gives the seat a pointer, so it is made before anything is
// clicked.
org_kde_kwin_fake_input* bindFakeInput() {
    auto* display = static_cast<wl_display*>(
        QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("wl_display"));
    auto* registry = wl_display_get_registry(display);
    org_kde_kwin_fake_input* input = nullptr;
    static const wl_registry_listener listener{
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
           std::uint32_t) {
            if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0) {
                *static_cast<org_kde_kwin_fake_input**>(data) =
                    static_cast<org_kde_kwin_fake_input*>(
                        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
            }
        },
        [](void*, wl_registry*, std::uint32_t) {}};
    wl_registry_add_listener(registry, &listener, &input);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    if (input != nullptr) {
        org_kde_kwin_fake_input_authenticate(input, "tessera test", "clicks through the overlay");
        wl_display_roundtrip(display);
    }
    return input;
}

// A left click at a point of the desktop.
void clickAt(org_kde_kwin_fake_input* input, const QPoint& place) {
    org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_int(place.x()),
                                                    wl_fixed_from_int(place.y()));
    org_kde_kwin_fake_input_button(input, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    org_kde_kwin_fake_input_button(input, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    wl_display_flush(static_cast<wl_display*>(
        QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("wl_display")));
}

// The session the whole program runs in (made before the application).
kwintest::KWinSession* session = nullptr;

class OverlayKWin : public ::testing::Test {
protected:
    // KWin's windows now, after the script's first lines.
    QJsonArray kwinWindows(const std::string& first = {}) {
        return QJsonDocument::fromJson(
                   QByteArray::fromStdString(session->evaluate(first + listScript)))
            .array();
    }

    std::vector<QJsonObject> windowsTitled(const QJsonArray& windows, const QString& caption) {
        std::vector<QJsonObject> found;
        for (const auto& window : windows) {
            if (window[QStringLiteral("caption")].toString() == caption) {
                found.push_back(window.toObject());
            }
        }
        return found;
    }
};

QRect frameOf(const QJsonObject& window) {
    return {window[QStringLiteral("x")].toInt(), window[QStringLiteral("y")].toInt(),
            window[QStringLiteral("width")].toInt(), window[QStringLiteral("height")].toInt()};
}

TEST_F(OverlayKWin, PanelsSitOnTheirOutputsAboveAFullScreenWindowClickThroughWithoutFocus) {
    const auto screens = QGuiApplication::screens();
    ASSERT_EQ(screens.size(), 2);
    auto* const input = bindFakeInput();
    ASSERT_NE(input, nullptr);

    // An ordinary application, full screen and active, on the first output.
    class Filled : public QRasterWindow {
    public:
        int presses = 0;

    private:
        void paintEvent(QPaintEvent*) override {
            QPainter(this).fillRect(QRect(QPoint(), size()), Qt::white);
        }
        void mousePressEvent(QMouseEvent*) override { ++presses; }
    } fullScreen;
    fullScreen.setTitle(QStringLiteral("Full screen"));
    fullScreen.setScreen(screens.front());
    fullScreen.showFullScreen();
    const auto fullScreenCaption = QStringLiteral("Full screen");
    QJsonArray windows;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            windows = kwinWindows();
            const auto found = windowsTitled(windows, fullScreenCaption);
            return found.size() == 1 && found[0][QStringLiteral("active")].toBool() &&
                   found[0][QStringLiteral("fullScreen")].toBool();
        },
        10000))
        << QJsonDocument(windows).toJson().toStdString();

    SimDefaults defaults;
    registerPreferenceDefaults(defaults);
    // The core's bottom-left display frames, measured from the first output, to KWin's
    // top-left logical coordinates.
    const double primaryHeight = screens.front()->geometry().height();
    shell::QtOverlaySurfaceFactory factory(
        {defaults,
         [primaryHeight](const Rect& r) {
             return QRect(static_cast<int>(r.minX()), static_cast<int>(primaryHeight - r.maxY()),
                          static_cast<int>(r.width()), static_cast<int>(r.height()));
         },
         [] { return false; }, [] { return false; }});
    ASSERT_NE(factory.waylandRole(), nullptr);
    EXPECT_TRUE(factory.waylandRole()->hasPlasmaShell());
    std::vector<std::unique_ptr<OverlaySurface>> surfaces;
    std::vector<std::shared_ptr<OverlayState>> states;
    std::vector<QRect> outputs;
    for (const auto* screen : screens) {
        const QRect place = screen->geometry();
        outputs.push_back(place);
        const Rect frame(place.x(), primaryHeight - place.y() - place.height(), place.width(),
                         place.height());
        const OverlayZoneModel zone{Uuid::random(), "Left", Rect(0, 0, 0.5, 1)};
        states.push_back(
            std::make_shared<OverlayState>(OverlayScreenModel{"Screen", frame, frame, {zone}}));
        surfaces.push_back(factory.makeSurface(frame, states.back()));
    }

    const auto overlaysInPlace = [&] {
        windows = kwinWindows();
        const auto overlays = windowsTitled(windows, QStringLiteral("Tessera Overlay"));
        const auto below = windowsTitled(windows, fullScreenCaption);
        if (overlays.size() != outputs.size() || below.size() != 1 ||
            !below[0][QStringLiteral("active")].toBool()) {
            return false;
        }
        std::vector<QRect> frames;
        for (const auto& overlay : overlays) {
            if (!overlay[QStringLiteral("osd")].toBool() ||
                !overlay[QStringLiteral("skipTaskbar")].toBool() ||
                !overlay[QStringLiteral("skipSwitcher")].toBool() ||
                overlay[QStringLiteral("stacking")].toInt() <=
                    below[0][QStringLiteral("stacking")].toInt()) {
                return false;
            }
            frames.push_back(frameOf(overlay));
        }
        return std::is_permutation(frames.begin(), frames.end(), outputs.begin());
    };
    const auto show = [&] {
        for (std::size_t i = 0; i < surfaces.size(); ++i) {
            surfaces[i]->orderFront();
            states[i]->setVisible(true);
        }
    };
    show();
    EXPECT_TRUE(QTest::qWaitFor(overlaysInPlace, 10000))
        << QJsonDocument(windows).toJson().toStdString();
    // A click on the overlay reaches the window beneath.
    clickAt(input, outputs.front().center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return fullScreen.presses == 1; }, 10000));
    // Activating the full-screen window raises it, yet not over the overlay.
    kwinWindows(R"(windows().forEach(function (w) {
        if (w.caption == "Full screen") activate(w); });)");
    EXPECT_TRUE(QTest::qWaitFor(overlaysInPlace, 10000))
        << QJsonDocument(windows).toJson().toStdString();

    // Qt makes new surfaces for a window shown again; they get the same role.
    for (const auto& surface : surfaces) {
        surface->orderOut();
    }
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return windowsTitled(kwinWindows(), QStringLiteral("Tessera Overlay")).empty(); },
        10000));
    show();
    EXPECT_TRUE(QTest::qWaitFor(overlaysInPlace, 10000))
        << QJsonDocument(windows).toJson().toStdString();
}

// KWin maps every window on an output, the one drawn ahead "off screen" included (at the
// output's corner): while drawn ahead it shows nothing, and once shown for real, its zones.
TEST_F(OverlayKWin, AWindowDrawnAheadShowsNothingUntilShown) {
    SimDefaults defaults;
    registerPreferenceDefaults(defaults);
    shell::QtOverlaySurfaceFactory factory(
        {defaults,
         [](const Rect& r) { return QRect(0, 0, int(r.width()), int(r.height())); },
         [] { return false; },
         [] { return false; },
         {},
         true});
    const Rect frame(0, 0, 1920, 1080);
    auto state = std::make_shared<OverlayState>(
        OverlayScreenModel{"Screen", frame, frame, {{Uuid::random(), "Left", Rect(0, 0, 0.5, 1)}}});
    auto surface = factory.makeSurface(frame, state);
    auto& drawn = dynamic_cast<shell::QtOverlaySurface&>(*surface);
    const auto opaquePixels = [&] {
        const QImage image = drawn.window()->grabWindow();
        int count = 0;
        for (int y = 0; y < image.height(); y += 8) {
            for (int x = 0; x < image.width(); x += 8) {
                count += qAlpha(image.pixel(x, y)) != 0 ? 1 : 0;
            }
        }
        return count;
    };
    ASSERT_TRUE(drawn.drawingAhead());
    EXPECT_EQ(opaquePixels(), 0);

    // Hidden before the rehearsal's frame, then shown: the zones, not the rehearsal or nothing.
    surface->orderOut();
    state->setVisible(true);
    surface->orderFront();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return windowsTitled(kwinWindows(), QStringLiteral("Tessera Overlay")).size() == 1; },
        10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return opaquePixels() > 0; }, 10000));
    EXPECT_FALSE(drawn.viewModel().zone(0)->hovered());
}

} // namespace
} // namespace tessera::test

int main(int argc, char** argv) {
    // KWin first: the application is its Wayland client and reaches it on its bus.
    tessera::kwintest::KWinSession session;
    tessera::test::session = &session;
    for (const auto& variable : session.environment()) {
        const auto equals = variable.find('=');
        ::setenv(variable.substr(0, equals).c_str(), variable.substr(equals + 1).c_str(), 1);
    }
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("wayland"));
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
