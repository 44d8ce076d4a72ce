#include "ConfigFileCacheTimer.h"

#include <functional>
#include <string>
#include <utility>

#include "Processing/TaskDispatcher.h"
#include "logging/ZVFLogger.h"
#include "unified/UnifiedFactory.h"
#include "zvf/ScopedLock.h"

namespace ZVFUnified {

namespace {

ZVFLogger* const logger = ZVFLogger_getLogger("ConfigFileCacheTimer");

const char* const CALLBACK_TASK_NAME = "ConfigFileCacheTimer::TimerImpl::callBackAndRemove";

}  // namespace

// ConfigFileCacheTimer

ConfigFileCacheTimer::ConfigFileCacheTimer(std::shared_ptr<UnifiedFactory> factory)
    : impl(std::make_shared<Impl>(std::move(factory))) {}

ConfigFileCacheTimer::~ConfigFileCacheTimer() = default;

void ConfigFileCacheTimer::scheduleTimer(std::shared_ptr<ConfigFileCacheTimerCallBack> callback, long milliseconds) {
    impl->scheduleTimer(std::move(callback), milliseconds);
}

void ConfigFileCacheTimer::clearTimers() {
    impl->clearTimers();
}

int ConfigFileCacheTimer::getCount() {
    return impl->getCount();
}

// ConfigFileCacheTimer::Impl

ConfigFileCacheTimer::Impl::Impl(std::shared_ptr<UnifiedFactory> factory) : factory(std::move(factory)) {}

ConfigFileCacheTimer::Impl::~Impl() {
    ZVF_LOG(logger, 5, std::string("ConfigFileCacheTimer Destructor"));
    clearTimers();
}

void ConfigFileCacheTimer::Impl::scheduleTimer(std::shared_ptr<ConfigFileCacheTimerCallBack> callback,
                                               long milliseconds) {
    if (!callback) {
        ZVF_LOG(logger, 3, std::string("No callback given, no timer scheduled"));
        return;
    }
    zvf::ScopedLock guard(lock);
    const std::string fileName = callback->getFileName();
    ZVF_LOG(logger, 5,
            "Attempting to schedule timer for file: " + fileName + ", lasting: " + std::to_string(milliseconds) +
                "ms");
    for (const std::shared_ptr<TimerImpl>& running : timers) {
        if (running->getFileName() == fileName) {
            // The running timer keeps its first expiry.
            ZVF_LOG(logger, 5, std::string("Timer already exists, do nothing"));
            return;
        }
    }
    auto timerImpl = std::make_shared<TimerImpl>(std::move(callback), weak_from_this(), factory);
    timers.insert(timerImpl);
    timerImpl->setTimer(milliseconds);
    ZVF_LOG(logger, 5, "Timer added. Timers count: " + std::to_string(timers.size()));
}

void ConfigFileCacheTimer::Impl::clearTimers() {
    // Declared before the guard so that the timers are released, and their
    // host timers cancelled, after the lock has been given back.
    std::set<std::shared_ptr<TimerImpl>> released;
    zvf::ScopedLock guard(lock);
    ZVF_LOG(logger, 5, std::string("Removing all timers, which should stop them all"));
    for (const std::shared_ptr<TimerImpl>& running : timers) {
        running->invalidate();
    }
    released.swap(timers);
}

int ConfigFileCacheTimer::Impl::getCount() {
    zvf::ScopedLock guard(lock);
    return static_cast<int>(timers.size());
}

void ConfigFileCacheTimer::Impl::removeTimerImpl(std::shared_ptr<TimerImpl> timerImpl) {
    ZVF_LOG(logger, 5, "Removing timer. Timers count: " + std::to_string(getCount()));
    {
        zvf::ScopedLock guard(lock);
        timers.erase(timerImpl);
        timerImpl->killTimer();
    }
    ZVF_LOG(logger, 5, "Timer removed. Timers count: " + std::to_string(getCount()));
}

// ConfigFileCacheTimer::TimerImpl

ConfigFileCacheTimer::TimerImpl::TimerImpl(std::shared_ptr<ConfigFileCacheTimerCallBack> callback,
                                           std::weak_ptr<Impl> owner, std::shared_ptr<UnifiedFactory> factory)
    : callback(std::move(callback)), owner(std::move(owner)), factory(std::move(factory)), invalidated(false) {}

ConfigFileCacheTimer::TimerImpl::~TimerImpl() {
    ZVF_LOG(logger, 5, std::string("TimerImpl::~TimerImpl()"));
    timer.cancelTimer();
}

void ConfigFileCacheTimer::TimerImpl::setTimer(long milliseconds) {
    // The host timer counts whole seconds: 1999 ms run as 1 s, 999 ms as 0 s.
    long seconds = milliseconds / 1000;
    if (seconds < 0) {
        seconds = 0;
    }
    timer.setTimer(weak_from_this(), seconds);
}

void ConfigFileCacheTimer::TimerImpl::killTimer() {
    timer.cancelTimer();
}

void ConfigFileCacheTimer::TimerImpl::invalidate() {
    zvf::ScopedLock guard(lock);
    invalidated = true;
}

std::string ConfigFileCacheTimer::TimerImpl::getFileName() {
    zvf::ScopedLock guard(lock);
    return callback ? callback->getFileName() : std::string();
}

void ConfigFileCacheTimer::TimerImpl::onTimer() {
    zvf::ScopedLock guard(lock);
    if (!callback) {
        return;
    }
    ZVF_LOG(logger, 5, "Firing callback for file: " + callback->getFileName());
    std::shared_ptr<Processing::TaskDispatcher> dispatcher = factory ? factory->getTaskDispatcher() : nullptr;
    if (!dispatcher) {
        ZVF_LOG(logger, 2, "No task dispatcher, callback dropped for file: " + callback->getFileName());
        return;
    }
    // The task owns this timer until it has run, even when the timers are
    // cleared in the meantime.
    dispatcher->enqueue(std::bind(&TimerImpl::callBackAndRemove, shared_from_this()), CALLBACK_TASK_NAME);
}

void ConfigFileCacheTimer::TimerImpl::callBackAndRemove() {
    std::shared_ptr<ConfigFileCacheTimerCallBack> target;
    {
        zvf::ScopedLock guard(lock);
        if (!invalidated) {
            target = callback;
        }
    }
    // The client's action runs without any timer lock held.
    if (target) {
        target->timerFired();
    }
    remove();
}

void ConfigFileCacheTimer::TimerImpl::remove() {
    std::shared_ptr<Impl> impl = owner.lock();
    if (impl) {
        impl->removeTimerImpl(shared_from_this());
    }
}

}  // namespace ZVFUnified
