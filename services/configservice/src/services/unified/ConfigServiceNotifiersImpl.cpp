#include "ConfigServiceNotifiersImpl.h"

namespace ZVFUnified {

ConfigServiceNotifiersImpl::ConfigServiceNotifiersImpl() = default;

ConfigServiceNotifiersImpl::~ConfigServiceNotifiersImpl() = default;

#define DEFINE_NOTIFIER(Name, Type) ZVF_BO_NOTIFIER_DEFINE(ConfigServiceNotifiersImpl, Name)
ZVF_CONFIG_SERVICE_PROPERTIES(DEFINE_NOTIFIER)
#undef DEFINE_NOTIFIER

void ConfigServiceNotifiersImpl::OnInfoChanged() {
    ZVF_CONFIG_SERVICE_PROPERTIES(ZVF_BO_NOTIFIER_FIRE_IF_CREATED)
}

}  // namespace ZVFUnified
