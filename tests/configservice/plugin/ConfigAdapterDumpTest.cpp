// The two dumps of the configuration through the real plug-in: the log dump
// of the service's value objects and the problem-report document of the
// stores. The keys the feature set marks secret at construction are masked
// in the first and absent from the second.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ConfigValue.h"
#include "PluginTest.h"
#include "zvf/common/FipsUtils.h"

namespace nuvrixtest {
namespace {

class ConfigAdapterDumpTest : public PluginTest {
protected:
    std::string dumpText() const {
        for (const std::string& message : capture->messages()) {
            if (message.find("Master Configuration Settings") != std::string::npos) {
                return message;
            }
        }
        return "";
    }
    void TearDown() override {
        zvf::common::FipsUtils::setFipsOverrideForTesting(-1);
        PluginTest::TearDown();
    }
};

TEST_F(ConfigAdapterDumpTest, LogDumpMasksSecretsAndTheReportLeavesThemOut) {
    writeDefaults({{"UiTheme", "light"}});
    ASSERT_TRUE(writeEncrypted(configDir + "/home-uds-info.dat", "<?xml version=\"1.0\"?>\n<uds>home</uds>"));
    ASSERT_TRUE(writeEncrypted(configDir + "/service-location.dat", "<location>edge</location>"));
    inject();
    start();
    featureSet()->setConfig(L"connectionpassword", L"hunter2");
    featureSet()->setConfig(L"UiTheme", L"dark");
    addStore("PresenceConfigStore", 100, {{L"BDIConnectionPassword", L"s3cret"}});
    addStore("TFTPConfigStore", 300, {{L"Telephony_P2P_Enabled", L"true"}});
    drainQueues();
    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    capture->clear();

    std::wstring report;
    withService([&](ZVFUnified::ConfigService& configService) {
        configService.getConfig(L"NeverSet");
        configService.logConfig();
        report = configService.getAllConfigForPRT();
    });

    EXPECT_EQ(std::string("\n*********************** Master Configuration Settings *********************\n"
                          "\nOriginalValue is the value set by the administrator\n"
                          "\nValue is the value retrieved by searching the config sources by priority\n"
                          "\nDefined Values\n--------------\n"
                          "Key: BDIConnectionPassword -  Value - [VALUE_HIDDEN] valueStoreName [PresenceConfigStore] "
                          "| OriginalValue [VALUE_HIDDEN] originalValueStoreName [PresenceConfigStore]\n"
                          "Key: connectionpassword -  Value - [VALUE_HIDDEN] valueStoreName [LocalFileConfigStore] "
                          "| OriginalValue [VALUE_HIDDEN] originalValueStoreName []\n"
                          "Key: Telephony_P2P_Enabled -  Value - [false] valueStoreName [TFTPConfigStore] "
                          "| OriginalValue [true] originalValueStoreName [TFTPConfigStore]\n"
                          // The defaults file reports its keys first, in lower case.
                          "Key: uitheme -  Value - [dark] valueStoreName [LocalFileConfigStore] "
                          "| OriginalValue [light] originalValueStoreName [nuvrix-config-defaults.xml]\n"
                          "\nUnDefined Values\n---------------\n"
                          "Key: NeverSet -  Value - [] valueStoreName [] | OriginalValue [] originalValueStoreName []\n"
                          "\n*************************** End Settings ***************************\n"),
              dumpText());

    EXPECT_EQ(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<AllConfigs>\n"
              L"<AllMemoryConfigs>\n"
              L" <store name=\"LocalFileConfigStore\" priority=\"20\">\n"
              L"  <UiTheme>dark</UiTheme>\n"
              L" </store>\n"
              L" <store name=\"PresenceConfigStore\" priority=\"100\"/>\n"
              L" <store name=\"TFTPConfigStore\" priority=\"300\">\n"
              L"  <Telephony_P2P_Enabled>true</Telephony_P2P_Enabled>\n"
              L" </store>\n"
              L"</AllMemoryConfigs>\n"
              L"\n<uds>home</uds><location>edge</location>"
              L"\n</AllConfigs>",
              report);
    EXPECT_TRUE(capture->contains("Failed to read config file " + configDir + "/SSOAuthInfoStore.dat", 2));
}

}  // namespace
}  // namespace nuvrixtest
