#ifndef UNIFIED_UNIFIEDBUSINESSOBJECTNOTIFIERS_H
#define UNIFIED_UNIFIEDBUSINESSOBJECTNOTIFIERS_H

#include <memory>

#include "NuvrixHostExport.h"

namespace ZVFUnified {

class PropertyNotifier;

// Per-property notifiers of a business object; connected functions run when
// the property fires.
class NUVRIX_HOST_API UnifiedBusinessObjectNotifiers {
public:
    virtual ~UnifiedBusinessObjectNotifiers() = default;
    virtual std::shared_ptr<PropertyNotifier> getGuidNotifier() = 0;
};

}  // namespace ZVFUnified

#endif
