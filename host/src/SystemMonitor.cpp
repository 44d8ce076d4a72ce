#include "ZVFSystemMonitor/SystemMonitor.h"

#include <algorithm>

namespace ZVFSystemMonitor {

namespace {

bool sameObserver(const std::weak_ptr<PowerEventObserver>& a, const std::weak_ptr<PowerEventObserver>& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

void SystemMonitor::addPowerEventObserver(std::weak_ptr<PowerEventObserver> observer) {
    if (observer.expired()) {
        return;
    }
    std::lock_guard<std::mutex> guard(lock);
    for (const auto& present : observers) {
        if (sameObserver(present, observer)) {
            return;
        }
    }
    observers.push_back(std::move(observer));
}

void SystemMonitor::removePowerEventObserver(std::weak_ptr<PowerEventObserver> observer) {
    std::lock_guard<std::mutex> guard(lock);
    observers.erase(std::remove_if(observers.begin(), observers.end(),
                                   [&](const std::weak_ptr<PowerEventObserver>& present) {
                                       return present.expired() || sameObserver(present, observer);
                                   }),
                    observers.end());
}

std::size_t SystemMonitor::getPowerEventObserverCount() const {
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<std::size_t>(std::count_if(
        observers.begin(), observers.end(), [](const std::weak_ptr<PowerEventObserver>& o) { return !o.expired(); }));
}

void SystemMonitor::raisePowerEvent(PowerEventTypeEnum::PowerEventType type) {
    std::vector<std::shared_ptr<PowerEventObserver>> alive;
    {
        std::lock_guard<std::mutex> guard(lock);
        observers.erase(std::remove_if(observers.begin(), observers.end(),
                                       [](const std::weak_ptr<PowerEventObserver>& o) { return o.expired(); }),
                        observers.end());
        for (const auto& weak : observers) {
            if (auto observer = weak.lock()) {
                alive.push_back(std::move(observer));
            }
        }
    }
    for (const auto& observer : alive) {
        observer->onPowerEvent(type);
    }
}

}  // namespace ZVFSystemMonitor
