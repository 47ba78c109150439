#include "SingleInstance.h"

#include <QLocalSocket>

#include <unistd.h>

namespace tessera::shell {

namespace {
constexpr int answerMilliseconds = 2000;
const QByteArray activate = QByteArrayLiteral("activate\n");
} // namespace

QString SingleInstance::socketName(const QString& display) {
    QString cleaned = display;
    cleaned.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("tessera-%1-%2").arg(::getuid()).arg(cleaned);
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (auto* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(activate.trimmed())) {
                    socket->write("ok\n");
                    socket->flush();
                    Q_EMIT activationRequested();
                }
            });
        }
    });
}

bool SingleInstance::claim() {
    QLocalSocket other;
    other.connectToServer(name_);
    if (other.waitForConnected(answerMilliseconds)) {
        other.write(activate);
        other.flush();
        other.waitForReadyRead(answerMilliseconds);
        return false;
    }
    // Nobody answers: whatever is left at the name belongs to an instance that has ended.
    QLocalServer::removeServer(name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(name_);
}

} // namespace tessera::shell
