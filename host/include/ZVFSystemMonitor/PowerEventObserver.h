#ifndef ZVFSYSTEMMONITOR_POWEREVENTOBSERVER_H
#define ZVFSYSTEMMONITOR_POWEREVENTOBSERVER_H

#include "NuvrixHostExport.h"
#include "ZVFSystemMonitor/PowerEventTypeEnum.h"

namespace ZVFSystemMonitor {

// Told by the system monitor about power events. Held weakly by the monitor;
// never deleted through this interface, hence the protected destructor.
class NUVRIX_HOST_API PowerEventObserver {
public:
    virtual void onPowerEvent(PowerEventTypeEnum::PowerEventType type) = 0;

protected:
    ~PowerEventObserver() = default;
};

}  // namespace ZVFSystemMonitor

#endif
