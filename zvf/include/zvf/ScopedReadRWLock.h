#pragma once

#include "zvf/RWLock.h"

namespace zvf {

// Holds the read side of an RWLock for its own lifetime.
class ScopedReadRWLock {
public:
    explicit ScopedReadRWLock(RWLock& lock);
    ~ScopedReadRWLock();

    ScopedReadRWLock(const ScopedReadRWLock&) = delete;
    ScopedReadRWLock& operator=(const ScopedReadRWLock&) = delete;

private:
    RWLock* lock;
};

}  // namespace zvf
