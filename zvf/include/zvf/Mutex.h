#pragma once

#include <pthread.h>

namespace zvf {

// Recursive mutex over POSIX threads: the thread that holds it may lock it
// again and must unlock it as often as it locked it. The pthread mutex and its
// attribute live in one heap block owned by this object. Errors are returned
// as the pthread result; after destruction every call returns 1.
class Mutex {
public:
    Mutex();
    ~Mutex();

    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    int lock();
    // 0 when the mutex was free (or already held by this thread) and is now
    // held; EBUSY when another thread holds it. Never waits.
    int tryLock();
    int unlock();

    // The underlying pthread mutex, for Condition to wait on; null once
    // destroyed.
    pthread_mutex_t* native();

private:
    struct Block {
        pthread_mutex_t mutex;
        pthread_mutexattr_t attribute;
    };

    Block* block;  // null after destruction
};

}  // namespace zvf
