#pragma once

#include "core/platform/Scheduler.h"

struct _GMainContext;

namespace tessera {

// The main loop of the X11 build: GLib's, which Qt's event loop also runs on, so the command
// line's services and the application share one scheduler. Jobs run on the thread that iterates
// the context.
class GlibScheduler final : public Scheduler {
public:
    // The default main context when null.
    explicit GlibScheduler(_GMainContext* context = nullptr);
    ~GlibScheduler() override;
    GlibScheduler(const GlibScheduler&) = delete;
    GlibScheduler& operator=(const GlibScheduler&) = delete;

    void post(Job job) override;
    JobHandle after(double seconds, std::weak_ptr<const void> owner, Job job) override;
    JobHandle every(double seconds, Job job) override;
    JobHandle watch(int fileDescriptor, Job job) override;
    double now() const override;

private:
    _GMainContext* context_;
};

} // namespace tessera
