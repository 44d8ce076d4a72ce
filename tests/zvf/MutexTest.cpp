// The recursive mutex, probed from a second thread.
#include "zvf/Mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "LockProbe.h"

namespace zvftest {
namespace {

TEST(MutexTest, OwnerMayLockAgainAndMustUnlockAsOften) {
    zvf::Mutex mutex;
    EXPECT_FALSE(heldByAnotherThread(mutex));
    EXPECT_EQ(0, mutex.lock());
    EXPECT_EQ(0, mutex.lock());
    EXPECT_TRUE(heldByAnotherThread(mutex));
    EXPECT_EQ(0, mutex.unlock());
    EXPECT_TRUE(heldByAnotherThread(mutex));
    EXPECT_EQ(0, mutex.unlock());
    EXPECT_FALSE(heldByAnotherThread(mutex));
}

TEST(MutexTest, TryLockSucceedsForTheOwnerAndFailsForAnotherThread) {
    zvf::Mutex mutex;
    ASSERT_EQ(0, mutex.tryLock());
    EXPECT_EQ(0, mutex.tryLock());
    int otherResult = 0;
    std::thread([&] { otherResult = mutex.tryLock(); }).join();
    EXPECT_NE(0, otherResult);
    mutex.unlock();
    mutex.unlock();
    std::thread([&] {
        otherResult = mutex.tryLock();
        mutex.unlock();
    }).join();
    EXPECT_EQ(0, otherResult);
}

TEST(MutexTest, BlockedThreadAcquiresAfterTheSecondUnlock) {
    zvf::Mutex mutex;
    mutex.lock();
    mutex.lock();
    std::atomic<bool> started{false};
    std::atomic<int> unlocks{0};
    int unlocksSeenByOther = -1;
    std::thread other([&] {
        started = true;
        mutex.lock();
        unlocksSeenByOther = unlocks.load();
        mutex.unlock();
    });
    waitUntil([&] { return started.load(); });
    unlocks = 1;
    EXPECT_EQ(0, mutex.unlock());
    EXPECT_TRUE(heldByAnotherThread(mutex));
    unlocks = 2;
    EXPECT_EQ(0, mutex.unlock());
    other.join();
    EXPECT_EQ(2, unlocksSeenByOther);
}

}  // namespace
}  // namespace zvftest
