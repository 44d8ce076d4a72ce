#include "UnifiedServiceNotifiersImpl.h"

namespace ZVFUnified {

UnifiedServiceNotifiersImpl::UnifiedServiceNotifiersImpl() = default;

UnifiedServiceNotifiersImpl::~UnifiedServiceNotifiersImpl() = default;

#define DEFINE_NOTIFIER(Name, Type) ZVF_BO_NOTIFIER_DEFINE(UnifiedServiceNotifiersImpl, Name)
ZVF_UNIFIED_SERVICE_PROPERTIES(DEFINE_NOTIFIER)
#undef DEFINE_NOTIFIER

void UnifiedServiceNotifiersImpl::OnInfoChanged() {
    ZVF_UNIFIED_SERVICE_PROPERTIES(ZVF_BO_NOTIFIER_FIRE_IF_CREATED)
}

}  // namespace ZVFUnified
