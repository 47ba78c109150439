#include "ZonesPageModel.h"

#include "Preferences.h"
#include "ShortcutRecorderModel.h"
#include "Strings.h"
#include "ZoneCanvasViewModel.h"

#include "core/app/AppState.h"
#include "core/editor/ZoneEditor.h"
#include "core/hotkeys/ShortcutRecorder.h"

// Placeholder bodies; the page is being written.
namespace tessera::shell {

ZonesPageModel::ZonesPageModel(const ShellPorts& ports, Preferences& preferences,
                               const Strings& strings, UndoManager& undoManager,
                               std::shared_ptr<RecorderCoordinator> coordinator, QObject* parent)
    : QObject(parent), ports_(ports), preferences_(preferences), strings_(strings),
      undoManager_(undoManager),
      editor_(std::make_unique<ZoneEditor>(ports_.state, ports_.localizer, &undoManager_)),
      refreshLater_(this, [this] { refresh(); }) {
    ZoneCanvasModel::Callbacks callbacks;
    canvas_ = std::make_unique<ZoneCanvasViewModel>(
        strings_, std::move(callbacks),
        [this](const Zone& zone) { return editor_->displayName(zone); });
    auto& state = ports_.state;
    zoneRecorder_ = std::make_unique<ShortcutRecorderModel>(
        std::make_unique<ShortcutRecorder>(
            ports_.input,
            ShortcutBinding{[] { return std::optional<KeyCombo>(); },
                            [](const std::optional<KeyCombo>&) {}},
            [&state] { return state.hotkeys(); }, ports_.localizer, std::move(coordinator)),
        ports_.hooks.deliverLocalEvent);
}

ZonesPageModel::~ZonesPageModel() = default;

QObject* ZonesPageModel::canvasObject() { return canvas_.get(); }
QString ZonesPageModel::title() const { return strings_.tr("Zones"); }
QVariantList ZonesPageModel::screens() const { return {}; }
QString ZonesPageModel::editedScreenID() const { return {}; }
QVariantList ZonesPageModel::layouts() const { return {}; }
bool ZonesPageModel::hasLayout() const { return false; }
QString ZonesPageModel::layoutID() const { return {}; }
QString ZonesPageModel::layoutName() const { return {}; }
QString ZonesPageModel::monitorsText() const { return {}; }
bool ZonesPageModel::canDeleteLayout() const { return false; }
bool ZonesPageModel::canClear() const { return false; }
int ZonesPageModel::gridColumns() const { return 12; }
int ZonesPageModel::gridRows() const { return 6; }
QString ZonesPageModel::gridTitle() const { return {}; }
double ZonesPageModel::canvasAspect() const { return 16.0 / 9.0; }
QString ZonesPageModel::selectedZoneID() const { return {}; }
void ZonesPageModel::setSelectedZoneID(const QString&) {}
bool ZonesPageModel::hasSelection() const { return false; }
QString ZonesPageModel::zoneName() const { return {}; }
QString ZonesPageModel::zoneConflictMessage() const { return {}; }
QObject* ZonesPageModel::zoneRecorder() const { return zoneRecorder_.get(); }
QStringList ZonesPageModel::exactSizeTexts() const { return {}; }
QVariantList ZonesPageModel::exactSizeValues() const { return {}; }
bool ZonesPageModel::showsPresets() const { return editor_->showsPresets(); }
void ZonesPageModel::setShowsPresets(bool) {}
bool ZonesPageModel::showsGridPicker() const { return editor_->showsGridPicker(); }
void ZonesPageModel::setShowsGridPicker(bool) {}
bool ZonesPageModel::confirmsLayoutDeletion() const { return editor_->confirmsLayoutDeletion(); }
QString ZonesPageModel::deletionTitle() const { return {}; }
QString ZonesPageModel::deletionMessage() const { return {}; }
QString ZonesPageModel::deletionButton() const { return {}; }
void ZonesPageModel::chooseDisplay(const QString&) {}
void ZonesPageModel::chooseLayout(const QString&) {}
void ZonesPageModel::duplicateLayout(const QString&) {}
void ZonesPageModel::requestLayoutDeletion(const QString&) {}
void ZonesPageModel::confirmLayoutDeletion() {}
void ZonesPageModel::cancelLayoutDeletion() {}
void ZonesPageModel::previewZones() {}
void ZonesPageModel::addZone() {}
void ZonesPageModel::clearZones() {}
void ZonesPageModel::splitZone(const QString&, bool) {}
void ZonesPageModel::deleteZone(const QString&) {}
bool ZonesPageModel::setExactSizeText(int, const QString&) { return false; }
void ZonesPageModel::setExactSizeValue(int, double) {}
void ZonesPageModel::renameLayout(const QString&) {}
void ZonesPageModel::renameZone(const QString&) {}
QVariantMap ZonesPageModel::presetGallery() const { return {}; }
bool ZonesPageModel::pickPreset(const QString&) { return false; }
void ZonesPageModel::refresh() {}
void ZonesPageModel::scheduleRefresh() { refreshLater_.request(); }

} // namespace tessera::shell
