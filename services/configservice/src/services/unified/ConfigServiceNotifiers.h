#ifndef UNIFIED_CONFIGSERVICENOTIFIERS_H
#define UNIFIED_CONFIGSERVICENOTIFIERS_H

#include <memory>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "ConfigServiceExport.h"
#include "unified/UnifiedServiceNotifiers.h"

namespace ZVFUnified {

class PropertyNotifier;

// The property notifiers of the configuration service (getConfigReadyNotifier).
class CONFIGSERVICE_API ConfigServiceNotifiers : public virtual UnifiedServiceNotifiers {
public:
    ZVF_CONFIG_SERVICE_PROPERTIES(ZVF_BO_NOTIFIER_GETTER)
};

}  // namespace ZVFUnified

#endif
