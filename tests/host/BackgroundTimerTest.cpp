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
    void onTimer() override { ++*calls; }

private:
    std::shared_ptr<std::atomic<int>> calls;
};

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
        }
    }
    BackgroundTimer timer;
    std::atomic<int> calls{0};
};

}  // namespace

// The timers' time stands still unless a test moves it: advance() returns
// once every timer it made due has been served.
class BackgroundTimerTest : public ::testing::Test {
protected:
    void SetUp() override { BackgroundTimer::useManualTimeForTesting(); }
    void TearDown() override { BackgroundTimer::useRealTimeForTesting(); }
    static void advance(int seconds) { BackgroundTimer::advanceTimeForTesting(std::chrono::seconds(seconds)); }

    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);  // outlives the callback
    std::shared_ptr<CountingCallback> callback = std::make_shared<CountingCallback>(calls);
    std::unique_ptr<BackgroundTimer> timer = std::make_unique<BackgroundTimer>();
};

TEST_F(BackgroundTimerTest, FiresOnceWhenItsSecondsHavePassedAndNotBefore) {
    timer->setTimer(callback, 0);
    advance(0);
    EXPECT_EQ(1, calls->load());
    timer->setTimer(callback, 2);
    advance(1);
    EXPECT_EQ(1, calls->load());
    advance(1);
    EXPECT_EQ(2, calls->load());
    advance(3600);
    EXPECT_EQ(2, calls->load());
}

TEST_F(BackgroundTimerTest, CancelDestructionOrAGoneCallbackStopTheTimer) {
    timer->setTimer(callback, 1);
    timer->cancelTimer();
    auto destroyed = std::make_unique<BackgroundTimer>();
    destroyed->setTimer(callback, 1);
    destroyed.reset();
    auto gone = std::make_shared<CountingCallback>(calls);
    BackgroundTimer orphaned;
    orphaned.setTimer(gone, 1);
    gone.reset();
    advance(1);
    EXPECT_EQ(0, calls->load());
}

TEST_F(BackgroundTimerTest, SettingAgainReplacesTheExpiry) {
    timer->setTimer(callback, 3600);
    timer->setTimer(callback, 0);
    advance(0);
    EXPECT_EQ(1, calls->load());
    timer->setTimer(callback, 1);
    timer->setTimer(callback, 3600);
    advance(1);
    EXPECT_EQ(1, calls->load());
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
    rearming->timer.setTimer(rearming, 0);
    advance(0);
    EXPECT_EQ(3, rearming->calls.load());
}

TEST_F(BackgroundTimerTest, RealTimeFiresTooOnceTheClockIsBack) {
    BackgroundTimer::useRealTimeForTesting();
    timer->setTimer(callback, 0);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (calls->load() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(1, calls->load());
}
