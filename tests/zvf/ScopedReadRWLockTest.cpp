// The read guard of an RWLock.
#include "zvf/ScopedReadRWLock.h"

#include <gtest/gtest.h>

#include "LockProbe.h"

namespace zvftest {
namespace {

TEST(ScopedReadRWLockTest, GuardsShareTheLockForTheirScope) {
    zvf::RWLock lock;
    {
        zvf::ScopedReadRWLock first(lock);
        zvf::ScopedReadRWLock second(lock);
        EXPECT_EQ("rwlock 2, waiting writers 0", describe(lock));
    }
    EXPECT_EQ("rwlock 0, waiting writers 0", describe(lock));
}

}  // namespace
}  // namespace zvftest
