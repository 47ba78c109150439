#pragma once

#include "core/platform/Scheduler.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace tessera {

// A virtual clock that only the test moves. Rules the tests build on:
// - jobs run in order of due time, jobs due at the same time in the order they were scheduled;
// - inside a job, now() is exactly that job's due time;
// - a job scheduled from inside a job runs at its own due time within the same advance();
// - a repeating timer fires once for every interval crossed, at start + k × interval;
// - a delayed job whose owner is gone (or that was given no owner) is dropped unrun;
// - a one-shot job's handle stops being active once the job has run or been dropped.
// Times within a nanosecond of the target count as reached, so sums of decimal delays such as
// 0.1 + 0.2 still meet an advance(0.3).
class SimScheduler final : public Scheduler {
public:
    void post(Job job) override;
    JobHandle after(double seconds, std::weak_ptr<const void> owner, Job job) override;
    // Intervals below 0.1 ms are raised to it, as the platform timers do.
    JobHandle every(double seconds, Job job) override;
    JobHandle watch(int fileDescriptor, Job job) override;
    double now() const override { return now_; }

    // Moves the clock forward by the given time (negative or not-a-number: not at all), running
    // everything that falls due on the way.
    void advance(double seconds);
    // Runs what is due now, including what those jobs post, without moving the clock.
    void runPending();
    // Data arrived: each live watch of the descriptor is called once, on the next
    // runPending() or advance().
    void makeReadable(int fileDescriptor);

    // Scheduled jobs that are neither cancelled nor dropped yet (repeating timers count once).
    std::size_t pendingCount() const;
    bool isWatched(int fileDescriptor) const;

private:
    struct Entry {
        Job job;
        std::shared_ptr<bool> cancelled;
        std::optional<std::weak_ptr<const void>> owner;
        // Repeating timers only: due time = start + fired × interval.
        double interval = 0;
        double start = 0;
        std::uint64_t fired = 0;
    };
    struct Watch {
        int fileDescriptor = -1;
        std::shared_ptr<Job> job;
        std::shared_ptr<bool> cancelled;
    };
    using Key = std::pair<double, std::uint64_t>;

    void enqueue(double due, Entry entry);
    void runUntil(double target);
    void run(double due, Entry entry);

    double now_ = 0;
    std::uint64_t nextSequence_ = 0;
    std::map<Key, Entry> queue_;
    std::vector<Watch> watches_;
};

} // namespace tessera
