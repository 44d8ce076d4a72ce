#ifndef ZVFSYSTEMMONITOR_SYSTEMMONITORFACTORY_H
#define ZVFSYSTEMMONITOR_SYSTEMMONITORFACTORY_H

#include <memory>

#include "NuvrixHostExport.h"
#include "ZVFSystemMonitor/SystemMonitor.h"

namespace ZVFSystemMonitor {

class NUVRIX_HOST_API SystemMonitorFactory {
public:
    // The process-wide system monitor.
    static std::shared_ptr<SystemMonitor> getInstance();
};

}  // namespace ZVFSystemMonitor

#endif
