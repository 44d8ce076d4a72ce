// The scoped guard of a Mutex, with its early unlock.
#include "zvf/ScopedLock.h"

#include <gtest/gtest.h>

#include "LockProbe.h"

namespace zvftest {
namespace {

TEST(ScopedLockTest, HoldsTheMutexForItsScope) {
    zvf::Mutex mutex;
    {
        zvf::ScopedLock guard(mutex);
        EXPECT_TRUE(heldByAnotherThread(mutex));
    }
    EXPECT_FALSE(heldByAnotherThread(mutex));
}

TEST(ScopedLockTest, EarlyUnlockReleasesAtOnce) {
    zvf::Mutex mutex;
    zvf::ScopedLock guard(mutex);
    EXPECT_EQ(0, guard.unlock());
    EXPECT_FALSE(heldByAnotherThread(mutex));
}

TEST(ScopedLockTest, DestructorAfterEarlyUnlockDoesNotUnlockAgain) {
    zvf::Mutex mutex;
    mutex.lock();  // one level held outside the guard
    {
        zvf::ScopedLock guard(mutex);
        EXPECT_EQ(0, guard.unlock());
        EXPECT_EQ(0, guard.unlock());  // already released: nothing to do
    }
    EXPECT_TRUE(heldByAnotherThread(mutex));
    mutex.unlock();
    EXPECT_FALSE(heldByAnotherThread(mutex));
}

}  // namespace
}  // namespace zvftest
