#include "zvf/Condition.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "zvf/Mutex.h"

namespace zvf {

namespace {

constexpr long kNanosecondsPerSecond = 1000000000L;
constexpr long kNanosecondsPerMillisecond = 1000000L;

timespec currentTimeTimespec() {
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) {
        perror("currentTimeTimespec: clock_gettime");
        now.tv_sec = 0;
        now.tv_nsec = 0;
    }
    return now;
}

}  // namespace

Condition::Condition() : block(new Block) {
    pthread_condattr_init(&block->attribute);
    if (pthread_condattr_setclock(&block->attribute, CLOCK_MONOTONIC) != 0) {
        puts("pthread_condattr_setclock: failed to set CLOCK_MONOTONIC");
        abort();
    }
    if (pthread_cond_init(&block->condition, &block->attribute) != 0) {
        puts("pthread_cond_init: failed to initialize condition variable");
        abort();
    }
}

Condition::~Condition() {
    pthread_cond_destroy(&block->condition);
    pthread_condattr_destroy(&block->attribute);
    delete block;
    block = nullptr;
}

int Condition::wait(Mutex& mutex) {
    pthread_mutex_t* native = mutex.native();
    if (native == nullptr) {
        return EINVAL;
    }
    return pthread_cond_wait(&block->condition, native);
}

timespec Condition::computeDeadline(const timespec& now, long milliseconds) {
    const long seconds = milliseconds / 1000;
    const long nanoseconds = (milliseconds % 1000) * kNanosecondsPerMillisecond;

    const ldiv_t carried = ldiv(static_cast<long>(now.tv_nsec) + nanoseconds, kNanosecondsPerSecond);
    timespec deadline{};
    deadline.tv_sec = now.tv_sec + seconds + carried.quot;
    deadline.tv_nsec = carried.rem;
    return deadline;
}

int Condition::timedWait(Mutex& mutex, long milliseconds) {
    pthread_mutex_t* native = mutex.native();
    if (native == nullptr) {
        return EINVAL;
    }
    const timespec deadline = computeDeadline(currentTimeTimespec(), milliseconds);
    const int result = pthread_cond_timedwait(&block->condition, native, &deadline);
    if (result == EINVAL) {
        puts("Condition::timedWait: pthread_cond_timedwait: EINVAL");
    }
    return result;
}

int Condition::signal() {
    return pthread_cond_signal(&block->condition);
}

int Condition::broadcast() {
    return pthread_cond_broadcast(&block->condition);
}

}  // namespace zvf
