#ifndef UNIFIED_UNIFIEDBUSINESSOBJECTNOTIFIERSIMPL_H
#define UNIFIED_UNIFIEDBUSINESSOBJECTNOTIFIERSIMPL_H

#include <memory>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "PropertyNotifierImpl.h"
#include "unified/UnifiedBusinessObjectNotifiers.h"
#include "unified/UnifiedBusinessObjectObserver.h"

namespace ZVFUnified {

// The notifiers object of a business object: one PropertyNotifierImpl per
// property, created on first request, and itself an observer of the object,
// so that firing a property also fires its notifier. Owned strongly by its
// business object (the host base's notifiers pointer), registered with it
// weakly. Services thread only.
//
// Each notifiers class fires, in OnInfoChanged(), the created notifiers of
// its own properties only; this one has the Guid notifier.
class UnifiedBusinessObjectNotifiersImpl : public virtual UnifiedBusinessObjectNotifiers,
                                           public virtual UnifiedBusinessObjectObserver,
                                           public std::enable_shared_from_this<UnifiedBusinessObjectNotifiersImpl> {
public:
    UnifiedBusinessObjectNotifiersImpl();
    ~UnifiedBusinessObjectNotifiersImpl() override;
    UnifiedBusinessObjectNotifiersImpl(const UnifiedBusinessObjectNotifiersImpl&) = delete;
    UnifiedBusinessObjectNotifiersImpl& operator=(const UnifiedBusinessObjectNotifiersImpl&) = delete;

    // UnifiedBusinessObjectNotifiers and UnifiedBusinessObjectObserver:
    ZVF_UNIFIED_BUSINESS_OBJECT_PROPERTIES(ZVF_BO_NOTIFIER_DECLARE)
    void OnInfoChanged() override;

private:
    ZVF_UNIFIED_BUSINESS_OBJECT_PROPERTIES(ZVF_BO_NOTIFIER_FIELD)
};

}  // namespace ZVFUnified

#endif
