#include "UnifiedBusinessObjectNotifiersImpl.h"

namespace ZVFUnified {

UnifiedBusinessObjectNotifiersImpl::UnifiedBusinessObjectNotifiersImpl() = default;

UnifiedBusinessObjectNotifiersImpl::~UnifiedBusinessObjectNotifiersImpl() = default;

#define DEFINE_NOTIFIER(Name, Type) ZVF_BO_NOTIFIER_DEFINE(UnifiedBusinessObjectNotifiersImpl, Name)
ZVF_UNIFIED_BUSINESS_OBJECT_PROPERTIES(DEFINE_NOTIFIER)
#undef DEFINE_NOTIFIER

void UnifiedBusinessObjectNotifiersImpl::OnInfoChanged() {
    ZVF_UNIFIED_BUSINESS_OBJECT_PROPERTIES(ZVF_BO_NOTIFIER_FIRE_IF_CREATED)
}

}  // namespace ZVFUnified
