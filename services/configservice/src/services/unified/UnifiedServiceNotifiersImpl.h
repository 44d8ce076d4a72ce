#ifndef UNIFIED_UNIFIEDSERVICENOTIFIERSIMPL_H
#define UNIFIED_UNIFIEDSERVICENOTIFIERSIMPL_H

#include <memory>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "PropertyNotifierImpl.h"
#include "UnifiedBusinessObjectNotifiersImpl.h"
#include "unified/UnifiedServiceNotifiers.h"
#include "unified/UnifiedServiceObserver.h"

namespace ZVFUnified {

// Notifiers object of a service: adds the BulkUpdateInProgress notifier.
// Ownership and threading as UnifiedBusinessObjectNotifiersImpl.
class UnifiedServiceNotifiersImpl : public UnifiedBusinessObjectNotifiersImpl,
                                    public virtual UnifiedServiceNotifiers,
                                    public virtual UnifiedServiceObserver {
public:
    UnifiedServiceNotifiersImpl();
    ~UnifiedServiceNotifiersImpl() override;

    // UnifiedServiceNotifiers and UnifiedServiceObserver:
    ZVF_UNIFIED_SERVICE_PROPERTIES(ZVF_BO_NOTIFIER_DECLARE)
    void OnInfoChanged() override;

private:
    ZVF_UNIFIED_SERVICE_PROPERTIES(ZVF_BO_NOTIFIER_FIELD)
};

}  // namespace ZVFUnified

#endif
