// The data reset through the real plug-in: the host's request reaches the
// feature set, the files go through the host's data persistor in a fixed
// order, and the stores are rebuilt from what is left on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PluginTest.h"
#include "unified/FileDataPersistor.h"
#include "unified/LifeCycle.h"
#include "unified/ProviderResetDataCallback.h"
#include "unified/SystemService.h"

namespace nuvrixtest {
namespace {

// The host's file persistor, recording the names it is asked to remove.
class RecordingDataPersistor : public ZVFUnified::FileDataPersistor {
public:
    bool removeData(const std::string& storeName, const std::string& fileName) override {
        {
            std::lock_guard<std::mutex> guard(lock);
            removed.push_back(fileName);
        }
        return FileDataPersistor::removeData(storeName, fileName);
    }
    std::vector<std::string> names() {
        std::lock_guard<std::mutex> guard(lock);
        return removed;
    }

private:
    std::mutex lock;
    std::vector<std::string> removed;
};

const std::vector<std::string> kResetFiles{"nuvrixLocalConfig.dat", "nuvrixLocalConfig_backup.dat",
                                           "cachedTftpConfigStore.dat", "cachedHmx90ConfigStore.dat"};

class ConfigAdapterDataResetTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        writeDefaults({{"UiTheme", "light"}});
        writeUserSettings({{"UiTheme", "dark"}});
        persistor = std::make_shared<RecordingDataPersistor>();
        factory->setDataPersistor(persistor);
    }
    std::shared_ptr<RecordingDataPersistor> persistor;
};

TEST_F(ConfigAdapterDataResetTest, ResetBeforeStartRemovesTheFilesInOrderAndRebuildsTheStores) {
    inject();
    auto callback = std::dynamic_pointer_cast<ZVFUnified::ProviderResetDataCallback>(featureSet());
    ASSERT_TRUE(callback);
    callback->InvokeResetData(ResetDataOptionEnum::ResetUserData);

    EXPECT_EQ(kResetFiles, persistor->names());
    EXPECT_FALSE(std::filesystem::exists(configDir + "/nuvrixLocalConfig.dat"));
    std::wstring storeName;
    EXPECT_EQ(L"light", valueOf(L"UiTheme", &storeName));
    EXPECT_EQ(L"nuvrix-config-defaults.xml", storeName);
    EXPECT_TRUE(featureSet()->getConfigStoreByName("LocalFileConfigStore"));
    EXPECT_TRUE(featureSet()->getConfigStoreByName("InMemoryConfigStore"));
    EXPECT_TRUE(capture->contains("ConfigAdapter reset.", 4));
}

TEST_F(ConfigAdapterDataResetTest, HostResetAfterStartWipesUserSettingsAndCachedServerConfiguration) {
    inject();
    start();
    drainQueues();  // the reset callback registers on the services thread
    featureSet()->setConfig(L"UserKey", L"written just before the reset");
    addStore("TFTPConfigStore", 100, {{L"ServerKey", L"server"}}, true);
    ASSERT_TRUE(std::filesystem::exists(cacheFile("TFTPConfigStore")));

    std::thread([&] {
        factory->getService<ZVFUnified::SystemService>()->getLifeCycle()->invokeResetData(
            ResetDataOptionEnum::ResetAllData);
    }).join();
    drainQueues();

    std::vector<std::string> expected{"cachedTFTPConfigStore.dat"};
    expected.insert(expected.end(), kResetFiles.begin(), kResetFiles.end());
    EXPECT_EQ(expected, persistor->names());
    EXPECT_FALSE(std::filesystem::exists(cacheFile("TFTPConfigStore")));
    EXPECT_FALSE(std::filesystem::exists(configDir + "/nuvrixLocalConfig.dat"));
    EXPECT_EQ(L"", valueOf(L"UserKey"));
    EXPECT_EQ(L"", valueOf(L"ServerKey"));
    EXPECT_EQ(L"light", valueOf(L"UiTheme"));
    EXPECT_TRUE(adapter().IsFeatureSetStarted(1300));

    newRun();
    EXPECT_EQ(L"", valueOf(L"UserKey"));
    EXPECT_EQ(L"", valueOf(L"PrimaryConfigStores"));
}

}  // namespace
}  // namespace nuvrixtest
