#include "GlibScheduler.h"

#include <glib-unix.h>
#include <glib.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

namespace tessera {

namespace {

// What one GLib source carries. GLib owns it from attach to the source's end.
struct Task {
    Scheduler::Job job;
    std::shared_ptr<bool> cancelled;
    std::optional<std::weak_ptr<const void>> owner;
    bool repeats = false;
};

gboolean runTask(gpointer data) {
    auto& task = *static_cast<Task*>(data);
    if (*task.cancelled) {
        return G_SOURCE_REMOVE;
    }
    if (task.owner && task.owner->expired()) {
        *task.cancelled = true;
        return G_SOURCE_REMOVE;
    }
    if (!task.repeats) {
        // A one-shot job is over once it starts: its handle stops being active.
        *task.cancelled = true;
    }
    // The job may cancel itself; keep it alive for the call.
    auto job = task.job;
    job();
    return task.repeats && !*task.cancelled ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void deleteTask(gpointer data) {
    std::unique_ptr<Task>(static_cast<Task*>(data));
}

gboolean runWatch(gint, GIOCondition, gpointer data) {
    return runTask(data);
}

JobHandle attach(GSource* source, GMainContext* context, Task task, bool unixFd = false) {
    auto cancelled = task.cancelled;
    auto owned = std::make_unique<Task>(std::move(task));
    if (unixFd) {
        g_source_set_callback(source, G_SOURCE_FUNC(runWatch), owned.release(), deleteTask);
    } else {
        g_source_set_callback(source, runTask, owned.release(), deleteTask);
    }
    g_source_attach(source, context);
    g_source_unref(source);
    return JobHandle(std::move(cancelled));
}

guint milliseconds(double seconds) {
    if (!(seconds > 0)) {
        return 0;
    }
    return static_cast<guint>(std::min(std::ceil(seconds * 1000.0), double(G_MAXUINT)));
}

} // namespace

GlibScheduler::GlibScheduler(GMainContext* context)
    : context_(context ? g_main_context_ref(context)
                       : g_main_context_ref(g_main_context_default())) {}

GlibScheduler::~GlibScheduler() {
    g_main_context_unref(context_);
}

void GlibScheduler::post(Job job) {
    attach(g_idle_source_new(), context_,
           Task{std::move(job), std::make_shared<bool>(false), std::nullopt, false});
}

JobHandle GlibScheduler::after(double seconds, std::weak_ptr<const void> owner, Job job) {
    return attach(g_timeout_source_new(milliseconds(seconds)), context_,
                  Task{std::move(job), std::make_shared<bool>(false), std::move(owner), false});
}

JobHandle GlibScheduler::every(double seconds, Job job) {
    // A zero interval would spin the loop; one millisecond is the finest GLib timer.
    return attach(g_timeout_source_new(std::max(1u, milliseconds(seconds))), context_,
                  Task{std::move(job), std::make_shared<bool>(false), std::nullopt, true});
}

JobHandle GlibScheduler::watch(int fileDescriptor, Job job) {
    auto* source = g_unix_fd_source_new(fileDescriptor,
                                        static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR));
    return attach(source, context_,
                  Task{std::move(job), std::make_shared<bool>(false), std::nullopt, true}, true);
}

double GlibScheduler::now() const {
    return static_cast<double>(g_get_monotonic_time()) / 1e6;
}

} // namespace tessera
