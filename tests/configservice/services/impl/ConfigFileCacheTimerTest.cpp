// Runs the cache file timer on the real host: its shared background timer
// thread fires the timers and its task dispatcher runs the callbacks.
#include "ConfigFileCacheTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HostTest.h"
#include "Processing/TaskDispatcher.h"
#include "logging/LogCapture.h"
#include "logging/ZVFLogger.h"

namespace {

using ZVFUnified::ConfigFileCacheTimer;
using ZVFUnified::ConfigFileCacheTimerCallBack;

constexpr auto kBoundedWait = std::chrono::seconds(30);

// Records, in firing order, the files whose callbacks ran.
class FiringLog {
public:
    void add(const std::string& fileName) {
        std::lock_guard<std::mutex> guard(lock);
        fired.push_back(fileName);
        changed.notify_all();
    }
    bool waitForCount(std::size_t count) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, kBoundedWait, [&] { return fired.size() >= count; });
    }
    std::vector<std::string> names() const {
        std::lock_guard<std::mutex> guard(lock);
        return fired;
    }

private:
    mutable std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> fired;
};

class RecordingCallBack : public ConfigFileCacheTimerCallBack {
public:
    RecordingCallBack(std::string fileName, FiringLog& log, std::shared_ptr<Processing::TaskDispatcher> dispatcher)
        : fileName(std::move(fileName)), log(log), dispatcher(std::move(dispatcher)) {}

    void timerFired() override {
        ++calls;
        if (dispatcher->isDispatcherThread()) {
            ++callsOnTaskThread;
        }
        log.add(fileName);
    }
    std::string getFileName() override { return fileName; }

    std::atomic<int> calls{0};
    std::atomic<int> callsOnTaskThread{0};

private:
    std::string fileName;
    FiringLog& log;
    std::shared_ptr<Processing::TaskDispatcher> dispatcher;
};

// Occupies the task dispatcher until released, so that timer callbacks that
// fire in the meantime stay queued. Releases itself when it goes out of scope.
class DispatcherGate {
public:
    explicit DispatcherGate(Processing::TaskDispatcher& dispatcher) {
        std::shared_future<void> released = release.get_future().share();
        dispatcher.enqueue(
            [this, released] {
                started.set_value();
                released.wait();
            },
            "test gate");
        startedFuture = started.get_future();
    }
    ~DispatcherGate() { open(); }
    bool waitUntilHeld() { return startedFuture.wait_for(kBoundedWait) == std::future_status::ready; }
    void open() {
        if (!opened) {
            opened = true;
            release.set_value();
        }
    }

private:
    std::promise<void> release;
    std::promise<void> started;
    std::future<void> startedFuture;
    bool opened = false;
};

class ConfigFileCacheTimerTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        savedLevel = ZVFLogger_getLevel();
        timer = std::make_unique<ConfigFileCacheTimer>(factory);
    }
    void TearDown() override {
        timer.reset();
        ZVFLogger_setLevel(savedLevel);
        HostTest::TearDown();
    }

    std::shared_ptr<RecordingCallBack> callBack(const std::string& fileName) {
        return std::make_shared<RecordingCallBack>(fileName, firings, factory->getTaskDispatcher());
    }

    // Waits (bounded) until at least count tasks are queued behind a gate.
    bool waitForQueuedTasks(std::size_t count) {
        auto deadline = std::chrono::steady_clock::now() + kBoundedWait;
        while (factory->getTaskDispatcher()->pendingCount() < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    static std::vector<std::string> timerMessages(const LogCapture& capture) {
        std::vector<std::string> out;
        for (const LogCapture::Record& record : capture.records()) {
            if (record.logger == "ConfigFileCacheTimer") {
                out.push_back(record.message);
            }
        }
        return out;
    }

    FiringLog firings;
    std::unique_ptr<ConfigFileCacheTimer> timer;
    int savedLevel = 4;
};

TEST_F(ConfigFileCacheTimerTest, CallbackRunsOnceOnTaskThreadAndTimerIsForgotten) {
    auto first = callBack("cachedA.dat");
    timer->scheduleTimer(first, 0);
    ASSERT_TRUE(firings.waitForCount(1));
    drainQueues();
    EXPECT_EQ(1, first->calls.load());
    EXPECT_EQ(1, first->callsOnTaskThread.load());
    EXPECT_EQ(0, timer->getCount());

    // The name is free again once the timer has called back.
    auto second = callBack("cachedA.dat");
    timer->scheduleTimer(second, 0);
    ASSERT_TRUE(firings.waitForCount(2));
    drainQueues();
    EXPECT_EQ(1, first->calls.load());
    EXPECT_EQ(1, second->calls.load());
    EXPECT_EQ(0, timer->getCount());
}

TEST_F(ConfigFileCacheTimerTest, SameFileScheduledTwiceKeepsFirstExpiry) {
    auto longOne = callBack("cachedA.dat");
    auto shortOne = callBack("cachedA.dat");
    timer->scheduleTimer(longOne, 3600 * 1000L);
    timer->scheduleTimer(shortOne, 0);
    EXPECT_EQ(1, timer->getCount());

    // A 0-second timer scheduled afterwards fires after anything that the
    // second request could have started; when its callback has run, a
    // replaced expiry would have shown.
    auto sentinel = callBack("sentinel.dat");
    timer->scheduleTimer(sentinel, 0);
    ASSERT_TRUE(firings.waitForCount(1));
    drainQueues();
    EXPECT_EQ(std::vector<std::string>{"sentinel.dat"}, firings.names());
    EXPECT_EQ(0, longOne->calls.load());
    EXPECT_EQ(0, shortOne->calls.load());
    EXPECT_EQ(1, timer->getCount());

    timer->clearTimers();
    EXPECT_EQ(0, timer->getCount());
}

TEST_F(ConfigFileCacheTimerTest, NamesDifferingInLetterCaseAreTwoTimers) {
    auto upper = callBack("cachedTftpConfigStore.dat");
    auto lower = callBack("cachedtftpconfigstore.dat");
    {
        DispatcherGate gate(*factory->getTaskDispatcher());
        ASSERT_TRUE(gate.waitUntilHeld());
        timer->scheduleTimer(upper, 0);
        timer->scheduleTimer(lower, 0);
        EXPECT_EQ(2, timer->getCount());
    }
    ASSERT_TRUE(firings.waitForCount(2));
    drainQueues();
    EXPECT_EQ(1, upper->calls.load());
    EXPECT_EQ(1, lower->calls.load());
    EXPECT_EQ(0, timer->getCount());
}

TEST_F(ConfigFileCacheTimerTest, ClearTimersAfterExpiryBeforeQueuedTaskRunsSuppressesCallback) {
    auto cleared = callBack("cachedA.dat");
    {
        DispatcherGate gate(*factory->getTaskDispatcher());
        ASSERT_TRUE(gate.waitUntilHeld());
        timer->scheduleTimer(cleared, 0);
        // The host timer has fired once its task waits behind the gate.
        ASSERT_TRUE(waitForQueuedTasks(1));
        EXPECT_EQ(1, timer->getCount());
        timer->clearTimers();
        EXPECT_EQ(0, timer->getCount());
        gate.open();
        drainQueues();
    }
    EXPECT_EQ(0, cleared->calls.load());
    EXPECT_EQ(0, timer->getCount());

    // The stale task removed nothing: the name can be scheduled and fires.
    auto again = callBack("cachedA.dat");
    timer->scheduleTimer(again, 0);
    ASSERT_TRUE(firings.waitForCount(1));
    drainQueues();
    EXPECT_EQ(1, again->calls.load());
    EXPECT_EQ(0, cleared->calls.load());
}

TEST_F(ConfigFileCacheTimerTest, DurationsAreTruncatedToWholeSeconds) {
    // 999 ms run as 0 s: the timer expires no later than a 0 ms timer
    // scheduled after it, so its callback comes first.
    timer->scheduleTimer(callBack("subSecond.dat"), 999);
    timer->scheduleTimer(callBack("zero.dat"), 0);
    ASSERT_TRUE(firings.waitForCount(2));
    // 1999 ms run as 1 s, like the 1000 ms timer scheduled after it.
    timer->scheduleTimer(callBack("almostTwo.dat"), 1999);
    timer->scheduleTimer(callBack("one.dat"), 1000);
    ASSERT_TRUE(firings.waitForCount(4));
    drainQueues();
    EXPECT_EQ((std::vector<std::string>{"subSecond.dat", "zero.dat", "almostTwo.dat", "one.dat"}),
              firings.names());
}

TEST_F(ConfigFileCacheTimerTest, TimerReleasedByItsOwnerIsNotCalled) {
    auto dropped = callBack("cachedDropped.dat");
    auto cleared = callBack("cachedCleared.dat");
    auto otherTimer = std::make_unique<ConfigFileCacheTimer>(factory);
    otherTimer->scheduleTimer(dropped, 1000);
    timer->scheduleTimer(cleared, 1000);
    otherTimer.reset();
    timer->clearTimers();

    // Expires a second after the two released timers would have.
    auto sentinel = callBack("sentinel.dat");
    timer->scheduleTimer(sentinel, 2000);
    ASSERT_TRUE(firings.waitForCount(1));
    drainQueues();
    EXPECT_EQ(std::vector<std::string>{"sentinel.dat"}, firings.names());
    EXPECT_EQ(0, dropped->calls.load());
    EXPECT_EQ(0, cleared->calls.load());
    // Nothing holds the released callbacks any more.
    EXPECT_EQ(1, dropped.use_count());
    EXPECT_EQ(1, cleared.use_count());
}

TEST_F(ConfigFileCacheTimerTest, DebugLogTellsScheduleRefusalFiringAndRemoval) {
    ZVFLogger_setLevel(5);
    LogCapture capture;
    auto fired = callBack("cachedA.dat");
    {
        DispatcherGate gate(*factory->getTaskDispatcher());
        ASSERT_TRUE(gate.waitUntilHeld());
        timer->scheduleTimer(fired, 1500);
        timer->scheduleTimer(callBack("cachedA.dat"), 0);
        ASSERT_TRUE(waitForQueuedTasks(1));
    }
    ASSERT_TRUE(firings.waitForCount(1));
    drainQueues();
    timer->scheduleTimer(callBack("cachedB.dat"), 3600 * 1000L);
    timer->clearTimers();

    EXPECT_EQ((std::vector<std::string>{
                  "Attempting to schedule timer for file: cachedA.dat, lasting: 1500ms",
                  "Timer added. Timers count: 1",
                  "Attempting to schedule timer for file: cachedA.dat, lasting: 0ms",
                  "Timer already exists, do nothing",
                  "Firing callback for file: cachedA.dat",
                  "Removing timer. Timers count: 1",
                  "Timer removed. Timers count: 0",
                  "TimerImpl::~TimerImpl()",
                  "Attempting to schedule timer for file: cachedB.dat, lasting: 3600000ms",
                  "Timer added. Timers count: 1",
                  "Removing all timers, which should stop them all",
                  "TimerImpl::~TimerImpl()",
              }),
              timerMessages(capture));

    // The callback travelled as a named task of the host task dispatcher.
    bool namedTaskRan = false;
    for (const LogCapture::Record& record : capture.records()) {
        if (record.logger != "ConfigFileCacheTimer" &&
            record.message.find("ConfigFileCacheTimer::TimerImpl::callBackAndRemove") != std::string::npos) {
            namedTaskRan = true;
        }
    }
    EXPECT_TRUE(namedTaskRan);

    capture.clear();
    timer.reset();
    EXPECT_EQ((std::vector<std::string>{"ConfigFileCacheTimer Destructor",
                                        "Removing all timers, which should stop them all"}),
              timerMessages(capture));
}

}  // namespace
