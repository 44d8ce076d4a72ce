#ifndef UNIFIED_CONFIGSERVICE_H
#define UNIFIED_CONFIGSERVICE_H

#include <memory>
#include <string>
#include <vector>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "ConfigServiceExport.h"
#include "unified/UnifiedService.h"

namespace ZVFUnified {

class ConfigValue;
class ConfigServiceObserver;
class ConfigServiceNotifiers;

// The configuration service as clients hold it (service id 1300): one live
// ConfigValue per key, writes and resets forwarded to the config feature
// set, and the ConfigReady property. Used on the services thread only,
// except where an operation says otherwise.
class CONFIGSERVICE_API ConfigService : public virtual UnifiedService {
public:
    using UnifiedService::addObserver;
    using UnifiedService::removeObserver;
    std::string getInterfaceName() override { return "ConfigService"; }

    virtual void addObserver(std::weak_ptr<ConfigServiceObserver> observer) = 0;
    virtual void removeObserver(std::weak_ptr<ConfigServiceObserver> observer) = 0;
    virtual std::shared_ptr<ConfigServiceNotifiers> getConfigServiceNotifiers() = 0;
    // getConfigReady().
    ZVF_CONFIG_SERVICE_PROPERTIES(ZVF_BO_INTERFACE_GETTER)
    // The value object of a key (old key names resolved); never empty.
    virtual std::shared_ptr<ConfigValue> getConfig(std::wstring key) = 0;
    virtual void setConfig(std::wstring key, std::wstring value) = 0;
    virtual void setInMemoryConfig(std::wstring key, std::wstring value) = 0;
    virtual void setMdmConfig(std::string text) = 0;
    // Every value object known to the service, in key order. Any thread.
    virtual std::shared_ptr<std::vector<std::shared_ptr<ConfigValue>>> getAllConfig() = 0;
    virtual void resetConfig(std::wstring key) = 0;
    virtual bool removeConfigStoreAndCache(std::wstring storeName) = 0;
    virtual void removeAllCachedConfigStores() = 0;
    // Writes every known value, with provenance, to the log.
    virtual void logConfig() = 0;
    virtual void setKeySensitive(std::wstring key) = 0;
    virtual bool isKeySensitive(std::wstring key) = 0;
    // Any thread.
    virtual bool setUrlProvisioningData(std::wstring data) = 0;
    // Any thread.
    virtual bool resetAllowUriProvisioningData() = 0;
    // The problem-report document of the configuration.
    virtual std::wstring getAllConfigForPRT() = 0;
    virtual std::wstring getValueFromConfigStore(std::string storeName, std::wstring key) = 0;
};

}  // namespace ZVFUnified

#endif
