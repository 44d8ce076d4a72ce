// The monotonic-clock condition: deadline arithmetic, a real time-out and
// real wake-ups.
#include "zvf/Condition.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "LockProbe.h"
#include "zvf/Mutex.h"
#include "zvf/ScopedLock.h"

namespace zvftest {
namespace {

timespec at(time_t seconds, long nanoseconds) { return timespec{seconds, nanoseconds}; }

void expectDeadline(const timespec& expected, const timespec& actual) {
    EXPECT_EQ(expected.tv_sec, actual.tv_sec);
    EXPECT_EQ(expected.tv_nsec, actual.tv_nsec);
}

TEST(ConditionTest, DeadlineCarriesNanosecondsIntoSeconds) {
    expectDeadline(at(12, 300000000), zvf::Condition::computeDeadline(at(10, 800000000), 1500));
    expectDeadline(at(4, 0), zvf::Condition::computeDeadline(at(3, 500000000), 500));
    expectDeadline(at(1, 999999), zvf::Condition::computeDeadline(at(0, 999999999), 1));
    expectDeadline(at(5, 123), zvf::Condition::computeDeadline(at(5, 123), 0));
    expectDeadline(at(3607, 999000000), zvf::Condition::computeDeadline(at(7, 0), 3600999));
}

TEST(ConditionTest, TimedWaitTimesOutWhenNobodySignals) {
    zvf::Mutex mutex;
    zvf::Condition condition;
    zvf::ScopedLock guard(mutex);
    int result = 0;
    // A spurious wake-up returns 0 too; only the time-out ends the loop.
    for (int attempt = 0; attempt < 100 && result == 0; ++attempt) {
        result = condition.timedWait(mutex, 5);
    }
    EXPECT_EQ(ETIMEDOUT, result);
}

TEST(ConditionTest, TimedWaitReturnsZeroWhenSignalled) {
    zvf::Mutex mutex;
    zvf::Condition condition;
    bool waiting = false;  // guarded by mutex
    bool ready = false;    // guarded by mutex
    int result = -1;
    std::thread waiter([&] {
        zvf::ScopedLock guard(mutex);
        waiting = true;
        while (!ready) {
            result = condition.timedWait(mutex, 600000);
        }
    });
    // The waiter holds the mutex from setting `waiting` until it waits, so
    // once we see the flag under the mutex it is inside timedWait.
    waitUntil([&] {
        zvf::ScopedLock guard(mutex);
        return waiting;
    });
    {
        zvf::ScopedLock guard(mutex);
        ready = true;
        EXPECT_EQ(0, condition.signal());
    }
    waiter.join();
    EXPECT_EQ(0, result);
}

TEST(ConditionTest, BroadcastWakesEveryWaiter) {
    zvf::Mutex mutex;
    zvf::Condition condition;
    int waiting = 0;  // guarded by mutex
    bool go = false;  // guarded by mutex
    int woken = 0;    // guarded by mutex
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            zvf::ScopedLock guard(mutex);
            ++waiting;
            while (!go) {
                EXPECT_EQ(0, condition.wait(mutex));
            }
            ++woken;
        });
    }
    waitUntil([&] {
        zvf::ScopedLock guard(mutex);
        return waiting == 3;
    });
    {
        zvf::ScopedLock guard(mutex);
        go = true;
        EXPECT_EQ(0, condition.broadcast());
    }
    for (std::thread& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(3, woken);
}

}  // namespace
}  // namespace zvftest
