#pragma once

#include <pthread.h>

#include <atomic>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "zvf/Mutex.h"
#include "zvf/RWLock.h"

namespace zvftest {

// True when a second thread cannot take `mutex` at this moment. The probe
// uses trylock, so its answer does not depend on timing.
inline bool heldByAnotherThread(zvf::Mutex& mutex) {
    bool busy = false;
    std::thread probe([&] {
        const int result = pthread_mutex_trylock(mutex.native());
        if (result == 0) {
            pthread_mutex_unlock(mutex.native());
        }
        busy = result != 0;
    });
    probe.join();
    return busy;
}

inline std::string describe(const zvf::RWLock& lock) {
    std::ostringstream text;
    text << lock;
    return text.str();
}

// Polls until `condition` holds; the test's time limit ends a hang.
inline void waitUntil(const std::function<bool()>& condition) {
    while (!condition()) {
        std::this_thread::yield();
    }
}

}  // namespace zvftest
