#include "OverlayViewModel.h"

#include "core/app/Preferences.h"

#include <QDir>
#include <QGuiApplication>
#include <QPalette>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace tessera::shell {

namespace {

// How far from its target a spring may still be when its animation is cut off.
constexpr double springTolerance = 0.005;
// Bézier segments per spring. Qt's spline easing keeps at most eight segments (more overrun its
// buffers in Qt 6.4); eight Hermite pieces stay within a fraction of a percent of the motion.
constexpr int springSegments = 8;

int milliseconds(double seconds) {
    return static_cast<int>(std::lround(std::max(0.0, seconds) * 1000));
}

QVariantList cubic(double x1, double y1, double x2, double y2) {
    return {x1, y1, x2, y2, 1.0, 1.0};
}

// The spring's velocity (progress per second) at a time.
double springVelocity(double response, double dampingFraction, double t) {
    const double omega = 2 * std::numbers::pi / response;
    if (dampingFraction >= 1) {
        return omega * omega * t * std::exp(-omega * t);
    }
    const double decay = dampingFraction * omega;
    const double omegaD = omega * std::sqrt(1 - dampingFraction * dampingFraction);
    return std::exp(-decay * t) * (omega * omega / omegaD) * std::sin(omegaD * t);
}

QRectF toQt(const Rect& r) {
    return {r.minX(), r.minY(), r.width(), r.height()};
}

bool truthy(const QString& value) {
    const auto v = value.trimmed().toLower();
    return v == QLatin1String("1") || v == QLatin1String("true") || v == QLatin1String("yes");
}

} // namespace

double springSettleSeconds(double response, double dampingFraction) {
    if (!(response > 0)) {
        return 0;
    }
    const double omega = 2 * std::numbers::pi / response;
    if (dampingFraction >= 1) {
        // (1 + u)·e^−u falls below the tolerance at u ≈ 7.4.
        double u = 1;
        while ((1 + u) * std::exp(-u) > springTolerance) {
            u += 0.01;
        }
        return u / omega;
    }
    const double damping = std::max(dampingFraction, 0.05);
    // The envelope of the deviation is e^−ζωt / √(1 − ζ²).
    const double envelope = 1 / std::sqrt(1 - damping * damping);
    return std::log(envelope / springTolerance) / (damping * omega);
}

double springProgress(double response, double dampingFraction, double seconds) {
    if (!(response > 0)) {
        return 1;
    }
    const double omega = 2 * std::numbers::pi / response;
    const double t = std::max(0.0, seconds);
    if (dampingFraction >= 1) {
        return 1 - (1 + omega * t) * std::exp(-omega * t);
    }
    const double decay = dampingFraction * omega;
    const double omegaD = omega * std::sqrt(1 - dampingFraction * dampingFraction);
    return 1 -
           std::exp(-decay * t) * (std::cos(omegaD * t) + decay / omegaD * std::sin(omegaD * t));
}

QVariantList springCurve(double response, double dampingFraction) {
    const double total = springSettleSeconds(response, dampingFraction);
    if (!(total > 0)) {
        return cubic(0, 0, 1, 1);
    }
    // Cubic Hermite pieces through the exact positions and velocities, written as Béziers;
    // the last piece lands on the target, which the spring is within tolerance of by then.
    QVariantList curve;
    const double h = 1.0 / springSegments;
    for (int i = 0; i < springSegments; ++i) {
        const double s0 = i * h;
        const double s1 = (i + 1) * h;
        const double y0 = springProgress(response, dampingFraction, s0 * total);
        const double y1 =
            i + 1 == springSegments ? 1.0 : springProgress(response, dampingFraction, s1 * total);
        const double d0 = springVelocity(response, dampingFraction, s0 * total) * total;
        const double d1 = i + 1 == springSegments
                              ? 0.0
                              : springVelocity(response, dampingFraction, s1 * total) * total;
        curve << s0 + h / 3 << y0 + d0 * h / 3 << s1 - h / 3 << y1 - d1 * h / 3 << s1 << y1;
    }
    return curve;
}

QVariantMap qmlAnimation(const std::optional<OverlayAnimation>& animation) {
    if (!animation) {
        return {{QStringLiteral("kind"), QStringLiteral("none")},
                {QStringLiteral("delay"), 0},
                {QStringLiteral("duration"), 0},
                {QStringLiteral("curve"), cubic(0, 0, 1, 1)}};
    }
    QVariantMap out{{QStringLiteral("delay"), milliseconds(animation->delay)}};
    switch (animation->kind) {
    case AnimationKind::spring:
        out[QStringLiteral("kind")] = QStringLiteral("spring");
        out[QStringLiteral("response")] = animation->response;
        out[QStringLiteral("dampingFraction")] = animation->dampingFraction;
        out[QStringLiteral("duration")] =
            milliseconds(springSettleSeconds(animation->response, animation->dampingFraction));
        out[QStringLiteral("curve")] = springCurve(animation->response, animation->dampingFraction);
        break;
    case AnimationKind::easeIn:
        // The platform's standard timing curves.
        out[QStringLiteral("kind")] = QStringLiteral("easeIn");
        out[QStringLiteral("duration")] = milliseconds(animation->duration);
        out[QStringLiteral("curve")] = cubic(0.42, 0, 1, 1);
        break;
    case AnimationKind::easeOut:
        out[QStringLiteral("kind")] = QStringLiteral("easeOut");
        out[QStringLiteral("duration")] = milliseconds(animation->duration);
        out[QStringLiteral("curve")] = cubic(0, 0, 0.58, 1);
        break;
    }
    return out;
}

bool desktopPrefersReducedMotion() {
    if (const auto forced = qEnvironmentVariable("TESSERA_REDUCE_MOTION"); !forced.isEmpty()) {
        return truthy(forced);
    }
    auto config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) {
        config = QDir::homePath() + QStringLiteral("/.config");
    }
    const QSettings gtk(config + QStringLiteral("/gtk-3.0/settings.ini"), QSettings::IniFormat);
    const auto animations = gtk.value(QStringLiteral("Settings/gtk-enable-animations"));
    if (!animations.isValid()) {
        return false;
    }
    const auto text = animations.toString().trimmed().toLower();
    return text == QLatin1String("0") || text == QLatin1String("false") ||
           text == QLatin1String("no");
}

// ---------------------------------------------------------------------------------------------

OverlayZoneItem::OverlayZoneItem(ZoneRender render, QObject* parent)
    : QObject(parent), render_(std::move(render)), highlightAnimation_(qmlAnimation(std::nullopt)),
      cardAnimation_(qmlAnimation(std::nullopt)) {}

void OverlayZoneItem::update(ZoneRender render, bool visibilityChanged, bool animated) {
    const ZoneRender old = std::exchange(render_, std::move(render));
    visibilityChanged = visibilityChanged && animated;
    const auto& h0 = old.highlight;
    const auto& h = render_.highlight;
    const auto& c0 = old.card;
    const auto& c = render_.card;
    const bool hoverChanged = animated && render_.hovered != old.hovered;

    const bool highlightRect = h.rect != h0.rect;
    const bool highlightRadius = h.cornerRadius != h0.cornerRadius;
    const bool highlightOpacity = h.opacity != h0.opacity;
    if (highlightRect || highlightRadius || highlightOpacity) {
        replace(highlightAnimation_,
                qmlAnimation(hoverChanged ? std::optional(h.hoverAnimation) : std::nullopt),
                &OverlayZoneItem::highlightAnimationChanged);
    }

    const bool tint = c.tintOpacity.value_or(0) != c0.tintOpacity.value_or(0);
    const bool border = c.borderOpacity != c0.borderOpacity;
    const bool shadow = c.shadow.opacity != c0.shadow.opacity;
    const bool shadowOffset = c.shadow.offset != c0.shadow.offset;
    const bool scale = c.scale != c0.scale;
    const bool offset = c.verticalOffset != c0.verticalOffset;
    const bool opacity = c.opacity != c0.opacity;
    if (tint || border || shadow || shadowOffset || scale || offset || opacity) {
        // Appearing and disappearing move every card; their own motion wins over the hover
        // spring when both change at once (a zone hovered before the overlay turned visible).
        std::optional<OverlayAnimation> animation;
        if (visibilityChanged) {
            animation = c.visibilityAnimation;
        } else if (hoverChanged) {
            animation = c.hoverAnimation;
        }
        replace(cardAnimation_, qmlAnimation(animation), &OverlayZoneItem::cardAnimationChanged);
    }

    const auto announce = [this](bool changed, void (OverlayZoneItem::*signal)()) {
        if (changed) {
            (this->*signal)();
        }
    };
    announce(render_.zoneRect != old.zoneRect || hoverChanged, &OverlayZoneItem::zoneChanged);
    announce(highlightRect, &OverlayZoneItem::highlightRectChanged);
    announce(highlightRadius, &OverlayZoneItem::highlightRadiusChanged);
    announce(h.fillOpacity != h0.fillOpacity || h.strokeOpacity != h0.strokeOpacity ||
                 h.strokeWidth != h0.strokeWidth,
             &OverlayZoneItem::highlightStyleChanged);
    announce(highlightOpacity, &OverlayZoneItem::highlightOpacityChanged);
    announce(c.rect != c0.rect || c.name != c0.name || c.fontSize != c0.fontSize ||
                 c.horizontalPadding != c0.horizontalPadding || c.cornerRadius != c0.cornerRadius ||
                 c.borderWidth != c0.borderWidth || c.shadow.radius != c0.shadow.radius,
             &OverlayZoneItem::cardShapeChanged);
    announce(tint, &OverlayZoneItem::tintOpacityChanged);
    announce(border, &OverlayZoneItem::borderOpacityChanged);
    announce(shadow, &OverlayZoneItem::shadowOpacityChanged);
    announce(shadowOffset, &OverlayZoneItem::shadowOffsetChanged);
    announce(scale, &OverlayZoneItem::cardScaleChanged);
    announce(offset, &OverlayZoneItem::cardOffsetChanged);
    announce(opacity, &OverlayZoneItem::cardOpacityChanged);
}

void OverlayZoneItem::replace(QVariantMap& animation, QVariantMap next,
                              void (OverlayZoneItem::*signal)()) {
    if (animation != next) {
        animation = std::move(next);
        (this->*signal)();
    }
}

QString OverlayZoneItem::zoneId() const {
    return QString::fromStdString(render_.id.string());
}

QRectF OverlayZoneItem::zoneRect() const {
    return toQt(render_.zoneRect);
}

QRectF OverlayZoneItem::highlightRect() const {
    return toQt(render_.highlight.rect);
}

QRectF OverlayZoneItem::cardRect() const {
    return toQt(render_.card.rect);
}

QPointF OverlayZoneItem::shadowOffset() const {
    return {render_.card.shadow.offset.x, render_.card.shadow.offset.y};
}

// ---------------------------------------------------------------------------------------------

OverlayViewModel::OverlayViewModel(std::shared_ptr<OverlayState> state, Environment environment,
                                   Size viewSize, QObject* parent)
    : QObject(parent), state_(std::move(state)), environment_(std::move(environment)),
      viewSize_(viewSize) {
    refresh();
    // The view model owns the connection, so the slot never outlives it.
    stateConnection_ = state_->onChange([this](OverlayState::Field) { refresh(); });
}

OverlayViewModel::~OverlayViewModel() = default;

void OverlayViewModel::setViewSize(Size size) {
    if (size == viewSize_) {
        return;
    }
    viewSize_ = size;
    refresh();
}

QRectF OverlayViewModel::freeArea() const {
    return toQt(render_.freeArea);
}

QList<QObject*> OverlayViewModel::zones() const {
    QList<QObject*> out;
    out.reserve(static_cast<qsizetype>(zones_.size()));
    for (auto* zone : zones_) {
        out.append(zone);
    }
    return out;
}

OverlayZoneItem* OverlayViewModel::zone(qsizetype index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= zones_.size()) {
        return nullptr;
    }
    return zones_[static_cast<std::size_t>(index)];
}

void OverlayViewModel::setRehearsing(bool rehearsing) {
    if (rehearsing != rehearsing_) {
        rehearsing_ = rehearsing;
        refresh(false);
    }
}

void OverlayViewModel::refresh(bool animated) {
    OverlayRenderInput input;
    input.state = state_->snapshot();
    input.colorScheme = environment_.darkScheme && environment_.darkScheme() ? ColorScheme::dark
                                                                             : ColorScheme::light;
    input.reduceMotion = environment_.reduceMotion && environment_.reduceMotion();
    input.cardScale = preferenceDouble(environment_.defaults, prefs::cardScale);
    input.viewSize = viewSize_;

    const bool first = !rendered_;
    const bool visibilityChanged = !first && input.state.visible != shownVisible_;
    shownVisible_ = input.state.visible;
    if (rehearsing_) {
        input.state.visible = true;
        if (!input.state.screen.zones.empty()) {
            input.state.hoveredID = input.state.screen.zones.front().id;
        }
    }
    const bool wasDark = dark();
    input_ = std::move(input);
    auto render = renderOverlay(input_);
    const QColor accent = QGuiApplication::palette().color(QPalette::Highlight);

    const bool backdropChanged = first || render.backdropOpacity != render_.backdropOpacity;
    if (backdropChanged) {
        auto animation = qmlAnimation(
            visibilityChanged && animated ? std::optional(render.backdropAnimation) : std::nullopt);
        if (animation != backdropAnimation_) {
            backdropAnimation_ = std::move(animation);
            Q_EMIT backdropAnimationChanged();
        }
    }
    const bool othersChanged =
        first || render.freeArea != render_.freeArea || dark() != wasDark || accent != accent_;
    accent_ = accent;

    // Same zones in the same order: update the items in place so the view animates them.
    bool sameZones = !first && render.zones.size() == zones_.size();
    for (std::size_t i = 0; sameZones && i < zones_.size(); ++i) {
        sameZones = zones_[i]->render().id == render.zones[i].id;
    }
    render_ = std::move(render);
    rendered_ = true;

    if (backdropChanged) {
        Q_EMIT backdropOpacityChanged();
    }
    if (othersChanged) {
        Q_EMIT changed();
    }
    if (sameZones) {
        for (std::size_t i = 0; i < zones_.size(); ++i) {
            zones_[i]->update(render_.zones[i], visibilityChanged, animated);
        }
        return;
    }
    auto old = std::exchange(zones_, {});
    for (const auto& zone : render_.zones) {
        auto item = std::make_unique<OverlayZoneItem>(zone);
        item->setParent(this);
        zones_.push_back(item.release());
    }
    Q_EMIT zonesChanged();
    // The view lets go of the old items as it handles zonesChanged; deleting them later spares
    // its delegates a dangling reference in between.
    for (auto* zone : old) {
        zone->deleteLater();
    }
}

} // namespace tessera::shell
