#include "SimScheduler.h"

#include <algorithm>
#include <cmath>

namespace tessera {

namespace {

// Far below any delay the application uses, far above the rounding of sums of them.
constexpr double tolerance = 1e-9;
constexpr double minimumInterval = 0.0001;

double sanitizedDelay(double seconds) {
    return std::isfinite(seconds) && seconds > 0 ? seconds : 0;
}

} // namespace

void SimScheduler::enqueue(double due, Entry entry) {
    queue_.emplace(Key{due, nextSequence_++}, std::move(entry));
}

void SimScheduler::post(Job job) {
    enqueue(now_, Entry{std::move(job), nullptr, std::nullopt});
}

JobHandle SimScheduler::after(double seconds, std::weak_ptr<const void> owner, Job job) {
    auto cancelled = std::make_shared<bool>(false);
    enqueue(now_ + sanitizedDelay(seconds), Entry{std::move(job), cancelled, std::move(owner)});
    return JobHandle(cancelled);
}

JobHandle SimScheduler::every(double seconds, Job job) {
    auto cancelled = std::make_shared<bool>(false);
    const double interval = std::max(sanitizedDelay(seconds), minimumInterval);
    Entry entry{std::move(job), cancelled, std::nullopt};
    entry.interval = interval;
    entry.start = now_;
    entry.fired = 0;
    enqueue(now_ + interval, std::move(entry));
    return JobHandle(cancelled);
}

JobHandle SimScheduler::watch(int fileDescriptor, Job job) {
    auto cancelled = std::make_shared<bool>(false);
    watches_.push_back({fileDescriptor, std::make_shared<Job>(std::move(job)), cancelled});
    return JobHandle(cancelled);
}

void SimScheduler::makeReadable(int fileDescriptor) {
    std::erase_if(watches_, [](const Watch& w) { return *w.cancelled; });
    for (const auto& w : watches_) {
        if (w.fileDescriptor != fileDescriptor) {
            continue;
        }
        // The watch may be cancelled before the loop gets to it; check again then.
        post([job = w.job, cancelled = w.cancelled] {
            if (!*cancelled) {
                (*job)();
            }
        });
    }
}

void SimScheduler::advance(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) {
        seconds = 0;
    }
    runUntil(now_ + seconds);
}

void SimScheduler::runPending() {
    runUntil(now_);
}

void SimScheduler::runUntil(double target) {
    while (!queue_.empty()) {
        auto first = queue_.begin();
        const double due = first->first.first;
        if (due > target + tolerance) {
            break;
        }
        Entry entry = std::move(first->second);
        queue_.erase(first);
        run(due, std::move(entry));
    }
    now_ = std::max(now_, target);
}

void SimScheduler::run(double due, Entry entry) {
    if (entry.cancelled && *entry.cancelled) {
        return;
    }
    now_ = std::max(now_, due);
    if (entry.interval > 0) {
        if (entry.job) {
            entry.job();
        }
        if (!*entry.cancelled) {
            entry.fired += 1;
            const double next = entry.start + static_cast<double>(entry.fired + 1) * entry.interval;
            enqueue(next, std::move(entry));
        }
        return;
    }
    if (entry.cancelled) {
        // Finished or dropped either way; the handle no longer names anything pending.
        *entry.cancelled = true;
    }
    std::shared_ptr<const void> keepAlive;
    if (entry.owner) {
        keepAlive = entry.owner->lock();
        if (!keepAlive) {
            return;
        }
    }
    if (entry.job) {
        entry.job();
    }
}

std::size_t SimScheduler::pendingCount() const {
    return static_cast<std::size_t>(std::count_if(queue_.begin(), queue_.end(), [](const auto& e) {
        return !e.second.cancelled || !*e.second.cancelled;
    }));
}

bool SimScheduler::isWatched(int fileDescriptor) const {
    return std::any_of(watches_.begin(), watches_.end(), [&](const Watch& w) {
        return w.fileDescriptor == fileDescriptor && !*w.cancelled;
    });
}

} // namespace tessera
