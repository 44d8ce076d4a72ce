#include "zvf/common/BackgroundTimer.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "logging/ZVFLogger.h"

namespace zvf {
namespace common {

namespace {

ZVFLogger* logger = ZVFLogger_getLogger("Host-BackgroundTimer");

using Clock = std::chrono::steady_clock;

// The one timer thread of the process and the armed timers it serves.
// Created on first use and never destroyed: timers may be cancelled from
// destructors that run at process exit.
class TimerThread {
public:
    static TimerThread& instance() {
        static TimerThread* shared = new TimerThread;
        return *shared;
    }

    void arm(uint64_t id, std::weak_ptr<BackgroundTimerCallback> callback, long seconds) {
        // Clamped to a century so that the deadline cannot overflow the clock.
        const long kMaxSeconds = 100L * 365 * 24 * 3600;
        const long clamped = seconds < 0 ? 0 : (seconds > kMaxSeconds ? kMaxSeconds : seconds);
        std::lock_guard<std::mutex> guard(lock);
        startLocked();
        timers[id] = Armed{nowLocked() + std::chrono::seconds(clamped), std::move(callback)};
        wake.notify_all();
    }

    // Removes the timer and, unless called from inside its own callback,
    // waits for a call of it that is running now, so that the callback is
    // never entered after this returns.
    void disarm(uint64_t id) {
        std::unique_lock<std::mutex> guard(lock);
        timers.erase(id);
        if (std::this_thread::get_id() == threadId) {
            return;  // from a callback: the running call is the caller itself
        }
        finished.wait(guard, [&] { return firingId != id; });
    }

    void useManualTime() {
        std::lock_guard<std::mutex> guard(lock);
        manualNow = Clock::now();
        manual = true;
        wake.notify_all();
    }

    void advance(Clock::duration step) {
        std::unique_lock<std::mutex> guard(lock);
        manualNow += step;
        wake.notify_all();
        finished.wait(guard, [&] {
            if (firingId != 0) {
                return false;
            }
            for (const auto& armed : timers) {
                if (armed.second.deadline <= manualNow) {
                    return false;
                }
            }
            return true;
        });
    }

    void useRealTime() {
        std::lock_guard<std::mutex> guard(lock);
        manual = false;
        wake.notify_all();
    }

private:
    struct Armed {
        Clock::time_point deadline;
        std::weak_ptr<BackgroundTimerCallback> callback;
    };

    TimerThread() = default;

    Clock::time_point nowLocked() const { return manual ? manualNow : Clock::now(); }

    void startLocked() {
        if (started) {
            return;
        }
        started = true;
        std::thread worker([this] { run(); });
        pthread_setname_np(worker.native_handle(), "nuvrix-timer");
        threadId = worker.get_id();
        worker.detach();
    }

    void run() {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            if (timers.empty()) {
                wake.wait(guard);
                continue;
            }
            auto next = timers.begin();
            for (auto it = timers.begin(); it != timers.end(); ++it) {
                if (it->second.deadline < next->second.deadline) {
                    next = it;
                }
            }
            if (nowLocked() < next->second.deadline) {
                if (manual) {
                    wake.wait(guard);  // until the time is moved or the set changes
                    continue;
                }
                // A copy: the entry may be erased by disarm() while we wait.
                const Clock::time_point deadline = next->second.deadline;
                wake.wait_until(guard, deadline);
                continue;  // the set may have changed meanwhile
            }
            const uint64_t id = next->first;
            std::shared_ptr<BackgroundTimerCallback> callback = next->second.callback.lock();
            timers.erase(next);
            if (!callback) {
                finished.notify_all();  // an advance of manual time may wait for this one
                continue;               // its object is gone: nothing to call
            }
            firingId = id;
            guard.unlock();
            try {
                callback->onTimer();
            } catch (const std::exception& error) {
                ZVFLog(logger, 2, __FILE__, __LINE__, __func__, std::string("timer callback threw: ") + error.what());
            } catch (...) {
                ZVFLog(logger, 2, __FILE__, __LINE__, __func__, "timer callback threw a non-standard exception");
            }
            callback.reset();  // may destroy the callback object, outside the lock
            guard.lock();
            firingId = 0;
            finished.notify_all();
        }
    }

    std::mutex lock;  // guards everything below
    std::condition_variable wake;
    std::condition_variable finished;
    std::map<uint64_t, Armed> timers;
    uint64_t firingId = 0;  // timer whose callback runs now, 0 for none
    bool started = false;
    std::thread::id threadId;
    bool manual = false;            // timers go by manualNow instead of the clock
    Clock::time_point manualNow{};  // the stopped time, moved by advance()
};

std::atomic<uint64_t> nextTimerId{1};

}  // namespace

BackgroundTimer::BackgroundTimer() : id(nextTimerId.fetch_add(1)) {}

BackgroundTimer::~BackgroundTimer() { TimerThread::instance().disarm(id); }

void BackgroundTimer::setTimer(std::weak_ptr<BackgroundTimerCallback> callback, long seconds) {
    TimerThread::instance().arm(id, std::move(callback), seconds);
}

void BackgroundTimer::cancelTimer() { TimerThread::instance().disarm(id); }

void BackgroundTimer::useManualTimeForTesting() { TimerThread::instance().useManualTime(); }

void BackgroundTimer::advanceTimeForTesting(std::chrono::milliseconds step) { TimerThread::instance().advance(step); }

void BackgroundTimer::useRealTimeForTesting() { TimerThread::instance().useRealTime(); }

}  // namespace common
}  // namespace zvf
