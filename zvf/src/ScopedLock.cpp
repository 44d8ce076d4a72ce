#include "zvf/ScopedLock.h"

namespace zvf {

ScopedLock::ScopedLock(Mutex& mutex) : mutex(&mutex) {
    this->mutex->lock();
}

ScopedLock::~ScopedLock() {
    unlock();
}

int ScopedLock::unlock() {
    if (mutex == nullptr) {
        return 0;
    }
    const int result = mutex->unlock();
    mutex = nullptr;
    return result;
}

}  // namespace zvf
