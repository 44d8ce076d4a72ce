#include "ConfigServiceBaseImpl.h"

#include <utility>

#include "ConfigServiceNotifiersImpl.h"
#include "ConfigServiceObserver.h"

namespace ZVFUnified {

ConfigServiceBaseImpl::ConfigServiceBaseImpl(std::shared_ptr<UnifiedFactory> factory)
    : UnifiedServiceImpl(std::move(factory), "ConfigServiceBaseImpl") {}

ConfigServiceBaseImpl::ConfigServiceBaseImpl(std::shared_ptr<UnifiedFactory> factory, bool commitOnChange)
    : UnifiedServiceImpl(std::move(factory), commitOnChange, "ConfigServiceBaseImpl") {}

ConfigServiceBaseImpl::~ConfigServiceBaseImpl() = default;

void ConfigServiceBaseImpl::initNotifiers() {
    if (notifiers) {
        return;
    }
    auto created = std::make_shared<ConfigServiceNotifiersImpl>();
    notifiers = created;
    addObserver(std::weak_ptr<ConfigServiceObserver>(created));
}

#define DEFINE_ACCESSORS(Name, Type) ZVF_BO_ACCESSORS_DEFINE(ConfigServiceBaseImpl, ConfigServiceObserver, Name, Type)
ZVF_CONFIG_SERVICE_PROPERTIES(DEFINE_ACCESSORS)
#undef DEFINE_ACCESSORS

void ConfigServiceBaseImpl::addObserver(std::weak_ptr<ConfigServiceObserver> observer) {
    UnifiedBusinessObjectImpl::addObserver(std::weak_ptr<UnifiedBusinessObjectObserver>(observer));
}

void ConfigServiceBaseImpl::removeObserver(std::weak_ptr<ConfigServiceObserver> observer) {
    UnifiedBusinessObjectImpl::removeObserver(std::weak_ptr<UnifiedBusinessObjectObserver>(observer));
}

std::shared_ptr<ConfigServiceNotifiers> ConfigServiceBaseImpl::getConfigServiceNotifiers() {
    initNotifiers();
    return std::dynamic_pointer_cast<ConfigServiceNotifiers>(notifiers);
}

}  // namespace ZVFUnified
