#include "zvf/ScopedReadRWLock.h"

namespace zvf {

ScopedReadRWLock::ScopedReadRWLock(RWLock& lock) : lock(&lock) {
    this->lock->readLock();
}

ScopedReadRWLock::~ScopedReadRWLock() {
    lock->unlock();
}

}  // namespace zvf
