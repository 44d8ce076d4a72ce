#include "ZVFSystemMonitor/SystemMonitorFactory.h"

namespace ZVFSystemMonitor {

std::shared_ptr<SystemMonitor> SystemMonitorFactory::getInstance() {
    // Never destroyed, so that observers withdrawing at process exit find it.
    static auto* instance = new std::shared_ptr<SystemMonitor>(std::make_shared<SystemMonitor>());
    return *instance;
}

}  // namespace ZVFSystemMonitor
