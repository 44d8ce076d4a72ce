#ifndef UNIFIED_SERVICESDISPATCHER_H
#define UNIFIED_SERVICESDISPATCHER_H

#include <memory>

#include "NuvrixHostExport.h"

namespace zvf {
class Task;
}

namespace ZVFUnified {

// The single services thread on which business objects are updated, with a
// FIFO queue: tasks run one at a time in the order they were queued.
// Thread-safe. The two flags of enqueue/enqueueBlock are accepted for
// compatibility (the system always passes false, true) and do not change the
// order; `trace` logs the task's name at debug level when it runs.
class NUVRIX_HOST_API ServicesDispatcher {
public:
    ServicesDispatcher();
    ~ServicesDispatcher();
    ServicesDispatcher(const ServicesDispatcher&) = delete;
    ServicesDispatcher& operator=(const ServicesDispatcher&) = delete;

    // True only on the services thread.
    bool checkForUpdateAccess() const;
    // True on the services thread of any dispatcher: the update-access
    // check of business objects that were made without a factory.
    static bool isAnyServicesThread();

    // Queues the task and returns.
    void enqueue(std::shared_ptr<zvf::Task> task, bool urgent, bool trace);

    // Queues the task and waits until it has run. Called on the services
    // thread itself, runs the task at once instead (no self-deadlock).
    void enqueueBlock(std::shared_ptr<zvf::Task> task, bool urgent, bool trace);

    // Waits until the queue is empty and no task is running. Must not be
    // called on the services thread.
    void waitUntilIdle();

    // Runs what is queued, then stops the thread. Tasks queued afterwards
    // are dropped (an enqueueBlock after shutdown returns at once without
    // running its task). Idempotent.
    void shutdown();

private:
    class Impl;
    std::unique_ptr<Impl> impl;
};

}  // namespace ZVFUnified

#endif
