#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "CacheConfigStore.h"
#include "ConfigStoreManager.h"
#include "HostTest.h"
#include "LocalFileConfigStore.h"
#include "logging/LogCapture.h"
#include "zvf/SecureString.h"
#include "zvf/storage/EncryptFileUtils.h"

using ZVFUnified::CacheConfigStore;
using ZVFUnified::ConfigStoreManager;
using ZVFUnified::LocalFileConfigStore;

namespace {

class ConfigStoreManagerUrlProvisioningTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        manager = std::make_unique<ConfigStoreManager>(factory);
        manager->addStore(std::make_shared<LocalFileConfigStore>("LocalFileConfigStore", 20, false));
        cacheFile = configDir + "/Cache/cachedUrlProvisioningConfigStore.dat";
    }
    void TearDown() override {
        drainQueues();
        manager.reset();
        HostTest::TearDown();
    }

    std::wstring lookup(const std::wstring& key, std::wstring& storeName) {
        std::wstring value;
        bool viaAlias = false;
        storeName.clear();
        return manager->getValue(key, value, storeName, viaAlias, false, "") ? value : L"<missing>";
    }

    std::unique_ptr<ConfigStoreManager> manager;
    std::string cacheFile;
};

TEST_F(ConfigStoreManagerUrlProvisioningTest, PermittedSettingsBecomeACachedStoreAndTheUserStoreRecordsIt) {
    LogCapture log;
    ASSERT_TRUE(manager->setUrlProvisioningData(
        L"nuvrix://provision?ServicesDomain= a.b &Foo=1&telemetryenabled=false&TELEMETRYENABLED=true&NoValue"));
    EXPECT_TRUE(log.contains("setting url provisioning data", 4));

    auto store = manager->getConfigStoreByName("UrlProvisioningConfigStore");
    ASSERT_TRUE(store);
    EXPECT_EQ(499, store->getPriority());
    EXPECT_TRUE(store->isReadOnly());
    EXPECT_EQ((std::vector<std::wstring>{L"ServicesDomain", L"telemetryenabled"}), store->getKeys());
    std::wstring storeName;
    EXPECT_EQ(L"a.b", lookup(L"servicesdomain", storeName));
    EXPECT_EQ(L"UrlProvisioningConfigStore", storeName);
    EXPECT_EQ(L"true", lookup(L"TelemetryEnabled", storeName));
    EXPECT_EQ(L"<missing>", lookup(L"Foo", storeName));
    EXPECT_EQ(L"False", lookup(L"AllowUrlProvisioning", storeName));
    EXPECT_EQ(L"LocalFileConfigStore", storeName);

    // The cache file is written at once, under the provisioning category.
    zvf::SecureString data;
    EXPECT_TRUE(zvf::storage::EncryptFileUtils::readDataFromFile(cacheFile, data, FileCategoryType::General));
    CacheConfigStore restored("UrlProvisioningConfigStore", 499, cacheFile);
    std::wstring value;
    EXPECT_TRUE(restored.getValue(L"ServicesDomain", value));
    EXPECT_EQ(L"a.b", value);

    // The user store persisted the marker on the task thread.
    drainQueues();
    LocalFileConfigStore reread("LocalFileConfigStore", 20, false);
    EXPECT_TRUE(reread.getValue(L"AllowUrlProvisioning", value));
    EXPECT_EQ(L"False", value);
}

TEST_F(ConfigStoreManagerUrlProvisioningTest, UnusableDataChangesNothing) {
    // Which data the parser refuses is covered with the parser; here: a
    // refusal leaves no store, no cache file and no marker behind.
    EXPECT_FALSE(manager->setUrlProvisioningData(L"x?Foo=1&Bar=2&=3"));
    const std::wstring prefix = L"x?ServicesDomain=a.b&";
    EXPECT_FALSE(manager->setUrlProvisioningData(prefix + std::wstring(1000 - prefix.size(), L'z')));

    EXPECT_FALSE(manager->containsStore("UrlProvisioningConfigStore"));
    EXPECT_FALSE(std::filesystem::exists(cacheFile));
    std::wstring storeName;
    EXPECT_EQ(L"<missing>", lookup(L"AllowUrlProvisioning", storeName));
}

TEST_F(ConfigStoreManagerUrlProvisioningTest, NewDataReplacesTheEarlierProvisioningStore) {
    ASSERT_TRUE(manager->setUrlProvisioningData(L"a?ServicesDomain=first&IP_MODE=v4"));
    ASSERT_TRUE(manager->setUrlProvisioningData(L"a?ServicesDomain=second"));
    std::wstring storeName;
    EXPECT_EQ(L"second", lookup(L"ServicesDomain", storeName));
    EXPECT_EQ(L"<missing>", lookup(L"IP_MODE", storeName));
    CacheConfigStore restored("UrlProvisioningConfigStore", 499, cacheFile);
    EXPECT_EQ((std::vector<std::wstring>{L"servicesdomain"}), restored.getKeys());
}

}  // namespace
