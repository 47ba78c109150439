#include "GeneralPaneModel.h"
#include "QmlValues.h"

#include "Preferences.h"
#include "Strings.h"

#include "core/app/AppState.h"
#include "core/app/Preferences.h"
#include "core/backup/BackupService.h"
#include "core/model/Signal.h"
#include "core/store/LayoutStore.h"
#include "core/ui/MenuBarMenu.h"
#include "core/ui/SettingsRules.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMetaObject>
#include <QStandardPaths>
#include <QVariantMap>
#include <QWindow>

#include <chrono>
#include <filesystem>
#include <string>

namespace tessera::shell {

namespace {

// The panels hand over file URLs; the tests and the command line hand over plain paths.
std::filesystem::path localPath(const QString& pathOrUrl) {
    const QUrl url(pathOrUrl);
    const auto path = url.isLocalFile() ? url.toLocalFile() : pathOrUrl;
    return std::filesystem::path(path.toStdString());
}

} // namespace

GeneralPaneModel::GeneralPaneModel(const ShellPorts& ports, Preferences& preferences,
                                   const Strings& strings, QObject* parent)
    : QObject(parent), ports_(ports), preferences_(preferences), strings_(strings),
      launchAtLoginChanged_(this, [this] { Q_EMIT launchAtLoginChanged(); }) {
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == text(prefs::appLanguage)) {
            Q_EMIT languageChanged();
        } else if (key == text(prefs::showsMenuBarIcon)) {
            Q_EMIT showsMenuBarIconChanged();
        }
    });
    // The state announces before it changes; the switch must read after.
    connections_.push_back(ports_.state.onWillChange([this] { launchAtLoginChanged_.request(); }));
}

GeneralPaneModel::~GeneralPaneModel() = default;

QVariantList GeneralPaneModel::languages() const {
    QVariantList list;
    for (const auto& option : languageOptions) {
        list.append(QVariantMap{
            {"rawValue", text(rawValue(option.language))},
            {"title", QString::fromStdString(languageTitle(option, strings_.localizer()))}});
    }
    return list;
}

QVariantList GeneralPaneModel::appearances() const {
    QVariantList list;
    for (const auto& option : appearanceOptions) {
        list.append(QVariantMap{{"rawValue", text(rawValue(option.choice))},
                                {"title", strings_.localized(text(option.title))}});
    }
    return list;
}

QString GeneralPaneModel::language() const {
    return text(rawValue(chosenLanguage(ports_.defaults)));
}

bool GeneralPaneModel::showsMenuBarIcon() const {
    return tessera::showsMenuBarIcon(ports_.defaults);
}

void GeneralPaneModel::setShowsMenuBarIcon(bool on) {
    preferences_.setBool(text(prefs::showsMenuBarIcon), on);
}

bool GeneralPaneModel::launchAtLogin() const {
    return ports_.state.launchAtLogin();
}

QString GeneralPaneModel::automaticCopiesFooter() const {
    return QString::fromStdString(tessera::automaticCopiesFooter(strings_.localizer()));
}

void GeneralPaneModel::setLanguage(const QString& rawValue) {
    const auto language = appLanguageFromRaw(rawValue.toStdString());
    if (!language) {
        return;
    }
    const auto error = chooseLanguage(ports_.defaults, *language);
    preferences_.notifyChanged(text(prefs::appLanguage));
    preferences_.notifyChanged(text(prefs::appleLanguages));
    if (!error.empty()) {
        // A relaunch would come back in the old language; say so instead of offering it.
        showError(strings_.localized("Some changes couldn’t be saved"),
                  QString::fromStdString(error));
        return;
    }
    confirmsRelaunch_ = true;
    Q_EMIT alertsChanged();
}

void GeneralPaneModel::setLaunchAtLogin(bool on) {
    ports_.state.setLaunchAtLogin(on);
    // Also when the system refused and nothing changed: the switch was flipped by the user and
    // has to fall back to the real state.
    Q_EMIT launchAtLoginChanged();
}

void GeneralPaneModel::relaunchNow() {
    confirmsRelaunch_ = false;
    Q_EMIT alertsChanged();
    ports_.state.relaunch();
}

void GeneralPaneModel::relaunchLater() {
    if (confirmsRelaunch_) {
        confirmsRelaunch_ = false;
        Q_EMIT alertsChanged();
    }
}

void GeneralPaneModel::requestRestoreBuiltIns() {
    confirmsRestore_ = true;
    Q_EMIT alertsChanged();
}

void GeneralPaneModel::restoreBuiltIns() {
    confirmsRestore_ = false;
    Q_EMIT alertsChanged();
    auto& store = ports_.state.store();
    store.restoreBuiltIns();
    ports_.state.registerAllHotkeys();
    Q_EMIT layoutsReplaced();
    if (!store.lastSaveError().empty()) {
        showError(strings_.localized("Some changes couldn’t be saved"),
                  QString::fromStdString(store.lastSaveError()));
    }
}

void GeneralPaneModel::cancelRestoreBuiltIns() {
    if (confirmsRestore_) {
        confirmsRestore_ = false;
        Q_EMIT alertsChanged();
    }
}

QUrl GeneralPaneModel::proposedExportFile() const {
    auto folder = lastBackupFolder_;
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    }
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::homePath();
    }
    const auto name = QString::fromStdString(exportFileName(std::chrono::system_clock::now()));
    return QUrl::fromLocalFile(QDir(folder).filePath(name));
}

QString GeneralPaneModel::importFolder() const {
    // Never the process's working folder: that is wherever Tessera happened to be started.
    return !lastBackupFolder_.isEmpty() && QDir(lastBackupFolder_).exists() ? lastBackupFolder_
                                                                            : QDir::homePath();
}

QFileDialog& GeneralPaneModel::showFileDialog(QWindow* window, const QString& title) {
    fileDialog_ = std::make_unique<QFileDialog>();
    auto& dialog = *fileDialog_;
    dialog.setWindowTitle(title);
    dialog.setNameFilter(strings_.localized("JSON files (*.json)"));
    dialog.setWindowModality(Qt::WindowModal);
    if (window != nullptr) {
        // Over the main window, which is no widget the dialog could have as its parent.
        dialog.winId();
        dialog.windowHandle()->setTransientParent(window);
    }
    return dialog;
}

void GeneralPaneModel::chooseExportFile(QWindow* window) {
    auto& dialog = showFileDialog(window, strings_.localized("Save Backup"));
    const QFileInfo proposed(proposedExportFile().toLocalFile());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());
    connect(&dialog, &QFileDialog::fileSelected, this,
            [this](const QString& file) { exportTo(file); });
    dialog.open();
}

void GeneralPaneModel::chooseImportFile(QWindow* window) {
    auto& dialog = showFileDialog(window, strings_.localized("Open Backup"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDirectory(importFolder());
    connect(&dialog, &QFileDialog::fileSelected, this,
            [this](const QString& file) { readBackupFile(file); });
    dialog.open();
}

bool GeneralPaneModel::exportTo(const QString& pathOrUrl) {
    const auto file = localPath(pathOrUrl);
    const auto error = exportBackup(ports_.state.backupContext(), file);
    if (!error.empty()) {
        showError(QString::fromStdString(failureAlertTitle(ports_.localizer)),
                  QString::fromStdString(error));
        return false;
    }
    const QFileInfo written(QString::fromStdString(file.string()));
    lastBackupFolder_ = written.absolutePath();
    exportNotice_ = strings_.localized(QStringLiteral("The backup was saved as “%@”."),
                                       {QDir::toNativeSeparators(written.absoluteFilePath())});
    Q_EMIT exportNoticeChanged();
    return true;
}

bool GeneralPaneModel::readBackupFile(const QString& pathOrUrl) {
    auto result = readBackup(localPath(pathOrUrl));
    if (!result) {
        pendingImport_.reset();
        showError(
            QString::fromStdString(failureAlertTitle(ports_.localizer)),
            QString::fromStdString(localizedFailureMessage(result.failure, ports_.localizer)));
        return false;
    }
    const auto texts =
        importConfirmation(ports_.localizer, dateText(result.backup->createdAt).toStdString());
    pendingImport_ = std::move(result.backup);
    importTitle_ = QString::fromStdString(texts.title);
    importMessage_ = QString::fromStdString(texts.message);
    importButton_ = QString::fromStdString(texts.importButton);
    importCancelButton_ = QString::fromStdString(texts.cancelButton);
    Q_EMIT alertsChanged();
    return true;
}

void GeneralPaneModel::confirmImport() {
    if (!pendingImport_) {
        return;
    }
    const auto backup = std::move(*pendingImport_);
    pendingImport_.reset();
    Q_EMIT alertsChanged();

    const auto result = restore(backup, ports_.state.backupContext());
    if (!result) {
        showError(QString::fromStdString(failureAlertTitle(ports_.localizer)),
                  QString::fromStdString(result.error));
        return;
    }
    notifyImportedPreferences();
    Q_EMIT layoutsReplaced();
    if (!result.unsaved.empty()) {
        QStringList lines;
        for (const auto& problem : result.unsaved) {
            lines.append(QString::fromStdString(problem));
        }
        relaunchAfterError_ = result.languageChanged;
        showError(strings_.localized("Some changes couldn’t be saved"), lines.join('\n'));
        return;
    }
    if (result.languageChanged) {
        confirmsRelaunch_ = true;
        Q_EMIT alertsChanged();
    }
}

void GeneralPaneModel::cancelImport() {
    if (pendingImport_) {
        pendingImport_.reset();
        Q_EMIT alertsChanged();
    }
}

void GeneralPaneModel::dismissError() {
    if (errorMessage_.isEmpty()) {
        return;
    }
    errorTitle_.clear();
    errorMessage_.clear();
    if (relaunchAfterError_) {
        relaunchAfterError_ = false;
        confirmsRelaunch_ = true;
    }
    Q_EMIT alertsChanged();
}

void GeneralPaneModel::showAutomaticCopies() {
    const auto storeFile = ports_.state.store().fileURL();
    if (!tessera::showAutomaticCopies(storeFile, ports_.workspace)) {
        showError(strings_.localized("Couldn’t open the folder"),
                  strings_.localized(
                      QStringLiteral("No file manager could be started. The automatic "
                                     "copies are in “%@”."),
                      {QString::fromStdString(automaticCopiesFolder(storeFile).string())}));
    }
}

void GeneralPaneModel::showError(const QString& title, const QString& message) {
    errorTitle_ = title;
    // An empty message would read as "no alert"; the title alone still says what happened.
    errorMessage_ = message.isEmpty() ? title : message;
    Q_EMIT alertsChanged();
}

void GeneralPaneModel::notifyImportedPreferences() {
    // The import wrote through the Defaults port; every control bound to those keys re-reads.
    for (const auto& key : backupKeys()) {
        preferences_.notifyChanged(QString::fromStdString(key));
    }
    preferences_.notifyChanged(text(prefs::appleLanguages));
}

QString GeneralPaneModel::dateText(std::chrono::sys_seconds time) const {
    const auto moment = QDateTime::fromSecsSinceEpoch(time.time_since_epoch().count());
    const QLocale locale(strings_.language());
    return locale.toString(moment.date(), QLocale::LongFormat) + QStringLiteral(" ") +
           locale.toString(moment.time(), QLocale::ShortFormat);
}

} // namespace tessera::shell
