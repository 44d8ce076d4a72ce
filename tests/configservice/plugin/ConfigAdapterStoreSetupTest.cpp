// Store set-up of the config feature set, driven through the real plug-in:
// the stores put in place at construction, the cached copies restored from
// "PrimaryConfigStores", a cacheable store added by another service reaching
// a client's value object and coming back from its cache at the next run.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ConfigValue.h"
#include "ConfigValueNotifiers.h"
#include "PTKCoreUtils/StringUtils.h"
#include "PluginTest.h"
#include "PropertyNotifier.h"
#include "RecordingObservers.h"
#include "unified/ServicesDispatcher.h"

namespace nuvrixtest {
namespace {

using Stores = std::vector<std::string>;

class ConfigAdapterStoreSetupTest : public PluginTest {};

TEST_F(ConfigAdapterStoreSetupTest, CacheableStoreReachesClientsOnTheServicesThreadAndServesTheNextRunFromItsCache) {
    writeDefaults({{"UiTheme", "light"}, {"Telephony_Enabled", "false"}});
    inject();
    start();
    auto events = std::make_shared<std::vector<std::string>>();
    auto observer = std::make_shared<RecordingConfigValueObserver>("observer", events);
    std::shared_ptr<ZVFUnified::ConfigValue> server;
    int notifierCalls = 0;
    bool notifierOnServicesThread = false;
    std::shared_ptr<ZVFUnified::ServicesDispatcher> dispatcher = factory->getServicesDispatcher();
    withService([&](ZVFUnified::ConfigService& configService) {
        server = configService.getConfig(L"TFTPPrimaryServer");
        server->addObserver(std::weak_ptr<ZVFUnified::ConfigValueObserver>(observer));
        server->getConfigValueNotifiers()->getValueNotifier()->connect([&] {
            ++notifierCalls;
            notifierOnServicesThread = dispatcher->checkForUpdateAccess();
        });
        configService.setConfig(L"UiTheme", L"dark");
    });

    std::thread([&] { addStore("TFTPConfigStore", 100, {{L"TFTPPrimaryServer", L"tftp.example.com"}}, true); }).join();
    drainQueues();

    EXPECT_EQ((std::vector<std::string>{"observer:Value", "observer:OriginalValue", "observer:isDefined",
                                        "observer:ValueStoreName", "observer:OriginalValueStoreName"}),
              *events);
    EXPECT_EQ(1, notifierCalls);
    EXPECT_TRUE(notifierOnServicesThread);
    withService([&](ZVFUnified::ConfigService&) {
        EXPECT_EQ(L"tftp.example.com", server->getValue());
        EXPECT_EQ(L"TFTPConfigStore", server->getValueStoreName());
        EXPECT_EQ(L"TFTPConfigStore", server->getOriginalValueStoreName());
    });
    EXPECT_TRUE(std::filesystem::is_regular_file(cacheFile("TFTPConfigStore")));
    EXPECT_EQ(L"TFTPConfigStore:101;", valueOf(L"PrimaryConfigStores"));

    newRun();
    // Before any start and before any server answers.
    std::wstring storeName;
    EXPECT_EQ(L"tftp.example.com", valueOf(L"TFTPPrimaryServer", &storeName));
    EXPECT_EQ(L"cachedTFTPConfigStore.dat", storeName);
    EXPECT_EQ(L"dark", valueOf(L"UiTheme", &storeName));
    EXPECT_EQ(L"LocalFileConfigStore", storeName);
    // A cached copy of a TFTP store lets construction derive the flags.
    EXPECT_TRUE(capture->contains("Setting telephonyEnabled flag: 0", 4));
    drainQueues();
    withService([&](ZVFUnified::ConfigService& configService) {
        EXPECT_EQ(L"cachedTFTPConfigStore.dat", configService.getConfig(L"TftpServer1")->getValueStoreName());
    });
}

TEST_F(ConfigAdapterStoreSetupTest, WithoutCachedStoresConstructionAddsTheFourStoresInOrder) {
    inject();
    EXPECT_EQ((Stores{"nuvrix-config-defaults.xml", "InMemoryConfigStore", "LocalFileConfigStore",
                      "UrlProvisioningConfigStore"}),
              addedStores());
    // No cached copy of a call-control, presence or TFTP store: no flags yet.
    EXPECT_FALSE(capture->contains("Setting telephonyEnabled flag"));
    EXPECT_FALSE(capture->contains("explicitly set to"));
}

TEST_F(ConfigAdapterStoreSetupTest, ListedCopiesAreRestoredInNameOrderWithPresenceLastExceptInPhoneMode) {
    const std::string list = "TFTPConfigStore:21;PresenceConfigStore:31;Other:x;Broken;";
    for (const bool phoneMode : {false, true}) {
        SCOPED_TRACE(phoneMode ? "phone mode" : "desktop mode");
        if (phoneMode) {
            factory->shutdown();
            factory = ZVFUnified::UnifiedFactory::create();
            capture->clear();
        }
        std::map<std::string, std::string> settings{{"PrimaryConfigStores", list}};
        if (phoneMode) {
            settings["ProductMode"] = "phone_mode";
        }
        writeUserSettings(settings);
        // A cache file that is not ours: the copy stays empty, nothing breaks.
        std::filesystem::create_directories(configDir + "/Cache");
        writeFileBytes(cacheFile("Other"), "not an encrypted cache file");
        inject();

        Stores expected{"nuvrix-config-defaults.xml", "InMemoryConfigStore", "LocalFileConfigStore",
                        "cachedOther.dat", "cachedTFTPConfigStore.dat"};
        if (!phoneMode) {
            expected.push_back("cachedPresenceConfigStore.dat");
        }
        expected.push_back("UrlProvisioningConfigStore");
        EXPECT_EQ(expected, addedStores());
        EXPECT_EQ(240, featureSet()->getConfigStoreByName("cachedOther.dat")->getPriority());
        EXPECT_EQ(21, featureSet()->getConfigStoreByName("cachedTFTPConfigStore.dat")->getPriority());
        EXPECT_TRUE(featureSet()->getConfigStoreByName("cachedOther.dat")->getKeys().empty());
        EXPECT_EQ(phoneMode ? L"TFTPConfigStore:21;Other:x;Broken;" : PTKCoreUtils::toWideString(list),
                  valueOf(L"PrimaryConfigStores"));
    }
}

TEST_F(ConfigAdapterStoreSetupTest, ProvisionedValuesSurviveARestartUnlessDeviceManagementForbidsThem) {
    inject();
    start();
    ASSERT_TRUE(featureSet()->setUrlProvisioningData(L"https://example.com/?ServicesDomain=a.example&Foo=1"));
    // Applied once: the user store now says so, and a second request is refused.
    EXPECT_FALSE(featureSet()->setUrlProvisioningData(L"https://example.com/?ServicesDomain=b.example"));

    newRun();
    std::wstring storeName;
    EXPECT_EQ(L"a.example", valueOf(L"ServicesDomain", &storeName));
    EXPECT_EQ(L"UrlProvisioningConfigStore", storeName);
    EXPECT_EQ(L"False", valueOf(L"AllowUrlProvisioning", &storeName));
    EXPECT_EQ(L"LocalFileConfigStore", storeName);

    start();
    featureSet()->setMdmConfig("<Nuvrix><Settings><AllowUrlProvisioning>false</AllowUrlProvisioning></Settings></Nuvrix>");
    featureSet()->refreshConfigFeatureSet();
    EXPECT_FALSE(featureSet()->isConfigStorePresent("UrlProvisioningConfigStore"));
    EXPECT_EQ(L"", valueOf(L"ServicesDomain"));
    EXPECT_FALSE(std::filesystem::exists(cacheFile("UrlProvisioningConfigStore")));
    EXPECT_TRUE(capture->contains(
        "Url Provisioning not allowed by MDM configuration, removing cached URL provisioning store", 4));
}

TEST_F(ConfigAdapterStoreSetupTest, RemovingAStoreRemovesItsCopyItsCacheFileAndItsListEntry) {
    writeUserSettings({{"PrimaryConfigStores", "A:1;TFTPConfigStore:21"}});
    std::filesystem::create_directories(configDir + "/Cache");
    writeFileBytes(cacheFile("TFTPConfigStore"), "stale");
    inject();
    start();
    addStore("TFTPConfigStore", 20, {{L"CtiServer1", L"cti"}});

    EXPECT_TRUE(featureSet()->removeConfigStore("TFTPConfigStore"));
    EXPECT_FALSE(featureSet()->isConfigStorePresent("TFTPConfigStore"));
    EXPECT_FALSE(featureSet()->isConfigStorePresent("cachedTFTPConfigStore.dat"));
    EXPECT_FALSE(std::filesystem::exists(cacheFile("TFTPConfigStore")));
    EXPECT_EQ(L"A:1;", valueOf(L"PrimaryConfigStores"));
    EXPECT_FALSE(featureSet()->removeConfigStore("TFTPConfigStore"));
}

TEST_F(ConfigAdapterStoreSetupTest, UnparsableDefaultsFileIsMovedAsideAndTheUserSettingsStillLoad) {
    writeFileBytes(resourcesDir + "/nuvrix-config-defaults.xml", "<Nuvrix><userConfig name=");
    writeUserSettings({{"UiTheme", "dark"}});
    inject();
    start();
    EXPECT_EQ(L"dark", valueOf(L"UiTheme"));
    EXPECT_TRUE(std::filesystem::exists(resourcesDir + "/nuvrix-config-defaults-backup.xml"));
    EXPECT_TRUE(featureSet()->getConfigStoreByName("nuvrix-config-defaults.xml")->getKeys().empty());
}

}  // namespace
}  // namespace nuvrixtest
