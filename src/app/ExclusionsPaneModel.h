#pragma once

#include "Shell.h"

#include "QmlSingleton.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace tessera::shell {

// The Exclusions pane: the applications in "ignoredApps" with their names and icons from the
// catalog, adding applications chosen from the catalog and taking them off the list again.
// The list is read from the preferences at each use, so a change made from the tray menu shows
// at once.
class ExclusionsPaneModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // [{ identifier, name, iconSource, installed }] in the stored order. An identifier the
    // catalog doesn't know is its own name, without an icon.
    Q_PROPERTY(QVariantList apps READ apps NOTIFY changed)
    Q_PROPERTY(bool empty READ empty NOTIFY changed)
    // Why the last change did not go through completely (files skipped, a failed write);
    // empty after a change that did.
    Q_PROPERTY(QString lastError READ lastError NOTIFY changed)
public:
    static ExclusionsPaneModel* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<ExclusionsPaneModel>(engine);
    }
    ExclusionsPaneModel(const ShellPorts& ports, Preferences& preferences, const Strings& strings,
                        QObject* parent = nullptr);
    ~ExclusionsPaneModel() override;

    QVariantList apps() const;
    bool empty() const;
    QString lastError() const { return lastError_; }

    // The applications to choose from: [{ identifier, name, iconSource, ignored }] by name,
    // read from the catalog at each call.
    Q_INVOKABLE QVariantList installedApps() const;
    // Ignores these applications: each identifier not listed yet is appended, in the order
    // given. Returns how many were appended.
    Q_INVOKABLE int ignoreApps(const QStringList& identifiers);
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
