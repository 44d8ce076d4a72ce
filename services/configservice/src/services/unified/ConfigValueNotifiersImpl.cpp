#include "ConfigValueNotifiersImpl.h"

namespace ZVFUnified {

ConfigValueNotifiersImpl::ConfigValueNotifiersImpl() = default;

ConfigValueNotifiersImpl::~ConfigValueNotifiersImpl() = default;

#define DEFINE_NOTIFIER(Name, Type) ZVF_BO_NOTIFIER_DEFINE(ConfigValueNotifiersImpl, Name)
ZVF_CONFIG_VALUE_PROPERTIES(DEFINE_NOTIFIER)
#undef DEFINE_NOTIFIER

void ConfigValueNotifiersImpl::OnInfoChanged() {
    ZVF_CONFIG_VALUE_PROPERTIES(ZVF_BO_NOTIFIER_FIRE_IF_CREATED)
}

}  // namespace ZVFUnified
