#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimLocalizer.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimScheduler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tessera {
namespace {

using ::testing::ElementsAre;

// Records what ran and when, so ordering and timing are checked together.
struct Trace {
    struct Run {
        std::string name;
        double time;
        friend bool operator==(const Run&, const Run&) = default;
    };
    std::vector<Run> runs;

    Scheduler::Job job(const Scheduler& scheduler, std::string name) {
        return [this, &scheduler, name = std::move(name)] {
            runs.push_back({name, scheduler.now()});
        };
    }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& r : runs) {
            result.push_back(r.name);
        }
        return result;
    }
};

std::ostream& operator<<(std::ostream& os, const Trace::Run& run) {
    return os << run.name << "@" << run.time;
}

class SimSchedulerTest : public ::testing::Test {
protected:
    SimScheduler scheduler;
    Trace trace;
    std::shared_ptr<int> owner = std::make_shared<int>(0);
};

TEST_F(SimSchedulerTest, PostedJobsWaitForTheLoopAndRunInPostingOrder) {
    scheduler.post(trace.job(scheduler, "a"));
    scheduler.post(trace.job(scheduler, "b"));
    EXPECT_TRUE(trace.runs.empty());

    scheduler.runPending();
    EXPECT_THAT(trace.runs, ElementsAre(Trace::Run{"a", 0}, Trace::Run{"b", 0}));
    EXPECT_EQ(scheduler.now(), 0);

    // A job posted by a job still runs in the same pass, after the ones already waiting.
    trace.runs.clear();
    scheduler.post([&] {
        trace.runs.push_back({"outer", scheduler.now()});
        scheduler.post(trace.job(scheduler, "inner"));
    });
    scheduler.post(trace.job(scheduler, "second"));
    scheduler.runPending();
    EXPECT_THAT(trace.names(), ElementsAre("outer", "second", "inner"));
}

TEST_F(SimSchedulerTest, DelayedJobsRunInDueOrderWithTiesInSchedulingOrder) {
    scheduler.after(2.0, owner, trace.job(scheduler, "late"));
    scheduler.after(0.5, owner, trace.job(scheduler, "tie1"));
    scheduler.after(1.0, owner, trace.job(scheduler, "early"));
    scheduler.after(0.5, owner, trace.job(scheduler, "tie2"));
    scheduler.post(trace.job(scheduler, "posted"));

    scheduler.runPending();
    EXPECT_THAT(trace.names(), ElementsAre("posted"));

    scheduler.advance(0.49);
    EXPECT_EQ(trace.runs.size(), 1u) << "nothing is due before 0.5";

    scheduler.advance(1.0);
    EXPECT_THAT(trace.runs, ElementsAre(Trace::Run{"posted", 0}, Trace::Run{"tie1", 0.5},
                                        Trace::Run{"tie2", 0.5}, Trace::Run{"early", 1.0}));
    EXPECT_DOUBLE_EQ(scheduler.now(), 1.49);

    scheduler.advance(0.51);
    EXPECT_EQ(trace.runs.back(), (Trace::Run{"late", 2.0}));
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(SimSchedulerTest, JobsScheduledFromJobsRunAtTheirOwnTimeWithinOneAdvance) {
    scheduler.after(1.0, owner, [&] {
        trace.runs.push_back({"first", scheduler.now()});
        scheduler.after(2.0, owner, trace.job(scheduler, "chained"));
        scheduler.post(trace.job(scheduler, "posted"));
    });
    scheduler.after(1.5, owner, trace.job(scheduler, "between"));

    scheduler.advance(5);
    EXPECT_THAT(trace.runs, ElementsAre(Trace::Run{"first", 1.0}, Trace::Run{"posted", 1.0},
                                        Trace::Run{"between", 1.5}, Trace::Run{"chained", 3.0}));
    EXPECT_EQ(scheduler.now(), 5);
}

TEST_F(SimSchedulerTest, DecimalDelaysMeetTheAdvanceThatAddsUpToThem) {
    ASSERT_GT(0.1 + 0.2, 0.3); // the follow-up below falls due a hair after 0.3
    scheduler.after(0.1, owner, [&] {
        trace.runs.push_back({"first", scheduler.now()});
        scheduler.after(0.2, owner, trace.job(scheduler, "follow-up"));
    });
    scheduler.advance(0.3);
    ASSERT_EQ(trace.names(), (std::vector<std::string>{"first", "follow-up"}));
    EXPECT_EQ(trace.runs[1].time, 0.1 + 0.2) << "the job still sees its exact due time";
    EXPECT_GE(scheduler.now(), 0.3);
}

TEST_F(SimSchedulerTest, OwnerIsHeldWeakly) {
    auto shortLived = std::make_shared<int>(1);
    auto dropped = scheduler.after(1, shortLived, trace.job(scheduler, "owner gone"));
    scheduler.after(1, owner, trace.job(scheduler, "owner alive"));
    auto ownerless = scheduler.after(1, {}, trace.job(scheduler, "no owner"));
    shortLived.reset();

    scheduler.advance(1);
    EXPECT_THAT(trace.names(), ElementsAre("owner alive"));
    EXPECT_FALSE(dropped.isActive());
    EXPECT_FALSE(ownerless.isActive());

    // The owner stays alive for the whole job even if the job lets go of the last other
    // reference to it.
    auto holder = std::make_shared<std::shared_ptr<int>>(std::make_shared<int>(7));
    std::weak_ptr<int> watched = *holder;
    bool aliveDuringJob = false;
    scheduler.after(1, *holder, [&] {
        holder->reset();
        aliveDuringJob = !watched.expired();
    });
    scheduler.advance(1);
    EXPECT_TRUE(aliveDuringJob);
    EXPECT_TRUE(watched.expired());
}

TEST_F(SimSchedulerTest, CancellingWorksBeforeAndIsHarmlessAfter) {
    auto cancelled = scheduler.after(1, owner, trace.job(scheduler, "cancelled"));
    auto kept = scheduler.after(1, owner, trace.job(scheduler, "kept"));
    EXPECT_TRUE(cancelled.isActive());
    EXPECT_EQ(scheduler.pendingCount(), 2u);

    cancelled.cancel();
    EXPECT_FALSE(cancelled.isActive());
    EXPECT_EQ(scheduler.pendingCount(), 1u);

    scheduler.advance(2);
    EXPECT_THAT(trace.names(), ElementsAre("kept"));
    EXPECT_FALSE(kept.isActive()) << "a job that has run is no longer pending";

    kept.cancel();
    cancelled.cancel();
    JobHandle empty;
    empty.cancel();
    EXPECT_FALSE(empty.isActive());
    scheduler.advance(5);
    EXPECT_THAT(trace.names(), ElementsAre("kept"));

    // A job may cancel another one that is due at the same moment.
    JobHandle victim;
    scheduler.after(1, owner, [&] { victim.cancel(); });
    victim = scheduler.after(1, owner, trace.job(scheduler, "victim"));
    scheduler.advance(1);
    EXPECT_THAT(trace.names(), ElementsAre("kept"));
}

TEST_F(SimSchedulerTest, RepeatingTimerFiresOncePerIntervalCrossed) {
    auto timer = scheduler.every(1.5, trace.job(scheduler, "tick"));

    scheduler.advance(4.6);
    EXPECT_THAT(trace.runs, ElementsAre(Trace::Run{"tick", 1.5}, Trace::Run{"tick", 3.0},
                                        Trace::Run{"tick", 4.5}));
    EXPECT_TRUE(timer.isActive());

    // Fourteen steps of 0.1 add up to a hair below 6.0; the tick due at 6.0 still comes.
    for (int i = 0; i < 14; ++i) {
        scheduler.advance(0.1);
    }
    ASSERT_EQ(trace.runs.size(), 4u);
    EXPECT_EQ(trace.runs.back(), (Trace::Run{"tick", 6.0}));

    timer.cancel();
    scheduler.advance(10);
    EXPECT_EQ(trace.runs.size(), 4u);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(SimSchedulerTest, RepeatingTimerCanStopItselfAndShrugsOffBadIntervals) {
    int ticks = 0;
    JobHandle timer;
    timer = scheduler.every(1, [&] {
        if (++ticks == 2) {
            timer.cancel();
        }
    });
    scheduler.advance(10);
    EXPECT_EQ(ticks, 2);

    // A zero or negative interval must not spin forever at one instant.
    int fast = 0;
    auto zero = scheduler.every(0, [&] { ++fast; });
    auto negative = scheduler.every(-3, [&] { ++fast; });
    scheduler.advance(0.001);
    EXPECT_GT(fast, 0);
    EXPECT_LE(fast, 20);
    zero.cancel();
    negative.cancel();
}

TEST_F(SimSchedulerTest, ClockNeverGoesBack) {
    scheduler.advance(2);
    scheduler.advance(-1);
    EXPECT_EQ(scheduler.now(), 2);
    scheduler.after(-5, owner, trace.job(scheduler, "negative delay"));
    scheduler.runPending();
    EXPECT_THAT(trace.runs, ElementsAre(Trace::Run{"negative delay", 2}));
}

TEST_F(SimSchedulerTest, WatchesRunWhenTheirDescriptorBecomesReadable) {
    auto first = scheduler.watch(5, trace.job(scheduler, "first on 5"));
    auto other = scheduler.watch(6, trace.job(scheduler, "on 6"));
    auto second = scheduler.watch(5, trace.job(scheduler, "second on 5"));
    EXPECT_TRUE(scheduler.isWatched(5));

    scheduler.makeReadable(5);
    EXPECT_TRUE(trace.runs.empty()) << "watches run on a later turn of the loop";
    scheduler.runPending();
    EXPECT_THAT(trace.names(), ElementsAre("first on 5", "second on 5"));

    // Cancelled between the data arriving and the loop turning: not called.
    scheduler.makeReadable(5);
    first.cancel();
    scheduler.advance(1);
    EXPECT_THAT(trace.names(), ElementsAre("first on 5", "second on 5", "second on 5"));

    second.cancel();
    EXPECT_FALSE(scheduler.isWatched(5));
    scheduler.makeReadable(5);
    scheduler.runPending();
    EXPECT_EQ(trace.runs.size(), 3u);
    EXPECT_TRUE(scheduler.isWatched(6));
}

TEST(SimDefaultsTest, StoredValuesWinAndRegisteredOnesAnswerTheRest) {
    SimDefaults defaults;
    defaults.registerDefaults({{"windowGap", 0.0}, {"snapOnDrag", true}});
    defaults.registerDefaults({{"windowGap", 8.0}}); // a later registration replaces the value

    EXPECT_EQ(defaults.object("windowGap"), DefaultsValue(8.0));
    EXPECT_EQ(defaults.object("snapOnDrag"), DefaultsValue(true));
    EXPECT_EQ(defaults.object("never"), std::nullopt);
    EXPECT_TRUE(defaults.persistentDomain().empty()) << "registered values are never stored";

    EXPECT_TRUE(defaults.set("snapOnDrag", false));
    EXPECT_EQ(defaults.object("snapOnDrag"), DefaultsValue(false));
    EXPECT_EQ(defaults.persistentDomain(), (DefaultsDomain{{"snapOnDrag", false}}));

    EXPECT_TRUE(defaults.remove("snapOnDrag"));
    EXPECT_EQ(defaults.object("snapOnDrag"), DefaultsValue(true));
    EXPECT_TRUE(defaults.remove("snapOnDrag")) << "removing an absent key is not an error";
    EXPECT_TRUE(defaults.lastError().empty());
}

TEST(SimDefaultsTest, InjectedWriteFailuresAreReportedAndCounted) {
    SimDefaults defaults({{"appLanguage", std::string("de")}});
    EXPECT_EQ(defaults.object("appLanguage"), DefaultsValue(std::string("de")));

    defaults.failWrites(true);
    EXPECT_FALSE(defaults.set("windowGap", std::int64_t{12}));
    EXPECT_FALSE(defaults.lastError().empty());
    EXPECT_FALSE(defaults.remove("appLanguage"));
    // As with a real store, the session keeps the new state even though it is not durable.
    EXPECT_EQ(defaults.object("windowGap"), DefaultsValue(std::int64_t{12}));
    EXPECT_EQ(defaults.object("appLanguage"), std::nullopt);

    defaults.failWrites(false);
    EXPECT_TRUE(defaults.set("ignoredApps", std::string("a\nb")));
    EXPECT_TRUE(defaults.lastError().empty()) << "a later success clears the old reason";
    EXPECT_EQ(defaults.writeCount(), 3u);
}

TEST(SimDisplaysTest, ChangesReachSubscribersUntilTheyDisconnect) {
    SimDisplays displays(simscreens::single());
    int first = 0;
    std::size_t seenCount = 0;
    auto a = displays.onChange([&] { ++first; });
    auto b = displays.onChange([&] { seenCount = displays.screens().size(); });

    displays.setScreens(simscreens::sideBySide());
    EXPECT_EQ(first, 1);
    EXPECT_EQ(seenCount, 2u) << "subscribers see the new list";

    displays.setScreens(simscreens::sideBySide());
    EXPECT_EQ(first, 2) << "a repeated configuration is still announced";

    a.disconnect();
    displays.setScreens(simscreens::single());
    EXPECT_EQ(first, 2);
    EXPECT_EQ(seenCount, 1u);

    {
        auto scoped = displays.onChange([&] { ++first; });
    }
    displays.setScreens(simscreens::stacked());
    EXPECT_EQ(first, 2) << "a dropped connection ends its subscription";

    displays.setMouseLocation({100, 200});
    EXPECT_EQ(displays.mouseLocation(), (Point{100, 200}));
}

TEST(SimDisplaysTest, ArrangementsAreConsistentDesktops) {
    const std::vector<std::vector<SystemDisplay>> arrangements = {
        simscreens::single(), simscreens::sideBySide(), simscreens::negativeOrigin(),
        simscreens::stacked(), simscreens::withPortrait()};
    for (const auto& screens : arrangements) {
        ASSERT_FALSE(screens.empty());
        EXPECT_EQ(&primaryDisplay(screens), &screens.front());
        std::set<std::string> ids;
        for (std::size_t i = 0; i < screens.size(); ++i) {
            const auto& d = screens[i];
            ids.insert(makeScreenInfo(d).id);
            EXPECT_GE(d.visibleFrame.minX(), d.frame.minX());
            EXPECT_GE(d.visibleFrame.minY(), d.frame.minY());
            EXPECT_LE(d.visibleFrame.maxX(), d.frame.maxX());
            EXPECT_LE(d.visibleFrame.maxY(), d.frame.maxY());
            for (std::size_t j = i + 1; j < screens.size(); ++j) {
                const auto& e = screens[j];
                const bool apart =
                    d.frame.maxX() <= e.frame.minX() || e.frame.maxX() <= d.frame.minX() ||
                    d.frame.maxY() <= e.frame.minY() || e.frame.maxY() <= d.frame.minY();
                EXPECT_TRUE(apart) << d.name << " overlaps " << e.name;
            }
        }
        EXPECT_EQ(ids.size(), screens.size()) << "each display has its own identifier";
    }
    EXPECT_LT(simscreens::negativeOrigin()[1].frame.minX(), 0);
    EXPECT_TRUE(makeScreenInfo(simscreens::withPortrait()[1]).isPortrait());
    // The menu bar takes the top of the primary display, in the bottom-left system.
    const auto primary = simscreens::single()[0];
    EXPECT_EQ(primary.visibleFrame, (Rect{0, 0, 1440, 875}));
}

TEST(SimLogTest, CapturesLinesInOrderWithCategoryAndLevel) {
    SimLog log;
    Log& port = log;
    port.write("drag", LogLevel::error, "event tap not created");
    port.write("store", LogLevel::info, "loaded");
    port.write("drag", LogLevel::debug, "drop without zone, overlay shown: false");

    EXPECT_THAT(log.lines(), ElementsAre(LogLine{"drag", LogLevel::error, "event tap not created"},
                                         LogLine{"store", LogLevel::info, "loaded"},
                                         LogLine{"drag", LogLevel::debug,
                                                 "drop without zone, overlay shown: false"}));
    EXPECT_THAT(log.messages("drag"),
                ElementsAre("event tap not created", "drop without zone, overlay shown: false"));
    log.clear();
    EXPECT_TRUE(log.lines().empty());
}

TEST(SimLocalizerTest, UsesTheShippedTables) {
    const auto english = makeSimLocalizer();
    EXPECT_EQ(english.language(), "en");
    EXPECT_EQ(english.localized("Fill Screen"), "Fill Screen");
    const auto german = makeSimLocalizer("de");
    EXPECT_EQ(german.localized("Fill Screen"), german.lookup("Fill Screen", "de"));
    EXPECT_NE(german.localized("Fill Screen"), "Fill Screen");
    EXPECT_EQ(german.localized("no such key at all"), "no such key at all");
}

} // namespace
} // namespace tessera
