#pragma once

#include "QmlSingleton.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>
#include <string>

namespace tessera {

class Defaults;

namespace shell {

// The preferences as QML binds to them. Every write the shell makes goes through here, so every
// control bound to a key follows a change made anywhere else in the window or the tray menu.
// Values are read from the Defaults port at each use and never cached.
// The panes bind to their own models' properties, which follow `changed`.
class Preferences : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // Moves after every change made through this object.
    Q_PROPERTY(int revision READ revision NOTIFY changed)
    // Why the last change made through this object (or announced to it) could not be saved;
    // empty once a write succeeds.
    Q_PROPERTY(QString saveError READ lastError NOTIFY changed)
public:
    static Preferences* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<Preferences>(engine);
    }
    explicit Preferences(Defaults& defaults, QObject* parent = nullptr);

    int revision() const { return revision_; }

    // The stored value (else the registered default) converted for QML: bool, integer, real,
    // string, byte array or string list; an invalid QVariant when the key has none.
    Q_INVOKABLE QVariant value(const QString& key) const;
    // Typed reads through the core's readers, so QML falls back exactly as the core does.
    Q_INVOKABLE bool boolValue(const QString& key) const;
    Q_INVOKABLE double doubleValue(const QString& key) const;
    Q_INVOKABLE QString stringValue(const QString& key) const;

    // False when the change could not be made durable; lastError() then says why. The value
    // holds for this run either way.
    Q_INVOKABLE bool setBool(const QString& key, bool value);
    Q_INVOKABLE bool setInteger(const QString& key, qint64 value);
    Q_INVOKABLE bool setDouble(const QString& key, double value);
    Q_INVOKABLE bool setString(const QString& key, const QString& value);
    Q_INVOKABLE bool remove(const QString& key);
    Q_INVOKABLE QString lastError() const;
    // Writes the change that could not be saved again (and with it every other change the file
    // has not taken); false while it still fails.
    Q_INVOKABLE bool saveAgain();

    // For view models that wrote through the Defaults port themselves (the core's operations
    // do): everything bound re-reads.
    void notifyChanged(const QString& key);

    Defaults& defaults() { return defaults_; }

Q_SIGNALS:
    void changed(const QString& key);

private:
    Defaults& defaults_;
    int revision_ = 0;
    // The key of the last change the file did not take.
    std::optional<std::string> unsavedKey_;
};

} // namespace shell
} // namespace tessera
