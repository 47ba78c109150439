#pragma once

#include "NextTurn.h"
#include "Shell.h"

#include "QmlSingleton.h"

#include <QObject>

#include <vector>

namespace tessera {

class Connection;

namespace shell {

// The Permissions pane: whether Tessera holds Accessibility and Input Monitoring, a way to the
// system's page of each, and a relaunch for when the system only applies access to a new
// process.
class PermissionsPaneModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY changed)
    Q_PROPERTY(bool inputMonitoringGranted READ inputMonitoringGranted NOTIFY changed)
public:
    static PermissionsPaneModel* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<PermissionsPaneModel>(engine);
    }
    PermissionsPaneModel(const ShellPorts& ports, Preferences& preferences, const Strings& strings,
                         QObject* parent = nullptr);
    ~PermissionsPaneModel() override;

    bool accessibilityGranted() const;
    bool inputMonitoringGranted() const;

    // "Open System Settings" of each row: the permission monitor opens that permission's page.
    Q_INVOKABLE void openAccessibilitySettings();
    Q_INVOKABLE void openInputMonitoringSettings();
    // "Relaunch Tessera".
    Q_INVOKABLE void relaunch();

Q_SIGNALS:
    // After the permissions may have changed (a turn of the event loop later, coalesced).
    void changed();

private:
    ShellPorts ports_;
    Preferences& preferences_;
    const Strings& strings_;
    std::vector<Connection> connections_;
    NextTurn changed_;
};

} // namespace shell
} // namespace tessera
