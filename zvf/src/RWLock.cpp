#include "zvf/RWLock.h"

namespace zvf {

RWLock::RWLock() : state(0), waitingWriters(0) {}

int RWLock::readLock() {
    mutex.lock();
    while (state < 0 || waitingWriters > 0) {
        readers.wait(mutex);
    }
    ++state;
    mutex.unlock();
    return 0;
}

int RWLock::writeLock() {
    mutex.lock();
    while (state != 0) {
        ++waitingWriters;
        writers.wait(mutex);
        --waitingWriters;
    }
    state = -1;
    mutex.unlock();
    return 0;
}

int RWLock::unlock() {
    mutex.lock();
    if (state >= 0) {
        --state;  // a reader leaves
    } else {
        state = 0;  // the writer leaves
    }
    const int32_t stateNow = state;
    const uint32_t writersWaiting = waitingWriters;
    mutex.unlock();

    // Wake outside the mutex so that the woken thread does not block on it at
    // once. While writers wait and readers still hold the lock, nobody is woken:
    // the last reader out hands the lock to a writer.
    if (writersWaiting > 0 && stateNow == 0) {
        writers.signal();
    } else if (writersWaiting == 0) {
        readers.broadcast();
    }
    return 0;
}

std::ostream& operator<<(std::ostream& stream, const RWLock& lock) {
    lock.mutex.lock();
    const int32_t state = lock.state;
    const uint32_t waitingWriters = lock.waitingWriters;
    lock.mutex.unlock();
    return stream << "rwlock " << state << ", waiting writers " << waitingWriters;
}

}  // namespace zvf
