#ifndef CONFIGSERVICE_CONFIGFILECACHETIMER_H
#define CONFIGSERVICE_CONFIGFILECACHETIMER_H

#include <memory>
#include <set>
#include <string>

#include "ConfigFileCacheTimerCallBack.h"
#include "ConfigServiceExport.h"
#include "zvf/Mutex.h"
#include "zvf/common/BackgroundTimer.h"
#include "zvf/common/BackgroundTimerCallback.h"

namespace ZVFUnified {

class UnifiedFactory;

// One-shot timers keyed by file name. A client hands in a callback naming a
// file and a duration; when the duration (in whole seconds, truncated) has
// passed, the callback's timerFired() runs once on the host task dispatcher
// and the timer is forgotten. At most one timer per file name (compared
// exactly) runs at a time: scheduling a name that is already running keeps
// the first expiry. Owns its implementation through a shared pointer so that
// running timers can refer back to it weakly. Thread-safe: scheduleTimer,
// clearTimers and getCount may be called from any thread.
class CONFIGSERVICE_API ConfigFileCacheTimer {
public:
    explicit ConfigFileCacheTimer(std::shared_ptr<UnifiedFactory> factory);
    virtual ~ConfigFileCacheTimer();
    ConfigFileCacheTimer(const ConfigFileCacheTimer&) = delete;
    ConfigFileCacheTimer& operator=(const ConfigFileCacheTimer&) = delete;

    virtual void scheduleTimer(std::shared_ptr<ConfigFileCacheTimerCallBack> callback, long milliseconds);
    // Forgets every timer; a callback whose task is already queued is skipped.
    virtual void clearTimers();
    // The number of timers scheduled and not yet called back or cleared.
    int getCount();

    class TimerImpl;

    // The set of running timers. Timers hold it weakly, so a timer that
    // fires after the ConfigFileCacheTimer has gone removes nothing.
    class Impl : public std::enable_shared_from_this<Impl> {
    public:
        explicit Impl(std::shared_ptr<UnifiedFactory> factory);
        ~Impl();
        Impl(const Impl&) = delete;
        Impl& operator=(const Impl&) = delete;

        void scheduleTimer(std::shared_ptr<ConfigFileCacheTimerCallBack> callback, long milliseconds);
        void clearTimers();
        int getCount();
        // Called by a timer once its callback has run (or was skipped).
        void removeTimerImpl(std::shared_ptr<TimerImpl> timerImpl);

    private:
        zvf::Mutex lock;                              // guards timers
        std::set<std::shared_ptr<TimerImpl>> timers;  // ordered by pointer
        std::shared_ptr<UnifiedFactory> factory;
    };

    // One running timer: the host timer calls onTimer() on its own thread,
    // which only queues callBackAndRemove() on the task dispatcher. The queued
    // task holds this object strongly, so it outlives a clearTimers() that
    // happens in between; invalidate() then makes it skip the callback.
    class TimerImpl : public zvf::common::BackgroundTimerCallback, public std::enable_shared_from_this<TimerImpl> {
    public:
        TimerImpl(std::shared_ptr<ConfigFileCacheTimerCallBack> callback, std::weak_ptr<Impl> owner,
                  std::shared_ptr<UnifiedFactory> factory);
        ~TimerImpl() override;
        TimerImpl(const TimerImpl&) = delete;
        TimerImpl& operator=(const TimerImpl&) = delete;

        // zvf::common::BackgroundTimerCallback:
        void onTimer() override;

        void setTimer(long milliseconds);
        void killTimer();
        void invalidate();
        std::string getFileName();
        void callBackAndRemove();
        void remove();

    private:
        zvf::Mutex lock;  // guards callback and invalidated
        std::shared_ptr<ConfigFileCacheTimerCallBack> callback;
        std::weak_ptr<Impl> owner;
        std::shared_ptr<UnifiedFactory> factory;
        bool invalidated;  // set by clearTimers(); the callback is then skipped
        zvf::common::BackgroundTimer timer;
    };

private:
    std::shared_ptr<Impl> impl;
};

}  // namespace ZVFUnified

#endif
