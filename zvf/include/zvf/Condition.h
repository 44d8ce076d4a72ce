#pragma once

#include <ctime>

#include <pthread.h>

namespace zvf {

class Mutex;

// Condition variable bound to CLOCK_MONOTONIC, so that timed waits are not
// disturbed when the wall clock is set. The pthread condition and its attribute
// live in one heap block owned by this object. A condition that cannot be made
// aborts the process: the locks built on it would otherwise be unusable.
class Condition {
public:
    Condition();
    ~Condition();

    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;

    // The caller holds `mutex`; returns the pthread result.
    int wait(Mutex& mutex);
    // Waits at most `milliseconds`; 0 when signalled, ETIMEDOUT when the time
    // ran out.
    int timedWait(Mutex& mutex, long milliseconds);
    int signal();
    int broadcast();

    // Deadline `milliseconds` after `now`, with the nanoseconds normalised
    // into the seconds.
    static timespec computeDeadline(const timespec& now, long milliseconds);

private:
    struct Block {
        pthread_cond_t condition;
        pthread_condattr_t attribute;
    };

    Block* block;
};

}  // namespace zvf
