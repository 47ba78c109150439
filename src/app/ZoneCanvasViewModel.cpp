#include "ZoneCanvasViewModel.h"

#include "Strings.h"

// Placeholder bodies; the canvas is being written.
namespace tessera::shell {

ZoneCanvasViewModel::ZoneCanvasViewModel(const Strings& strings,
                                         ZoneCanvasModel::Callbacks callbacks,
                                         std::function<std::string(const Zone&)> zoneName,
                                         QObject* parent)
    : QObject(parent), strings_(strings), zoneName_(std::move(zoneName)) {
    model_.callbacks = std::move(callbacks);
}

ZoneCanvasViewModel::~ZoneCanvasViewModel() = default;

void ZoneCanvasViewModel::setContent(std::vector<Zone> zones, std::optional<Uuid> selectedID,
                                     ZoneGrid grid) {
    model_.setZones(std::move(zones));
    model_.setSelectedID(std::move(selectedID));
    model_.setGrid(grid);
    Q_EMIT changed();
}

double ZoneCanvasViewModel::viewWidth() const { return model_.viewSize().width; }
void ZoneCanvasViewModel::setViewWidth(double) {}
double ZoneCanvasViewModel::viewHeight() const { return model_.viewSize().height; }
void ZoneCanvasViewModel::setViewHeight(double) {}
bool ZoneCanvasViewModel::focused() const { return model_.focused(); }
void ZoneCanvasViewModel::setFocused(bool) {}
QRectF ZoneCanvasViewModel::area() const { return {}; }
QVariantList ZoneCanvasViewModel::zones() const { return {}; }
QVariantList ZoneCanvasViewModel::handles() const { return {}; }
QVariant ZoneCanvasViewModel::snapRect() const { return {}; }
QVariant ZoneCanvasViewModel::drawnRect() const { return {}; }
QVariantList ZoneCanvasViewModel::gridLines() const { return {}; }
double ZoneCanvasViewModel::gridLineOpacity() const { return model_.gridLineOpacity(); }
bool ZoneCanvasViewModel::movingOrResizing() const { return model_.isMovingOrResizing(); }
QString ZoneCanvasViewModel::sizeLabel() const { return {}; }
bool ZoneCanvasViewModel::showsEmptyState() const { return model_.showsEmptyState(); }
QVariantList ZoneCanvasViewModel::menuItems() const { return {}; }
int ZoneCanvasViewModel::columns() const { return static_cast<int>(model_.grid().columns); }
int ZoneCanvasViewModel::rows() const { return static_cast<int>(model_.grid().rows); }
QVariantMap ZoneCanvasViewModel::pointerTarget(double, double) const { return {}; }
void ZoneCanvasViewModel::zoneDragChanged(const QString&, const QString&, double, double) {}
void ZoneCanvasViewModel::zoneDragEnded(const QString&) {}
void ZoneCanvasViewModel::backgroundDragChanged(double, double, double, double) {}
void ZoneCanvasViewModel::backgroundDragEnded(double, double) {}
bool ZoneCanvasViewModel::arrowKey(int) { return false; }
bool ZoneCanvasViewModel::deleteCommand() { return false; }
void ZoneCanvasViewModel::menuAction(const QString&, const QString&) {}

} // namespace tessera::shell
