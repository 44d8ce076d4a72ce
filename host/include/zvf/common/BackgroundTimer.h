#ifndef ZVF_COMMON_BACKGROUNDTIMER_H
#define ZVF_COMMON_BACKGROUNDTIMER_H

#include <chrono>
#include <cstdint>
#include <memory>

#include "NuvrixHostExport.h"
#include "zvf/common/BackgroundTimerCallback.h"

namespace zvf {
namespace common {

// A one-shot timer served by one shared timer thread. Once the duration has
// passed, the thread calls the callback's onTimer() unless cancelTimer() was
// called first or the callback object no longer exists (it is held weakly).
// Setting the timer again replaces the previous expiry. The destructor
// cancels. 0 seconds fires promptly (negative counts as 0). Thread-safe.
//
// onTimer() runs on the timer thread with no lock of the timer held, so it
// may set, cancel or destroy timers itself. cancelTimer() and the destructor
// wait for a call of this timer's callback that is running at that moment
// (unless they are called from inside it), so once they return the callback
// is not entered again: do not call them while holding a lock that the
// callback takes.
//
// The timers go by the steady clock. A test may stop their time instead and
// move it forward by hand, so that a timer of seconds expires without real
// waiting; the switch is process-wide and meant for tests only.
class NUVRIX_HOST_API BackgroundTimer {
public:
    BackgroundTimer();
    ~BackgroundTimer();
    BackgroundTimer(const BackgroundTimer&) = delete;
    BackgroundTimer& operator=(const BackgroundTimer&) = delete;

    void setTimer(std::weak_ptr<BackgroundTimerCallback> callback, long seconds);
    void cancelTimer();

    // From now on the timers' time stands still (at the present instant)
    // until advanceTimeForTesting() moves it.
    static void useManualTimeForTesting();
    // Moves the stopped time forward by step and returns once every timer it
    // made due has been called, or dropped because its callback was gone.
    static void advanceTimeForTesting(std::chrono::milliseconds step);
    // Back to the steady clock.
    static void useRealTimeForTesting();

private:
    uint64_t id;  // identity of this timer on the shared timer thread
};

}  // namespace common
}  // namespace zvf

#endif
