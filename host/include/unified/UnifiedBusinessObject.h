#ifndef UNIFIED_UNIFIEDBUSINESSOBJECT_H
#define UNIFIED_UNIFIEDBUSINESSOBJECT_H

#include <memory>
#include <string>

#include "NuvrixHostExport.h"

namespace ZVFUnified {

class UnifiedBusinessObjectObserver;
class UnifiedBusinessObjectNotifiers;

// The interface of every business object: observable, identified by a guid,
// updated only on the services thread.
class NUVRIX_HOST_API UnifiedBusinessObject {
public:
    virtual ~UnifiedBusinessObject() = default;
    virtual void addObserver(std::weak_ptr<UnifiedBusinessObjectObserver> observer) = 0;
    virtual void removeObserver(std::weak_ptr<UnifiedBusinessObjectObserver> observer) = 0;
    virtual std::shared_ptr<UnifiedBusinessObjectNotifiers> getUnifiedBusinessObjectNotifiers() = 0;
    virtual std::string getGuid() = 0;
    virtual std::string toString() = 0;
    virtual std::string getInterfaceName() { return "UnifiedBusinessObject"; }
};

}  // namespace ZVFUnified

#endif
