#ifndef UNIFIED_CONFIGVALUE_H
#define UNIFIED_CONFIGVALUE_H

#include <memory>
#include <string>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "ConfigServiceExport.h"
#include "unified/UnifiedBusinessObject.h"

namespace ZVFUnified {

class ConfigValueObserver;
class ConfigValueNotifiers;

// A client's live view of one configuration key: its effective value, the
// administrator's value, the stores that supplied each, and whether the key
// is defined and overridden. Obtained from ConfigService::getConfig and kept
// current by the service; observers are told which property changed. Used
// on the services thread only.
class CONFIGSERVICE_API ConfigValue : public virtual UnifiedBusinessObject {
public:
    using UnifiedBusinessObject::addObserver;
    using UnifiedBusinessObject::removeObserver;
    std::string getInterfaceName() override { return "ConfigValue"; }

    virtual void addObserver(std::weak_ptr<ConfigValueObserver> observer) = 0;
    virtual void removeObserver(std::weak_ptr<ConfigValueObserver> observer) = 0;
    virtual std::shared_ptr<ConfigValueNotifiers> getConfigValueNotifiers() = 0;
    // getKey() ... getOriginalValueStoreName(), in property order.
    ZVF_CONFIG_VALUE_PROPERTIES(ZVF_BO_INTERFACE_GETTER)
    // Writes the value for this key to the first writable store; the object
    // changes when the store manager reports the write back.
    virtual void setConfig(std::wstring value) = 0;
    // True when the value equals the given text ignoring case.
    virtual bool equals(std::wstring value) = 0;
    // Removes the value of this key from the writable stores.
    virtual void reset() = 0;
    // True when the effective value is not the administrator's own.
    virtual bool isValueLocal() = 0;
};

}  // namespace ZVFUnified

#endif
