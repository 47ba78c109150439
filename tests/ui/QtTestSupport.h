#pragma once

// What the view-model tests share: a started shell, and signal counting (spy on a signal, act,
// and read how often it came, after the queued deliveries of the event loop have run).

#include "SimShell.h"

#include <QAnimationDriver>
#include <QCoreApplication>
#include <QQuickItem>
#include <QSignalSpy>
#include <QString>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <variant>

namespace tessera::test {

// Runs what the event loop has queued (view models announce state changes a turn later).
inline void processEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

inline QString qtext(const std::string& value) {
    return QString::fromStdString(value);
}

// The "ignoredApps" preference as stored.
inline std::string ignoredApps(const SimShell& sim) {
    const auto value = sim.defaults.object("ignoredApps");
    const auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
    return text ? *text : std::string("<unset>");
}

// A shell started on the simulated desktop, its first announcements delivered.
class ShellTest : public ::testing::Test {
protected:
    explicit ShellTest(SimShellOptions options = {}) : sim(std::move(options)) {
        sim.start();
        processEvents();
    }

    SimShell sim;
};

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
