#ifndef UNIFIED_UNIFIEDSERVICE_H
#define UNIFIED_UNIFIEDSERVICE_H

#include "unified/UnifiedBusinessObject.h"

namespace ZVFUnified {

class UnifiedServiceObserver;
class UnifiedServiceNotifiers;

// A business object registered with the factory's service registry.
class NUVRIX_HOST_API UnifiedService : public virtual UnifiedBusinessObject {
public:
    using UnifiedBusinessObject::addObserver;
    using UnifiedBusinessObject::removeObserver;
    std::string getInterfaceName() override { return "UnifiedService"; }
    virtual void addObserver(std::weak_ptr<UnifiedServiceObserver> observer) = 0;
    virtual void removeObserver(std::weak_ptr<UnifiedServiceObserver> observer) = 0;
    virtual std::shared_ptr<UnifiedServiceNotifiers> getUnifiedServiceNotifiers() = 0;
    virtual bool getBulkUpdateInProgress() = 0;
};

}  // namespace ZVFUnified

#endif
