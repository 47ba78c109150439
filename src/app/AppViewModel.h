#pragma once

#include "NextTurn.h"
#include "Shell.h"

#include "QmlSingleton.h"

#include <QObject>
#include <QString>
#include <QVariantList>

#include <vector>

namespace tessera {

class Connection;

namespace shell {

// The application state as the main window sees it: the page and the Settings pane shown, the
// permissions, the colour scheme and the version, and the page commands.
//
// Pages and panes are their raw values ("overview", "general", …), so QML and the tests name
// them the way the stored state and the tray menu do.
class AppViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString page READ page WRITE setPage NOTIFY changed)
    Q_PROPERTY(QString settingsPane READ settingsPane WRITE setSettingsPane NOTIFY changed)
    // [{ rawValue, title, icon }] in the picker's order, titles localized.
    Q_PROPERTY(QVariantList pages READ pages CONSTANT)
    Q_PROPERTY(QVariantList settingsPanes READ settingsPanes CONSTANT)
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY changed)
    Q_PROPERTY(bool inputMonitoringGranted READ inputMonitoringGranted NOTIFY changed)
    // Either permission is missing: the "Access Needed" badge and the warning card show.
    Q_PROPERTY(bool accessNeeded READ accessNeeded NOTIFY changed)
    // "system", "light" or "dark" as stored in "appearance".
    Q_PROPERTY(QString appearance READ appearance WRITE setAppearance NOTIFY appearanceChanged)
    // What the window draws with: the choice, with "system" resolved by systemPrefersDark.
    Q_PROPERTY(bool darkScheme READ darkScheme NOTIFY appearanceChanged)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QString editorScreenID READ editorScreenID NOTIFY changed)
public:
    static AppViewModel* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<AppViewModel>(engine);
    }
    AppViewModel(const ShellPorts& ports, Preferences& preferences, const Strings& strings,
                 QObject* parent = nullptr);
    ~AppViewModel() override;

    QString page() const;
    void setPage(const QString& rawValue);
    QString settingsPane() const;
    void setSettingsPane(const QString& rawValue);
    QVariantList pages() const;
    QVariantList settingsPanes() const;
    bool accessibilityGranted() const;
    bool inputMonitoringGranted() const;
    bool accessNeeded() const;
    QString appearance() const;
    void setAppearance(const QString& rawValue);
    bool darkScheme() const;
    QString version() const;
    QString editorScreenID() const;

    // What "system" resolves to; the application sets it from the desktop's palette.
    void setSystemPrefersDark(bool dark);

    // A page command: shows the page, brings the main window forward.
    Q_INVOKABLE void openPage(const QString& page);
    // Settings at one pane (the badge, "Grant Access", "Customize").
    Q_INVOKABLE void openSettings(const QString& pane);
    // The Zones page editing one display ("Edit zones for this monitor").
    Q_INVOKABLE void editZones(const QString& screenID);
    // The zones of every display for a moment.
    Q_INVOKABLE void previewZones();
    Q_INVOKABLE void relaunch();
    Q_INVOKABLE void quit();

Q_SIGNALS:
    // After the application state changed (a turn of the event loop later, coalesced).
    void changed();
    void appearanceChanged();
    // The main window is to come forward (a page command, a second launch, the tray).
    void showWindowRequested();

private:
    void scheduleChanged();

    ShellPorts ports_;
    Preferences& preferences_;
    const Strings& strings_;
    std::vector<Connection> connections_;
    NextTurn changed_;
    bool systemPrefersDark_ = false;
};

} // namespace shell
} // namespace tessera
