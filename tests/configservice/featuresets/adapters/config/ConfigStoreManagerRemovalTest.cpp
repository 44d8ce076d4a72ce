// Removal, reset and cache-file deletion of the store manager, on the real
// host: its data persistor deletes files in a private configuration
// directory, and the manager reaches it through the process-wide factory.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "StoreManagerTest.h"
#include "logging/ZVFLogger.h"

namespace {

using namespace storemanagertest;
using Events = std::vector<std::wstring>;
using Messages = std::vector<std::string>;

class ConfigStoreManagerRemovalTest : public StoreManagerTest {
protected:
    void SetUp() override {
        StoreManagerTest::SetUp();
        cacheDir = configDir + "/Cache";
        std::filesystem::create_directories(cacheDir);
    }

    void writeCacheFiles(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            nuvrixtest::writeFileBytes(cacheDir + "/" + name, "cached");
        }
    }

    Messages cacheFiles() const {
        Messages names;
        for (const auto& entry : std::filesystem::directory_iterator(cacheDir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // The events a store's removal reports for each of its keys.
    static Events undefined(std::initializer_list<const wchar_t*> keys) {
        Events events;
        for (const wchar_t* key : keys) {
            events.push_back(L"update " + std::wstring(key) + L"= orig= overridden=0 defined=0 store= origStore= silent=1");
            events.push_back(L"fire " + std::wstring(key));
        }
        return events;
    }

    std::string cacheDir;
};

TEST_F(ConfigStoreManagerRemovalTest, ResetDropsNonLocalStoresAndReportsTheRemainingValues) {
    addStore("LocalFileConfigStore", 20, writableStore(), {{L"A", L"user"}});
    auto server = addStore("TFTPConfigStore", 100, readOnlyStore(), {{L"A", L"server"}, {L"B", L"serverB"}});
    addStore("InMemoryConfigStore", 600, localStore(false), {{L"B", L"memory"}});
    addStore("nuvrix-config-defaults.xml", 2147483647, localStore(true), {{L"A", L"default"}});
    observer.clear();

    manager->reset();
    EXPECT_FALSE(manager->containsStore("LocalFileConfigStore"));
    EXPECT_FALSE(manager->containsStore("TFTPConfigStore"));
    EXPECT_TRUE(manager->containsStore("InMemoryConfigStore"));
    EXPECT_TRUE(manager->containsStore("nuvrix-config-defaults.xml"));
    // The walk starts at the back: the server store goes first, while the
    // user store still answers; then the user store.
    EXPECT_EQ((Events{
                  L"update A=user orig=default overridden=1 defined=1 store=LocalFileConfigStore "
                  L"origStore=nuvrix-config-defaults.xml silent=1",
                  L"update B=memory orig= overridden=1 defined=1 store=InMemoryConfigStore origStore= silent=1",
                  L"fire A",
                  L"fire B",
                  L"update A=default orig=default overridden=0 defined=1 store=nuvrix-config-defaults.xml "
                  L"origStore=nuvrix-config-defaults.xml silent=1",
                  L"fire A",
              }),
              observer.take());
    // Dropping a store leaves its values alone.
    EXPECT_EQ(L"A=server B=serverB", contentOf(*server));

    // Only local stores are left: a second reset changes nothing and tells nobody.
    manager->reset();
    EXPECT_TRUE(manager->containsStore("InMemoryConfigStore"));
    EXPECT_TRUE(manager->containsStore("nuvrix-config-defaults.xml"));
    EXPECT_TRUE(observer.events().empty());
}

TEST_F(ConfigStoreManagerRemovalTest, ResetConfigDataKeepsExactlyTheFiveInstallationStores) {
    std::vector<std::shared_ptr<RecordingConfigStore>> kept = {
        addStore("devOverrideConfigStore", 1, localStore(true), {{L"DevKey", L"1"}}),
        addStore("BootstrapConfigStore", 10, localStore(true), {{L"BootKey", L"1"}}),
        addStore("UrlProvisioningConfigStore", 499, localStore(true), {{L"ServicesDomain", L"example.com"}}),
        addStore("MdmConfigStore", 500, localStore(true), {{L"MdmKey", L"1"}}),
        addStore("nuvrix-config-defaults.xml", 2147483647, localStore(true), {{L"DefaultKey", L"1"}}),
    };
    std::vector<std::shared_ptr<RecordingConfigStore>> removed = {
        addStore("LocalFileConfigStore", 20, writableStore(), {{L"UserKey", L"mine"}}),
        addStore("TFTPConfigStore", 100, cacheableStore(), {{L"ServerKey", L"theirs"}}),
        addStore("InMemoryConfigStore", 600, localStore(false), {{L"MemoryKey", L"now"}}),
    };
    writeCacheFiles({"cachedTFTPConfigStore.dat", "cachedUrlProvisioningConfigStore.dat"});
    observer.clear();
    LogCapture capture;

    manager->resetConfigData();
    for (const auto& store : kept) {
        EXPECT_TRUE(manager->containsStore(store->getName())) << store->getName();
        EXPECT_EQ(1u, store->getKeys().size()) << store->getName();
    }
    for (const auto& store : removed) {
        EXPECT_FALSE(manager->containsStore(store->getName())) << store->getName();
        EXPECT_TRUE(store->getKeys().empty()) << store->getName();
    }
    Messages expected;
    for (const char* name : {"InMemoryConfigStore", "TFTPConfigStore", "LocalFileConfigStore"}) {
        expected.push_back("Removing store " + std::string(name) + " from ConfigManager.");
        if (std::string(name) == "TFTPConfigStore") {
            expected.push_back("storeName: cachedTFTPConfigStore.dat");
        }
        expected.push_back("Removing store: " + std::string(name));
        expected.push_back("Removing all keys for store: " + std::string(name));
    }
    EXPECT_EQ(expected, managerMessages(capture));
    // The removed stores' keys were re-reported as undefined.
    EXPECT_EQ(undefined({L"MemoryKey", L"ServerKey", L"UserKey"}), observer.events());
    // The cached store's file went with it; the kept store's file stays.
    EXPECT_EQ(Messages{"cachedUrlProvisioningConfigStore.dat"}, cacheFiles());
}

TEST_F(ConfigStoreManagerRemovalTest, ResetConfigDataComparesKeptNamesExactly) {
    auto mdm = addStore("mdmconfigstore", 500, localStore(true), {{L"MdmKey", L"1"}});
    auto devOverride = addStore("DevOverrideConfigStore", 1, localStore(true), {{L"DevKey", L"1"}});
    auto bootstrap = addStore("BootstrapConfigStore", 10, localStore(true), {{L"BootKey", L"1"}});

    manager->resetConfigData();
    EXPECT_FALSE(manager->containsStore("mdmconfigstore"));
    EXPECT_FALSE(manager->containsStore("DevOverrideConfigStore"));
    EXPECT_TRUE(manager->containsStore("BootstrapConfigStore"));
    EXPECT_EQ((Events{L"", L"", L"BootKey=1"}), (Events{contentOf(*mdm), contentOf(*devOverride), contentOf(*bootstrap)}));
}

TEST_F(ConfigStoreManagerRemovalTest, ResetConfigDataOfOneStoreEmptiesItInPlaceSilently) {
    auto server = addStore("TFTPConfigStore", 100, readOnlyStore(), {{L"ServerKey", L"theirs"}});
    observer.clear();
    LogCapture capture;

    // Names are compared exactly here: another spelling finds nothing.
    manager->resetConfigData("tftpconfigstore");
    EXPECT_EQ(L"ServerKey=theirs", contentOf(*server));
    EXPECT_TRUE(managerMessages(capture).empty());

    manager->resetConfigData("TFTPConfigStore");
    EXPECT_EQ(L"", contentOf(*server));
    EXPECT_TRUE(manager->containsStore("TFTPConfigStore"));
    EXPECT_EQ(Messages{"Removing all keys for store: TFTPConfigStore"}, managerMessages(capture));
    EXPECT_TRUE(observer.events().empty());
}

TEST_F(ConfigStoreManagerRemovalTest, RemovingUrlProvisioningStoreDeletesItsCacheFileAndAnUnknownNameNothing) {
    addStore("UrlProvisioningConfigStore", 499, localStore(true), {{L"ServicesDomain", L"example.com"}});
    addStore("PresenceConfigStore", 300, readOnlyStore(), {{L"PresenceKey", L"1"}});
    writeCacheFiles({"cachedUrlProvisioningConfigStore.dat", "cachedPresenceConfigStore.dat"});
    observer.clear();
    LogCapture capture;

    EXPECT_TRUE(manager->removeStoreWithSameName("UrlProvisioningConfigStore"));
    EXPECT_FALSE(manager->containsStore("UrlProvisioningConfigStore"));
    EXPECT_EQ(Messages{"cachedPresenceConfigStore.dat"}, cacheFiles());
    EXPECT_EQ((Messages{"storeName: cachedUrlProvisioningConfigStore.dat", "Removing store: UrlProvisioningConfigStore"}),
              managerMessages(capture));
    EXPECT_EQ(undefined({L"ServicesDomain"}), observer.events());

    // A store that does not ask to be cached is found ignoring case and
    // leaves its file alone.
    capture.clear();
    EXPECT_TRUE(manager->removeStoreWithSameName("presenceCONFIGstore"));
    EXPECT_FALSE(manager->containsStore("PresenceConfigStore"));
    EXPECT_EQ(Messages{"cachedPresenceConfigStore.dat"}, cacheFiles());
    EXPECT_EQ(Messages{"Removing store: presenceCONFIGstore"}, managerMessages(capture));

    // An unknown name removes nothing and logs nothing.
    auto server = addStore("TFTPConfigStore", 100, cacheableStore(), {{L"ServerKey", L"theirs"}});
    observer.clear();
    capture.clear();
    EXPECT_FALSE(manager->removeStoreWithSameName("PresenceConfigStore"));
    EXPECT_FALSE(manager->removeStoreWithSameName(""));
    EXPECT_TRUE(managerMessages(capture).empty());
    EXPECT_TRUE(observer.events().empty());
    EXPECT_TRUE(manager->containsStore("TFTPConfigStore"));
}

TEST_F(ConfigStoreManagerRemovalTest, RemoveAllCachedConfigStoresTakesXmlNamesFirstThenConvertedDatNames) {
    // "notes.xdat" ends with "dat" but its extension is not ".dat": not a cache file.
    writeCacheFiles({"cachedA.dat", "cachedB.xml", "notes.xdat"});
    addStore("cachedB.xml", 300, readOnlyStore(), {{L"CachedKey", L"1"}});
    LogCapture capture;

    manager->removeAllCachedConfigStores();
    EXPECT_EQ((Messages{"Removing store: cachedB.xml", "storeName: cachedB.xml", "storeName: cachedA.xml"}),
              managerMessages(capture));
    EXPECT_FALSE(manager->containsStore("cachedB.xml"));
    EXPECT_EQ(Messages{"notes.xdat"}, cacheFiles());
}

TEST_F(ConfigStoreManagerRemovalTest, RemovingCacheAndOtherFilesSucceedsWhetherOrNotTheFileExistsAndIsLogged) {
    writeCacheFiles({"cachedPylonConfigStore.dat"});
    const std::string path = configDir + "/leftover.txt";
    nuvrixtest::writeFileBytes(path, "x");
    LogCapture capture;

    EXPECT_TRUE(manager->removeCacheFile("cachedPylonConfigStore.dat"));
    EXPECT_TRUE(cacheFiles().empty());
    EXPECT_TRUE(manager->removeCacheFile("cachedPylonConfigStore.dat"));
    manager->removeFile(path);
    EXPECT_FALSE(std::filesystem::exists(path));
    manager->removeFile(path);
    EXPECT_EQ((std::vector<std::pair<int, std::string>>{
                  {4, "storeName: cachedPylonConfigStore.dat"},
                  {4, "storeName: cachedPylonConfigStore.dat"},
                  {4, "Removed file: " + ZVFLogger_replacePIIData(path)},
                  {2, "Failed to remove file: " + ZVFLogger_replacePIIData(path)},
              }),
              loggedBy(capture, "ConfigService-ConfigStoreManager"));
}

}  // namespace
