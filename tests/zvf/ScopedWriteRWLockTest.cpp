// The write guard of an RWLock.
#include "zvf/ScopedWriteRWLock.h"

#include <gtest/gtest.h>

#include "LockProbe.h"

namespace zvftest {
namespace {

TEST(ScopedWriteRWLockTest, HoldsTheLockExclusivelyForItsScope) {
    zvf::RWLock lock;
    {
        zvf::ScopedWriteRWLock guard(lock);
        EXPECT_EQ("rwlock -1, waiting writers 0", describe(lock));
    }
    EXPECT_EQ("rwlock 0, waiting writers 0", describe(lock));
    {
        zvf::ScopedWriteRWLock again(lock);  // free again after the first guard
        EXPECT_EQ("rwlock -1, waiting writers 0", describe(lock));
    }
}

}  // namespace
}  // namespace zvftest
