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

class BackgroundTimerTest : public ::testing::Test {
protected:
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);  // outlives the callback
    std::shared_ptr<CountingCallback> callback = std::make_shared<CountingCallback>(calls);
    std::unique_ptr<BackgroundTimer> timer = std::make_unique<BackgroundTimer>();
};

TEST_F(BackgroundTimerTest, ZeroSecondsFiresOnce) {
    timer->setTimer(callback, 0);
    ASSERT_TRUE(callback->waitForFirstCall());
    waitPast(0);
    EXPECT_EQ(1, calls->load());
}

TEST_F(BackgroundTimerTest, CancelStopsTheTimer) {
    timer->setTimer(callback, 1);
    timer->cancelTimer();
    waitPast(1);
    EXPECT_EQ(0, calls->load());
}

TEST_F(BackgroundTimerTest, SettingAgainReplacesTheExpiry) {
    timer->setTimer(callback, 3600);
    timer->setTimer(callback, 0);
    ASSERT_TRUE(callback->waitForFirstCall());
    timer->setTimer(callback, 1);
    timer->setTimer(callback, 3600);
    waitPast(1);
    EXPECT_EQ(1, calls->load());
}

TEST_F(BackgroundTimerTest, DestroyingAnArmedTimerCancelsIt) {
    timer->setTimer(callback, 1);
    timer.reset();
    waitPast(1);
    EXPECT_EQ(0, calls->load());
}

TEST_F(BackgroundTimerTest, CallbackDestroyedBeforeExpiryIsNotCalled) {
    timer->setTimer(callback, 1);
    callback.reset();
    waitPast(1);
    EXPECT_EQ(0, calls->load());
}

TEST_F(BackgroundTimerTest, DestructorWaitsForACallbackThatIsRunning) {
    auto blocking = std::make_shared<BlockingCallback>();
    std::future<void> entered = blocking->entered.get_future();
    timer->setTimer(blocking, 0);
    ASSERT_EQ(std::future_status::ready, entered.wait_for(kPatience));
    std::atomic<bool> finishedWhenDestroyed{false};
    std::thread destroyer([&] {
        timer.reset();
        finishedWhenDestroyed = blocking->finished.load();
    });
    blocking->release.set_value();
    destroyer.join();
    EXPECT_TRUE(finishedWhenDestroyed.load());
}

TEST_F(BackgroundTimerTest, CallbackMayRearmItsOwnTimer) {
    auto rearming = std::make_shared<RearmingCallback>();
    std::future<void> done = rearming->done.get_future();
    rearming->timer.setTimer(rearming, 0);
    ASSERT_EQ(std::future_status::ready, done.wait_for(kPatience));
    EXPECT_EQ(3, rearming->calls.load());
}
