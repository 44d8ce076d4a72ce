#include "zvf/common/BackgroundTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

using zvf::common::BackgroundTimer;
using zvf::common::BackgroundTimerCallback;

namespace {

// Generous bound on waits for a firing that must happen; only a hang guard.
const auto kPatience = std::chrono::seconds(60);

class CountingCallback : public BackgroundTimerCallback {
public:
    explicit CountingCallback(std::shared_ptr<std::atomic<int>> calls) : calls(std::move(calls)) {}
    void onTimer() override {
        if (++*calls == 1) {
            fired.set_value();
        }
    }
    bool waitForFirstCall() { return future.wait_for(kPatience) == std::future_status::ready; }

private:
    std::shared_ptr<std::atomic<int>> calls;
    std::promise<void> fired;
    std::future<void> future = fired.get_future();
};

// Sets a timer that expires no earlier than every timer set before it with
// at most the same duration, and waits for it: the shared timer thread
// serves expiries in deadline order, so afterwards every such earlier timer
// has either fired or never will.
void waitPast(long seconds) {
    auto barrier = std::make_shared<CountingCallback>(std::make_shared<std::atomic<int>>(0));
    BackgroundTimer timer;
    timer.setTimer(barrier, seconds);
    ASSERT_TRUE(barrier->waitForFirstCall());
}

}  // namespace

TEST(BackgroundTimerTest, ZeroSecondsFiresOnce) {
    auto calls = std::make_shared<std::atomic<int>>(0);
    auto callback = std::make_shared<CountingCallback>(calls);
    BackgroundTimer timer;
    timer.setTimer(callback, 0);
    ASSERT_TRUE(callback->waitForFirstCall());
    waitPast(0);
    EXPECT_EQ(1, calls->load());
}

TEST(BackgroundTimerTest, CancelStopsTheTimer) {
    auto calls = std::make_shared<std::atomic<int>>(0);
    auto callback = std::make_shared<CountingCallback>(calls);
    BackgroundTimer timer;
    timer.setTimer(callback, 1);
    timer.cancelTimer();
    waitPast(1);
    EXPECT_EQ(0, calls->load());
}

TEST(BackgroundTimerTest, SettingAgainReplacesTheExpiry) {
    auto calls = std::make_shared<std::atomic<int>>(0);
    auto callback = std::make_shared<CountingCallback>(calls);
    BackgroundTimer timer;
    timer.setTimer(callback, 3600);
    timer.setTimer(callback, 0);
    ASSERT_TRUE(callback->waitForFirstCall());
    timer.setTimer(callback, 1);
    timer.setTimer(callback, 3600);
    waitPast(1);
    EXPECT_EQ(1, calls->load());
}

TEST(BackgroundTimerTest, CallbackDestroyedBeforeExpiryIsNotCalled) {
    auto calls = std::make_shared<std::atomic<int>>(0);
    auto callback = std::make_shared<CountingCallback>(calls);
    BackgroundTimer timer;
    timer.setTimer(callback, 1);
    callback.reset();
    waitPast(1);
    EXPECT_EQ(0, calls->load());
}

TEST(BackgroundTimerTest, DestroyingAnArmedTimerCancelsIt) {
    auto calls = std::make_shared<std::atomic<int>>(0);
    auto callback = std::make_shared<CountingCallback>(calls);
    auto timer = std::make_unique<BackgroundTimer>();
    timer->setTimer(callback, 1);
    timer.reset();
    waitPast(1);
    EXPECT_EQ(0, calls->load());
}

namespace {

// A callback that stays inside onTimer until released.
class BlockingCallback : public BackgroundTimerCallback {
public:
    void onTimer() override {
        entered.set_value();
        release.get_future().wait();
        finished = true;
    }
    std::promise<void> entered;
    std::promise<void> release;
    std::atomic<bool> finished{false};
};

}  // namespace

TEST(BackgroundTimerTest, DestructorWaitsForACallbackThatIsRunning) {
    auto callback = std::make_shared<BlockingCallback>();
    auto timer = std::make_unique<BackgroundTimer>();
    std::future<void> entered = callback->entered.get_future();
    timer->setTimer(callback, 0);
    ASSERT_EQ(std::future_status::ready, entered.wait_for(kPatience));
    std::atomic<bool> finishedWhenDestroyed{false};
    std::thread destroyer([&] {
        timer.reset();
        finishedWhenDestroyed = callback->finished.load();
    });
    callback->release.set_value();
    destroyer.join();
    EXPECT_TRUE(finishedWhenDestroyed.load());
}

namespace {

// Re-arms its own timer from inside onTimer until it has fired three times.
class RearmingCallback : public BackgroundTimerCallback, public std::enable_shared_from_this<RearmingCallback> {
public:
    void onTimer() override {
        if (++calls < 3) {
            timer.setTimer(weak_from_this(), 0);
        } else {
            done.set_value();
        }
    }
    BackgroundTimer timer;
    std::atomic<int> calls{0};
    std::promise<void> done;
};

}  // namespace

TEST(BackgroundTimerTest, CallbackMayRearmItsOwnTimer) {
    auto callback = std::make_shared<RearmingCallback>();
    std::future<void> done = callback->done.get_future();
    callback->timer.setTimer(callback, 0);
    ASSERT_EQ(std::future_status::ready, done.wait_for(kPatience));
    EXPECT_EQ(3, callback->calls.load());
}
