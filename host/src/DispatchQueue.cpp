#include "DispatchQueue.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "logging/ZVFLogger.h"
#include "zvf/Task.h"

namespace nuvrixhost {

namespace {

ZVFLogger* logger = ZVFLogger_getLogger("Host-DispatchQueue");

// Set on a worker thread to the state it serves.
thread_local const void* currentQueue = nullptr;

// How long an idle worker watches for more work before it sleeps: bursts of
// small tasks (thousands of change reports at start) then cost no wake-up
// per task on either thread. Some tens of microseconds.
constexpr int kIdleSpins = 128;

inline void spinPause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// Completion of a task whose caller waits for it.
struct Completion {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;

    void signal() {
        std::lock_guard<std::mutex> guard(lock);
        finished = true;
        done.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> guard(lock);
        done.wait(guard, [this] { return finished; });
    }
};

struct Item {
    std::shared_ptr<zvf::Task> task;
    bool trace;
    std::shared_ptr<Completion> completion;  // empty unless someone waits
};

std::string taskName(const zvf::Task& task) {
    try {
        return task.name();
    } catch (...) {
        return "?";
    }
}

}  // namespace

struct DispatchQueue::State {
    explicit State(const std::string& queueName) : name(queueName) {}

    const std::string name;
    mutable std::mutex lock;          // guards everything below
    std::condition_variable wakeWorker;
    std::condition_variable idleChanged;
    std::deque<Item> queue;
    std::atomic<std::size_t> queued{0};  // queue.size(), readable without the lock
    bool workerWaiting = false;       // the worker sleeps on wakeWorker
    bool running = false;             // a task is executing
    bool stopping = false;            // no more enqueues; worker ends when queue is empty
    bool finished = false;            // the worker has left its loop
    std::thread worker;

    // Queues item; false, with a log line, once the queue is shut down.
    bool pushLocked(Item item) {
        if (stopping) {
            ZVFLog(logger, 3, __FILE__, __LINE__, __func__, name + " is shut down; dropped task " + taskName(*item.task));
            return false;
        }
        queue.push_back(std::move(item));
        queued.store(queue.size(), std::memory_order_relaxed);
        if (workerWaiting) {
            wakeWorker.notify_one();
        }
        return true;
    }

    void runItem(Item& item) {
        if (item.trace && ZVFLog_isDebugEnabled(logger)) {
            ZVFLog(logger, 5, __FILE__, __LINE__, __func__, name + " runs " + taskName(*item.task));
        }
        try {
            item.task->execute();
        } catch (const std::exception& error) {
            ZVFLog(logger, 2, __FILE__, __LINE__, __func__,
                   name + ": task " + taskName(*item.task) + " threw: " + error.what());
        } catch (...) {
            ZVFLog(logger, 2, __FILE__, __LINE__, __func__,
                   name + ": task " + taskName(*item.task) + " threw a non-standard exception");
        }
        if (item.completion) {
            item.completion->signal();
        }
    }

    static void loop(std::shared_ptr<State> self) {
        currentQueue = self.get();
        std::unique_lock<std::mutex> guard(self->lock);
        for (;;) {
            if (self->queue.empty() && !self->stopping) {
                guard.unlock();
                for (int spin = 0; spin < kIdleSpins && self->queued.load(std::memory_order_relaxed) == 0; ++spin) {
                    spinPause();
                }
                guard.lock();
                self->workerWaiting = true;
                self->wakeWorker.wait(guard, [&] { return self->stopping || !self->queue.empty(); });
                self->workerWaiting = false;
            }
            if (self->queue.empty()) {
                break;  // stopping and nothing left
            }
            Item item = std::move(self->queue.front());
            self->queue.pop_front();
            self->queued.store(self->queue.size(), std::memory_order_relaxed);
            self->running = true;
            guard.unlock();
            self->runItem(item);
            // The task (and what it keeps alive) is released before the queue
            // is seen idle, so that a waiter finds its side effects complete.
            item = Item();
            guard.lock();
            self->running = false;
            if (self->queue.empty()) {
                self->idleChanged.notify_all();
            }
        }
        self->finished = true;
        self->idleChanged.notify_all();
    }
};

DispatchQueue::DispatchQueue(const std::string& name) : state(std::make_shared<State>(name)) {
    state->worker = std::thread(&State::loop, state);
    std::string threadName = name.substr(0, 15);
    pthread_setname_np(state->worker.native_handle(), threadName.c_str());
}

DispatchQueue::~DispatchQueue() { shutdown(true); }

bool DispatchQueue::enqueue(std::shared_ptr<zvf::Task> task, bool trace) {
    if (!task) {
        return false;
    }
    task->setTimePoint(std::chrono::system_clock::now());
    std::lock_guard<std::mutex> guard(state->lock);
    return state->pushLocked(Item{std::move(task), trace, nullptr});
}

bool DispatchQueue::enqueueAndWait(std::shared_ptr<zvf::Task> task, bool trace) {
    if (!task) {
        return false;
    }
    if (isOwnThread()) {
        Item item{std::move(task), trace, nullptr};
        state->runItem(item);
        return true;
    }
    auto completion = std::make_shared<Completion>();
    task->setTimePoint(std::chrono::system_clock::now());
    {
        std::lock_guard<std::mutex> guard(state->lock);
        if (!state->pushLocked(Item{std::move(task), trace, completion})) {
            return false;
        }
    }
    completion->wait();
    return true;
}

void DispatchQueue::waitUntilIdle() {
    if (isOwnThread()) {
        return;  // waiting for ourselves would never end
    }
    std::unique_lock<std::mutex> guard(state->lock);
    state->idleChanged.wait(guard, [this] {
        return (state->queue.empty() && !state->running) || state->finished;
    });
}

std::size_t DispatchQueue::pendingCount() const {
    std::lock_guard<std::mutex> guard(state->lock);
    return state->queue.size();
}

bool DispatchQueue::isOwnThread() const { return currentQueue == state.get(); }

void DispatchQueue::shutdown(bool runPending) {
    std::deque<Item> dropped;
    std::thread worker;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        if (!runPending && !state->queue.empty()) {
            dropped.swap(state->queue);
            state->queued.store(0, std::memory_order_relaxed);
        }
        state->stopping = true;
        state->wakeWorker.notify_all();
        if (state->worker.joinable()) {
            worker = std::move(state->worker);
        }
    }
    if (!dropped.empty()) {
        ZVFLog(logger, 4, __FILE__, __LINE__, __func__,
               state->name + " dropped " + std::to_string(dropped.size()) + " queued task(s) at shutdown");
        for (Item& item : dropped) {
            if (item.completion) {
                item.completion->signal();  // its waiter must not hang
            }
        }
        dropped.clear();  // tasks released outside the lock
    }
    if (worker.joinable()) {
        if (worker.get_id() == std::this_thread::get_id()) {
            worker.detach();  // the thread ends by itself once its queue is empty
        } else {
            worker.join();
        }
    }
}

}  // namespace nuvrixhost
