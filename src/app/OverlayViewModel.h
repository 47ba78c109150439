#pragma once

#include "core/drag/OverlayModels.h"
#include "core/drag/OverlayRenderModel.h"
#include "core/model/Signal.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tessera {

class Defaults;

namespace shell {

// An animation as ZoneOverlay.qml runs it: a pause, then one number animation along a cubic Bézier
// spline. Keys: "kind" ("spring", "easeIn", "easeOut", or "none" for an immediate change),
// "delay" and "duration" in milliseconds, "curve" (the spline as QML's easing.bezierCurve takes
// it: x1, y1, x2, y2, x, y per segment, ending at 1, 1), plus "response" and "dampingFraction"
// of a spring.
QVariantMap qmlAnimation(const std::optional<OverlayAnimation>& animation);

// Seconds a spring of this response (the period of the undamped spring) and damping fraction
// takes to come within half a percent of its target for good. Dampings of 1 or more are drawn
// critically damped.
double springSettleSeconds(double response, double dampingFraction);
// The position (0 → 1) of such a spring released from rest, at a time in seconds.
double springProgress(double response, double dampingFraction, double seconds);
// The spring's motion over its settle time as a Bézier spline in QML's flat form.
QVariantList springCurve(double response, double dampingFraction);

// Whether the desktop asks for less motion: TESSERA_REDUCE_MOTION ("1", "true" or "yes" on, any
// other non-empty value off) decides when set; otherwise GTK's "gtk-enable-animations" in
// $XDG_CONFIG_HOME/gtk-3.0/settings.ini (or ~/.config) being off. Off when neither says.
bool desktopPrefersReducedMotion();

// One zone of the overlay as QML draws it: its highlight and its card, from the core's render.
// Stays the same object while the display shows the same zones, so property changes animate.
// Every value the view animates has a signal of its own, announced only when that value
// changes: a Behavior that is written again, even with the value it is heading for, stops its
// running animation when it is switched off, so a zone whose values stay put must not be
// touched while others change (the appear stagger goes on while the hover moves). An animation
// changes only with a value it animates, and is announced before that value.
class OverlayZoneItem : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the view model that shows it")
    Q_PROPERTY(QString zoneId READ zoneId CONSTANT)
    Q_PROPERTY(QRectF zoneRect READ zoneRect NOTIFY zoneChanged)
    Q_PROPERTY(bool hovered READ hovered NOTIFY zoneChanged)

    Q_PROPERTY(QRectF highlightRect READ highlightRect NOTIFY highlightRectChanged)
    Q_PROPERTY(double highlightRadius READ highlightRadius NOTIFY highlightRadiusChanged)
    Q_PROPERTY(double highlightFillOpacity READ highlightFillOpacity NOTIFY highlightStyleChanged)
    Q_PROPERTY(
        double highlightStrokeOpacity READ highlightStrokeOpacity NOTIFY highlightStyleChanged)
    Q_PROPERTY(double highlightStrokeWidth READ highlightStrokeWidth NOTIFY highlightStyleChanged)
    Q_PROPERTY(double highlightOpacity READ highlightOpacity NOTIFY highlightOpacityChanged)
    Q_PROPERTY(
        QVariantMap highlightAnimation READ highlightAnimation NOTIFY highlightAnimationChanged)

    Q_PROPERTY(QRectF cardRect READ cardRect NOTIFY cardShapeChanged)
    Q_PROPERTY(QString name READ name NOTIFY cardShapeChanged)
    Q_PROPERTY(double fontSize READ fontSize NOTIFY cardShapeChanged)
    Q_PROPERTY(double horizontalPadding READ horizontalPadding NOTIFY cardShapeChanged)
    Q_PROPERTY(double cardRadius READ cardRadius NOTIFY cardShapeChanged)
    Q_PROPERTY(double borderWidth READ borderWidth NOTIFY cardShapeChanged)
    Q_PROPERTY(double shadowRadius READ shadowRadius NOTIFY cardShapeChanged)
    // 0 for the plain glass.
    Q_PROPERTY(double tintOpacity READ tintOpacity NOTIFY tintOpacityChanged)
    Q_PROPERTY(double borderOpacity READ borderOpacity NOTIFY borderOpacityChanged)
    Q_PROPERTY(double shadowOpacity READ shadowOpacity NOTIFY shadowOpacityChanged)
    Q_PROPERTY(QPointF shadowOffset READ shadowOffset NOTIFY shadowOffsetChanged)
    Q_PROPERTY(double cardScale READ cardScale NOTIFY cardScaleChanged)
    Q_PROPERTY(double cardOffset READ cardOffset NOTIFY cardOffsetChanged)
    Q_PROPERTY(double cardOpacity READ cardOpacity NOTIFY cardOpacityChanged)
    // The visibility animation (staggered) when the overlay appeared or disappeared, the hover
    // spring when only this zone's hover changed, "none" for other changes of the card's
    // animated values; kept while they stay put.
    Q_PROPERTY(QVariantMap cardAnimation READ cardAnimation NOTIFY cardAnimationChanged)
public:
    explicit OverlayZoneItem(ZoneRender render, QObject* parent = nullptr);

    const ZoneRender& render() const { return render_; }
    // Takes a new render of the same zone. visibilityChanged: the overlay's visible flag
    // changed since the previous render. Not animated: every value lands at once.
    void update(ZoneRender render, bool visibilityChanged, bool animated = true);

    QString zoneId() const;
    QRectF zoneRect() const;
    bool hovered() const { return render_.hovered; }
    QRectF highlightRect() const;
    double highlightRadius() const { return render_.highlight.cornerRadius; }
    double highlightFillOpacity() const { return render_.highlight.fillOpacity; }
    double highlightStrokeOpacity() const { return render_.highlight.strokeOpacity; }
    double highlightStrokeWidth() const { return render_.highlight.strokeWidth; }
    double highlightOpacity() const { return render_.highlight.opacity; }
    QVariantMap highlightAnimation() const { return highlightAnimation_; }
    QRectF cardRect() const;
    QString name() const { return QString::fromStdString(render_.card.name); }
    double fontSize() const { return render_.card.fontSize; }
    double horizontalPadding() const { return render_.card.horizontalPadding; }
    double cardRadius() const { return render_.card.cornerRadius; }
    double tintOpacity() const { return render_.card.tintOpacity.value_or(0); }
    double borderOpacity() const { return render_.card.borderOpacity; }
    double borderWidth() const { return render_.card.borderWidth; }
    double shadowOpacity() const { return render_.card.shadow.opacity; }
    double shadowRadius() const { return render_.card.shadow.radius; }
    QPointF shadowOffset() const;
    double cardScale() const { return render_.card.scale; }
    double cardOffset() const { return render_.card.verticalOffset; }
    double cardOpacity() const { return render_.card.opacity; }
    QVariantMap cardAnimation() const { return cardAnimation_; }

Q_SIGNALS:
    void zoneChanged();
    void highlightAnimationChanged();
    void highlightRectChanged();
    void highlightRadiusChanged();
    void highlightStyleChanged();
    void highlightOpacityChanged();
    void cardAnimationChanged();
    void cardShapeChanged();
    void tintOpacityChanged();
    void borderOpacityChanged();
    void shadowOpacityChanged();
    void shadowOffsetChanged();
    void cardScaleChanged();
    void cardOffsetChanged();
    void cardOpacityChanged();

private:
    void replace(QVariantMap& animation, QVariantMap next, void (OverlayZoneItem::*signal)());

    ZoneRender render_;
    QVariantMap highlightAnimation_;
    QVariantMap cardAnimation_;
};

// One display's overlay for QML: adapts the OverlayState the controller writes, plus the colour
// scheme, Reduce Motion, the "cardScale" preference and the view's size, to the numbers of
// renderOverlay. Recomputes on every change the state announces (reading the scheme, motion
// setting and card scale afresh each time) and when the view is resized, and announces only
// what the new render changed (see OverlayZoneItem).
class OverlayViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the view model that shows it")
    Q_PROPERTY(double backdropOpacity READ backdropOpacity NOTIFY backdropOpacityChanged)
    // The backdrop's fade when the overlay appeared or disappeared, "none" when the scheme
    // changed its opacity.
    Q_PROPERTY(QVariantMap backdropAnimation READ backdropAnimation NOTIFY backdropAnimationChanged)
    Q_PROPERTY(QRectF freeArea READ freeArea NOTIFY changed)
    Q_PROPERTY(bool dark READ dark NOTIFY changed)
    Q_PROPERTY(QColor accentColor READ accentColor NOTIFY changed)
    // Highlight and card of every zone, back to front; replaced only when the display's zones
    // are no longer the same ones.
    Q_PROPERTY(QList<QObject*> zones READ zones NOTIFY zonesChanged)
public:
    struct Environment {
        // "cardScale" is read here at each render.
        const Defaults& defaults;
        std::function<bool()> darkScheme;
        // Nothing: motion as usual.
        std::function<bool()> reduceMotion;
    };

    OverlayViewModel(std::shared_ptr<OverlayState> state, Environment environment, Size viewSize,
                     QObject* parent = nullptr);
    ~OverlayViewModel() override;

    // The view covers the display; its size changes with the panel's frame.
    void setViewSize(Size size);
    // While rehearsing, the view draws the shown overlay with its first zone hovered, whatever
    // the state says, so a window drawn ahead off screen meets every kind of item once. Both
    // ways the values change at once.
    void setRehearsing(bool rehearsing);

    // What the view draws now, and what it was computed from.
    const OverlayRender& render() const { return render_; }
    const OverlayRenderInput& input() const { return input_; }

    double backdropOpacity() const { return render_.backdropOpacity; }
    QVariantMap backdropAnimation() const { return backdropAnimation_; }
    QRectF freeArea() const;
    bool dark() const { return input_.colorScheme == ColorScheme::dark; }
    QColor accentColor() const { return accent_; }
    QList<QObject*> zones() const;
    OverlayZoneItem* zone(qsizetype index) const;

Q_SIGNALS:
    void backdropAnimationChanged();
    void backdropOpacityChanged();
    // The free area, scheme or accent colour.
    void changed();
    void zonesChanged();

private:
    void refresh(bool animated = true);

    std::shared_ptr<OverlayState> state_;
    Environment environment_;
    Size viewSize_;
    OverlayRenderInput input_;
    OverlayRender render_;
    QVariantMap backdropAnimation_;
    QColor accent_;
    std::vector<OverlayZoneItem*> zones_;
    bool rendered_ = false;
    // The state's visible flag at the last render, rehearsal or not.
    bool shownVisible_ = false;
    bool rehearsing_ = false;
    Connection stateConnection_;
};

} // namespace shell
} // namespace tessera
