#ifndef UNIFIED_CONFIGVALUEOBSERVER_H
#define UNIFIED_CONFIGVALUEOBSERVER_H

#include <string>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "ConfigServiceExport.h"
#include "unified/UnifiedBusinessObjectObserver.h"

namespace ZVFUnified {

// Observer of a config value: one callback per value property, in property
// order (OnKeyChanged, OnValueChanged, OnOriginalValueChanged,
// OnisOverriddenChanged, OnisDefinedChanged, OnValueStoreNameChanged,
// OnOriginalValueStoreNameChanged). Held weakly by the value; called on the
// services thread.
class CONFIGSERVICE_API ConfigValueObserver : public virtual UnifiedBusinessObjectObserver {
public:
    ZVF_CONFIG_VALUE_PROPERTIES(ZVF_BO_OBSERVER_CALLBACK)
    std::string getInterfaceName() override { return "ConfigValueObserver"; }
};

}  // namespace ZVFUnified

#endif
