#ifndef ZVFSYSTEMMONITOR_SYSTEMMONITOR_H
#define ZVFSYSTEMMONITOR_SYSTEMMONITOR_H

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "NuvrixHostExport.h"
#include "ZVFSystemMonitor/PowerEventObserver.h"

namespace ZVFSystemMonitor {

// The host's system monitor: power-event observers, held weakly and pruned
// when expired. Thread-safe.
class NUVRIX_HOST_API SystemMonitor {
public:
    void addPowerEventObserver(std::weak_ptr<PowerEventObserver> observer);
    void removePowerEventObserver(std::weak_ptr<PowerEventObserver> observer);
    // Live observers.
    std::size_t getPowerEventObserverCount() const;

    // Host side: tells every live observer, on the calling thread, outside
    // the lock.
    void raisePowerEvent(PowerEventTypeEnum::PowerEventType type);

private:
    mutable std::mutex lock;
    std::vector<std::weak_ptr<PowerEventObserver>> observers;
};

}  // namespace ZVFSystemMonitor

#endif
