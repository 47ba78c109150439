// The overlay windows: one click-through Qt Quick window per display, made once and reused, and
// the view model that turns the controller's state into the numbers ZoneOverlay.qml draws.

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

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace tessera::test {
namespace {

using shell::OverlayViewModel;
using shell::OverlayZoneItem;
using shell::QtOverlaySurface;
using shell::QtOverlaySurfaceFactory;

// A 1440 × 900 display whose free area loses a 25-point menu bar at the top.
const Rect displayFrame{0, 0, 1440, 900};
const Rect freeFrame{0, 0, 1440, 875};

OverlayZoneModel zoneModel(const char* name, double x, double y, double w, double h) {
    return {Uuid::random(), name, Rect(x, y, w, h)};
}

OverlayScreenModel halves(const OverlayZoneModel& left, const OverlayZoneModel& right) {
    return {"Built-in 1440x900", displayFrame, freeFrame, {left, right}};
}

// `count` full-height zones side by side from the left edge, each `width` of the display.
OverlayScreenModel columns(int count, double width) {
    std::vector<OverlayZoneModel> zones;
    for (int i = 0; i < count; ++i) {
        zones.push_back(zoneModel("Zone", width * i, 0, width, 1));
    }
    return {"Built-in 1440x900", displayFrame, freeFrame, zones};
}

// Where the test's desktop puts a display: a root window 900 pixels high, shifted 7 pixels.
QRect testScreenRect(const Rect& frame) {
    return {static_cast<int>(frame.minX()) + 7, static_cast<int>(900 - frame.maxY()),
            static_cast<int>(frame.width()), static_cast<int>(frame.height())};
}

class OverlayWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Offscreen there is no OpenGL; the software renderer draws and grabs the same scene.
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }

    OverlayWindowTest() { registerPreferenceDefaults(defaults); }

    std::unique_ptr<QtOverlaySurface> makeSurface(std::shared_ptr<OverlayState> forState,
                                                  const Rect& frame = displayFrame) {
        auto made = factory.makeSurface(frame, std::move(forState));
        auto* surface = dynamic_cast<QtOverlaySurface*>(made.get());
        if (surface == nullptr) {
            ADD_FAILURE() << "the factory made no Qt overlay window";
            return nullptr;
        }
        made.release();
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
    QtOverlaySurfaceFactory factory{
        {defaults, testScreenRect, [this] { return dark; }, [this] { return reduceMotion; }}};
    OverlayZoneModel left = zoneModel("Left", 0, 0, 0.5, 1);
    OverlayZoneModel right = zoneModel("Right", 0.5, 0, 0.5, 1);
    std::shared_ptr<OverlayState> state = std::make_shared<OverlayState>(halves(left, right));
};

// ---------------------------------------------------------------------------------------------
// The window.

TEST_F(OverlayWindowTest, WindowIsATransparentClickThroughPanelOverTheDisplay) {
    const auto surface = makeSurface(state);
    ASSERT_NE(surface, nullptr);
    QQuickView* window = surface->window();
    ASSERT_NE(window, nullptr);

    const auto flags = window->flags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(flags.testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_EQ(window->color().alpha(), 0);
    EXPECT_GE(window->format().alphaBufferSize(), 8);

    EXPECT_EQ(window->geometry(), QRect(7, 0, 1440, 900));
    EXPECT_EQ(surface->frame(), displayFrame);
    // Made off screen: the controller orders it front when the overlay shows.
    EXPECT_FALSE(window->isVisible());

    EXPECT_TRUE(window->errors().isEmpty());
    ASSERT_NE(window->rootObject(), nullptr);
    EXPECT_EQ(window->rootObject()->size(), QSizeF(1440, 900));
}

TEST_F(OverlayWindowTest, OrderingFrontAndOutShowsAndHidesTheSameWindow) {
    const auto surface = makeSurface(state);
    ASSERT_NE(surface, nullptr);
    QQuickView* window = surface->window();

    // Drawn ahead beyond the desktop in the shown look; showing ends that at once, in place.
    surface->drawAhead();
    EXPECT_TRUE(surface->drawingAhead());
    EXPECT_LT(window->geometry().right(), 0);
    EXPECT_EQ(surface->viewModel().backdropOpacity(), 0.16);
    EXPECT_TRUE(surface->viewModel().zone(0)->hovered());
    surface->orderFront();
    EXPECT_FALSE(surface->drawingAhead());
    EXPECT_EQ(window->geometry(), QRect(7, 0, 1440, 900));
    EXPECT_EQ(surface->viewModel().render(), expectedRender());
    EXPECT_EQ(surface->viewModel().backdropAnimation().value("kind"), "none");
    EXPECT_TRUE(window->isVisible());
    surface->orderFront();
    EXPECT_TRUE(window->isVisible());
    surface->orderOut();
    EXPECT_FALSE(window->isVisible());
    surface->orderFront();
    EXPECT_EQ(surface->window(), window);
    EXPECT_TRUE(window->isVisible());
    // Flags survive showing: Qt rebuilds the native window from them each time.
    EXPECT_TRUE(window->flags().testFlag(Qt::WindowTransparentForInput));
}

TEST_F(OverlayWindowTest, NewFrameMovesTheWindowAndResizesTheView) {
    const auto surface = makeSurface(state);
    ASSERT_NE(surface, nullptr);
    const Rect wide{1440, 0, 1920, 1080};
    surface->setFrame(wide);
    EXPECT_EQ(surface->frame(), wide);
    EXPECT_EQ(surface->window()->geometry(), QRect(1447, -180, 1920, 1080));
    EXPECT_EQ(surface->viewModel().input().viewSize, wide.size);
    ASSERT_NE(surface->window()->rootObject(), nullptr);
    EXPECT_EQ(surface->window()->rootObject()->size(), QSizeF(1920, 1080));
}

TEST_F(OverlayWindowTest, ControllerMakesOneWindowPerDisplayAndReusesIt) {
    TempDir dir{"tessera-overlay"};
    LayoutStore store{dir.path() / "layouts.json"};
    SimDisplays displays{simscreens::sideBySide()};
    SimScheduler scheduler;
    const auto localizer = makeSimLocalizer();
    DragOverlayController controller{displays, scheduler, localizer, defaults, factory};

    const auto windows = [&] {
        std::vector<QQuickView*> out;
        for (const auto& [key, surface] : controller.surfaces()) {
            auto* qt = dynamic_cast<QtOverlaySurface*>(surface.panel.get());
            out.push_back(qt ? qt->window() : nullptr);
        }
        return out;
    };
    const auto visibleCount = [&] {
        int count = 0;
        for (auto* window : windows()) {
            count += window != nullptr && window->isVisible() ? 1 : 0;
        }
        return count;
    };

    controller.show(store, std::nullopt);
    EXPECT_EQ(factory.madeCount(), 2);
    const auto first = windows();
    ASSERT_EQ(first.size(), 2U);
    EXPECT_EQ(visibleCount(), 2);
    // Each window sits on its own display.
    std::vector<const QtOverlaySurface*> panels;
    for (const auto& display : displays.screens()) {
        const auto* surface = controller.surface(makeScreenInfo(display).id);
        ASSERT_NE(surface, nullptr);
        const auto* qt = dynamic_cast<const QtOverlaySurface*>(surface->panel.get());
        ASSERT_NE(qt, nullptr);
        EXPECT_EQ(qt->window()->geometry(), testScreenRect(display.frame));
        panels.push_back(qt);
    }
    // The backdrop turns on with the state, a frame after the windows come up.
    for (const auto* panel : panels) {
        EXPECT_EQ(panel->viewModel().backdropOpacity(), 0);
    }
    scheduler.advance(DragOverlayController::fadeInDelay);
    for (const auto* panel : panels) {
        EXPECT_EQ(panel->viewModel().backdropOpacity(), 0.16);
    }

    controller.hide();
    EXPECT_EQ(visibleCount(), 2) << "the windows stay up while the views fade out";
    scheduler.advance(DragOverlayController::orderOutDelay);
    EXPECT_EQ(visibleCount(), 0);

    controller.show(store, std::nullopt);
    EXPECT_EQ(factory.madeCount(), 2);
    EXPECT_EQ(windows(), first);
    EXPECT_EQ(visibleCount(), 2);
}

// ---------------------------------------------------------------------------------------------
// The view model.

TEST_F(OverlayWindowTest, ViewModelDrawsWhatRenderOverlayGivesForTheState) {
    const auto surface = makeSurface(state);
    ASSERT_NE(surface, nullptr);
    const auto& model = surface->viewModel();
    EXPECT_EQ(model.render(), expectedRender());
    EXPECT_EQ(model.freeArea(), QRectF(0, 25, 1440, 875));

    state->setVisible(true);
    state->setHoveredID(left.id);
    const auto expected = expectedRender();
    EXPECT_EQ(model.render(), expected);
    ASSERT_EQ(model.zones().size(), 2);
    const auto* hovered = model.zone(0);
    const auto& h = expected.zones[0].highlight;
    EXPECT_TRUE(hovered->hovered());
    EXPECT_EQ(hovered->highlightRect(),
              QRectF(h.rect.minX(), h.rect.minY(), h.rect.width(), h.rect.height()));
    EXPECT_EQ(hovered->highlightOpacity(), h.opacity);
    EXPECT_EQ(hovered->tintOpacity(), expected.zones[0].card.tintOpacity.value_or(0));
    EXPECT_EQ(hovered->cardScale(), expected.zones[0].card.scale);
    EXPECT_GT(hovered->tintOpacity(), model.zone(1)->tintOpacity());

    state->setVisible(false);
    EXPECT_EQ(model.backdropOpacity(), 0);
    for (const auto* zone : {model.zone(0), model.zone(1)}) {
        EXPECT_EQ(zone->cardOpacity(), 0);
        EXPECT_EQ(zone->highlightOpacity(), 0);
    }
}

TEST_F(OverlayWindowTest, ViewModelReadsSchemeMotionAndCardScaleAtEachChange) {
    const auto surface = makeSurface(state);
    ASSERT_NE(surface, nullptr);
    const auto& model = surface->viewModel();
    state->setVisible(true);
    EXPECT_EQ(model.backdropOpacity(), 0.16);
    EXPECT_FALSE(model.dark());

    dark = true;
    reduceMotion = true;
    defaults.set(prefs::cardScale, 160.0);
    state->setHoveredID(right.id);
    EXPECT_TRUE(model.dark());
    EXPECT_EQ(model.backdropOpacity(), 0.42);
    EXPECT_EQ(model.render(), expectedRender(160));
    // 720 × 875 zones: a 260 × 110 card at 100 percent, the room's limit at 160.
    const auto card = model.zone(0)->cardRect();
    const auto room = cardSize(720, 875, 160);
    EXPECT_EQ(card.size(), QSizeF(room.width, room.height));
    EXPECT_GT(card.width(), 260);
    // Reduce Motion: every highlight already has its zone's size.
    EXPECT_EQ(model.zone(0)->highlightRect().width(), 702);
    EXPECT_EQ(model.zone(0)->cardScale(), 1);

    defaults.set(prefs::cardScale, 40.0);
    state->setHoveredID(left.id);
    EXPECT_EQ(model.zone(0)->cardRect().size(), QSizeF(0.6 * 260, 0.6 * 110));
    EXPECT_EQ(model.accentColor(), QGuiApplication::palette().color(QPalette::Highlight));
}

TEST_F(OverlayWindowTest, AnimationsFollowWhatChanged) {
    const auto screen = columns(8, 0.1);
    const auto& many = screen.zones;
    state->setScreen(screen);
    const auto surface = makeSurface(state);
    ASSERT_NE(surface, nullptr);
    const auto& model = surface->viewModel();
    const auto key = [](const QVariantMap& map, const char* name) {
        return map.value(QString::fromLatin1(name));
    };

    // Appearing: the backdrop eases out, the cards spring in 25 ms apart, at most 150 ms late.
    state->setVisible(true);
    EXPECT_EQ(key(model.backdropAnimation(), "kind"), "easeOut");
    EXPECT_EQ(key(model.backdropAnimation(), "duration"), 220);
    for (int i = 0; i < 8; ++i) {
        const auto animation = model.zone(i)->cardAnimation();
        EXPECT_EQ(key(animation, "kind"), "spring") << i;
        EXPECT_EQ(key(animation, "response"), 0.38) << i;
        EXPECT_EQ(key(animation, "delay"), std::min(150, 25 * i)) << i;
    }

    // Hovering springs only the zone whose hover changed; the others and the backdrop keep the
    // appear animation they may still be running, and hear nothing.
    QSignalSpy untouched(model.zone(2), &OverlayZoneItem::cardAnimationChanged);
    QSignalSpy unmoved(model.zone(2), &OverlayZoneItem::cardScaleChanged);
    state->setHoveredID(many[3].id);
    EXPECT_EQ(key(model.backdropAnimation(), "kind"), "easeOut");
    EXPECT_EQ(key(model.zone(3)->cardAnimation(), "kind"), "spring");
    EXPECT_EQ(key(model.zone(3)->cardAnimation(), "response"), 0.3);
    EXPECT_EQ(key(model.zone(3)->cardAnimation(), "delay"), 0);
    EXPECT_EQ(key(model.zone(3)->highlightAnimation(), "response"), 0.36);
    EXPECT_EQ(key(model.zone(2)->cardAnimation(), "delay"), 50);
    EXPECT_EQ(untouched.count() + unmoved.count(), 0);

    // A change the overlay doesn't animate lands at once, but only on the values it moves.
    dark = true;
    state->setHoveredID(many[3].id);
    EXPECT_EQ(key(model.backdropAnimation(), "kind"), "none");
    EXPECT_EQ(key(model.zone(3)->cardAnimation(), "kind"), "none");
    EXPECT_EQ(key(model.zone(2)->cardAnimation(), "delay"), 50);

    // Disappearing: everything eases in over 0.16 seconds.
    state->setVisible(false);
    EXPECT_EQ(key(model.backdropAnimation(), "kind"), "easeIn");
    EXPECT_EQ(key(model.backdropAnimation(), "duration"), 160);
    EXPECT_EQ(key(model.zone(5)->cardAnimation(), "kind"), "easeIn");
    EXPECT_EQ(key(model.zone(5)->cardAnimation(), "delay"), 0);
}

TEST_F(OverlayWindowTest, ZoneItemsLastAsLongAsTheDisplayShowsTheSameZones) {
    const auto surface = makeSurface(state);
    ASSERT_NE(surface, nullptr);
    auto& model = surface->viewModel();
    const auto before = model.zones();

    QSignalSpy replaced(&model, &OverlayViewModel::zonesChanged);
    std::vector<const char*> order;
    QObject::connect(model.zone(0), &OverlayZoneItem::cardAnimationChanged,
                     [&] { order.push_back("animation"); });
    QObject::connect(model.zone(0), &OverlayZoneItem::cardScaleChanged,
                     [&] { order.push_back("scale"); });
    QObject::connect(model.zone(0), &OverlayZoneItem::cardShapeChanged,
                     [&] { order.push_back("shape"); });

    state->setVisible(true);
    state->setHoveredID(left.id);
    auto renamed = halves(left, right);
    renamed.zones[0].name = "Links";
    state->setScreen(renamed);
    EXPECT_EQ(replaced.count(), 0);
    EXPECT_EQ(model.zones(), before);
    EXPECT_EQ(model.zone(0)->name(), "Links");
    // The animation must be in place before the values move, or the view animates the change
    // with the previous one; a new name moves no animated value.
    EXPECT_EQ(order, (std::vector<const char*>{"animation", "scale", "animation", "shape", "scale",
                                               "shape"}));

    state->setScreen(halves(zoneModel("Top", 0, 0, 1, 0.5), zoneModel("Bottom", 0, 0.5, 1, 0.5)));
    EXPECT_EQ(replaced.count(), 1);
    EXPECT_EQ(model.zone(0)->name(), "Top");
    EXPECT_NE(model.zones(), before);
}

// ---------------------------------------------------------------------------------------------
// Animation curves.

TEST(OverlayAnimationCurve, SpringCurveFollowsTheSpringItStandsFor) {
    for (const auto& [response, damping] :
         std::vector<std::pair<double, double>>{{0.38, 0.8}, {0.3, 0.78}, {0.36, 0.86}}) {
        const double settle = shell::springSettleSeconds(response, damping);
        // Settled: within half a percent from then on.
        EXPECT_NEAR(shell::springProgress(response, damping, settle), 1, 0.005);
        EXPECT_GT(std::abs(1 - shell::springProgress(response, damping, settle * 0.7)), 0.001);
        EXPECT_GT(settle, response * 0.5);
        EXPECT_LT(settle, response * 2);

        const auto curve = shell::springCurve(response, damping);
        ASSERT_EQ(curve.size() % 6, 0);
        EXPECT_EQ(curve[curve.size() - 2].toDouble(), 1);
        EXPECT_EQ(curve.last().toDouble(), 1);
        // Through Qt's own easing, as QML runs it.
        QEasingCurve easing(QEasingCurve::BezierSpline);
        for (qsizetype i = 0; i < curve.size(); i += 6) {
            easing.addCubicBezierSegment({curve[i].toDouble(), curve[i + 1].toDouble()},
                                         {curve[i + 2].toDouble(), curve[i + 3].toDouble()},
                                         {curve[i + 4].toDouble(), curve[i + 5].toDouble()});
        }
        for (const double s : {0.05, 0.1, 0.2, 0.35, 0.5, 0.75, 0.9}) {
            EXPECT_NEAR(easing.valueForProgress(s),
                        shell::springProgress(response, damping, s * settle), 0.01)
                << response << " at " << s;
        }
    }
}

TEST(OverlayAnimationCurve, TimingCurvesAndImmediateChanges) {
    const auto easeIn = shell::qmlAnimation(OverlayAnimation{AnimationKind::easeIn, 0, 0, 0.16, 0});
    EXPECT_EQ(easeIn.value("duration"), 160);
    QEasingCurve in(QEasingCurve::BezierSpline);
    const auto c = easeIn.value("curve").toList();
    ASSERT_EQ(c.size(), 6);
    in.addCubicBezierSegment({c[0].toDouble(), c[1].toDouble()}, {c[2].toDouble(), c[3].toDouble()},
                             {c[4].toDouble(), c[5].toDouble()});
    // Starts slowly, ends at full speed.
    EXPECT_LT(in.valueForProgress(0.5), 0.5);

    const auto none = shell::qmlAnimation(std::nullopt);
    EXPECT_EQ(none.value("kind"), "none");
    EXPECT_EQ(none.value("duration"), 0);
}

// ---------------------------------------------------------------------------------------------
// Drawing.

TEST_F(OverlayWindowTest, HoveredZoneIsTintedAndTheRestDimmed) {
    const auto surface = makeSurface(state);
    ASSERT_NE(surface, nullptr);
    QQuickView* window = surface->window();
    ASSERT_TRUE(window->errors().isEmpty());
    // Offscreen windows have no alpha channel; a white clear colour stands in for the desktop
    // the overlay is blended over.
    window->setColor(Qt::white);
    surface->orderFront();
    state->setVisible(true);
    state->setHoveredID(left.id);

    // Inside the left zone's highlight but off its card, and the same spot in the right zone.
    const QPoint inHighlight(100, 200);
    const QPoint elsewhere(820, 200);
    const auto cardCentre = surface->viewModel().zone(0)->cardRect().center().toPoint();
    const QPoint onCard = cardCentre + QPoint(0, -30);
    const QColor accent = surface->viewModel().accentColor();
    // 16 % black over white, then the accent's 10 % fill over that.
    const auto blended = [](double under, int accentChannel) {
        return static_cast<int>(std::lround(under * 0.9 + accentChannel * 0.1));
    };
    const double dimmed = 255 * 0.84;
    const auto near = [](int value, double expected) { return std::abs(value - expected) <= 3; };
    QImage image;
    const auto colourAt = [&](QPoint p) { return image.pixelColor(p).name().toStdString(); };
    const auto settled = [&] {
        image = window->grabWindow();
        if (image.isNull()) {
            return false;
        }
        const QColor h = image.pixelColor(inHighlight);
        const QColor d = image.pixelColor(elsewhere);
        return near(d.red(), dimmed) && near(d.green(), dimmed) && near(d.blue(), dimmed) &&
               near(h.red(), blended(dimmed, accent.red())) &&
               near(h.green(), blended(dimmed, accent.green())) &&
               near(h.blue(), blended(dimmed, accent.blue()));
    };
    EXPECT_TRUE(QTest::qWaitFor(settled, 5000))
        << "highlight " << colourAt(inHighlight) << ", backdrop " << colourAt(elsewhere)
        << ", accent " << accent.name().toStdString();
    EXPECT_EQ(image.size(), QSize(1440, 900));
    // The hovered card's tile leans towards the accent; the other card is a plain light tile,
    // lighter than the dimmed backdrop around it.
    const auto distance = [&](const QColor& c) {
        return std::abs(c.red() - accent.red()) + std::abs(c.green() - accent.green()) +
               std::abs(c.blue() - accent.blue());
    };
    const QColor hoveredTile = image.pixelColor(onCard);
    const QColor plainTile = image.pixelColor(onCard + QPoint(720, 0));
    EXPECT_LT(distance(hoveredTile) + 60, distance(plainTile))
        << colourAt(onCard) << " and " << colourAt(onCard + QPoint(720, 0));
    EXPECT_GT(plainTile.red(), dimmed + 10);
    EXPECT_LE(std::abs(plainTile.red() - plainTile.blue()), 3);

    // Hidden: nothing left over the desktop once the fade has run.
    state->setVisible(false);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            image = window->grabWindow();
            return !image.isNull() && image.pixelColor(inHighlight) == QColor(Qt::white) &&
                   image.pixelColor(onCard) == QColor(Qt::white) &&
                   image.pixelColor(elsewhere) == QColor(Qt::white);
        },
        5000))
        << colourAt(inHighlight) << " " << colourAt(onCard);
}

TEST_F(OverlayWindowTest, AppearingCardsKeepMovingWhileTheHoverChanges) {
    const auto screen = columns(4, 0.25);
    const auto& quarters = screen.zones;
    state->setScreen(screen);
    const auto surface = makeSurface(state);
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
    const auto cardOf = [&](int i) {
        auto* zone = findItem(window->rootObject(),
                              "zone-" + QString::fromStdString(quarters[i].id.string()));
        return zone != nullptr ? findItem(zone, QStringLiteral("card")) : nullptr;
    };
    // The last card starts 75 ms late, after the hover has gone to the first one.
    QQuickItem* last = cardOf(3);
    ASSERT_NE(last, nullptr);
    const QPoint onLast = surface->viewModel().zone(3)->cardRect().center().toPoint();
    const QPoint offCards(onLast.x(), 860);
    const double delay = 0.075;
    const double settle = shell::springSettleSeconds(0.38, 0.8);

    struct Frame {
        double seconds;
        double opacity;
        double scale;
        int card;
        int backdrop;
    };
    std::vector<Frame> frames;
    state->setVisible(true);
    for (int i = 1; i * FrameClock::frame < 700; ++i) {
        if (i == 3) {
            state->setHoveredID(quarters[0].id);
        }
        if (i == 6) {
            state->setHoveredID(quarters[1].id);
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
        EXPECT_GE(f.opacity, low) << f.seconds;
        EXPECT_LE(f.opacity, high) << f.seconds;
        EXPECT_GE(f.scale, 0.9 + 0.1 * low - 0.002) << f.seconds;
        EXPECT_LE(f.scale, 0.9 + 0.1 * high + 0.002) << f.seconds;
    }
    EXPECT_LT(frames[3].opacity, 0.5);
    // And so does what is drawn: the backdrop darkens over 220 ms and the card lightens the spot
    // it covers, both frame by frame rather than at the first hover change.
    const auto& settled = frames.back();
    EXPECT_GT(frames.back().seconds, delay + settle);
    EXPECT_GT(frames[3].backdrop, settled.backdrop + 10);
    EXPECT_GT(frames[3].backdrop, frames[4].backdrop);
    EXPECT_LT(frames[5].card, settled.card - 10);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        EXPECT_LE(frames[i].backdrop, frames[i - 1].backdrop) << frames[i].seconds;
    }
}

} // namespace
} // namespace tessera::test
