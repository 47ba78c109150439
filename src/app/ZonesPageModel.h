#pragma once

#include "NextTurn.h"
#include "Shell.h"

#include "core/model/Signal.h"
#include "core/model/Uuid.h"

#include "QmlSingleton.h"
#include "ShortcutRecorderModel.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <vector>

namespace tessera {

class RecorderCoordinator;
class UndoManager;
class ZoneEditor;

namespace shell {

class ZoneCanvasViewModel;

// The "Zones" page: the display buttons, the "Monitor Layout" row, the buttons above the canvas,
// the canvas itself (`canvas`), the inspector, the template sheet and the layout deletion
// confirmation. Every rule lives in the core's ZoneEditor; this only translates between it and
// QML. Zone edits are recorded as undo steps in the window's undo manager.
//
// Every property moves with `changed`, which follows (a turn of the event loop later) any change
// of the application state or the store — an undo included — and any change of "gridColumns";
// operations called from QML announce at once. After every such update the selection is kept in
// the edited layout (ZoneEditor::updateSelection).
//
// Ids (displays, layouts, zones) travel as strings: display ids as the state has them, UUIDs in
// their canonical upper-case text.
class ZonesPageModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString title READ title CONSTANT)

    // --- Displays ---
    // [{ id, name, aspect, zones: [{ x, y, width, height, name }], selected }], one per display
    // in the system's order: the miniature buttons choosing the edited display. aspect and zones
    // as the overview draws them (whole display, largest zone first); the desktop pictures come
    // from `overview.monitors` (pictureSource, by id).
    Q_PROPERTY(QVariantList screens READ screens NOTIFY changed)
    // The edited display's id; empty without displays.
    Q_PROPERTY(QString editedScreenID READ editedScreenID NOTIFY changed)

    // --- Layout row ---
    // [{ id, name, selected, zones: [{ x, y, width, height, name }] }], one per layout in store
    // order; zones are the layout's own fractions, largest first; selected marks the edited one.
    Q_PROPERTY(QVariantList layouts READ layouts NOTIFY changed)
    Q_PROPERTY(bool hasLayout READ hasLayout NOTIFY changed)
    Q_PROPERTY(QString layoutID READ layoutID NOTIFY changed)
    // The layout name field (display name) and the "Monitors" row.
    Q_PROPERTY(QString layoutName READ layoutName NOTIFY changed)
    Q_PROPERTY(QString monitorsText READ monitorsText NOTIFY changed)
    Q_PROPERTY(bool canDeleteLayout READ canDeleteLayout NOTIFY changed)
    Q_PROPERTY(bool canClear READ canClear NOTIFY changed)

    // --- Grid ---
    // The editor grid of the edited display and "Grid 12 × 6".
    Q_PROPERTY(int gridColumns READ gridColumns NOTIFY changed)
    Q_PROPERTY(int gridRows READ gridRows NOTIFY changed)
    Q_PROPERTY(QString gridTitle READ gridTitle NOTIFY changed)
    // Width over height of the edited display's free area: the canvas's shape.
    Q_PROPERTY(double canvasAspect READ canvasAspect NOTIFY changed)

    // --- Selection and the inspector's zone sections ---
    // The selected zone's id, empty for none. Written by the canvas and by tests.
    Q_PROPERTY(QString selectedZoneID READ selectedZoneID WRITE setSelectedZoneID NOTIFY changed)
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY changed)
    Q_PROPERTY(QString zoneName READ zoneName NOTIFY changed)
    // The conflict message under the zone's recorder; empty for none.
    Q_PROPERTY(QString zoneConflictMessage READ zoneConflictMessage NOTIFY changed)
    // Why the zone's shortcut does nothing while another program holds its keys; empty
    // otherwise.
    Q_PROPERTY(QString zoneHeldElsewhereMessage READ zoneHeldElsewhereMessage NOTIFY changed)
    // The recorder bound to the selected zone's shortcut (one object, rebound on selection).
    Q_PROPERTY(tessera::shell::ShortcutRecorderModel* zoneRecorder READ zoneRecorder CONSTANT)
    // The four exact-size fields' texts ("50%", "33.3%", locale's decimal separator), in the order
    // left, top, width, height; empty strings without a selection.
    Q_PROPERTY(QStringList exactSizeTexts READ exactSizeTexts NOTIFY changed)
    // Whether each field's stepper can move: [{ up, down }] in the same order.
    Q_PROPERTY(QVariantList exactSizeSteppers READ exactSizeSteppers NOTIFY changed)

    // --- Sheets and dialogs ---
    Q_PROPERTY(bool showsPresets READ showsPresets WRITE setShowsPresets NOTIFY changed)
    Q_PROPERTY(bool showsGridPicker READ showsGridPicker WRITE setShowsGridPicker NOTIFY changed)
    Q_PROPERTY(bool confirmsLayoutDeletion READ confirmsLayoutDeletion NOTIFY changed)
    Q_PROPERTY(QString deletionTitle READ deletionTitle NOTIFY changed)
    Q_PROPERTY(QString deletionMessage READ deletionMessage NOTIFY changed)
    Q_PROPERTY(QString deletionButton READ deletionButton NOTIFY changed)

    // The canvas of the edited layout.
    Q_PROPERTY(QObject* canvas READ canvasObject CONSTANT)
    // Moves with every `changed`, for bindings on invokables.
    // Why the last change of the layouts could not be written, empty once a write succeeded.
    Q_PROPERTY(QString saveError READ saveError NOTIFY changed)
    Q_PROPERTY(int revision READ revision NOTIFY changed)

public:
    static ZonesPageModel* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<ZonesPageModel>(engine);
    }
    // `undoManager` is the main window's; it and `coordinator` (shared with the Keyboard pane's
    // recorders) must outlive this object.
    ZonesPageModel(const ShellPorts& ports, Preferences& preferences, const Strings& strings,
                   UndoManager& undoManager, std::shared_ptr<RecorderCoordinator> coordinator,
                   QObject* parent = nullptr);
    ~ZonesPageModel() override;

    ZoneEditor& editor() { return *editor_; }
    ZoneCanvasViewModel& canvas() { return *canvas_; }
    QObject* canvasObject();

    QString title() const;
    QVariantList screens() const;
    QString editedScreenID() const;
    QVariantList layouts() const;
    bool hasLayout() const;
    QString layoutID() const;
    QString layoutName() const;
    QString monitorsText() const;
    bool canDeleteLayout() const;
    bool canClear() const;
    int gridColumns() const;
    int gridRows() const;
    QString gridTitle() const;
    double canvasAspect() const;
    QString selectedZoneID() const;
    void setSelectedZoneID(const QString& zoneID);
    bool hasSelection() const;
    QString zoneName() const;
    QString zoneConflictMessage() const;
    QString saveError() const;
    // Writes the layouts again; the change that failed is still in effect.
    Q_INVOKABLE void saveAgain();
    QString zoneHeldElsewhereMessage() const;
    ShortcutRecorderModel* zoneRecorder() const;
    ShortcutRecorderModel& zoneRecorderModel() { return *zoneRecorder_; }
    QStringList exactSizeTexts() const;
    QVariantList exactSizeSteppers() const;
    bool showsPresets() const;
    void setShowsPresets(bool shown);
    bool showsGridPicker() const;
    void setShowsGridPicker(bool shown);
    bool confirmsLayoutDeletion() const;
    QString deletionTitle() const;
    QString deletionMessage() const;
    QString deletionButton() const;
    int revision() const { return revision_; }

    // --- Displays and layouts (not undoable) ---
    Q_INVOKABLE void chooseDisplay(const QString& screenID);
    Q_INVOKABLE void chooseLayout(const QString& layoutID);
    // Empty id: the edited layout; otherwise the layout of a card's menu.
    Q_INVOKABLE void duplicateLayout(const QString& layoutID = {});
    Q_INVOKABLE void requestLayoutDeletion(const QString& layoutID = {});
    Q_INVOKABLE void confirmLayoutDeletion();
    Q_INVOKABLE void cancelLayoutDeletion();
    // "Show zones on all monitors": the overlay on every display for a moment.
    Q_INVOKABLE void previewZones();

    // --- Zone operations (undoable) ---
    Q_INVOKABLE void addZone();
    Q_INVOKABLE void clearZones();
    // Empty id: the selected zone.
    Q_INVOKABLE void splitZone(const QString& zoneID, bool leftAndRight);
    Q_INVOKABLE void deleteZone(const QString& zoneID = {});
    // A committed exact-size field of the selected zone; edge 0 left, 1 top, 2 width, 3 height.
    // False (nothing changed) when the text is not a number.
    Q_INVOKABLE bool setExactSizeText(int edge, const QString& text);
    // The field's stepper: 5 percent up or down.
    Q_INVOKABLE void stepExactSize(int edge, bool up);

    // --- Renaming (no undo step) ---
    Q_INVOKABLE void renameLayout(const QString& text);
    Q_INVOKABLE void renameZone(const QString& text);

    // --- Template sheet ---
    // { title, message, cancelTitle, screenID, aspect, sections: [{ title, orientation,
    // presets: [{ id, title, zones: [{ x, y, width, height, name }] }] }] }: the sheet as it opens
    // now for the edited display, previews built afresh (every call).
    Q_INVOKABLE QVariantMap presetGallery() const;
    // A tile was picked: the template's layout is stored and assigned to the edited display, and
    // the sheet closes. False for an unknown template id.
    Q_INVOKABLE bool pickPreset(const QString& presetID);

Q_SIGNALS:
    void changed();

private:
    // Re-reads everything: the canvas's zones, grid and selection, the recorder's binding.
    void refresh();
    void scheduleRefresh();

    ShellPorts ports_;
    Preferences& preferences_;
    const Strings& strings_;
    UndoManager& undoManager_;
    std::unique_ptr<ZoneEditor> editor_;
    std::unique_ptr<ZoneCanvasViewModel> canvas_;
    std::unique_ptr<ShortcutRecorderModel> zoneRecorder_;
    std::vector<Connection> connections_;
    // The zone the recorder was bound to at the last refresh.
    std::optional<Uuid> recorderZoneID_;
    NextTurn refreshLater_;
    int revision_ = 0;
};

} // namespace shell
} // namespace tessera
