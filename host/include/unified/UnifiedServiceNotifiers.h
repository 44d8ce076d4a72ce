#ifndef UNIFIED_UNIFIEDSERVICENOTIFIERS_H
#define UNIFIED_UNIFIEDSERVICENOTIFIERS_H

#include "unified/UnifiedBusinessObjectNotifiers.h"

namespace ZVFUnified {

class NUVRIX_HOST_API UnifiedServiceNotifiers : public virtual UnifiedBusinessObjectNotifiers {
public:
    virtual std::shared_ptr<PropertyNotifier> getBulkUpdateInProgressNotifier() = 0;
};

}  // namespace ZVFUnified

#endif
