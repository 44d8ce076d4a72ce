#ifndef UNIFIED_CONFIGVALUENOTIFIERS_H
#define UNIFIED_CONFIGVALUENOTIFIERS_H

#include <memory>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "ConfigServiceExport.h"
#include "unified/UnifiedBusinessObjectNotifiers.h"

namespace ZVFUnified {

class PropertyNotifier;

// The property notifiers of a config value, one per property in property
// order (getKeyNotifier ... getOriginalValueStoreNameNotifier).
class CONFIGSERVICE_API ConfigValueNotifiers : public virtual UnifiedBusinessObjectNotifiers {
public:
    ZVF_CONFIG_VALUE_PROPERTIES(ZVF_BO_NOTIFIER_GETTER)
};

}  // namespace ZVFUnified

#endif
