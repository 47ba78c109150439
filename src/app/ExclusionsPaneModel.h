#pragma once

#include "Shell.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>

namespace tessera::shell {

// The Exclusions pane: the applications in "ignoredApps" with their names and icons from the
// catalog, adding applications by their desktop entries and taking them off the list again.
// The list is read from the preferences at each use, so a change made from the tray menu shows
// at once.
class ExclusionsPaneModel : public QObject {
    Q_OBJECT
    // [{ identifier, name, iconSource, installed }] in the stored order. An identifier the
    // catalog doesn't know is its own name, without an icon.
    Q_PROPERTY(QVariantList apps READ apps NOTIFY changed)
    Q_PROPERTY(bool empty READ empty NOTIFY changed)
    // Why the last change did not go through completely (files skipped, a failed write);
    // empty after a change that did.
    Q_PROPERTY(QString lastError READ lastError NOTIFY changed)
    // Where the file dialog starts.
    Q_PROPERTY(QUrl applicationsFolder READ applicationsFolder CONSTANT)
public:
    ExclusionsPaneModel(const ShellPorts& ports, Preferences& preferences, const Strings& strings,
                        QObject* parent = nullptr);
    ~ExclusionsPaneModel() override;

    QVariantList apps() const;
    bool empty() const;
    QString lastError() const { return lastError_; }
    QUrl applicationsFolder() const;

    // Ignores the applications of these desktop files (file URLs or paths, as the file dialog
    // hands them): each one's desktop file id is appended unless it is already listed. Files
    // that can't be read as an application's desktop entry are skipped and named in lastError.
    // Returns how many identifiers were appended.
    Q_INVOKABLE int addDesktopFiles(const QVariantList& files);
    // Takes every copy of the identifier off the list.
    Q_INVOKABLE void stopIgnoring(const QString& identifier);

Q_SIGNALS:
    void changed();

private:
    // False, with the reason in lastError, when the change could not be made durable.
    bool write(const std::vector<std::string>& identifiers);

    ShellPorts ports_;
    Preferences& preferences_;
    const Strings& strings_;
    QString lastError_;
};

} // namespace tessera::shell
