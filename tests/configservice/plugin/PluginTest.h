#ifndef TESTS_CONFIGSERVICE_PLUGIN_PLUGINTEST_H
#define TESTS_CONFIGSERVICE_PLUGIN_PLUGINTEST_H

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ConfigFeatureSet.h"
#include "ConfigService.h"
#include "ConfigStore.h"
#include "HostTest.h"
#include "logging/LogCapture.h"
#include "unified/FeatureSetAdapter.h"

namespace nuvrixtest {

// A store as another service of the client would add one: fixed values,
// read-only unless told otherwise, optionally asking to be cached.
class TestConfigStore : public ZVFUnified::ConfigStore {
public:
    using Values = std::map<std::wstring, std::wstring>;
    struct Options {
        bool cacheable = false;
        bool readOnly = true;
        bool local = false;
    };
    TestConfigStore(std::string name, int priority, Values values);
    TestConfigStore(std::string name, int priority, Values values, Options options);

    // ConfigStore:
    bool getValue(const std::wstring& key, std::wstring& value) override;
    bool storeValue(const std::wstring& key, const std::wstring& value) override;
    std::vector<std::wstring> getKeys() override;
    bool removeValue(const std::wstring& key) override;
    void removeAllValues() override {}
    bool isReadOnly() override { return options.readOnly; }
    std::string getName() override { return name; }
    int getPriority() override { return priority; }
    void persistValues() override {}
    void destroy() override {}
    bool isLocal() override { return options.local; }
    bool waitForStoreReady() override { return true; }
    bool shouldCacheConfigStore() override { return options.cacheable; }

private:
    const std::string name;
    const int priority;
    const Values values;  // never changed: no lock needed
    const Options options;
};

// Drives the real plug-in: libconfigservice.so loaded with dlopen through the
// host's plug-in loader, InjectConfigService called with the fixture's
// factory, feature set 1300 controlled through the factory. Captures the log
// from the start of the test.
class PluginTest : public HostTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the plug-in (once per process) and injects it into factory.
    void inject();
    void start();
    void stop();
    // The next run of the client on the same directories: the host shuts down
    // (queued persistence written), a new factory gets the plug-in again.
    void newRun();

    ZVFUnified::FeatureSetAdapter& adapter();
    std::shared_ptr<ZVFUnified::ConfigFeatureSet> featureSet();
    std::shared_ptr<ZVFUnified::ConfigService> service();

    // The effective value of key through the feature set, "" when absent,
    // and the store that supplied it.
    std::wstring valueOf(const std::wstring& key, std::wstring* storeName = nullptr);
    // Adds a store of fixed values through the feature set, as another
    // service does, asking for it to be cached when cacheable.
    void addStore(const std::string& name, int priority, TestConfigStore::Values values, bool cacheable = false);
    // The names of the stores the manager added as new, in order.
    std::vector<std::string> addedStores() const;
    // Runs body on the services thread with the service and waits.
    void withService(const std::function<void(ZVFUnified::ConfigService&)>& body);

    // Plain defaults file in the resources directory.
    void writeDefaults(const std::map<std::string, std::string>& values);
    // The user's encrypted settings file, as the user-local store writes it.
    void writeUserSettings(const std::map<std::string, std::string>& values);
    std::string cacheFile(const std::string& storeName) const;

    std::unique_ptr<LogCapture> capture;
};

}  // namespace nuvrixtest

#endif
