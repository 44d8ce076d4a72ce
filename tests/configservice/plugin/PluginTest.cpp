#include "PluginTest.h"

#include <filesystem>
#include <stdexcept>

#include "PTKCoreUtils/StringUtils.h"
#include "unified/PluginLoader.h"

namespace nuvrixtest {

namespace {

// Loaded once; the library stays loaded for the whole test program.
ZVFUnified::PluginLoader& pluginLoader() {
    static ZVFUnified::PluginLoader loader(NUVRIX_CONFIGSERVICE_PLUGIN_PATH, "InjectConfigService");
    return loader;
}

std::string userConfigDocument(const std::map<std::string, std::string>& values) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Nuvrix>\n";
    for (const auto& entry : values) {
        text += " <userConfig name=\"" + entry.first + "\" value=\"" + entry.second + "\"/>\n";
    }
    return text + "</Nuvrix>\n";
}

}  // namespace

TestConfigStore::TestConfigStore(std::string nameIn, int priorityIn, Values valuesIn)
    : TestConfigStore(std::move(nameIn), priorityIn, std::move(valuesIn), Options()) {}

TestConfigStore::TestConfigStore(std::string nameIn, int priorityIn, Values valuesIn, Options optionsIn)
    : name(std::move(nameIn)), priority(priorityIn), values(std::move(valuesIn)), options(optionsIn) {}

bool TestConfigStore::getValue(const std::wstring& key, std::wstring& value) {
    for (const auto& entry : values) {
        if (PTKCoreUtils::caseInsensitiveStringEquals(entry.first, key)) {
            value = entry.second;
            return true;
        }
    }
    value.clear();
    return false;
}

bool TestConfigStore::storeValue(const std::wstring&, const std::wstring&) { return false; }

std::vector<std::wstring> TestConfigStore::getKeys() {
    std::vector<std::wstring> keys;
    for (const auto& entry : values) {
        keys.push_back(entry.first);
    }
    return keys;
}

bool TestConfigStore::removeValue(const std::wstring&) { return false; }

void PluginTest::SetUp() {
    HostTest::SetUp();
    capture = std::make_unique<LogCapture>();
}

void PluginTest::TearDown() {
    HostTest::TearDown();
    capture.reset();
}

void PluginTest::inject() {
    std::string error;
    ASSERT_TRUE(pluginLoader().inject(factory, error)) << error;
}

void PluginTest::start() { adapter().StartFeatureSet(1300, nullptr); }

void PluginTest::stop() { adapter().StopFeatureSet(1300, nullptr); }

void PluginTest::newRun() {
    factory->shutdown();
    factory = ZVFUnified::UnifiedFactory::create();
    inject();
}

ZVFUnified::FeatureSetAdapter& PluginTest::adapter() {
    std::shared_ptr<ZVFUnified::FeatureSetAdapter> found = factory->getFeatureSetAdapter(1300);
    if (!found) {
        throw std::runtime_error("no feature set 1300");
    }
    return *found;
}

std::shared_ptr<ZVFUnified::ConfigFeatureSet> PluginTest::featureSet() {
    return factory->getFeatureSet<ZVFUnified::ConfigFeatureSet>();
}

std::shared_ptr<ZVFUnified::ConfigService> PluginTest::service() {
    return factory->getService<ZVFUnified::ConfigService>();
}

std::wstring PluginTest::valueOf(const std::wstring& key, std::wstring* storeName) {
    std::wstring value;
    std::wstring store;
    bool viaAlias = false;
    featureSet()->getConfig(key, value, store, viaAlias, false);
    if (storeName) {
        *storeName = store;
    }
    return value;
}

void PluginTest::addStore(const std::string& name, int priority, TestConfigStore::Values values, bool cacheable) {
    featureSet()->addConfigStore(std::make_shared<TestConfigStore>(name, priority, std::move(values),
                                                                   TestConfigStore::Options{cacheable, true, false}));
}

std::vector<std::string> PluginTest::addedStores() const {
    const std::string marker = "adding new store: ";
    std::vector<std::string> names;
    for (const std::string& message : capture->messages()) {
        if (message.rfind(marker, 0) == 0) {
            names.push_back(message.substr(marker.size(), message.find(", Config stores") - marker.size()));
        }
    }
    return names;
}

void PluginTest::withService(const std::function<void(ZVFUnified::ConfigService&)>& body) {
    std::shared_ptr<ZVFUnified::ConfigService> configService = service();
    ASSERT_TRUE(configService);
    onServicesThread([&] { body(*configService); });
}

void PluginTest::writeDefaults(const std::map<std::string, std::string>& values) {
    writeFileBytes(resourcesDir + "/nuvrix-config-defaults.xml", userConfigDocument(values));
}

void PluginTest::writeUserSettings(const std::map<std::string, std::string>& values) {
    ASSERT_TRUE(writeEncrypted(configDir + "/nuvrixLocalConfig.dat", userConfigDocument(values)));
}

std::string PluginTest::cacheFile(const std::string& storeName) const {
    return configDir + "/Cache/cached" + storeName + ".dat";
}

}  // namespace nuvrixtest
