// Runs the cache file timer on the real host: its shared background timer
// thread fires the timers and its task dispatcher runs the callbacks.
#include "ConfigFileCacheTimer.h"

#include <gtest/gtest.h>

#include <algorithm>
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

using Names = std::vector<std::string>;

// Records, in firing order, the callbacks that ran.
class FiringLog {
public:
    void add(const std::string& label) {
        std::lock_guard<std::mutex> guard(lock);
        fired.push_back(label);
        changed.notify_all();
    }
    bool waitForCount(std::size_t count) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, kBoundedWait, [&] { return fired.size() >= count; });
    }
    Names names() const {
        std::lock_guard<std::mutex> guard(lock);
        return fired;
    }

private:
    mutable std::mutex lock;
    std::condition_variable changed;
    Names fired;
};

// Logs its label when called back, marked if the call came on any thread
// but the task dispatcher's.
class RecordingCallBack : public ConfigFileCacheTimerCallBack {
public:
    RecordingCallBack(std::string fileName, std::string label, FiringLog& log,
                      std::shared_ptr<Processing::TaskDispatcher> dispatcher)
        : fileName(std::move(fileName)), label(std::move(label)), log(log), dispatcher(std::move(dispatcher)) {}

    void timerFired() override { log.add(dispatcher->isDispatcherThread() ? label : label + " (off task thread)"); }
    std::string getFileName() override { return fileName; }

private:
    std::string fileName;
    std::string label;
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
        held = started.get_future().wait_for(kBoundedWait) == std::future_status::ready;
    }
    ~DispatcherGate() { open(); }
    void open() {
        if (!opened) {
            opened = true;
            release.set_value();
        }
    }

    bool held = false;  // the dispatcher is running the gate

private:
    std::promise<void> release;
    std::promise<void> started;
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

    std::shared_ptr<RecordingCallBack> callBack(const std::string& fileName, const std::string& label = "") {
        return std::make_shared<RecordingCallBack>(fileName, label.empty() ? fileName : label, firings,
                                                   factory->getTaskDispatcher());
    }

    // Waits (bounded) for count callbacks, then until the queues are idle.
    bool settle(std::size_t count) {
        const bool reached = firings.waitForCount(count);
        drainQueues();
        return reached;
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

    static Names timerMessages(const LogCapture& capture) {
        Names out;
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
    timer->scheduleTimer(callBack("cachedA.dat", "first"), 0);
    ASSERT_TRUE(settle(1));
    EXPECT_EQ(0, timer->getCount());

    // The name is free again once the timer has called back.
    timer->scheduleTimer(callBack("cachedA.dat", "second"), 0);
    ASSERT_TRUE(settle(2));
    EXPECT_EQ((Names{"first", "second"}), firings.names());
    EXPECT_EQ(0, timer->getCount());
}

TEST_F(ConfigFileCacheTimerTest, SameFileScheduledTwiceKeepsFirstExpiry) {
    timer->scheduleTimer(callBack("cachedA.dat", "long"), 3600 * 1000L);
    timer->scheduleTimer(callBack("cachedA.dat", "short"), 0);
    EXPECT_EQ(1, timer->getCount());

    // A 0-second timer scheduled afterwards fires after anything that the
    // second request could have started; when its callback has run, a
    // replaced expiry would have shown.
    timer->scheduleTimer(callBack("sentinel.dat"), 0);
    ASSERT_TRUE(settle(1));
    EXPECT_EQ(Names{"sentinel.dat"}, firings.names());
    EXPECT_EQ(1, timer->getCount());

    timer->clearTimers();
    EXPECT_EQ(0, timer->getCount());
}

TEST_F(ConfigFileCacheTimerTest, NamesDifferingInLetterCaseAreTwoTimers) {
    {
        DispatcherGate gate(*factory->getTaskDispatcher());
        ASSERT_TRUE(gate.held);
        timer->scheduleTimer(callBack("cachedTftpConfigStore.dat"), 0);
        timer->scheduleTimer(callBack("cachedtftpconfigstore.dat"), 0);
        EXPECT_EQ(2, timer->getCount());
    }
    ASSERT_TRUE(settle(2));
    Names fired = firings.names();
    std::sort(fired.begin(), fired.end());
    EXPECT_EQ((Names{"cachedTftpConfigStore.dat", "cachedtftpconfigstore.dat"}), fired);
    EXPECT_EQ(0, timer->getCount());
}

TEST_F(ConfigFileCacheTimerTest, ClearTimersAfterExpiryBeforeQueuedTaskRunsSuppressesCallback) {
    {
        DispatcherGate gate(*factory->getTaskDispatcher());
        ASSERT_TRUE(gate.held);
        timer->scheduleTimer(callBack("cachedA.dat", "cleared"), 0);
        // The host timer has fired once its task waits behind the gate.
        ASSERT_TRUE(waitForQueuedTasks(1));
        EXPECT_EQ(1, timer->getCount());
        timer->clearTimers();
        EXPECT_EQ(0, timer->getCount());
        gate.open();
        drainQueues();
    }
    EXPECT_TRUE(firings.names().empty());
    EXPECT_EQ(0, timer->getCount());

    // The stale task removed nothing: the name can be scheduled and fires.
    timer->scheduleTimer(callBack("cachedA.dat", "again"), 0);
    ASSERT_TRUE(settle(1));
    EXPECT_EQ(Names{"again"}, firings.names());
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
    ASSERT_TRUE(settle(4));
    EXPECT_EQ((Names{"subSecond.dat", "zero.dat", "almostTwo.dat", "one.dat"}), firings.names());
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
    timer->scheduleTimer(callBack("sentinel.dat"), 2000);
    ASSERT_TRUE(settle(1));
    EXPECT_EQ(Names{"sentinel.dat"}, firings.names());
    // Nothing holds the released callbacks any more.
    EXPECT_EQ(1, dropped.use_count());
    EXPECT_EQ(1, cleared.use_count());
}

TEST_F(ConfigFileCacheTimerTest, DebugLogTellsScheduleRefusalFiringAndRemoval) {
    ZVFLogger_setLevel(5);
    LogCapture capture;
    {
        DispatcherGate gate(*factory->getTaskDispatcher());
        ASSERT_TRUE(gate.held);
        timer->scheduleTimer(callBack("cachedA.dat"), 1500);
        timer->scheduleTimer(callBack("cachedA.dat"), 0);
        ASSERT_TRUE(waitForQueuedTasks(1));
    }
    ASSERT_TRUE(settle(1));
    timer->scheduleTimer(callBack("cachedB.dat"), 3600 * 1000L);
    timer->clearTimers();

    EXPECT_EQ((Names{
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
    // The callback travelled as a named task of the host task dispatcher (the
    // timer's own lines above do not name it).
    EXPECT_TRUE(capture.contains("ConfigFileCacheTimer::TimerImpl::callBackAndRemove"));

    capture.clear();
    timer.reset();
    EXPECT_EQ((Names{"ConfigFileCacheTimer Destructor", "Removing all timers, which should stop them all"}),
              timerMessages(capture));
}

}  // namespace
