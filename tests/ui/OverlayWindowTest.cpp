// The overlay windows: one click-through Qt Quick window per display, made once and reused, and
// the view model that turns the controller's state into the numbers ZoneOverlay.qml draws. What
// those numbers are is the core's renderOverlay; here, that they reach the window and the screen.

#include "OverlayViewModel.h"
#include "QtOverlaySurface.h"
#include "QtTestSupport.h"

#include "../unit/TempDir.h"
#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimLocalizer.h"
#include "platform/sim/SimScheduler.h"

#include <QCoreApplication>
#include <QEasingCurve>
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

    std::unique_ptr<QtOverlaySurface> makeSurface() {
        auto made = factory.makeSurface(displayFrame, state);
        auto* surface = dynamic_cast<QtOverlaySurface*>(made.get());
        EXPECT_NE(surface, nullptr) << "the factory made no Qt overlay window";
        if (surface != nullptr) {
            made.release();
        }
        return std::unique_ptr<QtOverlaySurface>(surface);
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
    const OverlayZoneModel right = state->snapshot().screen.zones[1];
};

TEST_F(OverlayWindowTest, ATransparentClickThroughPanelShownHiddenAndMovedAsTheSameWindow) {
    const auto surface = makeSurface();
    ASSERT_NE(surface, nullptr);
    QQuickView* window = surface->window();
    const auto flags = window->flags();
    for (const auto flag :
         {Qt::WindowTransparentForInput, Qt::X11BypassWindowManagerHint, Qt::WindowStaysOnTopHint,
          Qt::WindowDoesNotAcceptFocus, Qt::FramelessWindowHint}) {
        EXPECT_TRUE(flags.testFlag(flag)) << flag;
    }
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_EQ(window->color().alpha(), 0);
    EXPECT_GE(window->format().alphaBufferSize(), 8);
    EXPECT_EQ(window->geometry(), QRect(7, 0, 1440, 900));
    EXPECT_TRUE(window->errors().isEmpty());
    ASSERT_NE(window->rootObject(), nullptr);
    EXPECT_EQ(window->rootObject()->size(), QSizeF(1440, 900));
    // Made off screen: the controller orders it front when the overlay shows.
    EXPECT_FALSE(window->isVisible());

    // Drawn ahead beyond the desktop in the shown look; showing ends that at once, in place.
    surface->drawAhead();
    EXPECT_TRUE(surface->drawingAhead());
    EXPECT_LT(window->geometry().right(), 0);
    EXPECT_TRUE(surface->viewModel().zone(0)->hovered());
    surface->orderFront();
    EXPECT_FALSE(surface->drawingAhead());
    EXPECT_EQ(window->geometry(), QRect(7, 0, 1440, 900));
    EXPECT_EQ(surface->viewModel().render(), expectedRender());
    EXPECT_EQ(key(surface->viewModel().backdropAnimation(), "kind"), "none");
    EXPECT_TRUE(window->isVisible());
    surface->orderOut();
    EXPECT_FALSE(window->isVisible());
    surface->orderFront();
    EXPECT_EQ(surface->window(), window);
    EXPECT_TRUE(window->isVisible());
    // Flags survive showing: Qt rebuilds the native window from them each time.
    EXPECT_TRUE(window->flags().testFlag(Qt::WindowTransparentForInput));

    const Rect wide{1440, 0, 1920, 1080};
    surface->setFrame(wide);
    EXPECT_EQ(surface->frame(), wide);
    EXPECT_EQ(window->geometry(), QRect(1447, -180, 1920, 1080));
    EXPECT_EQ(surface->viewModel().input().viewSize, wide.size);
    EXPECT_EQ(window->rootObject()->size(), QSizeF(1920, 1080));
}

TEST_F(OverlayWindowTest, ControllerMakesOneWindowPerDisplayAndReusesIt) {
    TempDir dir{"tessera-overlay"};
    LayoutStore store{dir.path() / "layouts.json"};
    SimDisplays displays{simscreens::sideBySide()};
    SimScheduler scheduler;
    const auto localizer = makeSimLocalizer();
    DragOverlayController controller{displays, scheduler, localizer, defaults, factory};
    const auto panels = [&] {
        std::vector<const QtOverlaySurface*> out;
        for (const auto& display : displays.screens()) {
            const auto* surface = controller.surface(makeScreenInfo(display).id);
            out.push_back(surface ? dynamic_cast<const QtOverlaySurface*>(surface->panel.get())
                                  : nullptr);
        }
        return out;
    };
    const auto visibleCount = [&] {
        return std::ranges::count_if(
            panels(), [](const auto* panel) { return panel && panel->window()->isVisible(); });
    };

    controller.show(store, std::nullopt);
    EXPECT_EQ(factory.madeCount(), 2);
    const auto first = panels();
    for (std::size_t i = 0; i < first.size(); ++i) {
        ASSERT_NE(first[i], nullptr);
        EXPECT_EQ(first[i]->window()->geometry(), testScreenRect(displays.screens()[i].frame));
        // The backdrop turns on with the state, a frame after the windows come up.
        EXPECT_EQ(first[i]->viewModel().backdropOpacity(), 0);
    }
    EXPECT_EQ(visibleCount(), 2);
    scheduler.advance(DragOverlayController::fadeInDelay);
    EXPECT_GT(first[1]->viewModel().backdropOpacity(), 0);

    controller.hide();
    EXPECT_EQ(visibleCount(), 2) << "the windows stay up while the views fade out";
    scheduler.advance(DragOverlayController::orderOutDelay);
    EXPECT_EQ(visibleCount(), 0);
    controller.show(store, std::nullopt);
    EXPECT_EQ(factory.madeCount(), 2);
    EXPECT_EQ(panels(), first);
    EXPECT_EQ(visibleCount(), 2);
}

TEST_F(OverlayWindowTest, ViewModelDrawsTheRenderOfTheStateWithTheSchemeMotionAndCardScaleOfNow) {
    const auto surface = makeSurface();
    ASSERT_NE(surface, nullptr);
    const auto& model = surface->viewModel();
    EXPECT_EQ(model.freeArea(), QRectF(0, 25, 1440, 875));
    state->setVisible(true);
    state->setHoveredID(left.id);
    EXPECT_EQ(model.render(), expectedRender());
    EXPECT_FALSE(model.dark());
    const auto& zone = expectedRender().zones[0];
    const auto* hovered = model.zone(0);
    const auto& h = zone.highlight.rect;
    EXPECT_EQ(hovered->highlightRect(), QRectF(h.minX(), h.minY(), h.width(), h.height()));
    EXPECT_EQ(hovered->highlightOpacity(), zone.highlight.opacity);
    EXPECT_EQ(hovered->tintOpacity(), zone.card.tintOpacity.value_or(0));
    EXPECT_EQ(hovered->cardScale(), zone.card.scale);
    EXPECT_EQ(model.accentColor(), QGuiApplication::palette().color(QPalette::Highlight));

    // Each is read again at the next change of the state.
    dark = true;
    reduceMotion = true;
    defaults.set(prefs::cardScale, 160.0);
    state->setHoveredID(right.id);
    EXPECT_TRUE(model.dark());
    EXPECT_EQ(model.render(), expectedRender(160));
    const auto card = model.zone(0)->cardRect();
    const auto room = cardSize(720, 875, 160);
    EXPECT_EQ(card.size(), QSizeF(room.width, room.height));

    state->setVisible(false);
    EXPECT_EQ(model.backdropOpacity(), 0);
    for (const auto* zoneItem : {model.zone(0), model.zone(1)}) {
        EXPECT_EQ(zoneItem->cardOpacity(), 0);
        EXPECT_EQ(zoneItem->highlightOpacity(), 0);
    }
}

TEST_F(OverlayWindowTest, OnlyWhatChangedGetsANewAnimationAndTheZoneItemsLast) {
    state->setScreen(columns(8));
    const auto many = state->snapshot().screen.zones;
    const auto surface = makeSurface();
    ASSERT_NE(surface, nullptr);
    auto& model = surface->viewModel();
    const auto before = model.zones();
    QSignalSpy replaced(&model, &OverlayViewModel::zonesChanged);

    // Appearing: every card springs in, staggered.
    state->setVisible(true);
    EXPECT_EQ(key(model.backdropAnimation(), "kind"), "easeOut");
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(key(model.zone(i)->cardAnimation(), "kind"), "spring") << i;
        EXPECT_EQ(key(model.zone(i)->cardAnimation(), "delay"), std::min(150, 25 * i)) << i;
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

TEST(OverlayAnimationCurve, QtsEasingCurvesFollowTheSpringsAndTimingsTheyStandFor) {
    const auto easing = [](const QVariantList& curve) {
        QEasingCurve result(QEasingCurve::BezierSpline);
        for (qsizetype i = 0; i + 5 < curve.size(); i += 6) {
            result.addCubicBezierSegment({curve[i].toDouble(), curve[i + 1].toDouble()},
                                         {curve[i + 2].toDouble(), curve[i + 3].toDouble()},
                                         {curve[i + 4].toDouble(), curve[i + 5].toDouble()});
        }
        return result;
    };
    for (const auto& [response, damping] :
         std::vector<std::pair<double, double>>{{0.38, 0.8}, {0.3, 0.78}, {0.36, 0.86}}) {
        SCOPED_TRACE(response);
        const double settle = shell::springSettleSeconds(response, damping);
        // Settled: within half a percent from then on, and not long before.
        EXPECT_NEAR(shell::springProgress(response, damping, settle), 1, 0.005);
        EXPECT_GT(std::abs(1 - shell::springProgress(response, damping, settle * 0.7)), 0.001);
        const auto curve = shell::springCurve(response, damping);
        ASSERT_EQ(curve.size() % 6, 0);
        EXPECT_EQ(curve.last().toDouble(), 1);
        for (const double s : {0.05, 0.1, 0.2, 0.35, 0.5, 0.75, 0.9}) {
            EXPECT_NEAR(easing(curve).valueForProgress(s),
                        shell::springProgress(response, damping, s * settle), 0.01)
                << s;
        }
    }
    const auto easeIn = shell::qmlAnimation(OverlayAnimation{AnimationKind::easeIn, 0, 0, 0.16, 0});
    EXPECT_EQ(key(easeIn, "duration"), 160);
    // Starts slowly, ends at full speed.
    EXPECT_LT(easing(key(easeIn, "curve").toList()).valueForProgress(0.5), 0.5);
    EXPECT_EQ(key(shell::qmlAnimation(std::nullopt), "kind"), "none");
}

TEST_F(OverlayWindowTest, HoveredZoneIsTintedTheRestDimmedAndNothingLeftOnceHidden) {
    const auto surface = makeSurface();
    ASSERT_NE(surface, nullptr);
    QQuickView* window = surface->window();
    // Offscreen windows have no alpha channel; a white clear colour stands in for the desktop
    // the overlay is blended over.
    window->setColor(Qt::white);
    surface->orderFront();
    state->setVisible(true);
    state->setHoveredID(left.id);

    // Inside the left zone's highlight but off its card, and the same spot in the right zone.
    const QPoint inHighlight(100, 200);
    const QPoint elsewhere(820, 200);
    const QPoint onCard =
        surface->viewModel().zone(0)->cardRect().center().toPoint() + QPoint(0, -30);
    const QColor accent = surface->viewModel().accentColor();
    // 16 % black over white, then the accent's 10 % fill over that.
    const double dimmed = 255 * 0.84;
    const auto near = [](int value, double expected) { return std::abs(value - expected) <= 3; };
    QImage image;
    const auto colourAt = [&](QPoint p) { return image.pixelColor(p).name().toStdString(); };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            image = window->grabWindow();
            const QColor h = image.pixelColor(inHighlight);
            const QColor d = image.pixelColor(elsewhere);
            return !image.isNull() && near(d.red(), dimmed) && near(d.blue(), dimmed) &&
                   near(h.red(), dimmed * 0.9 + accent.red() * 0.1) &&
                   near(h.green(), dimmed * 0.9 + accent.green() * 0.1) &&
                   near(h.blue(), dimmed * 0.9 + accent.blue() * 0.1);
        },
        5000))
        << "highlight " << colourAt(inHighlight) << ", backdrop " << colourAt(elsewhere);
    // The hovered card's tile leans towards the accent; the other card is a plain light tile,
    // lighter than the dimmed backdrop around it.
    const auto distance = [&](const QColor& c) {
        return std::abs(c.red() - accent.red()) + std::abs(c.green() - accent.green()) +
               std::abs(c.blue() - accent.blue());
    };
    const QColor plainTile = image.pixelColor(onCard + QPoint(720, 0));
    EXPECT_LT(distance(image.pixelColor(onCard)) + 60, distance(plainTile))
        << colourAt(onCard) << " and " << colourAt(onCard + QPoint(720, 0));
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
        << colourAt(inHighlight) << " " << colourAt(onCard);
}

TEST_F(OverlayWindowTest, AppearingCardsKeepMovingWhileTheHoverChanges) {
    state->setScreen(columns(4));
    const auto quarters = state->snapshot().screen.zones;
    const auto surface = makeSurface();
    ASSERT_NE(surface, nullptr);
    QQuickView* window = surface->window();
    window->setColor(Qt::white);
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
    // The last card starts 75 ms late, after the hover has gone to the first one.
    auto* zone =
        findItem(window->rootObject(), "zone-" + QString::fromStdString(quarters[3].id.string()));
    QQuickItem* last = zone != nullptr ? findItem(zone, QStringLiteral("card")) : nullptr;
    ASSERT_NE(last, nullptr);
    const QPoint onLast = surface->viewModel().zone(3)->cardRect().center().toPoint();
    const QPoint offCards(onLast.x(), 860);
    const double delay = 0.075;

    struct Frame {
        double seconds, opacity, scale;
        int card, backdrop;
    };
    std::vector<Frame> frames;
    state->setVisible(true);
    for (int i = 1; i * FrameClock::frame < 700; ++i) {
        if (i == 3 || i == 6) {
            state->setHoveredID(quarters[i / 3 - 1].id);
        }
        tick();
        const QImage image = window->grabWindow();
        ASSERT_FALSE(image.isNull());
        frames.push_back({i * FrameClock::frame / 1000.0, last->opacity(), last->scale(),
                          image.pixelColor(onLast).red(), image.pixelColor(offCards).red()});
    }
    // Its card follows the appear spring from start to end, whatever happened elsewhere (to two
    // frames either way: Qt starts an animation on one of the clock's next ticks).
    const double slack = 2.0 * FrameClock::frame / 1000.0;
    for (const auto& f : frames) {
        const double early = shell::springProgress(0.38, 0.8, f.seconds - delay - slack);
        const double late = shell::springProgress(0.38, 0.8, f.seconds - delay + slack);
        const double low = std::min(early, late) - 0.02;
        const double high = std::max(early, late) + 0.02;
        EXPECT_TRUE(f.opacity >= low && f.opacity <= high) << f.seconds << ": " << f.opacity;
        EXPECT_TRUE(f.scale >= 0.9 + 0.1 * low - 0.002 && f.scale <= 0.9 + 0.1 * high + 0.002)
            << f.seconds << ": " << f.scale;
    }
    EXPECT_LT(frames[3].opacity, 0.5);
    // And so does what is drawn: the backdrop darkens over 220 ms and the card lightens the spot
    // it covers, both frame by frame rather than at the first hover change.
    const auto& settled = frames.back();
    EXPECT_GT(settled.seconds, delay + shell::springSettleSeconds(0.38, 0.8));
    EXPECT_GT(frames[3].backdrop, settled.backdrop + 10);
    EXPECT_GT(frames[3].backdrop, frames[4].backdrop);
    EXPECT_LT(frames[5].card, settled.card - 10);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        EXPECT_LE(frames[i].backdrop, frames[i - 1].backdrop) << frames[i].seconds;
    }
}

} // namespace
} // namespace tessera::test
