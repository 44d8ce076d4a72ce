#include "unified/ServicesDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "PTKCoreUtils/FunctionTask.h"

using ZVFUnified::ServicesDispatcher;

namespace {

std::shared_ptr<PTKCoreUtils::FunctionTask> task(std::function<void()> body) {
    return std::make_shared<PTKCoreUtils::FunctionTask>(std::move(body), "test task");
}

}  // namespace

TEST(ServicesDispatcherTest, UpdateAccessOnlyOnTheServicesThread) {
    ServicesDispatcher dispatcher;
    ServicesDispatcher other;
    EXPECT_FALSE(dispatcher.checkForUpdateAccess());
    bool onOwnThread = false;
    bool onOtherDispatcher = true;
    dispatcher.enqueueBlock(task([&] { onOwnThread = dispatcher.checkForUpdateAccess(); }), false, true);
    other.enqueueBlock(task([&] { onOtherDispatcher = dispatcher.checkForUpdateAccess(); }), false, true);
    EXPECT_TRUE(onOwnThread);
    EXPECT_FALSE(onOtherDispatcher);
    EXPECT_FALSE(ServicesDispatcher::isAnyServicesThread());
}

TEST(ServicesDispatcherTest, EnqueueBlockFromTheServicesThreadRunsAtOnce) {
    ServicesDispatcher dispatcher;
    std::vector<std::string> steps;
    dispatcher.enqueueBlock(task([&] {
                                steps.push_back("outer begins");
                                dispatcher.enqueueBlock(task([&] { steps.push_back("inner"); }), false, true);
                                steps.push_back("outer ends");
                            }),
                            false, true);
    EXPECT_EQ((std::vector<std::string>{"outer begins", "inner", "outer ends"}), steps);
}

TEST(ServicesDispatcherTest, TasksRunInTheOrderQueuedAndEnqueueBlockWaitsBehindEarlierOnes) {
    ServicesDispatcher dispatcher;
    std::vector<int> order;  // touched only on the services thread
    for (int i = 0; i < 100; ++i) {
        dispatcher.enqueue(task([&order, i] { order.push_back(i); }), false, true);
    }
    dispatcher.enqueueBlock(task([&order] { order.push_back(100); }), false, true);
    // The blocking task ran, and everything before it, in order.
    std::vector<int> expected(101);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(expected, order);
}

TEST(ServicesDispatcherTest, ShutdownRunsQueuedTasksAndDropsLaterOnes) {
    ServicesDispatcher dispatcher;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> ran{0};
    dispatcher.enqueue(task([released] { released.wait(); }), false, true);
    for (int i = 0; i < 5; ++i) {
        dispatcher.enqueue(task([&ran] { ++ran; }), false, true);
    }
    std::thread closer([&] { dispatcher.shutdown(); });
    release.set_value();
    closer.join();
    EXPECT_EQ(5, ran.load());

    dispatcher.enqueue(task([&ran] { ++ran; }), false, true);
    dispatcher.enqueueBlock(task([&ran] { ++ran; }), false, true);  // returns without running
    dispatcher.waitUntilIdle();
    EXPECT_EQ(5, ran.load());
    dispatcher.shutdown();  // idempotent
}

TEST(ServicesDispatcherTest, ExceptionEscapingATaskDoesNotStopTheThread) {
    ServicesDispatcher dispatcher;
    bool later = false;
    dispatcher.enqueue(task([] { throw std::runtime_error("task failure"); }), false, true);
    dispatcher.enqueueBlock(task([&] { later = true; }), false, true);
    EXPECT_TRUE(later);
}
