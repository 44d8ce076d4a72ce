#ifndef UNIFIED_CONFIGSERVICEBASEIMPL_H
#define UNIFIED_CONFIGSERVICEBASEIMPL_H

#include <memory>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "ConfigService.h"
#include "UnifiedServiceImpl.h"

namespace ZVFUnified {

class UnifiedFactory;
class ConfigServiceObserver;
class ConfigServiceNotifiers;

// Generated layer of the configuration service: its properties (ConfigReady,
// false at construction) with getter, setter and fire operation, its typed
// observers and its notifiers object. The service operations proper are
// ConfigServiceImpl's. Every property access asserts update access (services
// thread).
class ConfigServiceBaseImpl : public UnifiedServiceImpl, public ConfigService {
public:
    explicit ConfigServiceBaseImpl(std::shared_ptr<UnifiedFactory> factory);
    ConfigServiceBaseImpl(std::shared_ptr<UnifiedFactory> factory, bool commitOnChange);
    ~ConfigServiceBaseImpl() override;

    using UnifiedServiceImpl::addObserver;
    using UnifiedServiceImpl::removeObserver;

    // UnifiedBusinessObjectImpl: creates the ConfigServiceNotifiersImpl on
    // first call and registers it as an observer (weakly); the host base's
    // notifiers pointer owns it.
    void initNotifiers() override;

    // Properties: getConfigReady(), setConfigReady(bool), fireConfigReady().
    ZVF_CONFIG_SERVICE_PROPERTIES(ZVF_BO_ACCESSORS_DECLARE)

    // ConfigService:
    void addObserver(std::weak_ptr<ConfigServiceObserver> observer) override;
    void removeObserver(std::weak_ptr<ConfigServiceObserver> observer) override;
    std::shared_ptr<ConfigServiceNotifiers> getConfigServiceNotifiers() override;

protected:
    // The property fields; the implementation class reads them directly where a
    // getter's copy would be wasted (after asserting update access itself).
    ZVF_CONFIG_SERVICE_PROPERTIES(ZVF_BO_FIELD)
};

}  // namespace ZVFUnified

#endif
