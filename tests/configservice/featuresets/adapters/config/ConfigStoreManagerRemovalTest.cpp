// Removal, reset and cache-file deletion of the store manager, on the real
// host: its data persistor deletes files in a private configuration
// directory, and the manager reaches it through the process-wide factory.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ConfigStoreManager.h"
#include "HostTest.h"
#include "RecordingConfigStore.h"
#include "logging/LogCapture.h"
#include "logging/ZVFLogger.h"

namespace {

using storemanagertest::RecordingConfigStore;
using storemanagertest::RecordingObserver;
using ZVFUnified::ConfigStoreManager;

RecordingConfigStore::Options localStore(bool readOnly) {
    RecordingConfigStore::Options options;
    options.readOnly = readOnly;
    options.local = true;
    return options;
}

RecordingConfigStore::Options cacheableStore() {
    RecordingConfigStore::Options options;
    options.cacheable = true;
    return options;
}

class ConfigStoreManagerRemovalTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        savedLevel = ZVFLogger_getLevel();
        ZVFLogger_setLevel(4);
        cacheDir = configDir + "/Cache";
        std::filesystem::create_directories(cacheDir);
        manager = std::make_unique<ConfigStoreManager>(factory);
        manager->AddObserver(&observer);
    }
    void TearDown() override {
        manager.reset();
        ZVFLogger_setLevel(savedLevel);
        HostTest::TearDown();
    }

    // Lists a store holding the given values.
    std::shared_ptr<RecordingConfigStore> add(const std::string& name, int priority,
                                              RecordingConfigStore::Options options,
                                              std::vector<std::pair<std::wstring, std::wstring>> values) {
        auto store = std::make_shared<RecordingConfigStore>(name, priority, options);
        for (const auto& entry : values) {
            store->with(entry.first, entry.second);
        }
        manager->addStore(store);
        return store;
    }

    void writeCacheFile(const std::string& name) { nuvrixtest::writeFileBytes(cacheDir + "/" + name, "cached"); }

    std::vector<std::string> cacheFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(cacheDir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::vector<std::string> managerMessages(const LogCapture& capture) {
        std::vector<std::string> out;
        for (const LogCapture::Record& record : capture.records()) {
            if (record.logger == "ConfigService-ConfigStoreManager") {
                out.push_back(record.message);
            }
        }
        return out;
    }

    std::string cacheDir;
    RecordingObserver observer;
    std::unique_ptr<ConfigStoreManager> manager;
    int savedLevel = 4;
};

TEST_F(ConfigStoreManagerRemovalTest, ResetDropsNonLocalStoresAndReportsTheRemainingValues) {
    add("LocalFileConfigStore", 20, storemanagertest::writableStore(), {{L"A", L"user"}});
    auto server =
        add("TFTPConfigStore", 100, storemanagertest::readOnlyStore(), {{L"A", L"server"}, {L"B", L"serverB"}});
    add("InMemoryConfigStore", 600, localStore(false), {{L"B", L"memory"}});
    add("nuvrix-config-defaults.xml", 2147483647, localStore(true), {{L"A", L"default"}});
    observer.clear();

    manager->reset();

    EXPECT_FALSE(manager->containsStore("LocalFileConfigStore"));
    EXPECT_FALSE(manager->containsStore("TFTPConfigStore"));
    EXPECT_TRUE(manager->containsStore("InMemoryConfigStore"));
    EXPECT_TRUE(manager->containsStore("nuvrix-config-defaults.xml"));
    // The walk starts at the back: the server store goes first, while the
    // user store still answers; then the user store.
    EXPECT_EQ((std::vector<std::wstring>{
                  L"update A=user orig=default overridden=1 defined=1 store=LocalFileConfigStore "
                  L"origStore=nuvrix-config-defaults.xml silent=1",
                  L"update B=memory orig= overridden=1 defined=1 store=InMemoryConfigStore origStore= silent=1",
                  L"fire A",
                  L"fire B",
                  L"update A=default orig=default overridden=0 defined=1 store=nuvrix-config-defaults.xml "
                  L"origStore=nuvrix-config-defaults.xml silent=1",
                  L"fire A",
              }),
              observer.events());
    // Dropping a store leaves its values alone.
    std::wstring value;
    EXPECT_TRUE(server->getValue(L"B", value));

    // Only local stores are left: a second reset changes nothing and tells
    // nobody.
    observer.clear();
    manager->reset();
    EXPECT_TRUE(manager->containsStore("InMemoryConfigStore"));
    EXPECT_TRUE(manager->containsStore("nuvrix-config-defaults.xml"));
    EXPECT_TRUE(observer.events().empty());
}

TEST_F(ConfigStoreManagerRemovalTest, ResetConfigDataKeepsExactlyTheFiveInstallationStores) {
    std::vector<std::shared_ptr<RecordingConfigStore>> kept = {
        add("devOverrideConfigStore", 1, localStore(true), {{L"DevKey", L"1"}}),
        add("BootstrapConfigStore", 10, localStore(true), {{L"BootKey", L"1"}}),
        add("UrlProvisioningConfigStore", 499, localStore(true), {{L"ServicesDomain", L"example.com"}}),
        add("MdmConfigStore", 500, localStore(true), {{L"MdmKey", L"1"}}),
        add("nuvrix-config-defaults.xml", 2147483647, localStore(true), {{L"DefaultKey", L"1"}}),
    };
    auto user = add("LocalFileConfigStore", 20, storemanagertest::writableStore(), {{L"UserKey", L"mine"}});
    auto server = add("TFTPConfigStore", 100, cacheableStore(), {{L"ServerKey", L"theirs"}});
    auto memory = add("InMemoryConfigStore", 600, localStore(false), {{L"MemoryKey", L"now"}});
    writeCacheFile("cachedTFTPConfigStore.dat");
    writeCacheFile("cachedUrlProvisioningConfigStore.dat");
    observer.clear();
    LogCapture capture;

    manager->resetConfigData();

    for (const auto& store : kept) {
        EXPECT_TRUE(manager->containsStore(store->getName())) << store->getName();
        EXPECT_EQ(1u, store->getKeys().size()) << store->getName();
    }
    for (const auto& store : {user, server, memory}) {
        EXPECT_FALSE(manager->containsStore(store->getName())) << store->getName();
        EXPECT_TRUE(store->getKeys().empty()) << store->getName();
    }
    EXPECT_EQ((std::vector<std::string>{
                  "Removing store InMemoryConfigStore from ConfigManager.",
                  "Removing store: InMemoryConfigStore",
                  "Removing all keys for store: InMemoryConfigStore",
                  "Removing store TFTPConfigStore from ConfigManager.",
                  "storeName: cachedTFTPConfigStore.dat",
                  "Removing store: TFTPConfigStore",
                  "Removing all keys for store: TFTPConfigStore",
                  "Removing store LocalFileConfigStore from ConfigManager.",
                  "Removing store: LocalFileConfigStore",
                  "Removing all keys for store: LocalFileConfigStore",
              }),
              managerMessages(capture));
    // The removed stores' keys were re-reported as undefined.
    EXPECT_EQ((std::vector<std::wstring>{
                  L"update MemoryKey= orig= overridden=0 defined=0 store= origStore= silent=1",
                  L"fire MemoryKey",
                  L"update ServerKey= orig= overridden=0 defined=0 store= origStore= silent=1",
                  L"fire ServerKey",
                  L"update UserKey= orig= overridden=0 defined=0 store= origStore= silent=1",
                  L"fire UserKey",
              }),
              observer.events());
    // The cached store's file went with it; the kept store's file stays.
    EXPECT_EQ(std::vector<std::string>{"cachedUrlProvisioningConfigStore.dat"}, cacheFiles());
}

TEST_F(ConfigStoreManagerRemovalTest, ResetConfigDataComparesKeptNamesExactly) {
    auto mdm = add("mdmconfigstore", 500, localStore(true), {{L"MdmKey", L"1"}});
    auto devOverride = add("DevOverrideConfigStore", 1, localStore(true), {{L"DevKey", L"1"}});
    auto bootstrap = add("BootstrapConfigStore", 10, localStore(true), {{L"BootKey", L"1"}});

    manager->resetConfigData();

    EXPECT_FALSE(manager->containsStore("mdmconfigstore"));
    EXPECT_FALSE(manager->containsStore("DevOverrideConfigStore"));
    EXPECT_TRUE(mdm->getKeys().empty());
    EXPECT_TRUE(devOverride->getKeys().empty());
    EXPECT_TRUE(manager->containsStore("BootstrapConfigStore"));
    EXPECT_EQ(1u, bootstrap->getKeys().size());
}

TEST_F(ConfigStoreManagerRemovalTest, ResetConfigDataOfOneStoreEmptiesItInPlaceSilently) {
    auto server = add("TFTPConfigStore", 100, storemanagertest::readOnlyStore(), {{L"ServerKey", L"theirs"}});
    observer.clear();
    LogCapture capture;

    // Names are compared exactly here: another spelling finds nothing.
    manager->resetConfigData("tftpconfigstore");
    EXPECT_EQ(1u, server->getKeys().size());
    EXPECT_TRUE(managerMessages(capture).empty());

    manager->resetConfigData("TFTPConfigStore");
    EXPECT_TRUE(server->getKeys().empty());
    EXPECT_TRUE(manager->containsStore("TFTPConfigStore"));
    EXPECT_EQ(std::vector<std::string>{"Removing all keys for store: TFTPConfigStore"}, managerMessages(capture));
    EXPECT_TRUE(observer.events().empty());
}

TEST_F(ConfigStoreManagerRemovalTest, RemovingUrlProvisioningStoreDeletesItsCacheFile) {
    add("UrlProvisioningConfigStore", 499, localStore(true), {{L"ServicesDomain", L"example.com"}});
    add("PresenceConfigStore", 300, storemanagertest::readOnlyStore(), {{L"PresenceKey", L"1"}});
    writeCacheFile("cachedUrlProvisioningConfigStore.dat");
    writeCacheFile("cachedPresenceConfigStore.dat");
    observer.clear();
    LogCapture capture;

    EXPECT_TRUE(manager->removeStoreWithSameName("UrlProvisioningConfigStore"));

    EXPECT_FALSE(manager->containsStore("UrlProvisioningConfigStore"));
    EXPECT_EQ(std::vector<std::string>{"cachedPresenceConfigStore.dat"}, cacheFiles());
    EXPECT_EQ((std::vector<std::string>{"storeName: cachedUrlProvisioningConfigStore.dat",
                                        "Removing store: UrlProvisioningConfigStore"}),
              managerMessages(capture));
    EXPECT_EQ((std::vector<std::wstring>{
                  L"update ServicesDomain= orig= overridden=0 defined=0 store= origStore= silent=1",
                  L"fire ServicesDomain",
              }),
              observer.events());

    // A store that does not ask to be cached is found ignoring case and
    // leaves its file alone.
    capture.clear();
    EXPECT_TRUE(manager->removeStoreWithSameName("presenceCONFIGstore"));
    EXPECT_FALSE(manager->containsStore("PresenceConfigStore"));
    EXPECT_EQ(std::vector<std::string>{"cachedPresenceConfigStore.dat"}, cacheFiles());
    EXPECT_EQ(std::vector<std::string>{"Removing store: presenceCONFIGstore"}, managerMessages(capture));
}

TEST_F(ConfigStoreManagerRemovalTest, RemovingAnUnknownNameReturnsFalseAndLogsNothing) {
    add("TFTPConfigStore", 100, cacheableStore(), {{L"ServerKey", L"theirs"}});
    observer.clear();
    LogCapture capture;

    EXPECT_FALSE(manager->removeStoreWithSameName("PresenceConfigStore"));
    EXPECT_FALSE(manager->removeStoreWithSameName(""));

    EXPECT_TRUE(managerMessages(capture).empty());
    EXPECT_TRUE(observer.events().empty());
    EXPECT_TRUE(manager->containsStore("TFTPConfigStore"));
}

TEST_F(ConfigStoreManagerRemovalTest, RemoveAllCachedConfigStoresTakesXmlNamesFirstThenConvertedDatNames) {
    writeCacheFile("cachedA.dat");
    writeCacheFile("cachedB.xml");
    // Ends with "dat" but its extension is not ".dat": not a cache file.
    writeCacheFile("notes.xdat");
    add("cachedB.xml", 300, storemanagertest::readOnlyStore(), {{L"CachedKey", L"1"}});
    LogCapture capture;

    manager->removeAllCachedConfigStores();

    EXPECT_EQ((std::vector<std::string>{
                  "Removing store: cachedB.xml",
                  "storeName: cachedB.xml",
                  "storeName: cachedA.xml",
              }),
              managerMessages(capture));
    EXPECT_FALSE(manager->containsStore("cachedB.xml"));
    EXPECT_EQ(std::vector<std::string>{"notes.xdat"}, cacheFiles());
}

TEST_F(ConfigStoreManagerRemovalTest, RemoveCacheFileSucceedsWhetherOrNotTheFileExists) {
    writeCacheFile("cachedPylonConfigStore.dat");
    LogCapture capture;

    EXPECT_TRUE(manager->removeCacheFile("cachedPylonConfigStore.dat"));
    EXPECT_TRUE(cacheFiles().empty());
    EXPECT_TRUE(manager->removeCacheFile("cachedPylonConfigStore.dat"));
    EXPECT_EQ((std::vector<std::string>{"storeName: cachedPylonConfigStore.dat",
                                        "storeName: cachedPylonConfigStore.dat"}),
              managerMessages(capture));
}

TEST_F(ConfigStoreManagerRemovalTest, RemoveFileLogsTheOutcome) {
    const std::string path = configDir + "/leftover.txt";
    nuvrixtest::writeFileBytes(path, "x");
    LogCapture capture;

    manager->removeFile(path);
    EXPECT_FALSE(std::filesystem::exists(path));
    manager->removeFile(path);

    const std::vector<LogCapture::Record> records = capture.records();
    std::vector<std::pair<int, std::string>> logged;
    for (const LogCapture::Record& record : records) {
        if (record.logger == "ConfigService-ConfigStoreManager") {
            logged.emplace_back(record.level, record.message);
        }
    }
    EXPECT_EQ((std::vector<std::pair<int, std::string>>{
                  {4, "Removed file: " + ZVFLogger_replacePIIData(path)},
                  {2, "Failed to remove file: " + ZVFLogger_replacePIIData(path)},
              }),
              logged);
}

}  // namespace
