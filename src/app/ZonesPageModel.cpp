#include "ZonesPageModel.h"
#include "QmlValues.h"

#include "Preferences.h"
#include "ShortcutRecorderModel.h"
#include "Strings.h"
#include "ZoneCanvasViewModel.h"

#include "core/app/AppState.h"
#include "core/app/Preferences.h"
#include "core/editor/ZoneEditor.h"
#include "core/editor/ZoneGrid.h"
#include "core/hotkeys/CommandShortcutsSection.h"
#include "core/hotkeys/ShortcutRecorder.h"
#include "core/model/Screens.h"
#include "core/store/DisplayNames.h"
#include "core/store/LayoutStore.h"
#include "core/store/Templates.h"
#include "core/ui/Overview.h"

#include <algorithm>
#include <array>

namespace tessera::shell {

namespace {

QString idText(const Uuid& id) {
    return text(id.string());
}

std::optional<Uuid> parseID(const QString& value) {
    return Uuid::parse(value.trimmed().toStdString());
}

// A layout's own fractions, largest first (no display to place them on).
QVariantList layoutZoneList(const Layout& layout, const Localizer& localizer) {
    QVariantList list;
    for (const auto& zone : drawingOrder(layout.zones)) {
        list.append(QVariantMap{{"x", zone.x},
                                {"y", zone.y},
                                {"width", zone.width},
                                {"height", zone.height},
                                {"name", text(displayName(zone.id, zone.name, localizer))}});
    }
    return list;
}

std::optional<ZoneEdge> edgeFromIndex(int edge) {
    switch (edge) {
    case 0:
        return ZoneEdge::left;
    case 1:
        return ZoneEdge::top;
    case 2:
        return ZoneEdge::width;
    case 3:
        return ZoneEdge::height;
    default:
        return std::nullopt;
    }
}

constexpr std::array<ZoneEdge, 4> allEdges = {ZoneEdge::left, ZoneEdge::top, ZoneEdge::width,
                                              ZoneEdge::height};

const LayoutPreset* presetWithID(const std::string& id) {
    const auto& presets = LayoutPreset::all();
    const auto found = std::find_if(presets.begin(), presets.end(),
                                    [&](const LayoutPreset& preset) { return preset.id == id; });
    return found == presets.end() ? nullptr : &*found;
}

} // namespace

ZonesPageModel::ZonesPageModel(const ShellPorts& ports, Preferences& preferences,
                               const Strings& strings, UndoManager& undoManager,
                               std::shared_ptr<RecorderCoordinator> coordinator, QObject* parent)
    : QObject(parent), ports_(ports), preferences_(preferences), strings_(strings),
      undoManager_(undoManager),
      editor_(std::make_unique<ZoneEditor>(ports_.state, ports_.localizer, &undoManager_)),
      refreshLater_(this, [this] { refresh(); }) {
    // The canvas reports its own gestures; each one leaves the page up to date at once.
    ZoneCanvasModel::Callbacks callbacks;
    callbacks.onBeginEdit = [this] { editor_->beginEditZones(); };
    callbacks.onZonesChanged = [this](const std::vector<Zone>& zones) {
        editor_->setZones(zones);
        refresh();
    };
    callbacks.onSelectionChanged = [this](const std::optional<Uuid>& zoneID) {
        editor_->setSelectedZoneID(zoneID);
        refresh();
    };
    callbacks.onSplit = [this](const Zone& zone, bool leftAndRight) {
        const auto zoneID = zone.id;
        editor_->splitZone(zoneID, leftAndRight);
        refresh();
    };
    callbacks.onDelete = [this](const Zone& zone) {
        const auto zoneID = zone.id;
        editor_->deleteZone(zoneID);
        refresh();
    };
    callbacks.onCreate = [this](const Zone& zone) {
        editor_->createZone(zone);
        refresh();
    };
    canvas_ = std::make_unique<ZoneCanvasViewModel>(
        strings_, std::move(callbacks),
        [this](const Zone& zone) { return editor_->displayName(zone); });

    // One recorder for whichever zone is selected: it reads and writes that zone's shortcut,
    // each change an undo step of its own.
    auto& state = ports_.state;
    ShortcutBinding binding{[this]() -> std::optional<KeyCombo> {
                                const auto zone = editor_->selectedZone();
                                return zone ? zone->shortcut : std::nullopt;
                            },
                            [this](const std::optional<KeyCombo>& shortcut) {
                                const auto zone = editor_->selectedZone();
                                if (!zone) {
                                    return;
                                }
                                editor_->setShortcut(zone->id, shortcut);
                                refresh();
                            }};
    zoneRecorder_ = std::make_unique<ShortcutRecorderModel>(
        std::make_unique<ShortcutRecorder>(
            ports_.input, std::move(binding), [&state] { return state.hotkeys(); },
            ports_.localizer, std::move(coordinator)),
        ports_.hooks.deliverLocalEvent);

    connections_.push_back(ports_.state.onWillChange([this] { scheduleRefresh(); }));
    // The state passes store changes on only after a trip through the scheduler; the page
    // listens to the store as well so that the canvas follows on the very next turn.
    connections_.push_back(ports_.state.store().onWillChange([this] { scheduleRefresh(); }));
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == text(prefs::gridColumns)) {
            scheduleRefresh();
        }
    });
    refresh();
}

ZonesPageModel::~ZonesPageModel() = default;

void ZonesPageModel::scheduleRefresh() {
    refreshLater_.request();
}

void ZonesPageModel::refresh() {
    editor_->updateSelection();
    const auto layout = editor_->editedLayout();
    const auto& selection = editor_->selectedZoneID();
    // The recorder belongs to the zone it started on; another selection ends the recording
    // without changing anything.
    if (selection != recorderZoneID_) {
        if (zoneRecorder_->listening()) {
            zoneRecorder_->stopListening();
        }
        recorderZoneID_ = selection;
    }
    canvas_->setContent(layout ? layout->zones : std::vector<Zone>{}, selection,
                        editorGrid(ports_.defaults, editor_->editedDisplay()));
    zoneRecorder_->recorder().bindingDidChange();
    ++revision_;
    Q_EMIT changed();
}

QObject* ZonesPageModel::canvasObject() {
    return canvas_.get();
}

QString ZonesPageModel::title() const {
    return strings_.localized("Zones");
}

// --- Displays ---

QVariantList ZonesPageModel::screens() const {
    const auto& state = ports_.state;
    const auto edited = editor_->editedDisplay();
    QVariantList list;
    for (const auto& screen : state.screens()) {
        const auto layout = state.store().layoutFor(screen);
        list.append(QVariantMap{
            {"id", text(screen.id)},
            {"name", text(screen.name)},
            {"aspect", previewAspect(screen)},
            {"zones", previewZoneList(tessera::previewZones(layout, screen, ports_.localizer))},
            {"selected", edited && edited->id == screen.id}});
    }
    return list;
}

QString ZonesPageModel::editedScreenID() const {
    const auto display = editor_->editedDisplay();
    return display ? text(display->id) : QString();
}

// --- Layout row ---

QVariantList ZonesPageModel::layouts() const {
    const auto edited = editor_->editedLayout();
    QVariantList list;
    for (const auto& layout : ports_.state.store().layouts()) {
        list.append(QVariantMap{{"id", idText(layout.id)},
                                {"name", text(editor_->displayName(layout))},
                                {"selected", edited && edited->id == layout.id},
                                {"zones", layoutZoneList(layout, ports_.localizer)}});
    }
    return list;
}

bool ZonesPageModel::hasLayout() const {
    return editor_->editedLayout().has_value();
}

QString ZonesPageModel::layoutID() const {
    const auto layout = editor_->editedLayout();
    return layout ? idText(layout->id) : QString();
}

QString ZonesPageModel::layoutName() const {
    return text(editor_->layoutNameText());
}

QString ZonesPageModel::monitorsText() const {
    const auto layout = editor_->editedLayout();
    return layout ? text(editor_->monitorsText(layout->id)) : QString();
}

bool ZonesPageModel::canDeleteLayout() const {
    return editor_->canDeleteLayout();
}

bool ZonesPageModel::canClear() const {
    return editor_->canClear();
}

// --- Grid ---

int ZonesPageModel::gridColumns() const {
    return static_cast<int>(editorGrid(ports_.defaults, editor_->editedDisplay()).columns);
}

int ZonesPageModel::gridRows() const {
    return static_cast<int>(editorGrid(ports_.defaults, editor_->editedDisplay()).rows);
}

QString ZonesPageModel::gridTitle() const {
    const auto grid = editorGrid(ports_.defaults, editor_->editedDisplay());
    return strings_.localized("Grid %lld × %lld",
                              {QVariant::fromValue(static_cast<qlonglong>(grid.columns)),
                               QVariant::fromValue(static_cast<qlonglong>(grid.rows))});
}

double ZonesPageModel::canvasAspect() const {
    return freeAreaAspect(editor_->editedDisplay());
}

// --- Selection and the inspector ---

QString ZonesPageModel::selectedZoneID() const {
    const auto& selection = editor_->selectedZoneID();
    return selection ? idText(*selection) : QString();
}

void ZonesPageModel::setSelectedZoneID(const QString& zoneID) {
    auto id = parseID(zoneID);
    editor_->setSelectedZoneID(id);
    // Only a zone of the edited layout can be selected.
    if (id && !editor_->selectedZone()) {
        editor_->setSelectedZoneID(std::nullopt);
    }
    refresh();
}

bool ZonesPageModel::hasSelection() const {
    return editor_->selectedZone().has_value();
}

QString ZonesPageModel::zoneName() const {
    const auto& selection = editor_->selectedZoneID();
    return selection ? text(editor_->zoneNameText(*selection)) : QString();
}

QString ZonesPageModel::saveError() const {
    return QString::fromStdString(ports_.state.store().lastSaveError());
}

void ZonesPageModel::saveAgain() {
    ports_.state.store().save();
    refresh();
}

QString ZonesPageModel::zoneConflictMessage() const {
    const auto zone = editor_->selectedZone();
    if (!zone) {
        return {};
    }
    const auto message = tessera::zoneConflictMessage(*zone, ports_.defaults, ports_.state.store(),
                                                      ports_.localizer);
    return message ? text(*message) : QString();
}

QString ZonesPageModel::zoneHeldElsewhereMessage() const {
    const auto layout = editor_->editedLayout();
    const auto zone = editor_->selectedZone();
    if (!layout || !zone || !zone->shortcut ||
        !ports_.state.shortcutsHeldElsewhere().holdsZone(layout->id, zone->id)) {
        return {};
    }
    return text(heldElsewhereMessage(ports_.localizer));
}

ShortcutRecorderModel* ZonesPageModel::zoneRecorder() const {
    return zoneRecorder_.get();
}

QStringList ZonesPageModel::exactSizeTexts() const {
    const auto& selection = editor_->selectedZoneID();
    QStringList texts;
    for (const auto edge : allEdges) {
        texts.append(selection ? text(editor_->exactSizeText(*selection, edge)) : QString());
    }
    return texts;
}

QVariantList ZonesPageModel::exactSizeSteppers() const {
    const auto& selection = editor_->selectedZoneID();
    QVariantList steppers;
    for (const auto edge : allEdges) {
        steppers.append(
            QVariantMap{{"up", selection && editor_->canStepExactSize(*selection, edge, true)},
                        {"down", selection && editor_->canStepExactSize(*selection, edge, false)}});
    }
    return steppers;
}

// --- Sheets and dialogs ---

bool ZonesPageModel::showsPresets() const {
    return editor_->showsPresets();
}

void ZonesPageModel::setShowsPresets(bool shown) {
    if (shown == editor_->showsPresets()) {
        return;
    }
    editor_->setShowsPresets(shown);
    refresh();
}

bool ZonesPageModel::showsGridPicker() const {
    return editor_->showsGridPicker();
}

void ZonesPageModel::setShowsGridPicker(bool shown) {
    if (shown == editor_->showsGridPicker()) {
        return;
    }
    editor_->setShowsGridPicker(shown);
    refresh();
}

bool ZonesPageModel::confirmsLayoutDeletion() const {
    return editor_->confirmsLayoutDeletion();
}

QString ZonesPageModel::deletionTitle() const {
    return text(editor_->deletionTitle());
}

QString ZonesPageModel::deletionMessage() const {
    return text(editor_->deletionMessage());
}

QString ZonesPageModel::deletionButton() const {
    return text(editor_->deletionButton());
}

// --- Displays and layouts ---

void ZonesPageModel::chooseDisplay(const QString& screenID) {
    const auto& screens = ports_.state.screens();
    const auto id = screenID.toStdString();
    if (std::none_of(screens.begin(), screens.end(),
                     [&](const ScreenInfo& screen) { return screen.id == id; })) {
        return;
    }
    editor_->chooseDisplay(id);
    refresh();
}

void ZonesPageModel::chooseLayout(const QString& layoutID) {
    const auto id = parseID(layoutID);
    if (!id) {
        return;
    }
    editor_->chooseLayout(*id);
    refresh();
}

void ZonesPageModel::duplicateLayout(const QString& layoutID) {
    if (layoutID.isEmpty()) {
        editor_->duplicateLayout();
    } else if (const auto id = parseID(layoutID)) {
        editor_->duplicateLayout(*id);
    } else {
        return;
    }
    refresh();
}

void ZonesPageModel::requestLayoutDeletion(const QString& layoutID) {
    if (layoutID.isEmpty()) {
        editor_->requestLayoutDeletion();
    } else if (const auto id = parseID(layoutID)) {
        editor_->requestLayoutDeletion(*id);
    } else {
        return;
    }
    refresh();
}

void ZonesPageModel::confirmLayoutDeletion() {
    editor_->confirmLayoutDeletion();
    refresh();
}

void ZonesPageModel::cancelLayoutDeletion() {
    editor_->cancelLayoutDeletion();
    refresh();
}

void ZonesPageModel::previewZones() {
    ports_.state.previewZones();
}

// --- Zone operations ---

void ZonesPageModel::addZone() {
    editor_->addZone();
    refresh();
}

void ZonesPageModel::clearZones() {
    editor_->clearZones();
    refresh();
}

void ZonesPageModel::splitZone(const QString& zoneID, bool leftAndRight) {
    const auto id = zoneID.isEmpty() ? editor_->selectedZoneID() : parseID(zoneID);
    if (!id) {
        return;
    }
    editor_->splitZone(*id, leftAndRight);
    refresh();
}

void ZonesPageModel::deleteZone(const QString& zoneID) {
    const auto id = zoneID.isEmpty() ? editor_->selectedZoneID() : parseID(zoneID);
    if (!id) {
        return;
    }
    editor_->deleteZone(*id);
    refresh();
}

bool ZonesPageModel::setExactSizeText(int edge, const QString& value) {
    const auto zoneEdge = edgeFromIndex(edge);
    const auto zone = editor_->selectedZone();
    if (!zoneEdge || !zone) {
        return false;
    }
    const bool accepted = editor_->setExactSize(zone->id, *zoneEdge, value.toStdString());
    // A rejected text still gets the stored value shown again.
    refresh();
    return accepted;
}

void ZonesPageModel::stepExactSize(int edge, bool up) {
    const auto zoneEdge = edgeFromIndex(edge);
    const auto zone = editor_->selectedZone();
    if (!zoneEdge || !zone) {
        return;
    }
    editor_->stepExactSize(zone->id, *zoneEdge, up);
    refresh();
}

// --- Renaming ---

void ZonesPageModel::renameLayout(const QString& value) {
    editor_->renameLayout(value.toStdString());
    refresh();
}

void ZonesPageModel::renameZone(const QString& value) {
    const auto zone = editor_->selectedZone();
    if (!zone) {
        return;
    }
    editor_->renameZone(zone->id, value.toStdString());
    refresh();
}

// --- Template sheet ---

QVariantMap ZonesPageModel::presetGallery() const {
    const auto display = editor_->editedDisplay();
    const auto previews = makePresetPreviews(ports_.localizer);
    QVariantList sections;
    for (const auto orientation : presetSectionOrder(display)) {
        QVariantList presets;
        for (const auto& preset : LayoutPreset::all()) {
            if (preset.orientation != orientation) {
                continue;
            }
            const auto found = previews.find(preset.id);
            const Layout preview =
                found != previews.end() ? found->second : makeLayout(preset, ports_.localizer);
            presets.append(
                QVariantMap{{"id", text(preset.id)},
                            {"title", text(ports_.localizer.localized(preset.title))},
                            {"zones", display ? previewZoneList(tessera::previewZones(
                                                    preview, *display, ports_.localizer))
                                              : layoutZoneList(preview, ports_.localizer)}});
        }
        const bool horizontal = orientation == Orientation::horizontal;
        sections.append(QVariantMap{
            {"title", strings_.localized(horizontal ? "Horizontal" : "Vertical")},
            {"orientation", horizontal ? QStringLiteral("horizontal") : QStringLiteral("vertical")},
            {"presets", presets}});
    }
    return QVariantMap{
        {"title", strings_.localized("New Layout")},
        {"message", strings_.localized("Pick a template. You can change every zone afterwards.")},
        {"cancelTitle", strings_.localized("Cancel")},
        {"screenID", display ? text(display->id) : QString()},
        {"aspect", display ? previewAspect(*display) : defaultGridAspect},
        {"sections", sections}};
}

bool ZonesPageModel::pickPreset(const QString& presetID) {
    const auto* preset = presetWithID(presetID.toStdString());
    if (preset == nullptr) {
        return false;
    }
    editor_->addLayoutFromTemplate(*preset);
    refresh();
    return true;
}

} // namespace tessera::shell
