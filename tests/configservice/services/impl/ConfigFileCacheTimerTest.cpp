// Runs the cache file timer on the real host: its shared background timer
// thread fires the timers (on a stopped clock that the tests move forward)
// and its task dispatcher runs the callbacks.
#include "ConfigFileCacheTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "HostTest.h"
#include "Processing/TaskDispatcher.h"
#include "logging/LogCapture.h"

namespace {

using ZVFUnified::ConfigFileCacheTimer;
using ZVFUnified::ConfigFileCacheTimerCallBack;
using zvf::common::BackgroundTimer;
using Names = std::vector<std::string>;

// Records, in firing order, the callbacks that ran.
struct FiringLog {
    std::mutex lock;
    Names fired;
    Names names() {
        std::lock_guard<std::mutex> guard(lock);
        return fired;
    }
};

// Logs its label when called back, marked if the call came on any thread
// but the task dispatcher's.
class RecordingCallBack : public ConfigFileCacheTimerCallBack {
public:
    RecordingCallBack(std::string fileName, std::string label, FiringLog& log,
                      std::shared_ptr<Processing::TaskDispatcher> dispatcher)
        : fileName(std::move(fileName)), label(std::move(label)), log(log), dispatcher(std::move(dispatcher)) {}

    void timerFired() override {
        std::lock_guard<std::mutex> guard(log.lock);
        log.fired.push_back(dispatcher->isDispatcherThread() ? label : label + " (off task thread)");
    }
    std::string getFileName() override { return fileName; }

private:
    std::string fileName;
    std::string label;
    FiringLog& log;
    std::shared_ptr<Processing::TaskDispatcher> dispatcher;
};

class ConfigFileCacheTimerTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        BackgroundTimer::useManualTimeForTesting();
        timer = std::make_unique<ConfigFileCacheTimer>(factory);
    }
    void TearDown() override {
        timer.reset();
        BackgroundTimer::useRealTimeForTesting();
        HostTest::TearDown();
    }

    std::shared_ptr<RecordingCallBack> callBack(const std::string& fileName, const std::string& label = "") {
        return std::make_shared<RecordingCallBack>(fileName, label.empty() ? fileName : label, firings,
                                                   factory->getTaskDispatcher());
    }

    // Moves the timers' time on; returns once the host timers it made due
    // have fired and (unless gated) their callbacks have run.
    void advance(long milliseconds, bool drain = true) {
        BackgroundTimer::advanceTimeForTesting(std::chrono::milliseconds(milliseconds));
        if (drain) {
            drainQueues();
        }
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
};

// Durations are truncated to whole seconds; each callback runs once on the
// task thread and its timer is forgotten.
TEST_F(ConfigFileCacheTimerTest, CallbackRunsOnceOnTaskThreadAfterWholeSecondsAndTimerIsForgotten) {
    timer->scheduleTimer(callBack("subSecond.dat"), 999);
    timer->scheduleTimer(callBack("almostTwo.dat"), 1999);
    advance(0);
    EXPECT_EQ(Names{"subSecond.dat"}, firings.names());
    EXPECT_EQ(1, timer->getCount());
    advance(1000);
    EXPECT_EQ((Names{"subSecond.dat", "almostTwo.dat"}), firings.names());
    EXPECT_EQ(0, timer->getCount());

    // The name is free again once the timer has called back.
    timer->scheduleTimer(callBack("subSecond.dat", "again"), 0);
    advance(3600 * 1000L);
    EXPECT_EQ((Names{"subSecond.dat", "almostTwo.dat", "again"}), firings.names());
    EXPECT_EQ(0, timer->getCount());
}

// A name differing in letter case only is another file with its own timer.
TEST_F(ConfigFileCacheTimerTest, SameFileScheduledTwiceKeepsFirstExpiry) {
    timer->scheduleTimer(callBack("cachedA.dat", "long"), 3600 * 1000L);
    timer->scheduleTimer(callBack("cachedA.dat", "short"), 0);
    timer->scheduleTimer(callBack("cacheda.dat", "other case"), 1000);
    EXPECT_EQ(2, timer->getCount());
    advance(1000);
    EXPECT_EQ(Names{"other case"}, firings.names());
    advance(3598 * 1000L);
    EXPECT_EQ(Names{"other case"}, firings.names());
    EXPECT_EQ(1, timer->getCount());
    advance(1000);
    EXPECT_EQ((Names{"other case", "long"}), firings.names());
}

TEST_F(ConfigFileCacheTimerTest, ClearTimersAfterExpiryBeforeQueuedTaskRunsSuppressesCallback) {
    {
        nuvrixtest::DispatcherGate gate(*factory->getTaskDispatcher());
        timer->scheduleTimer(callBack("cachedA.dat", "cleared"), 1000);
        // The host timer has fired: its task waits behind the gate.
        advance(1000, false);
        EXPECT_EQ(1u, factory->getTaskDispatcher()->pendingCount());
        EXPECT_EQ(1, timer->getCount());
        timer->clearTimers();
        EXPECT_EQ(0, timer->getCount());
    }
    drainQueues();
    EXPECT_TRUE(firings.names().empty());
    EXPECT_EQ(0, timer->getCount());

    // The stale task removed nothing: the name can be scheduled and fires.
    timer->scheduleTimer(callBack("cachedA.dat", "again"), 0);
    advance(0);
    EXPECT_EQ(Names{"again"}, firings.names());
}

TEST_F(ConfigFileCacheTimerTest, TimerReleasedByItsOwnerIsNotCalled) {
    auto dropped = callBack("cachedDropped.dat");
    auto cleared = callBack("cachedCleared.dat");
    auto otherTimer = std::make_unique<ConfigFileCacheTimer>(factory);
    otherTimer->scheduleTimer(dropped, 1000);
    timer->scheduleTimer(cleared, 1000);
    otherTimer.reset();
    timer->clearTimers();
    advance(1000);
    EXPECT_TRUE(firings.names().empty());
    // Nothing holds the released callbacks any more.
    EXPECT_EQ(1, dropped.use_count());
    EXPECT_EQ(1, cleared.use_count());
}

TEST_F(ConfigFileCacheTimerTest, DebugLogTellsScheduleRefusalFiringAndRemoval) {
    nuvrixtest::LogLevelScope debug(5);
    LogCapture capture;
    timer->scheduleTimer(callBack("cachedA.dat"), 1500);
    timer->scheduleTimer(callBack("cachedA.dat"), 0);
    advance(1000);
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
