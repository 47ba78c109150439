#pragma once

#include "NextTurn.h"
#include "Shell.h"

#include "QmlSingleton.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include "core/model/Records.h"

#include <vector>

namespace tessera {

class Connection;

namespace shell {

// The Windows pane: dragging, zone card size, spacing and the editor's snapping grid. The two
// dragging toggles bind to their keys directly; the numeric controls go through here so they
// show and write only values of their ranges, and the pictures come from the same rules the
// overlay and the window mover use.
//
// Every property moves with `changed`, which follows any preference change and, a turn of the
// event loop later, any change of the displays.
class WindowsPaneModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(double cardScaleMinimum READ cardScaleMinimum CONSTANT)
    Q_PROPERTY(double cardScaleMaximum READ cardScaleMaximum CONSTANT)
    Q_PROPERTY(double cardScaleStep READ cardScaleStep CONSTANT)
    // "cardScale" as the slider shows it, and its label ("100%").
    Q_PROPERTY(double cardScale READ cardScale WRITE setCardScale NOTIFY changed)
    Q_PROPERTY(QString cardScaleText READ cardScaleText NOTIFY changed)
    // The preview card at the current scale, and at the largest one (room kept for it).
    Q_PROPERTY(QSizeF cardPreviewSize READ cardPreviewSize NOTIFY changed)
    Q_PROPERTY(QSizeF cardPreviewMaximumSize READ cardPreviewMaximumSize CONSTANT)

    Q_PROPERTY(double windowGapMinimum READ windowGapMinimum CONSTANT)
    Q_PROPERTY(double windowGapMaximum READ windowGapMaximum CONSTANT)
    Q_PROPERTY(double windowGapStep READ windowGapStep CONSTANT)
    Q_PROPERTY(double windowGap READ windowGap WRITE setWindowGap NOTIFY changed)
    // "12 pt".
    Q_PROPERTY(QString windowGapText READ windowGapText NOTIFY changed)
    // { width, height, left: rect, right: rect } in points of a small display.
    Q_PROPERTY(QVariantMap gapPreview READ gapPreview NOTIFY changed)
    // "snapOnDrag" and "restoreOnDragOut" as stored.
    Q_PROPERTY(bool snapOnDrag READ snapOnDrag WRITE setSnapOnDrag NOTIFY changed)
    Q_PROPERTY(bool restoreOnDragOut READ restoreOnDragOut WRITE setRestoreOnDragOut NOTIFY changed)
    // "returnToZonesOnReconnect" and "openInLastZone" as stored.
    Q_PROPERTY(bool returnToZonesOnReconnect READ returnToZonesOnReconnect WRITE
                   setReturnToZonesOnReconnect NOTIFY changed)
    Q_PROPERTY(bool openInLastZone READ openInLastZone WRITE setOpenInLastZone NOTIFY changed)
    // "tightEdges" as stored; it can be changed only while there is a gap.
    Q_PROPERTY(bool tightEdges READ tightEdges WRITE setTightEdges NOTIFY changed)
    Q_PROPERTY(bool tightEdgesEnabled READ tightEdgesEnabled NOTIFY changed)

    // "gridColumns" as stored (the picker shows no tile selected for a count it doesn't offer).
    Q_PROPERTY(int gridColumns READ gridColumns WRITE setGridColumns NOTIFY changed)
    // Moves whenever anything a grid picker shows may have changed.
    Q_PROPERTY(int revision READ revision NOTIFY changed)
public:
    static WindowsPaneModel* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<WindowsPaneModel>(engine);
    }
    WindowsPaneModel(const ShellPorts& ports, Preferences& preferences, const Strings& strings,
                     QObject* parent = nullptr);
    ~WindowsPaneModel() override;

    double cardScaleMinimum() const;
    double cardScaleMaximum() const;
    double cardScaleStep() const;
    double cardScale() const;
    void setCardScale(double percent);
    QString cardScaleText() const;
    QSizeF cardPreviewSize() const;
    QSizeF cardPreviewMaximumSize() const;

    double windowGapMinimum() const;
    double windowGapMaximum() const;
    double windowGapStep() const;
    double windowGap() const;
    void setWindowGap(double points);
    QString windowGapText() const;
    // The stepper's text for a value it shows ("12 pt").
    Q_INVOKABLE QString formatWindowGap(double points) const;
    QVariantMap gapPreview() const;
    bool snapOnDrag() const;
    void setSnapOnDrag(bool on);
    bool restoreOnDragOut() const;
    void setRestoreOnDragOut(bool on);
    bool returnToZonesOnReconnect() const;
    void setReturnToZonesOnReconnect(bool on);
    bool openInLastZone() const;
    void setOpenInLastZone(bool on);
    bool tightEdges() const;
    // Ignored while the gap is 0: the stored choice stays for when a gap comes back.
    void setTightEdges(bool on);
    bool tightEdgesEnabled() const;

    int gridColumns() const;
    // Only the offered counts are written; anything else is ignored.
    void setGridColumns(int columns);
    int revision() const { return revision_; }

    // What a grid density picker shows for the display with this id (the first display when
    // the id is empty or unknown, the 16:9 default without any) and the column count it is
    // bound to: { miniatureWidth, miniatureHeight, tiles: [{ columns, rows, title, selected,
    // lines: [[x1, y1, x2, y2], …] }] }, lines in the miniature's points.
    Q_INVOKABLE QVariantMap gridPicker(const QString& screenID, int boundColumns) const;

Q_SIGNALS:
    void changed();

private:
    void announce();
    void scheduleChanged();

    ShellPorts ports_;
    Preferences& preferences_;
    const Strings& strings_;
    // The displays the pickers were last announced for.
    std::vector<ScreenInfo> screens_;
    std::vector<Connection> connections_;
    int revision_ = 0;
    NextTurn screensChanged_;
};

} // namespace shell
} // namespace tessera
