#ifndef PROCESSING_TASKDISPATCHER_H
#define PROCESSING_TASKDISPATCHER_H

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "NuvrixHostExport.h"

namespace zvf {
class Task;
}

namespace Processing {

// A background worker thread with a FIFO queue: file writes, deferred
// notifications and timer callbacks run here, one at a time, in the order
// queued. Thread-safe.
class NUVRIX_HOST_API TaskDispatcher {
public:
    TaskDispatcher();
    ~TaskDispatcher();
    TaskDispatcher(const TaskDispatcher&) = delete;
    TaskDispatcher& operator=(const TaskDispatcher&) = delete;

    void enqueue(std::shared_ptr<zvf::Task> task);
    void enqueue(std::function<void()> function, const std::string& name);

    // Waits until the queue is empty and no task is running. Called on the
    // dispatcher thread itself it returns at once.
    void waitUntilIdle();

    // Tasks queued and not yet started.
    std::size_t pendingCount() const;

    // True on the dispatcher's own thread.
    bool isDispatcherThread() const;

    // Runs (runPending true) or drops the queued tasks, then stops the
    // thread; later enqueues are dropped. Idempotent.
    void shutdown(bool runPending = true);

private:
    class Impl;
    std::unique_ptr<Impl> impl;
};

}  // namespace Processing

#endif
