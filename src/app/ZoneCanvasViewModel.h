#pragma once

#include "ZoneBoxModel.h"
#include "core/editor/ZoneCanvasModel.h"

#include <QObject>
#include <QRectF>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessera::shell {

class Strings;

// The zone canvas as QML sees it: the core's ZoneCanvasModel fed with the pointer and keys of
// one QML item (controls/ZoneCanvas.qml) and drawn from what it exposes. All coordinates are the
// item's own points; the model does the geometry, hit testing, snapping and clamping.
//
// Every property moves with `changed`, emitted after each gesture step, key or new content.
class ZoneCanvasViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the view model that shows it")
    // The item's size; QML writes it whenever the item is resized.
    Q_PROPERTY(double viewWidth READ viewWidth WRITE setViewWidth NOTIFY changed)
    Q_PROPERTY(double viewHeight READ viewHeight WRITE setViewHeight NOTIFY changed)
    // Whether the item has keyboard focus; QML writes it.
    Q_PROPERTY(bool focused READ focused WRITE setFocused NOTIFY changed)

    // The drawing area (the item inset by 3 points).
    Q_PROPERTY(QRectF area READ area NOTIFY changed)
    // The zones as drawn, bottom first, as a list model whose rows stay with their zone, for the
    // delegates that animate them. Each box is the rounded box actually drawn (inset 3 points);
    // the name is the display name.
    Q_PROPERTY(tessera::shell::ZoneBoxModel* zoneBoxes READ zoneBoxes CONSTANT)
    // The selected zone's resize targets: [{ handle, x, y, width, height, corner, cursor }],
    // handle "nw", "n", …; corner true for the four squares; cursor a Qt::CursorShape. Empty
    // without a selection or while it isn't drawn.
    Q_PROPERTY(QVariantList handles READ handles NOTIFY changed)
    // Where the zone being moved or resized lands (a box like a zone's); null when none.
    Q_PROPERTY(QVariant snapRect READ snapRect NOTIFY changed)
    // The zone being drawn on empty space (a box like a zone's); null when none.
    Q_PROPERTY(QVariant drawnRect READ drawnRect NOTIFY changed)
    // [[x1, y1, x2, y2], …] and their opacity (raised while a zone is moved or resized).
    Q_PROPERTY(QVariantList gridLines READ gridLines NOTIFY changed)
    Q_PROPERTY(double gridLineOpacity READ gridLineOpacity NOTIFY changed)
    Q_PROPERTY(bool movingOrResizing READ movingOrResizing NOTIFY changed)
    // "50% × 100%" for the selected zone while its box is large enough; empty otherwise.
    Q_PROPERTY(QString sizeLabel READ sizeLabel NOTIFY changed)
    Q_PROPERTY(bool showsEmptyState READ showsEmptyState NOTIFY changed)
    // The context menu of a zone: [{ action, title, image, destructive, dividerBefore }], action
    // "splitLeftRight", "splitTopBottom" or "remove", titles localized.
    Q_PROPERTY(QVariantList menuItems READ menuItems CONSTANT)
    // The number of grid columns and rows, for tests and the hint.
    Q_PROPERTY(int columns READ columns NOTIFY changed)
    Q_PROPERTY(int rows READ rows NOTIFY changed)

public:
    // zoneName gives a zone's display name (built-in names localized).
    ZoneCanvasViewModel(const Strings& strings, ZoneCanvasModel::Callbacks callbacks,
                        std::function<std::string(const Zone&)> zoneName,
                        QObject* parent = nullptr);
    ~ZoneCanvasViewModel() override;

    // New content from the owner (the stored layout, the selection, the editor grid). A move or
    // resize in progress keeps going from where it began.
    void setContent(std::vector<Zone> zones, std::optional<Uuid> selectedID, ZoneGrid grid);
    const ZoneCanvasModel& model() const { return model_; }
    ZoneBoxModel* zoneBoxes() { return &boxes_; }

    double viewWidth() const;
    void setViewWidth(double width);
    double viewHeight() const;
    void setViewHeight(double height);
    bool focused() const;
    void setFocused(bool focused);
    QRectF area() const;
    QVariantList handles() const;
    QVariant snapRect() const;
    QVariant drawnRect() const;
    QVariantList gridLines() const;
    double gridLineOpacity() const;
    bool movingOrResizing() const;
    QString sizeLabel() const;
    bool showsEmptyState() const;
    QVariantList menuItems() const;
    int columns() const;
    int rows() const;

    // What lies under a point of the item: { zoneID, handle, cursor } for a zone's body (handle
    // "move", open-hand cursor) or a resize target of the selected zone; an empty map over empty
    // space. QML decides from it which gesture a press starts.
    Q_INVOKABLE QVariantMap pointerTarget(double x, double y) const;
    // A move ("move") or resize gesture on a zone; translation since the press, in points.
    Q_INVOKABLE void zoneDragChanged(const QString& zoneID, const QString& handle,
                                     double translationX, double translationY);
    Q_INVOKABLE void zoneDragEnded(const QString& handle);
    // A drag on empty space from the press point to the current point; an end without a drawn
    // zone is a click there.
    Q_INVOKABLE void backgroundDragChanged(double startX, double startY, double x, double y);
    Q_INVOKABLE void backgroundDragEnded(double x, double y);
    // Qt::Key_Left … Key_Down; true when consumed (whenever a zone is selected).
    Q_INVOKABLE bool arrowKey(int qtKey);
    // The Delete key (and Backspace); true when a zone was selected.
    Q_INVOKABLE bool deleteCommand();
    // A secondary click: selects the zone under the point and returns its id for the menu;
    // empty where no zone menu opens.
    Q_INVOKABLE QString zoneMenuRequested(double x, double y);
    // A context menu item for a zone.
    Q_INVOKABLE void menuAction(const QString& action, const QString& zoneID);

Q_SIGNALS:
    void changed();

private:
    // Runs an operation and emits `changed` when it altered anything the properties show.
    template <typename Action> auto announcing(Action&& action);
    std::vector<ZoneBox> shownBoxes() const;

    const Strings& strings_;
    std::function<std::string(const Zone&)> zoneName_;
    ZoneCanvasModel model_;
    ZoneBoxModel boxes_;
};

} // namespace tessera::shell
