#include "Processing/TaskDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "PTKCoreUtils/FunctionTask.h"
#include "logging/LogCapture.h"

using Processing::TaskDispatcher;

namespace {

// Holds the dispatcher's thread inside a task until released, so that the
// tests can queue work behind it deterministically.
class Gate {
public:
    Gate() : released(release.get_future().share()) {}
    void block(TaskDispatcher& dispatcher) {
        std::shared_future<void> wait = released;
        dispatcher.enqueue([this, wait] {
            entered.set_value();
            wait.wait();
        }, "gate");
        entered.get_future().wait();
    }
    void open() { release.set_value(); }

private:
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released;
};

}  // namespace

TEST(TaskDispatcherTest, RunsBothKindsOfTaskInTheOrderQueued) {
    TaskDispatcher dispatcher;
    std::vector<int> order;
    for (int i = 0; i < 50; ++i) {
        if (i % 2 == 0) {
            dispatcher.enqueue([&order, i] { order.push_back(i); }, "function");
        } else {
            dispatcher.enqueue(std::make_shared<PTKCoreUtils::FunctionTask>([&order, i] { order.push_back(i); },
                                                                            "task"));
        }
    }
    dispatcher.waitUntilIdle();
    ASSERT_EQ(50u, order.size());
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(i, order[i]);
    }
}

TEST(TaskDispatcherTest, CountsPendingTasksAndKnowsItsOwnThread) {
    TaskDispatcher dispatcher;
    Gate gate;
    gate.block(dispatcher);
    bool onOwnThread = false;
    dispatcher.enqueue([&] { onOwnThread = dispatcher.isDispatcherThread(); }, "check");
    dispatcher.enqueue([] {}, "second");
    EXPECT_EQ(2u, dispatcher.pendingCount());
    EXPECT_FALSE(dispatcher.isDispatcherThread());
    gate.open();
    dispatcher.waitUntilIdle();
    EXPECT_EQ(0u, dispatcher.pendingCount());
    EXPECT_TRUE(onOwnThread);
}

TEST(TaskDispatcherTest, ShutdownRunsQueuedTasksWhenAsked) {
    TaskDispatcher dispatcher;
    Gate gate;
    std::atomic<int> ran{0};
    gate.block(dispatcher);
    for (int i = 0; i < 5; ++i) {
        dispatcher.enqueue([&ran] { ++ran; }, "count");
    }
    std::thread closer([&] { dispatcher.shutdown(true); });
    gate.open();
    closer.join();
    EXPECT_EQ(5, ran.load());
    dispatcher.enqueue([&ran] { ++ran; }, "after shutdown");
    dispatcher.waitUntilIdle();
    EXPECT_EQ(5, ran.load());
}

TEST(TaskDispatcherTest, ShutdownDropsQueuedTasksWhenAsked) {
    TaskDispatcher dispatcher;
    Gate gate;
    std::atomic<int> ran{0};
    gate.block(dispatcher);
    for (int i = 0; i < 5; ++i) {
        dispatcher.enqueue([&ran] { ++ran; }, "count");
    }
    std::thread closer([&] { dispatcher.shutdown(false); });
    // The queue is emptied at once; the running task is left to finish.
    while (dispatcher.pendingCount() != 0) {
        std::this_thread::yield();
    }
    gate.open();
    closer.join();
    EXPECT_EQ(0, ran.load());
}

TEST(TaskDispatcherTest, ExceptionEscapingATaskIsLoggedAndLaterTasksRun) {
    LogCapture capture;
    TaskDispatcher dispatcher;
    bool later = false;
    dispatcher.enqueue([] { throw std::runtime_error("disk on fire"); }, "failing task");
    dispatcher.enqueue([&] { later = true; }, "later task");
    dispatcher.waitUntilIdle();
    EXPECT_TRUE(later);
    EXPECT_EQ(1u, capture.count("failing task threw: disk on fire", 2));
}

TEST(TaskDispatcherTest, WaitUntilIdleOnTheDispatcherThreadReturnsAtOnce) {
    TaskDispatcher dispatcher;
    bool returned = false;
    dispatcher.enqueue([&] {
        dispatcher.waitUntilIdle();
        returned = true;
    }, "waits for itself");
    dispatcher.waitUntilIdle();
    EXPECT_TRUE(returned);
}
