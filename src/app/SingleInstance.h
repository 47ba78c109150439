#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace tessera::shell {

// One Tessera per user and display. The first instance listens on a local socket; a later one
// finds it there, asks it to bring its window forward and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The socket name for this user and display.
    static QString socketName(const QString& display);

    explicit SingleInstance(QString name, QObject* parent = nullptr);

    // True when this process is now the one instance; false when another one answered (and was
    // asked to come forward). A socket left by an instance that crashed is taken over.
    bool claim();

Q_SIGNALS:
    // Another launch asked this instance to come forward.
    void activationRequested();

private:
    QString name_;
    QLocalServer server_;
};

} // namespace tessera::shell
