#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <functional>
#include <utility>

namespace tessera::shell {

// Runs an action once, on the next turn of the event loop, however often it is requested before
// then. The core announces a change before making it, so a view model that reads the new values
// must wait a turn; several changes in one turn become one update.
class NextTurn {
public:
    NextTurn(QObject* context, std::function<void()> action)
        : context_(context), action_(std::move(action)) {}

    void request() {
        if (pending_ || context_.isNull()) {
            return;
        }
        pending_ = true;
        QMetaObject::invokeMethod(
            context_.data(),
            [this] {
                pending_ = false;
                action_();
            },
            Qt::QueuedConnection);
    }

private:
    QPointer<QObject> context_;
    std::function<void()> action_;
    bool pending_ = false;
};

} // namespace tessera::shell
