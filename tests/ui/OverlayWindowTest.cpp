// The overlay windows: one click-through Qt Quick window per display, made once and reused, and
// the view model that turns the controller's state into the numbers ZoneOverlay.qml draws. What
// those numbers are is the core's renderOverlay, when windows are made and shown the core's
// DragOverlayController (OverlayControllerTest); here, that they reach the window and the screen.

#include "OverlayViewModel.h"
#include "QtOverlaySurface.h"
#include "QtTestSupport.h"

#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "platform/sim/SimDefaults.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QQuickItem>
#include <QQuickView>
#include <QSGRendererInterface>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <vector>

namespace tessera::test {
namespace {

using shell::OverlayViewModel;
using shell::OverlayZoneItem;
using shell::QtOverlaySurface;

// A 1440 × 900 display whose free area loses a 25-point menu bar at the top.
const Rect displayFrame{0, 0, 1440, 900};
const Rect freeFrame{0, 0, 1440, 875};

// `count` full-height zones side by side from the left edge.
OverlayScreenModel columns(int count) {
    std::vector<OverlayZoneModel> zones;
    for (int i = 0; i < count; ++i) {
        zones.push_back({Uuid::random(), "Zone", Rect(1.0 / count * i, 0, 1.0 / count, 1)});
    }
    return {"Built-in 1440x900", displayFrame, freeFrame, zones};
}

// Where the test's desktop puts a display: a root window 900 pixels high, shifted 7 pixels.
QRect testScreenRect(const Rect& frame) {
    return {static_cast<int>(frame.minX()) + 7, static_cast<int>(900 - frame.maxY()),
            static_cast<int>(frame.width()), static_cast<int>(frame.height())};
}

QVariant key(const QVariantMap& map, const char* name) {
    return map.value(QString::fromLatin1(name));
}

class OverlayWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Offscreen there is no OpenGL; the software renderer draws and grabs the same scene.
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }

    OverlayWindowTest() { registerPreferenceDefaults(defaults); }

    // Throws, failing the test, if the factory makes anything but a Qt overlay window.
    std::unique_ptr<QtOverlaySurface> makeSurface() {
        auto made = factory.makeSurface(displayFrame, state);
        if (dynamic_cast<QtOverlaySurface*>(made.get()) == nullptr) {
            throw std::logic_error("the factory made no Qt overlay window");
        }
        return std::unique_ptr<QtOverlaySurface>(static_cast<QtOverlaySurface*>(made.release()));
    }

    // What renderOverlay gives for the state as the view model should see it now.
    OverlayRender expectedRender(double cardScale = 100) const {
        OverlayRenderInput input;
        input.state = state->snapshot();
        input.colorScheme = dark ? ColorScheme::dark : ColorScheme::light;
        input.reduceMotion = reduceMotion;
        input.cardScale = cardScale;
        input.viewSize = displayFrame.size;
        return renderOverlay(input);
    }

    SimDefaults defaults;
    bool dark = false;
    bool reduceMotion = false;
    shell::QtOverlaySurfaceFactory factory{
        {defaults, testScreenRect, [this] { return dark; }, [this] { return reduceMotion; }}};
    std::shared_ptr<OverlayState> state = std::make_shared<OverlayState>(columns(2));
    const OverlayZoneModel left = state->snapshot().screen.zones[0];
};

TEST_F(OverlayWindowTest, AClickThroughPanelDrawsTheStateOfNowShownHiddenAndMovedAsOneWindow) {
    const auto surface = makeSurface();
    QQuickView* window = surface->window();
    const auto& model = surface->viewModel();
    for (const auto flag :
         {Qt::WindowTransparentForInput, Qt::X11BypassWindowManagerHint, Qt::WindowStaysOnTopHint,
          Qt::WindowDoesNotAcceptFocus, Qt::FramelessWindowHint}) {
        EXPECT_TRUE(window->flags().testFlag(flag)) << flag;
    }
    EXPECT_EQ(window->flags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_EQ(window->color().alpha(), 0);
    EXPECT_GE(window->format().alphaBufferSize(), 8);
    // Made off screen: the controller orders it front when the overlay shows.
    EXPECT_FALSE(window->isVisible());

    // Drawn ahead beyond the desktop; showing ends that at once, in place.
    surface->drawAhead();
    EXPECT_LT(window->geometry().right(), 0);
    surface->orderFront();
    EXPECT_FALSE(surface->drawingAhead());
    EXPECT_EQ(window->geometry(), QRect(7, 0, 1440, 900));
    EXPECT_EQ(model.render(), expectedRender());
    EXPECT_EQ(key(model.backdropAnimation(), "kind"), "none");
    surface->orderOut();
    EXPECT_FALSE(window->isVisible());
    surface->orderFront();
    EXPECT_EQ(surface->window(), window);
    EXPECT_TRUE(window->isVisible());
    // Flags survive showing: Qt rebuilds the native window from them each time.
    EXPECT_TRUE(window->flags().testFlag(Qt::WindowTransparentForInput));

    EXPECT_EQ(model.freeArea(), QRectF(0, 25, 1440, 875));
    EXPECT_EQ(model.accentColor(), QGuiApplication::palette().color(QPalette::Highlight));
    // Each card shows its zone's name.
    auto* zone0 =
        findItem(window->rootObject(), "zone-" + QString::fromStdString(left.id.string()));
    QQuickItem* name = zone0 != nullptr ? findItem(zone0, QStringLiteral("name")) : nullptr;
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->property("text").toString(), "Zone");
    // The scheme, the motion setting and the card scale are read again at the next change.
    dark = true;
    reduceMotion = true;
    defaults.set(prefs::cardScale, 160.0);
    state->setVisible(true);
    EXPECT_TRUE(model.dark());
    EXPECT_EQ(model.render(), expectedRender(160));
    const auto room = cardSize(720, 875, 160);
    EXPECT_EQ(model.zone(0)->cardRect().size(), QSizeF(room.width, room.height));

    const Rect wide{1440, 0, 1920, 1080};
    surface->setFrame(wide);
    EXPECT_EQ(window->geometry(), QRect(1447, -180, 1920, 1080));
    EXPECT_EQ(window->rootObject()->size(), QSizeF(1920, 1080));
}

TEST_F(OverlayWindowTest, OnlyWhatChangedGetsANewAnimationAndTheZoneItemsLast) {
    state->setScreen(columns(8));
    const auto many = state->snapshot().screen.zones;
    const auto surface = makeSurface();
    auto& model = surface->viewModel();
    const auto before = model.zones();
    QSignalSpy replaced(&model, &OverlayViewModel::zonesChanged);

    // Appearing: every card springs in, staggered (how: OverlayRenderTest).
    state->setVisible(true);
    EXPECT_EQ(key(model.backdropAnimation(), "kind"), "easeOut");
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(key(model.zone(i)->cardAnimation(), "kind"), "spring") << i;
    }
    // Hovering springs only the zone whose hover changed; the others and the backdrop keep the
    // appear animation they may still be running, and hear nothing. The animation must be in
    // place before the values move, or the view animates the change with the previous one.
    QSignalSpy untouched(model.zone(2), &OverlayZoneItem::cardAnimationChanged);
    QSignalSpy unmoved(model.zone(2), &OverlayZoneItem::cardScaleChanged);
    std::vector<const char*> order;
    QObject::connect(model.zone(3), &OverlayZoneItem::cardAnimationChanged,
                     [&] { order.push_back("animation"); });
    QObject::connect(model.zone(3), &OverlayZoneItem::cardScaleChanged,
                     [&] { order.push_back("scale"); });
    state->setHoveredID(many[3].id);
    EXPECT_EQ(key(model.backdropAnimation(), "kind"), "easeOut");
    EXPECT_EQ(key(model.zone(3)->cardAnimation(), "delay"), 0);
    EXPECT_EQ(key(model.zone(2)->cardAnimation(), "delay"), 50);
    EXPECT_EQ(untouched.count() + unmoved.count(), 0);
    EXPECT_EQ(order, (std::vector<const char*>{"animation", "scale"}));

    // A change the overlay doesn't animate lands at once, but only on the values it moves.
    dark = true;
    state->setHoveredID(many[3].id);
    EXPECT_EQ(key(model.backdropAnimation(), "kind"), "none");
    EXPECT_EQ(key(model.zone(3)->cardAnimation(), "kind"), "none");
    EXPECT_EQ(key(model.zone(2)->cardAnimation(), "delay"), 50);

    // The same zones renamed keep their items; other zones replace them.
    auto renamed = state->snapshot().screen;
    renamed.zones[0].name = "Links";
    state->setScreen(renamed);
    EXPECT_EQ(replaced.count(), 0);
    EXPECT_EQ(model.zones(), before);
    EXPECT_EQ(model.zone(0)->name(), "Links");
    state->setScreen(columns(2));
    EXPECT_EQ(replaced.count(), 1);

    state->setVisible(false);
    EXPECT_EQ(key(model.backdropAnimation(), "kind"), "easeIn");
    EXPECT_EQ(key(model.zone(1)->cardAnimation(), "kind"), "easeIn");
}

TEST_F(OverlayWindowTest, HoveredZoneIsTintedTheRestDimmedAndNothingLeftOnceHidden) {
    const auto surface = makeSurface();
    QQuickView* window = surface->window();
    // Offscreen windows have no alpha channel; a white clear colour stands in for the desktop
    // the overlay is blended over.
    window->setColor(Qt::white);
    surface->orderFront();
    state->setVisible(true);
    state->setHoveredID(left.id);

    // Inside the left zone's highlight but off its card, the same spot in the right zone, and
    // the two cards.
    const QPoint inHighlight(100, 200);
    const QPoint elsewhere(820, 200);
    const QPoint onCard =
        surface->viewModel().zone(0)->cardRect().center().toPoint() + QPoint(0, -30);
    const QPoint onPlainCard = onCard + QPoint(720, 0);
    const QColor accent = surface->viewModel().accentColor();
    // 16 % black over white, then the accent's 10 % fill over that.
    const double dimmed = 255 * 0.84;
    const auto near = [](const QColor& c, double r, double g, double b) {
        return std::abs(c.red() - r) <= 3 && std::abs(c.green() - g) <= 3 &&
               std::abs(c.blue() - b) <= 3;
    };
    const auto mix = [&](double base, int tint) { return base * 0.9 + tint * 0.1; };
    QImage image;
    const auto colours = [&] {
        std::string out;
        for (const QPoint p : {inHighlight, elsewhere, onCard, onPlainCard}) {
            out += image.pixelColor(p).name().toStdString() + " ";
        }
        return out;
    };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            image = window->grabWindow();
            return !image.isNull() && near(image.pixelColor(elsewhere), dimmed, dimmed, dimmed) &&
                   near(image.pixelColor(inHighlight), mix(dimmed, accent.red()),
                        mix(dimmed, accent.green()), mix(dimmed, accent.blue()));
        },
        5000))
        << colours();
    // The hovered card's tile leans towards the accent; the other card is a plain light tile,
    // lighter than the dimmed backdrop around it.
    const auto distance = [&](const QColor& c) {
        return std::abs(c.red() - accent.red()) + std::abs(c.green() - accent.green()) +
               std::abs(c.blue() - accent.blue());
    };
    const QColor plainTile = image.pixelColor(onPlainCard);
    EXPECT_LT(distance(image.pixelColor(onCard)) + 60, distance(plainTile)) << colours();
    EXPECT_GT(plainTile.red(), dimmed + 10);
    EXPECT_LE(std::abs(plainTile.red() - plainTile.blue()), 3);

    state->setVisible(false);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            image = window->grabWindow();
            return !image.isNull() &&
                   std::ranges::all_of(std::vector{inHighlight, onCard, elsewhere}, [&](QPoint p) {
                       return image.pixelColor(p) == QColor(Qt::white);
                   });
        },
        5000))
        << colours();
}

// What the view model hands over (OnlyWhatChanged…) the QML must play through: the last card,
// 75 ms late, follows the appear spring from start to end while the hover moves to the others.
TEST_F(OverlayWindowTest, AppearingCardsKeepMovingWhileTheHoverChanges) {
    state->setScreen(columns(4));
    const auto quarters = state->snapshot().screen.zones;
    const auto surface = makeSurface();
    surface->orderFront();
    FrameClock clock;
    const auto tick = [&] {
        // Qt starts new animations from its event loop, then they follow the clock.
        QCoreApplication::processEvents();
        clock.advance();
    };
    // Qt's timer goes by the clock from here on, not by the time the set-up took.
    tick();
    tick();
    auto* zone = findItem(surface->window()->rootObject(),
                          "zone-" + QString::fromStdString(quarters[3].id.string()));
    QQuickItem* last = zone != nullptr ? findItem(zone, QStringLiteral("card")) : nullptr;
    ASSERT_NE(last, nullptr);
    const double delay = 0.075;
    // Two frames either way: Qt starts an animation on one of the clock's next ticks.
    const double slack = 2.0 * FrameClock::frame / 1000.0;
    state->setVisible(true);
    double seconds = 0;
    for (int i = 1; i * FrameClock::frame < 700; ++i) {
        if (i == 3 || i == 6) {
            state->setHoveredID(quarters[i / 3 - 1].id);
        }
        tick();
        surface->window()->grabWindow();
        seconds = i * FrameClock::frame / 1000.0;
        const double early = shell::springProgress(0.38, 0.8, seconds - delay - slack);
        const double late = shell::springProgress(0.38, 0.8, seconds - delay + slack);
        const double low = std::min(early, late) - 0.02;
        const double high = std::max(early, late) + 0.02;
        EXPECT_TRUE(last->opacity() >= low && last->opacity() <= high)
            << seconds << ": " << last->opacity();
        EXPECT_TRUE(last->scale() >= 0.9 + 0.1 * low - 0.002 &&
                    last->scale() <= 0.9 + 0.1 * high + 0.002)
            << seconds << ": " << last->scale();
    }
    EXPECT_GT(seconds, delay + shell::springSettleSeconds(0.38, 0.8));
}

} // namespace
} // namespace tessera::test
