#pragma once

#include <cstdint>
#include <ostream>

#include "zvf/Condition.h"
#include "zvf/Mutex.h"

namespace zvf {

// Writer-preferring read/write lock. Any number of readers may hold it at
// once, or one writer. Once a writer waits, new readers queue behind it and
// the last reader out hands the lock to one writer; readers are woken only
// when no writer waits. Not recursive: asking again for the lock one already
// holds can block for good. Waking happens after the internal mutex has been
// released.
class RWLock {
public:
    RWLock();

    RWLock(const RWLock&) = delete;
    RWLock& operator=(const RWLock&) = delete;

    int readLock();
    int writeLock();
    // Releases the lock held by the caller, reader or writer.
    int unlock();

    // Writes "rwlock <state>, waiting writers <count>".
    friend std::ostream& operator<<(std::ostream& stream, const RWLock& lock);

private:
    mutable Mutex mutex;    // guards state and waitingWriters
    int32_t state;          // readers when positive, -1 while a writer holds it
    Condition readers;      // readers wait here
    uint32_t waitingWriters;
    Condition writers;      // writers wait here
};

std::ostream& operator<<(std::ostream& stream, const RWLock& lock);

}  // namespace zvf
