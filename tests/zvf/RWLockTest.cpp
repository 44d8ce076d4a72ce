// The writer-preferring read/write lock with real threads. A thread's
// waiting is observed through the lock's own description or through the
// kernel's view of the thread, never by sleeping.
#include "zvf/RWLock.h"

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "LockProbe.h"
#include "zvf/ScopedReadRWLock.h"
#include "zvf/ScopedWriteRWLock.h"

namespace zvftest {
namespace {

pid_t currentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

// True when the kernel reports the thread as sleeping (blocked).
bool isSleeping(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    const std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t nameEnd = content.rfind(')');
    return nameEnd != std::string::npos && nameEnd + 2 < content.size() && content[nameEnd + 2] == 'S';
}

TEST(RWLockTest, DescribesReadersAndWriter) {
    zvf::RWLock lock;
    EXPECT_EQ("rwlock 0, waiting writers 0", describe(lock));
    EXPECT_EQ(0, lock.readLock());
    EXPECT_EQ(0, lock.readLock());
    EXPECT_EQ("rwlock 2, waiting writers 0", describe(lock));
    EXPECT_EQ(0, lock.unlock());
    EXPECT_EQ(0, lock.unlock());
    EXPECT_EQ(0, lock.writeLock());
    EXPECT_EQ("rwlock -1, waiting writers 0", describe(lock));
    EXPECT_EQ(0, lock.unlock());
    EXPECT_EQ("rwlock 0, waiting writers 0", describe(lock));
}

TEST(RWLockTest, WaitingWriterGoesBeforeLaterReaders) {
    zvf::RWLock lock;
    // Two readers hold the lock.
    lock.readLock();
    lock.readLock();

    std::atomic<bool> writerHolds{false};
    std::atomic<bool> releaseWriter{false};
    std::thread writer([&] {
        lock.writeLock();
        writerHolds = true;
        waitUntil([&] { return releaseWriter.load(); });
        lock.unlock();
    });
    waitUntil([&] { return describe(lock) == "rwlock 2, waiting writers 1"; });

    std::atomic<pid_t> readerThread{0};
    std::atomic<bool> readerHolds{false};
    std::thread reader([&] {
        readerThread = currentThreadId();
        lock.readLock();
        readerHolds = true;
        lock.unlock();
    });
    // Either the third reader got in (wrong) or it is blocked in readLock().
    waitUntil([&] { return readerHolds.load() || (readerThread.load() != 0 && isSleeping(readerThread.load())); });
    EXPECT_FALSE(readerHolds.load());
    EXPECT_EQ("rwlock 2, waiting writers 1", describe(lock));

    lock.unlock();  // first reader leaves; the writer keeps waiting
    EXPECT_EQ("rwlock 1, waiting writers 1", describe(lock));
    EXPECT_FALSE(writerHolds.load());
    lock.unlock();  // the last reader out hands the lock to the writer

    waitUntil([&] { return writerHolds.load(); });
    EXPECT_EQ("rwlock -1, waiting writers 0", describe(lock));
    EXPECT_FALSE(readerHolds.load());  // the writer went first
    releaseWriter = true;
    writer.join();
    reader.join();
    EXPECT_TRUE(readerHolds.load());
    EXPECT_EQ("rwlock 0, waiting writers 0", describe(lock));
}

TEST(RWLockTest, WritersExcludeEachOtherAndReaders) {
    zvf::RWLock lock;
    long first = 0;   // guarded by lock
    long second = 0;  // guarded by lock, always equal to first outside a write
    std::atomic<int> mismatches{0};
    constexpr int kWrites = 2000;

    std::vector<std::thread> threads;
    for (int w = 0; w < 2; ++w) {
        threads.emplace_back([&] {
            for (int i = 0; i < kWrites; ++i) {
                zvf::ScopedWriteRWLock guard(lock);
                ++first;
                ++second;
            }
        });
    }
    for (int r = 0; r < 3; ++r) {
        threads.emplace_back([&] {
            for (int i = 0; i < kWrites; ++i) {
                zvf::ScopedReadRWLock guard(lock);
                if (first != second) {
                    ++mismatches;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(0, mismatches.load());
    EXPECT_EQ(2 * kWrites, first);
    EXPECT_EQ("rwlock 0, waiting writers 0", describe(lock));
}

}  // namespace
}  // namespace zvftest
