#pragma once

#include "NextTurn.h"
#include "Shell.h"

#include "core/backup/Backup.h"

#include "QmlSingleton.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <QWindow>

class QFileDialog;

#include <memory>
#include <optional>
#include <vector>

namespace tessera {

class Connection;

namespace shell {

// The General settings pane: appearance, language, menu-bar icon, open at login, the built-in
// layouts and the backup file. It holds nothing of its own beyond the alerts it is asking and a
// backup that was read but not yet confirmed.
//
// The file panels are Qt's own file dialogs, which save under a proposed name and speak the
// application's language; they only hand a path to exportTo and readBackupFile, so everything
// after the panel runs, and is tested, without one.
//
// Alerts: at most one of them is asked at a time in practice; each has a flag QML opens its
// dialog from, and the dialog's buttons call back here, which clears the flag.
class GeneralPaneModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // [{ rawValue, title }] of the Language picker; only "System Language" is translated.
    Q_PROPERTY(QVariantList languages READ languages CONSTANT)
    // [{ rawValue, title }] of the theme picker.
    Q_PROPERTY(QVariantList appearances READ appearances CONSTANT)
    // The raw value the Language picker shows ("system", "en", …).
    Q_PROPERTY(QString language READ language NOTIFY languageChanged)
    // "showsMenuBarIcon", on when never set.
    Q_PROPERTY(bool showsMenuBarIcon READ showsMenuBarIcon WRITE setShowsMenuBarIcon NOTIFY
                   showsMenuBarIconChanged)
    // "Open at Login" as the system reports it.
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(QString automaticCopiesFooter READ automaticCopiesFooter CONSTANT)

    Q_PROPERTY(bool confirmsRelaunch READ confirmsRelaunch NOTIFY alertsChanged)
    Q_PROPERTY(bool confirmsRestore READ confirmsRestore NOTIFY alertsChanged)
    // A backup was read and waits for "Import" or "Cancel"; the texts are that alert's.
    Q_PROPERTY(bool hasPendingImport READ hasPendingImport NOTIFY alertsChanged)
    Q_PROPERTY(QString importTitle READ importTitle NOTIFY alertsChanged)
    Q_PROPERTY(QString importMessage READ importMessage NOTIFY alertsChanged)
    Q_PROPERTY(QString importButton READ importButton NOTIFY alertsChanged)
    Q_PROPERTY(QString importCancelButton READ importCancelButton NOTIFY alertsChanged)
    // An error alert is asked while errorMessage is not empty.
    Q_PROPERTY(bool showsError READ showsError NOTIFY alertsChanged)
    Q_PROPERTY(QString errorTitle READ errorTitle NOTIFY alertsChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY alertsChanged)
    // Where the last export went ("The backup was saved as …"); empty until one succeeds.
    Q_PROPERTY(QString exportNotice READ exportNotice NOTIFY exportNoticeChanged)
public:
    static GeneralPaneModel* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<GeneralPaneModel>(engine);
    }
    GeneralPaneModel(const ShellPorts& ports, Preferences& preferences, const Strings& strings,
                     QObject* parent = nullptr);
    ~GeneralPaneModel() override;

    QVariantList languages() const;
    QVariantList appearances() const;
    QString language() const;
    bool showsMenuBarIcon() const;
    void setShowsMenuBarIcon(bool on);
    bool launchAtLogin() const;
    QString automaticCopiesFooter() const;

    bool confirmsRelaunch() const { return confirmsRelaunch_; }
    bool confirmsRestore() const { return confirmsRestore_; }
    bool hasPendingImport() const { return pendingImport_.has_value(); }
    QString importTitle() const { return importTitle_; }
    QString importMessage() const { return importMessage_; }
    QString importButton() const { return importButton_; }
    QString importCancelButton() const { return importCancelButton_; }
    bool showsError() const { return !errorMessage_.isEmpty(); }
    QString errorTitle() const { return errorTitle_; }
    QString errorMessage() const { return errorMessage_; }
    QString exportNotice() const { return exportNotice_; }

    // --- Appearance and start ---
    // Saves the language at once and asks to relaunch; an unknown value changes nothing.
    Q_INVOKABLE void setLanguage(const QString& rawValue);
    Q_INVOKABLE void setLaunchAtLogin(bool on);

    // --- Relaunch alert ---
    Q_INVOKABLE void relaunchNow();
    Q_INVOKABLE void relaunchLater();

    // --- Built-in layouts ---
    Q_INVOKABLE void requestRestoreBuiltIns();
    // "Restore": the store brings back its built-in layouts, then every shortcut is registered
    // again, since zone shortcuts of removed layouts must stop working.
    Q_INVOKABLE void restoreBuiltIns();
    Q_INVOKABLE void cancelRestoreBuiltIns();

    // --- Backup ---
    // Where the save panel starts: the folder of the last export, else the documents folder,
    // and the proposed file name.
    Q_INVOKABLE QUrl proposedExportFile() const;
    // Where the open panel starts: the folder of the last export, else the home folder.
    QString importFolder() const;
    // The save and open panels, over the window; the chosen file goes to exportTo or
    // readBackupFile.
    Q_INVOKABLE void chooseExportFile(QWindow* window);
    Q_INVOKABLE void chooseImportFile(QWindow* window);
    // The panel shown, until it closes.
    QFileDialog* fileDialog() const { return fileDialog_.get(); }
    // Writes the current state to the file and says where it went; false (with the error
    // alert) when it can't.
    Q_INVOKABLE bool exportTo(const QString& pathOrUrl);
    // Reads a backup and asks to import it; a file that can't be used shows the error alert.
    Q_INVOKABLE bool readBackupFile(const QString& pathOrUrl);
    // "Import": automatic copy, then the import. Offers to relaunch when the language changed.
    Q_INVOKABLE void confirmImport();
    // "Cancel": the backup is dropped and nothing is written.
    Q_INVOKABLE void cancelImport();
    Q_INVOKABLE void dismissError();
    // Opens the folder of automatic copies; where no file manager can be started, the error
    // alert says where the folder is.
    Q_INVOKABLE void showAutomaticCopies();

    // The backup waiting for confirmation, if any.
    const std::optional<SettingsBackup>& pendingImport() const { return pendingImport_; }

Q_SIGNALS:
    void languageChanged();
    void showsMenuBarIconChanged();
    void launchAtLoginChanged();
    void alertsChanged();
    void exportNoticeChanged();
    // After a backup was imported or the built-in layouts restored: undo steps recorded before
    // no longer fit the layouts, and one would bring back a layout that was just removed.
    void layoutsReplaced();

private:
    void showError(const QString& title, const QString& message);
    void notifyImportedPreferences();
    QString dateText(std::chrono::sys_seconds time) const;
    QFileDialog& showFileDialog(QWindow* window, const QString& title);

    ShellPorts ports_;
    Preferences& preferences_;
    const Strings& strings_;
    std::vector<Connection> connections_;
    NextTurn launchAtLoginChanged_;

    bool confirmsRelaunch_ = false;
    // Asked once the error alert in front of it has been dismissed.
    bool relaunchAfterError_ = false;
    bool confirmsRestore_ = false;
    std::optional<SettingsBackup> pendingImport_;
    QString importTitle_;
    QString importMessage_;
    QString importButton_;
    QString importCancelButton_;
    QString errorTitle_;
    QString errorMessage_;
    QString exportNotice_;
    // The folder of the last export this run, where both panels start next time.
    QString lastBackupFolder_;
    std::unique_ptr<QFileDialog> fileDialog_;
};

} // namespace shell
} // namespace tessera
