#pragma once

#include "SimShell.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace tessera::test {

// What QML tests may do to the simulated desktop behind the shell (as "sim").
class SimControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(int quitRequests READ quitRequests)
public:
    explicit SimControl(SimShell& shell, QObject* parent = nullptr)
        : QObject(parent), shell_(shell) {}

    int quitRequests() const { return shell_.quitRequests; }

    // Runs the delayed jobs of the next seconds on the virtual clock.
    Q_INVOKABLE void advance(double seconds) { shell_.scheduler.advance(seconds); }
    Q_INVOKABLE void runPending() { shell_.scheduler.runPending(); }
    // Changes the permissions; the state sees them at the next poll.
    Q_INVOKABLE void setPermissions(bool accessibility, bool inputMonitoring) {
        shell_.desktop.setTrusted(accessibility);
        shell_.input.setListenEventAccess(inputMonitoring);
        shell_.scheduler.advance(2);
    }

    // Relaunches the application asked for (the process goes on).
    Q_INVOKABLE int relaunchRequests() const {
        return static_cast<int>(shell_.services.count(SimAppServices::Call::relaunch));
    }
    // Addresses handed to the desktop to open, oldest first.
    Q_INVOKABLE QStringList openedURLs() const {
        QStringList urls;
        for (const auto& url : shell_.desktop.openedURLs()) {
            urls.append(QString::fromStdString(url));
        }
        return urls;
    }
    // A path in the test's own folder, for files a test writes and reads.
    Q_INVOKABLE QString tempFile(const QString& name) const {
        return QString::fromStdString((shell_.temp.path() / name.toStdString()).string());
    }
    // From now on the system refuses every change of the login item (empty: it allows them).
    Q_INVOKABLE void refuseLoginItemChanges(const QString& reason) {
        shell_.loginItem.refuseChanges(reason.isEmpty() ? std::nullopt
                                                        : std::optional(reason.toStdString()));
    }

private:
    SimShell& shell_;
};

} // namespace tessera::test
