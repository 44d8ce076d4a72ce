#include "Processing/TaskDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

#include "HostTest.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "logging/LogCapture.h"

using Processing::TaskDispatcher;

class TaskDispatcherTest : public ::testing::Test {
protected:
    // Holds the worker inside a gate task with five counting tasks queued behind it.
    void queueFiveBehindGate() {
        gate = std::make_unique<nuvrixtest::DispatcherGate>(dispatcher);
        for (int i = 0; i < 5; ++i) {
            dispatcher.enqueue([this] { ++ran; }, "count");
        }
    }

    std::atomic<int> ran{0};
    TaskDispatcher dispatcher;
    std::unique_ptr<nuvrixtest::DispatcherGate> gate;  // declared last so that it opens before the worker ends
};

TEST_F(TaskDispatcherTest, RunsBothKindsOfTaskInTheOrderQueued) {
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
    std::vector<int> expected(50);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(expected, order);
}

TEST_F(TaskDispatcherTest, CountsPendingTasksAndKnowsItsOwnThread) {
    gate = std::make_unique<nuvrixtest::DispatcherGate>(dispatcher);
    bool onOwnThread = false;
    dispatcher.enqueue([&] { onOwnThread = dispatcher.isDispatcherThread(); }, "check");
    dispatcher.enqueue([] {}, "second");
    EXPECT_EQ(2u, dispatcher.pendingCount());
    EXPECT_FALSE(dispatcher.isDispatcherThread());
    gate->open();
    dispatcher.waitUntilIdle();
    EXPECT_EQ(0u, dispatcher.pendingCount());
    EXPECT_TRUE(onOwnThread);
}

TEST_F(TaskDispatcherTest, ShutdownRunsQueuedTasksWhenAsked) {
    queueFiveBehindGate();
    std::thread closer([&] { dispatcher.shutdown(true); });
    gate->open();
    closer.join();
    EXPECT_EQ(5, ran.load());
    dispatcher.enqueue([this] { ++ran; }, "after shutdown");
    dispatcher.waitUntilIdle();
    EXPECT_EQ(5, ran.load());
}

TEST_F(TaskDispatcherTest, ShutdownDropsQueuedTasksWhenAsked) {
    queueFiveBehindGate();
    std::thread closer([&] { dispatcher.shutdown(false); });
    // The queue is emptied at once; the running task is left to finish.
    while (dispatcher.pendingCount() != 0) {
        std::this_thread::yield();
    }
    gate->open();
    closer.join();
    EXPECT_EQ(0, ran.load());
}

TEST_F(TaskDispatcherTest, ExceptionEscapingATaskIsLoggedAndLaterTasksRun) {
    LogCapture capture;
    bool later = false;
    dispatcher.enqueue([] { throw std::runtime_error("disk on fire"); }, "failing task");
    dispatcher.enqueue([&] { later = true; }, "later task");
    dispatcher.waitUntilIdle();
    EXPECT_TRUE(later);
    EXPECT_EQ(1u, capture.count("failing task threw: disk on fire", 2));
}

TEST_F(TaskDispatcherTest, WaitUntilIdleOnTheDispatcherThreadReturnsAtOnce) {
    bool returned = false;
    dispatcher.enqueue([&] {
        dispatcher.waitUntilIdle();
        returned = true;
    }, "waits for itself");
    dispatcher.waitUntilIdle();
    EXPECT_TRUE(returned);
}
