#pragma once

// Signal counting for view-model tests: spy on a signal, act, and read how often it came,
// after the queued deliveries of the event loop have run.

#include <QAnimationDriver>
#include <QCoreApplication>
#include <QQuickItem>
#include <QSignalSpy>

#include <utility>

namespace tessera::test {

// Runs what the event loop has queued (view models announce state changes a turn later).
inline void processEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// How many times the signal came while act ran (queued deliveries included).
template <typename Object, typename Signal, typename Act>
int emissions(Object* object, Signal signal, Act&& act) {
    QSignalSpy spy(object, signal);
    std::forward<Act>(act)();
    processEvents();
    return static_cast<int>(spy.count());
}

// The drawn item of that object name at or under `item`: delegates of a Repeater and pop-up
// contents aren't QObject children of the window, so the item tree is walked instead.
inline QQuickItem* findItem(QQuickItem* item, const QString& name) {
    if (item->objectName() == name) {
        return item;
    }
    for (auto* child : item->childItems()) {
        if (auto* found = findItem(child, name)) {
            return found;
        }
    }
    return nullptr;
}

// Qt's animation clock, moved by hand one 60 Hz frame at a time.
class FrameClock final : public QAnimationDriver {
public:
    FrameClock() { install(); }
    ~FrameClock() override { uninstall(); }
    FrameClock(const FrameClock&) = delete;
    FrameClock& operator=(const FrameClock&) = delete;

    static constexpr qint64 frame = 16;
    void advance() override {
        elapsed_ += frame;
        advanceAnimation();
    }
    qint64 elapsed() const override { return elapsed_; }

private:
    qint64 elapsed_ = 0;
};

} // namespace tessera::test
