#ifndef TESTS_CONFIGSERVICE_RECORDINGCONFIGFEATURESET_H
#define TESTS_CONFIGSERVICE_RECORDINGCONFIGFEATURESET_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ConfigFeatureSet.h"
#include "ConfigStore.h"
#include "PTKCoreUtils/StringUtils.h"
#include "unified/FeatureSetAdapter.h"

namespace nuvrixtest {

// A config feature set that records every call it receives as a text such
// as "setConfig(Key=Value)" and answers with configurable results. Register
// it with factory->setFeatureSetAdapter<ConfigFeatureSet>(1300, recorder) to
// stand in for the real feature set. Calls arrive on the services thread; the
// test reads the record after onServicesThread has returned.
class RecordingConfigFeatureSet : public ZVFUnified::FeatureSetAdapter, public ZVFUnified::ConfigFeatureSet {
public:
    std::vector<std::string> calls;
    bool boolResult = true;
    std::wstring prtDocument;
    std::wstring storeValue;

    // FeatureSetAdapter:
    void StartFeatureSet(unsigned int, ServiceEvents) override { record("StartFeatureSet"); }
    void StopFeatureSet(unsigned int, ServiceEvents) override { record("StopFeatureSet"); }
    void Destroy() override { record("Destroy"); }
    bool IsFeatureSetStarted(unsigned int) override { return true; }
    bool IsFeatureSetProvisioned(unsigned int) override { return true; }
    std::vector<unsigned int> GetFeatureSetDependencies(unsigned int) override { return {}; }

    // ConfigFeatureSet:
    void addConfigStore(std::shared_ptr<ZVFUnified::ConfigStore> store) override {
        record("addConfigStore(" + (store ? store->getName() : std::string()) + ")");
    }
    bool removeConfigStore(const std::string& name) override { return record("removeConfigStore(" + name + ")"); }
    bool isConfigStorePresent(const std::string& name) override {
        return record("isConfigStorePresent(" + name + ")");
    }
    void registerConfigStoreAddedObserver(std::shared_ptr<ZVFUnified::ConfigStoreAddedObserver>) override {
        record("registerConfigStoreAddedObserver");
    }
    void unregisterConfigStoreAddedObserver(std::shared_ptr<ZVFUnified::ConfigStoreAddedObserver>) override {
        record("unregisterConfigStoreAddedObserver");
    }
    void removeAllCachedConfigStores() override { record("removeAllCachedConfigStores()"); }
    bool getConfig(const std::wstring& key, std::wstring& value, bool) override {
        value = storeValue;
        return record("getConfig(" + narrow(key) + ")");
    }
    bool getConfig(const std::wstring& key, std::wstring& value, std::wstring&, bool&, bool) override {
        value = storeValue;
        return record("getConfig(" + narrow(key) + ")");
    }
    bool setConfig(const std::wstring& key, const std::wstring& value) override {
        return record("setConfig(" + narrow(key) + "=" + narrow(value) + ")");
    }
    bool setConfig(std::map<std::wstring, std::wstring> values) override {
        return record("setConfig(" + std::to_string(values.size()) + " values)");
    }
    bool setInMemoryConfig(const std::wstring& key, const std::wstring& value) override {
        return record("setInMemoryConfig(" + narrow(key) + "=" + narrow(value) + ")");
    }
    void setMdmConfig(const std::string& data) override { record("setMdmConfig(" + data + ")"); }
    bool resetConfig(const std::wstring& key) override { return record("resetConfig(" + narrow(key) + ")"); }
    bool isKeySensitive(const std::wstring& key) override { return record("isKeySensitive(" + narrow(key) + ")"); }
    void setKeySensitive(const std::wstring& key) override { record("setKeySensitive(" + narrow(key) + ")"); }
    void refreshConfigFeatureSet() override { record("refreshConfigFeatureSet()"); }
    bool setUrlProvisioningData(std::wstring data) override {
        return record("setUrlProvisioningData(" + narrow(data) + ")");
    }
    bool resetAllowUriProvisioningData() override { return record("resetAllowUriProvisioningData()"); }
    void resetConfigData(const std::string& storeName) override { record("resetConfigData(" + storeName + ")"); }
    void addServiceEvent(int code, ConfigServiceIdsEnum::ConfigServiceIds serviceId,
                         ServiceEventSeverityEnum::ServiceEventSeverity severity) override {
        record("addServiceEvent(" + std::to_string(code) + "," + std::to_string(serviceId) + "," +
               std::to_string(severity) + ")");
    }
    void getAllConfigForPRT(std::wstring& out) override {
        record("getAllConfigForPRT(" + narrow(out) + ")");
        out += prtDocument;
    }
    std::wstring getValueFromConfigStore(const std::string& storeName, const std::wstring& key) override {
        record("getValueFromConfigStore(" + storeName + "," + narrow(key) + ")");
        return storeValue;
    }
    std::shared_ptr<ZVFUnified::ConfigStore> getConfigStoreByName(const std::string& name) override {
        record("getConfigStoreByName(" + name + ")");
        return nullptr;
    }

private:
    static std::string narrow(const std::wstring& text) { return PTKCoreUtils::toString(text); }
    // Returns the configured result, which the bool operations answer with.
    bool record(const std::string& call) {
        calls.push_back(call);
        return boolResult;
    }
};

}  // namespace nuvrixtest

#endif
