#ifndef CONFIG_CONFIGFEATURESET_H
#define CONFIG_CONFIGFEATURESET_H

#include <map>
#include <memory>
#include <string>

#include "ConfigServiceExport.h"
#include "unified/ConfigServiceIdsEnum.h"
#include "unified/FeatureSet.h"
#include "unified/ServiceEventSeverityEnum.h"

namespace ZVFUnified {

class ConfigStore;
class ConfigStoreAddedObserver;

// The config feature set (id 1300) as the service, the value objects and
// other services of the client reach it: through the factory's
// getFeatureSet<ConfigFeatureSet>() on every call, never keeping a pointer.
// Adds and removes config stores, reads values straight from the stores,
// writes and resets values, and keeps the sensitive-key list.
// Implementations are callable from any thread.
class CONFIGSERVICE_API ConfigFeatureSet : public FeatureSet {
public:
    ~ConfigFeatureSet() override = default;
    virtual void addConfigStore(std::shared_ptr<ConfigStore> store) = 0;
    virtual bool removeConfigStore(const std::string& name) = 0;
    virtual bool isConfigStorePresent(const std::string& name) = 0;
    virtual void registerConfigStoreAddedObserver(std::shared_ptr<ConfigStoreAddedObserver> observer) = 0;
    virtual void unregisterConfigStoreAddedObserver(std::shared_ptr<ConfigStoreAddedObserver> observer) = 0;
    virtual void removeAllCachedConfigStores() = 0;
    virtual bool getConfig(const std::wstring& key, std::wstring& value, bool skipLocal) = 0;
    virtual bool getConfig(const std::wstring& key, std::wstring& value, std::wstring& storeName, bool& viaAlias,
                           bool skipLocal) = 0;
    virtual bool setConfig(const std::wstring& key, const std::wstring& value) = 0;
    virtual bool setConfig(std::map<std::wstring, std::wstring> values) = 0;
    virtual bool setInMemoryConfig(const std::wstring& key, const std::wstring& value) = 0;
    virtual void setMdmConfig(const std::string& data) = 0;
    virtual bool resetConfig(const std::wstring& key) = 0;
    virtual bool isKeySensitive(const std::wstring& key) = 0;
    virtual void setKeySensitive(const std::wstring& key) = 0;
    virtual void refreshConfigFeatureSet() = 0;
    virtual bool setUrlProvisioningData(std::wstring data) = 0;
    virtual bool resetAllowUriProvisioningData() = 0;
    virtual void resetConfigData(const std::string& storeName) = 0;
    virtual void addServiceEvent(int code, ConfigServiceIdsEnum::ConfigServiceIds serviceId,
                                 ServiceEventSeverityEnum::ServiceEventSeverity severity) = 0;
    // Writes the problem-report document of the configuration into out.
    virtual void getAllConfigForPRT(std::wstring& out) = 0;
    virtual std::wstring getValueFromConfigStore(const std::string& storeName, const std::wstring& key) = 0;
    virtual std::shared_ptr<ConfigStore> getConfigStoreByName(const std::string& name) = 0;
};

}  // namespace ZVFUnified

#endif
