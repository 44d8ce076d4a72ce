#ifndef HOST_SRC_DISPATCHQUEUE_H
#define HOST_SRC_DISPATCHQUEUE_H

#include <cstddef>
#include <memory>
#include <string>

namespace zvf {
class Task;
}

namespace nuvrixhost {

// One worker thread running tasks from a FIFO queue, one at a time: the
// engine of both the services dispatcher and the task dispatcher. An
// exception escaping a task is caught and logged; the thread goes on.
// Thread-safe. The thread's state is shared with the thread itself, so that
// the last owner may even let go of the queue from inside one of its tasks.
class DispatchQueue {
public:
    explicit DispatchQueue(const std::string& name);
    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    // Queues the task; false (task dropped, logged) after shutdown.
    bool enqueue(std::shared_ptr<zvf::Task> task, bool trace);
    // Queues the task and waits until it has run; runs it at once on the
    // queue's own thread. False, without running it, after shutdown.
    bool enqueueAndWait(std::shared_ptr<zvf::Task> task, bool trace);

    void waitUntilIdle();
    std::size_t pendingCount() const;
    bool isOwnThread() const;

    // Runs or drops what is queued, then stops and joins the thread (on its
    // own thread it only asks the thread to stop). Idempotent.
    void shutdown(bool runPending);

private:
    struct State;
    std::shared_ptr<State> state;
};

}  // namespace nuvrixhost

#endif
