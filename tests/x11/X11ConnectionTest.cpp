// The main loop of the X11 build: GLib's scheduler, and the connection's event source on it.
// Real time passes here, so every wait is for a condition, bounded by a deadline that only a
// fault reaches.

#include "XServerFixture.h"

#include "platform/x11/GlibScheduler.h"
#include "platform/x11/X11Connection.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <memory>
#include <string>
#include <vector>

namespace tessera::x11test {
namespace {

// Turns the default main context until the condition holds; false when the deadline passes
// first. A timer wakes the loop at the deadline, so a loop with nothing to do cannot hang here.
bool iterateUntil(const std::function<bool()>& condition, double seconds = 5) {
    bool late = false;
    const auto timer = g_timeout_add(
        static_cast<guint>(seconds * 1000),
        [](gpointer flag) {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &late);
    while (!condition() && !late) {
        g_main_context_iteration(nullptr, TRUE);
    }
    if (late) {
        // Whatever the timer's turn delivered came too late.
        return false;
    }
    g_source_remove(timer);
    return true;
}

TEST(GlibSchedulerTest, JobsRunInOrderAfterTheirTimeUntilCancelledOrTheirOwnerGone) {
    GlibScheduler scheduler;
    std::vector<int> ran;
    scheduler.post([&] { ran.push_back(1); });
    scheduler.post([&] {
        ran.push_back(2);
        // Posted from inside a job: after everything posted before it.
        scheduler.post([&] { ran.push_back(4); });
    });
    scheduler.post([&] { ran.push_back(3); });
    EXPECT_TRUE(ran.empty());
    ASSERT_TRUE(iterateUntil([&] { return ran.size() == 4; }));
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4}));

    auto owner = std::make_shared<int>(0);
    const double start = scheduler.now();
    double ranAt = -1;
    bool shortRan = false;
    auto handle = scheduler.after(0.05, owner, [&] { ranAt = scheduler.now(); });
    auto cancelled = scheduler.after(0.01, owner, [&] { shortRan = true; });
    scheduler.after(0.01, std::make_shared<int>(0), [&] { shortRan = true; });
    cancelled.cancel();
    int count = 0;
    JobHandle repeating;
    repeating = scheduler.every(0.001, [&] {
        if (++count == 3) {
            repeating.cancel();
        }
    });
    EXPECT_TRUE(handle.isActive());
    ASSERT_TRUE(iterateUntil([&] { return ranAt >= 0; }));
    EXPECT_GE(ranAt - start, 0.05 - 0.002);
    // A one-shot job's handle goes inactive once it has run; the short jobs were due well
    // before, and the repeating one many intervals ago.
    EXPECT_FALSE(handle.isActive());
    EXPECT_FALSE(shortRan);
    EXPECT_EQ(count, 3);
    EXPECT_FALSE(repeating.isActive());
}

TEST(X11ConnectionTest, EventsReachTheHandlersInOrderAndALostServerIsReportedOnceWithoutSpinning) {
    auto server = std::make_unique<XServer>(ServerOptions{1920, 1080, false, {}});
    std::string error;
    auto connection = X11Connection::open(server->display(), error);
    ASSERT_TRUE(connection) << error;
    connection->selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE);
    const auto first = connection->atom("_TESSERA_TEST_FIRST");
    const auto second = connection->atom("_TESSERA_TEST_SECOND");
    const auto third = connection->atom("_TESSERA_TEST_THIRD");
    connection->sync();
    const auto change = [&](XAtom atom) {
        const std::uint32_t value = 1;
        xcb_change_property(server->connection(), XCB_PROP_MODE_REPLACE, server->root(), atom,
                            XCB_ATOM_CARDINAL, 32, 1, &value);
        server->sync();
    };
    change(first);
    change(second);

    const auto atomOf = [](const X11Event& event) {
        return event.responseType == XCB_PROPERTY_NOTIFY
                   ? event.as<xcb_property_notify_event_t>().atom
                   : XAtom{0};
    };
    // Observers of reading see the events before any handler does, in order.
    std::vector<XAtom> read;
    auto observer = connection->onEventRead([&](const X11Event& event) {
        if (const auto atom = atomOf(event); atom == first || atom == second) {
            read.push_back(atom);
        }
    });
    EXPECT_TRUE(
        connection->waitForEvent([&](const X11Event& e) { return atomOf(e) == second; }, 5));
    EXPECT_EQ(read, (std::vector<XAtom>{first, second}));
    EXPECT_FALSE(
        connection->waitForEvent([&](const X11Event& e) { return atomOf(e) == second; }, 0.05));

    std::vector<XAtom> delivered;
    auto subscription = connection->onEvent([&](const X11Event& event) {
        if (const auto atom = atomOf(event); atom != 0) {
            delivered.push_back(atom);
        }
    });
    connection->dispatchPending();
    EXPECT_EQ(delivered, (std::vector<XAtom>{first, second}));

    // The main loop must deliver an event that xcb read while a port waited for a reply: it
    // sits in xcb's queue, the socket stays quiet, and a loop that only polled the socket would
    // never wake.
    connection->attachToMainContext();
    change(third);
    connection->sync();
    ASSERT_TRUE(iterateUntil([&] { return delivered.size() == 3; }, 2));
    EXPECT_EQ(delivered.back(), third);

    int lost = 0;
    auto lostSubscription = connection->onConnectionLost([&] { ++lost; });
    server.reset();
    ASSERT_TRUE(iterateUntil([&] { return lost > 0; }));
    // Once reported, a dead socket must not keep the loop busy: a short timer still fires after
    // only a handful of turns.
    int turns = 0;
    bool fired = false;
    g_timeout_add(
        20,
        [](gpointer flag) {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &fired);
    while (!fired && turns < 1000) {
        g_main_context_iteration(nullptr, TRUE);
        ++turns;
    }
    EXPECT_TRUE(fired);
    EXPECT_LT(turns, 50);
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(connection->isConnected());
}

} // namespace
} // namespace tessera::x11test
