#include "ConfigValueBaseImpl.h"

#include <utility>

#include "ConfigValueNotifiersImpl.h"
#include "ConfigValueObserver.h"

namespace ZVFUnified {

ConfigValueBaseImpl::ConfigValueBaseImpl(std::shared_ptr<UnifiedFactory> factory)
    : UnifiedBusinessObjectImpl(std::move(factory), "ConfigValueBaseImpl") {}

ConfigValueBaseImpl::ConfigValueBaseImpl(std::shared_ptr<UnifiedFactory> factory, bool commitOnChange)
    : UnifiedBusinessObjectImpl(std::move(factory), commitOnChange, "ConfigValueBaseImpl") {}

ConfigValueBaseImpl::~ConfigValueBaseImpl() = default;

void ConfigValueBaseImpl::initNotifiers() {
    if (notifiers) {
        return;
    }
    auto created = std::make_shared<ConfigValueNotifiersImpl>();
    notifiers = created;
    addObserver(std::weak_ptr<ConfigValueObserver>(created));
}

#define DEFINE_ACCESSORS(Name, Type) ZVF_BO_ACCESSORS_DEFINE(ConfigValueBaseImpl, ConfigValueObserver, Name, Type)
ZVF_CONFIG_VALUE_PROPERTIES(DEFINE_ACCESSORS)
#undef DEFINE_ACCESSORS

void ConfigValueBaseImpl::addObserver(std::weak_ptr<ConfigValueObserver> observer) {
    UnifiedBusinessObjectImpl::addObserver(std::weak_ptr<UnifiedBusinessObjectObserver>(observer));
}

void ConfigValueBaseImpl::removeObserver(std::weak_ptr<ConfigValueObserver> observer) {
    UnifiedBusinessObjectImpl::removeObserver(std::weak_ptr<UnifiedBusinessObjectObserver>(observer));
}

std::shared_ptr<ConfigValueNotifiers> ConfigValueBaseImpl::getConfigValueNotifiers() {
    initNotifiers();
    return std::dynamic_pointer_cast<ConfigValueNotifiers>(notifiers);
}

}  // namespace ZVFUnified
