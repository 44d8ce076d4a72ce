#pragma once

#include "zvf/RWLock.h"

namespace zvf {

// Holds the write side of an RWLock for its own lifetime.
class ScopedWriteRWLock {
public:
    explicit ScopedWriteRWLock(RWLock& lock);
    ~ScopedWriteRWLock();

    ScopedWriteRWLock(const ScopedWriteRWLock&) = delete;
    ScopedWriteRWLock& operator=(const ScopedWriteRWLock&) = delete;

private:
    RWLock* lock;
};

}  // namespace zvf
