#pragma once

#include "zvf/Mutex.h"

namespace zvf {

// Holds a Mutex for its own lifetime. unlock() releases it early, after which
// the destructor does nothing.
class ScopedLock {
public:
    explicit ScopedLock(Mutex& mutex);
    ~ScopedLock();

    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

    // The mutex's unlock result when still holding it, otherwise 0.
    int unlock();

private:
    Mutex* mutex;  // null once released
};

}  // namespace zvf
