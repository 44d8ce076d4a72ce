// URL provisioning through the store manager on the real host: which pairs
// of a provisioning URL are taken, the cached store they become and the mark
// the user store keeps.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CacheConfigStore.h"
#include "LocalFileConfigStore.h"
#include "StoreManagerTest.h"
#include "zvf/SecureString.h"
#include "zvf/storage/EncryptFileUtils.h"

using ZVFUnified::CacheConfigStore;
using ZVFUnified::ConfigMap;
using ZVFUnified::LocalFileConfigStore;

namespace {

using namespace storemanagertest;

class ConfigStoreManagerUrlProvisioningTest : public StoreManagerTest {
protected:
    void SetUp() override {
        StoreManagerTest::SetUp();
        manager->addStore(std::make_shared<LocalFileConfigStore>("LocalFileConfigStore", 20, false));
        cacheFile = configDir + "/Cache/cachedUrlProvisioningConfigStore.dat";
    }

    std::string cacheFile;
};

TEST_F(ConfigStoreManagerUrlProvisioningTest, ParsingKeepsTrimmedPermittedPairsOfAQueryUnder1000Characters) {
    using Entries = std::vector<std::pair<std::wstring, std::wstring>>;
    const std::wstring query = L"?ServicesDomain=";
    const std::wstring at999 = query + std::wstring(999 - query.size(), L'a');
    const struct {
        std::wstring data;
        bool accepted;
        Entries entries;
    } cases[] = {
        {L"nuvrix://provision?ServicesDomain=a.b&Foo=1", true, {{L"ServicesDomain", L"a.b"}}},
        // Pieces without "=", with more than one "=", or with an empty name are
        // dropped; names and values are trimmed; nothing is percent-decoded.
        {L"x?Telephony_Enabled&sso_enabled=a=b&=true& IP_MODE = IPv4 &PRTCertificateName=a%20b&&", true,
         {{L"IP_MODE", L"IPv4"}, {L"PRTCertificateName", L"a%20b"}}},
        // A duplicate in other letter case keeps the first spelling with the last value.
        {L"?servicesdomain=first&SERVICESDOMAIN=second&ServicesDomain=third&telemetryenabled=false", true,
         {{L"servicesdomain", L"third"}, {L"telemetryenabled", L"false"}}},
        // No query, or nothing permitted in it.
        {L"ServicesDomain=a.b", false, {}},
        {L"nuvrix://provision?", false, {}},
        {L"", false, {}},
        {L"?Foo=1&Bar=2&&=", false, {}},
        // 999 characters are looked at, 1000 are not.
        {at999, true, {{L"ServicesDomain", at999.substr(query.size())}}},
        {at999 + L"a", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.substr(0, 100));
        ConfigMap out;
        EXPECT_EQ(c.accepted, manager->parseUrlProvisioningData(c.data, out));
        EXPECT_EQ(c.entries, Entries(out.begin(), out.end()));
    }
}

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
    EXPECT_EQ(hit(L"a.b", L"UrlProvisioningConfigStore"), ask(L"servicesdomain"));
    EXPECT_EQ(hit(L"true", L"UrlProvisioningConfigStore"), ask(L"TelemetryEnabled"));
    EXPECT_EQ(kMiss, ask(L"Foo"));
    EXPECT_EQ(hit(L"False", L"LocalFileConfigStore"), ask(L"AllowUrlProvisioning"));

    // The cache file is written at once, under the provisioning category.
    zvf::SecureString data;
    EXPECT_TRUE(zvf::storage::EncryptFileUtils::readDataFromFile(cacheFile, data, FileCategoryType::General));
    CacheConfigStore restored("UrlProvisioningConfigStore", 499, cacheFile);
    EXPECT_EQ(L"a.b", valueOf(restored, L"ServicesDomain"));

    // The user store persisted the marker on the task thread.
    drainQueues();
    LocalFileConfigStore reread("LocalFileConfigStore", 20, false);
    EXPECT_EQ(L"False", valueOf(reread, L"AllowUrlProvisioning"));
}

TEST_F(ConfigStoreManagerUrlProvisioningTest, UnusableDataChangesNothing) {
    // Which data the parser refuses is covered with the parser; here: a
    // refusal leaves no store, no cache file and no marker behind.
    EXPECT_FALSE(manager->setUrlProvisioningData(L"x?Foo=1&Bar=2&=3"));
    const std::wstring prefix = L"x?ServicesDomain=a.b&";
    EXPECT_FALSE(manager->setUrlProvisioningData(prefix + std::wstring(1000 - prefix.size(), L'z')));

    EXPECT_FALSE(manager->containsStore("UrlProvisioningConfigStore"));
    EXPECT_FALSE(std::filesystem::exists(cacheFile));
    EXPECT_EQ(kMiss, ask(L"AllowUrlProvisioning"));
}

TEST_F(ConfigStoreManagerUrlProvisioningTest, NewDataReplacesTheEarlierProvisioningStore) {
    ASSERT_TRUE(manager->setUrlProvisioningData(L"a?ServicesDomain=first&IP_MODE=v4"));
    ASSERT_TRUE(manager->setUrlProvisioningData(L"a?ServicesDomain=second"));
    EXPECT_EQ(hit(L"second", L"UrlProvisioningConfigStore"), ask(L"ServicesDomain"));
    EXPECT_EQ(kMiss, ask(L"IP_MODE"));
    CacheConfigStore restored("UrlProvisioningConfigStore", 499, cacheFile);
    EXPECT_EQ((std::vector<std::wstring>{L"servicesdomain"}), restored.getKeys());
}

}  // namespace
