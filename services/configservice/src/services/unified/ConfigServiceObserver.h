#ifndef UNIFIED_CONFIGSERVICEOBSERVER_H
#define UNIFIED_CONFIGSERVICEOBSERVER_H

#include <string>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "ConfigServiceExport.h"
#include "unified/UnifiedServiceObserver.h"

namespace ZVFUnified {

// Observer of the configuration service: one callback per service property
// (OnConfigReadyChanged). Held weakly by the service; called on the services
// thread.
class CONFIGSERVICE_API ConfigServiceObserver : public virtual UnifiedServiceObserver {
public:
    ZVF_CONFIG_SERVICE_PROPERTIES(ZVF_BO_OBSERVER_CALLBACK)
    std::string getInterfaceName() override { return "ConfigServiceObserver"; }
};

}  // namespace ZVFUnified

#endif
