#include "zvf/ScopedWriteRWLock.h"

namespace zvf {

ScopedWriteRWLock::ScopedWriteRWLock(RWLock& lock) : lock(&lock) {
    this->lock->writeLock();
}

ScopedWriteRWLock::~ScopedWriteRWLock() {
    lock->unlock();
}

}  // namespace zvf
