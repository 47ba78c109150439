#include "PermissionsPaneModel.h"

#include "core/app/AppState.h"
#include "core/app/PermissionMonitor.h"
#include "core/model/Signal.h"

#include <QMetaObject>

namespace tessera::shell {

PermissionsPaneModel::PermissionsPaneModel(const ShellPorts& ports, Preferences& preferences,
                                           const Strings& strings, QObject* parent)
    : QObject(parent), ports_(ports), preferences_(preferences), strings_(strings),
      changed_(this, [this] { Q_EMIT changed(); }) {
    connections_.push_back(ports_.state.onWillChange([this] { changed_.request(); }));
}

PermissionsPaneModel::~PermissionsPaneModel() = default;

bool PermissionsPaneModel::accessibilityGranted() const {
    return ports_.state.permissions().accessibility;
}

bool PermissionsPaneModel::inputMonitoringGranted() const {
    return ports_.state.permissions().inputMonitoring;
}

void PermissionsPaneModel::openAccessibilitySettings() {
    ports_.state.permissionsMonitor().openSettings(PermissionMonitor::accessibilityAnchor);
}

void PermissionsPaneModel::openInputMonitoringSettings() {
    ports_.state.permissionsMonitor().openSettings(PermissionMonitor::inputMonitoringAnchor);
}

void PermissionsPaneModel::relaunch() {
    ports_.state.relaunch();
}

} // namespace tessera::shell
