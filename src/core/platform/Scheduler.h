#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace tessera {

// A job scheduled on the main loop. Cancelling is idempotent and safe after the job has run;
// dropping the handle does not cancel.
class JobHandle {
public:
    JobHandle() = default;
    explicit JobHandle(std::shared_ptr<bool> cancelled) : cancelled_(std::move(cancelled)) {}
    void cancel() {
        if (cancelled_) {
            *cancelled_ = true;
        }
    }
    bool isActive() const { return cancelled_ && !*cancelled_; }

private:
    std::shared_ptr<bool> cancelled_;
};

// Everything runs on one thread; the scheduler is how work is deferred on it. In tests it is a
// virtual clock moved forward by hand, so nothing sleeps.
class Scheduler {
public:
    using Job = std::function<void()>;

    virtual ~Scheduler() = default;

    // Runs the job on a later turn of the main loop.
    virtual void post(Job job) = 0;
    // Runs the job once after the delay, unless cancelled. The owner is held weakly: a job
    // whose owner is gone by then does not run.
    virtual JobHandle after(double seconds, std::weak_ptr<const void> owner, Job job) = 0;
    // Runs the job every interval until cancelled.
    virtual JobHandle every(double seconds, Job job) = 0;
    // Calls the job whenever the file descriptor is readable, until cancelled.
    virtual JobHandle watch(int fileDescriptor, Job job) = 0;
    // A monotonic clock in seconds.
    virtual double now() const = 0;
};

} // namespace tessera
