// The telephony, voicemail and meetings flags and the policy removals, as a
// server configuration added by another service drives them through the
// real plug-in.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "PluginTest.h"

namespace nuvrixtest {
namespace {

class ConfigAdapterEnabledServicesTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        writeDefaults({{"Telephony_Enabled", "false"}, {"Voicemail_Enabled", "false"}, {"Meetings_Enabled", "false"}});
    }
    std::wstring inMemory(const std::wstring& key) {
        return featureSet()->getValueFromConfigStore("InMemoryConfigStore", key);
    }
};

TEST_F(ConfigAdapterEnabledServicesTest, FlagsAreDerivedFromServersUnlessAnAdministratorSetsThem) {
    inject();
    start();
    // The user's own value neither counts as the administrator's nor is
    // hidden by the derived one.
    featureSet()->setConfig(L"Telephony_Enabled", L"false");
    capture->clear();
    addStore("TFTPConfigStore", 100,
             {{L"CTIPrimaryServer", L"cti.example"},
              {L"Voicemail_Enabled", L"false"},
              {L"Meeting_Server_Address", L"m1.example"},
              {L"Meeting_Server_Type", L"Other"},
              {L"Meeting_Server_Address_Backup2", L"m3.example"},
              {L"Meeting_Server_Type_Backup2", L"mevra"}});

    EXPECT_EQ(L"true", inMemory(L"Telephony_Enabled"));
    EXPECT_EQ(L"", inMemory(L"Voicemail_Enabled"));
    EXPECT_EQ(L"true", inMemory(L"Meetings_Enabled"));
    std::wstring storeName;
    EXPECT_EQ(L"false", valueOf(L"Telephony_Enabled", &storeName));
    EXPECT_EQ(L"LocalFileConfigStore", storeName);
    EXPECT_TRUE(capture->contains("Setting telephonyEnabled flag: 1", 4));
    EXPECT_TRUE(capture->contains("Voicemail_Enabled explicitly set to 'false' in the 'TFTPConfigStore' config store", 4));
    EXPECT_TRUE(capture->contains("Setting Meetings_Enabled flag: 1", 4));

    // A store whose name only contains "Tftp" does not re-derive them.
    capture->clear();
    addStore("MyTftpStore", 50, {{L"VoicemailPrimaryServer", L"vm.example"}});
    EXPECT_FALSE(capture->contains("Setting"));
    addStore("hmx90configstore", 60, {{L"Meeting_Server_Type_Backup2", L"x"}});
    // Its type now hides the one that qualified.
    EXPECT_TRUE(capture->contains("Setting Meetings_Enabled flag: 0", 4));
    EXPECT_EQ(L"false", inMemory(L"Meetings_Enabled"));
}

TEST_F(ConfigAdapterEnabledServicesTest, PolicyRemovesTheUsersPhoneServersButKeepsTheVoicemailServer) {
    inject();
    start();
    for (const wchar_t* key : {L"TFTPPrimaryServer", L"CTIPrimaryServer", L"DeviceAuthenticationPrimaryServer",
                               L"VoicemailPrimaryServer"}) {
        featureSet()->setConfig(key, L"user.example");
    }
    addStore("PylonConfigStore", 100, {{L"Customize_Phone_Server", L"FALSE"}});

    for (const wchar_t* key : {L"TFTPPrimaryServer", L"CTIPrimaryServer", L"DeviceAuthenticationPrimaryServer"}) {
        EXPECT_EQ(L"", featureSet()->getValueFromConfigStore("LocalFileConfigStore", key)) << key;
    }
    EXPECT_EQ(L"user.example", featureSet()->getValueFromConfigStore("LocalFileConfigStore", L"VoicemailPrimaryServer"));
}

}  // namespace
}  // namespace nuvrixtest
