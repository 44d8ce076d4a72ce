// The service object on the real services thread of the host, with the real
// key-alias table.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../support/RecordingConfigFeatureSet.h"
#include "../support/RecordingConfigValueObserver.h"
#include "ConfigFeatureSet.h"
#include "ConfigKeyAliasesMapper.h"
#include "ConfigServiceImpl.h"
#include "ConfigValueImpl.h"
#include "HostTest.h"
#include "logging/LogCapture.h"
#include "logging/ZVFLogger.h"
#include "zvf/common/FipsUtils.h"

using ZVFUnified::ConfigFeatureSet;
using ZVFUnified::ConfigMap;
using ZVFUnified::ConfigServiceImpl;
using ZVFUnified::ConfigValue;
using ZVFUnified::ConfigValueImpl;
using ZVFUnified::ConfigValueObserver;
using nuvrixtest::RecordingConfigFeatureSet;
using nuvrixtest::RecordingConfigValueObserver;

namespace {

using Events = std::vector<std::string>;

class ConfigServiceImplTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        zvf::common::FipsUtils::setFipsOverrideForTesting(0);
        onServicesThread([this]() { service = std::make_shared<ConfigServiceImpl>(factory); });
    }
    void TearDown() override {
        onServicesThread([this]() {
            observers.clear();
            service.reset();
        });
        zvf::common::FipsUtils::setFipsOverrideForTesting(-1);
        HostTest::TearDown();
    }

    // Installs the real table of renamed keys ("TftpServer1" is now
    // "TFTPPrimaryServer"). Runs on the services thread.
    void installAliases() {
        ConfigMap aliasToCurrent;
        ConfigMap currentToAlias;
        ZVFUnified::ConfigKeyAliasesMapper::getConfigKeyAliases(aliasToCurrent, currentToAlias);
        ASSERT_EQ(L"TFTPPrimaryServer", aliasToCurrent[L"TftpServer1"]);
        service->setupConfigKeyAliases(aliasToCurrent);
    }

    void observe(const std::shared_ptr<ConfigValue>& value, const std::string& name) {
        auto observer = std::make_shared<RecordingConfigValueObserver>(name, log);
        value->addObserver(std::weak_ptr<ConfigValueObserver>(observer));
        observers.push_back(observer);
    }

    std::shared_ptr<RecordingConfigFeatureSet> registerRecorder() {
        auto recorder = std::make_shared<RecordingConfigFeatureSet>();
        factory->setFeatureSetAdapter<ConfigFeatureSet>(1300, recorder);
        return recorder;
    }

    static std::size_t aliasLines(const LogCapture& capture) { return capture.count("is an alias for key"); }

    std::shared_ptr<ConfigServiceImpl> service;
    std::shared_ptr<Events> log = std::make_shared<Events>();
    std::vector<std::shared_ptr<ConfigValueObserver>> observers;
};

// ---- Lookup -------------------------------------------------------------------

TEST_F(ConfigServiceImplTest, UnknownKeyYieldsAnUndefinedObjectCachedForLaterLookups) {
    onServicesThread([this]() {
        std::shared_ptr<ConfigValue> first = service->getConfig(L"NeverReported");
        ASSERT_NE(nullptr, first);
        EXPECT_EQ(L"NeverReported", first->getKey());
        EXPECT_FALSE(first->getisDefined());
        EXPECT_EQ(L"", first->getValue());
        EXPECT_EQ(first, service->getConfig(L"NeverReported"));
    });
}

TEST_F(ConfigServiceImplTest, KeysDifferingOnlyInLetterCaseShareOneObject) {
    onServicesThread([this]() {
        auto mixed = service->getConfig(L"Voicemail_Enabled");
        EXPECT_EQ(mixed, service->getConfig(L"voicemail_enabled"));
        EXPECT_EQ(mixed, service->getConfig(L"VOICEMAIL_ENABLED"));
        EXPECT_EQ(L"Voicemail_Enabled", mixed->getKey());
        EXPECT_EQ(1u, service->getAllConfig()->size());
    });
}

TEST_F(ConfigServiceImplTest, OldKeyNameInAnyLetterCaseCreatesTheObjectUnderTheCurrentName) {
    onServicesThread([this]() {
        installAliases();
        std::wstring realName = L"stale";
        EXPECT_TRUE(service->isKeyAlias(L"TFTPSERVER1", realName));
        EXPECT_EQ(L"TFTPPrimaryServer", realName);
        EXPECT_FALSE(service->isKeyAlias(L"TFTPPrimaryServer", realName));
        EXPECT_EQ(L"", realName);

        auto viaOldName = service->getConfig(L"tftpserver1");
        EXPECT_EQ(L"TFTPPrimaryServer", viaOldName->getKey());
        EXPECT_FALSE(viaOldName->getisDefined());
        EXPECT_EQ(viaOldName, service->getConfig(L"TFTPPrimaryServer"));
        EXPECT_EQ(viaOldName, service->getConfig(L"TftpServer1"));
        EXPECT_EQ(viaOldName, service->getConfig(L"TFTPSERVER1"));
        EXPECT_EQ(1u, service->getAllConfig()->size());
    });
}

TEST_F(ConfigServiceImplTest, ObjectCachedUnderTheOldNameIsUsedWhenTheCurrentNameIsNot) {
    LogCapture capture;
    onServicesThread([this]() {
        auto cachedUnderOldName = service->createConfig(L"TftpServer1", L"legacy", L"", false, L"Old", L"");
        installAliases();

        EXPECT_EQ(cachedUnderOldName, service->getConfig(L"tftpSERVER1"));
        EXPECT_EQ(L"legacy", service->getConfig(L"TftpServer1")->getValue());
    });
    EXPECT_EQ(0u, aliasLines(capture));
}

TEST_F(ConfigServiceImplTest, AliasLookupLogsTheCurrentNameAndValueOncePerLookup) {
    LogCapture capture;
    onServicesThread([this]() {
        installAliases();
        auto current = service->createConfig(L"TFTPPrimaryServer", L"primary-host", L"", false, L"S", L"");
        EXPECT_EQ(current, service->getConfig(L"tftpserver1"));
        EXPECT_EQ(current, service->getConfig(L"TftpServer1"));
        service->getConfig(L"TFTPPrimaryServer");  // the current name itself is no alias
    });
    const std::string expectedLower =
        "findConfig key : [tftpserver1] is an alias for key : [TFTPPrimaryServer] actual lookup done on this key - "
        "value : [primary-host]";
    const std::string expectedTable =
        "findConfig key : [TftpServer1] is an alias for key : [TFTPPrimaryServer] actual lookup done on this key - "
        "value : [primary-host]";
    std::vector<std::string> lines;
    for (const LogCapture::Record& record : capture.records()) {
        if (record.message.find("is an alias for key") != std::string::npos) {
            lines.push_back(record.message);
            EXPECT_EQ(4, record.level);
            EXPECT_EQ("ConfigService-ConfigServiceImpl", record.logger);
            EXPECT_EQ("findConfig", record.functionName);
        }
    }
    EXPECT_EQ((std::vector<std::string>{expectedLower, expectedTable}), lines);
}

TEST_F(ConfigServiceImplTest, AliasLookupOfASensitiveOldNameLogsValueHidden) {
    LogCapture capture;
    onServicesThread([this]() {
        installAliases();
        service->updateSensitiveKeyList(L"TFTPSERVER1");
        service->createConfig(L"TFTPPrimaryServer", L"s3cret-value", L"", false, L"S", L"");
        service->getConfig(L"tftpServer1");
    });
    EXPECT_TRUE(capture.contains(
        "findConfig key : [tftpServer1] is an alias for key : [TFTPPrimaryServer] actual lookup done on this key - "
        "value : [VALUE_HIDDEN]",
        4));
    EXPECT_FALSE(capture.contains("s3cret-value"));
}

TEST_F(ConfigServiceImplTest, AliasLogLineMasksPersonalData) {
    LogCapture capture;
    onServicesThread([this]() {
        installAliases();
        service->createConfig(L"TFTPPrimaryServer", L"10.20.30.40", L"", false, L"S", L"");
        service->getConfig(L"TftpServer1");
    });
    EXPECT_EQ(1u, aliasLines(capture));
    EXPECT_FALSE(capture.contains("10.20.30.40"));
}

TEST_F(ConfigServiceImplTest, CreateConfigKeepsAnEntryAlreadyCachedUnderAnEqualKey) {
    onServicesThread([this]() {
        auto first = service->createConfig(L"Key", L"one", L"", false, L"S", L"");
        auto second = service->createConfig(L"KEY", L"two", L"", false, L"S", L"");
        EXPECT_NE(first, second);
        EXPECT_EQ(first, service->getConfig(L"key"));
        EXPECT_EQ(L"one", service->getConfig(L"key")->getValue());
    });
}

TEST_F(ConfigServiceImplTest, GetAllConfigListsEveryObjectInKeyOrderWithTheFipsRuleApplied) {
    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    onServicesThread([this]() {
        service->createConfig(L"telephony_p2p_enabled", L"true", L"true", false, L"S", L"S");
        service->getConfig(L"beta");
        service->getConfig(L"Alpha");
        auto all = service->getAllConfig();
        ASSERT_EQ(3u, all->size());
        EXPECT_EQ(L"Alpha", (*all)[0]->getKey());
        EXPECT_EQ(L"beta", (*all)[1]->getKey());
        EXPECT_EQ(L"telephony_p2p_enabled", (*all)[2]->getKey());
        EXPECT_EQ(L"false", (*all)[2]->getValue());
    });
}

TEST_F(ConfigServiceImplTest, ResetEmptiesTheCacheButHandedOutObjectsStayValid) {
    onServicesThread([this]() {
        auto before = service->getConfig(L"Key");
        service->OnConfigChanged(L"Key", L"v1", L"", false, true, L"S", L"", false);

        service->reset();

        EXPECT_EQ(0u, service->getAllConfig()->size());
        EXPECT_EQ(L"v1", before->getValue());
        auto after = service->getConfig(L"Key");
        EXPECT_NE(before, after);
        EXPECT_FALSE(after->getisDefined());
        service->OnConfigChanged(L"Key", L"v2", L"", false, true, L"S", L"", false);
        EXPECT_EQ(L"v1", before->getValue());
        EXPECT_EQ(L"v2", after->getValue());
    });
}

// ---- Change notification ------------------------------------------------------

TEST_F(ConfigServiceImplTest, ReportChangingOnlyTheValueFiresOnlyValue) {
    onServicesThread([this]() {
        service->OnConfigChanged(L"Key", L"v1", L"a", false, true, L"S", L"A", false);
        observe(service->getConfig(L"key"), "obs");
        service->OnConfigChanged(L"KEY", L"v2", L"a", false, true, L"S", L"A", false);
        EXPECT_EQ(L"v2", service->getConfig(L"Key")->getValue());
    });
    EXPECT_EQ((Events{"obs:Value"}), *log);
}

TEST_F(ConfigServiceImplTest, SilentReportsOfABatchFireEachChangedPropertyOnceAtFireIfRequired) {
    onServicesThread([this]() {
        observe(service->getConfig(L"One"), "one");
        observe(service->getConfig(L"Two"), "two");
        service->OnConfigChanged(L"One", L"1", L"", false, true, L"S", L"", true);
        service->OnConfigChanged(L"Two", L"2", L"", false, true, L"S", L"", true);
        service->OnConfigChanged(L"One", L"1b", L"", false, true, L"S", L"", true);
        EXPECT_TRUE(log->empty());
        EXPECT_EQ(L"1b", service->getConfig(L"One")->getValue());

        service->FireIfRequired(L"One");
        service->FireIfRequired(L"Two");
        service->FireIfRequired(L"One");
    });
    EXPECT_EQ((Events{"one:Value", "one:isDefined", "one:ValueStoreName", "two:Value", "two:isDefined",
                      "two:ValueStoreName"}),
              *log);
}

TEST_F(ConfigServiceImplTest, FireIfRequiredThroughTheOldNameFiresTheCurrentNameObject) {
    onServicesThread([this]() {
        installAliases();
        auto current = service->getConfig(L"TFTPPrimaryServer");
        observe(current, "current");
        service->OnConfigChanged(L"TFTPPrimaryServer", L"host-a", L"", false, true, L"Tftp", L"", true);
        EXPECT_TRUE(log->empty());

        service->FireIfRequired(L"tftpserver1");

        EXPECT_EQ(1u, service->getAllConfig()->size());
    });
    EXPECT_EQ((Events{"current:Value", "current:isDefined", "current:ValueStoreName"}), *log);
}

TEST_F(ConfigServiceImplTest, ReportUnderTheOldNameUpdatesTheCurrentNameObject) {
    onServicesThread([this]() {
        installAliases();
        auto current = service->getConfig(L"TFTPPrimaryServer");
        service->OnConfigChanged(L"TftpServer1", L"host-b", L"", false, true, L"Tftp", L"", false);
        EXPECT_EQ(L"host-b", current->getValue());
    });
}

TEST_F(ConfigServiceImplTest, FireIfRequiredForAnUnseenKeyCreatesAnUndefinedObjectAndFiresNothing) {
    onServicesThread([this]() {
        service->FireIfRequired(L"Unseen");
        auto all = service->getAllConfig();
        ASSERT_EQ(1u, all->size());
        EXPECT_EQ(L"Unseen", (*all)[0]->getKey());
        EXPECT_FALSE((*all)[0]->getisDefined());
    });
}

TEST_F(ConfigServiceImplTest, SensitiveKeyAddedInTwoLetterCasesIsSensitiveInAThird) {
    onServicesThread([this]() {
        EXPECT_FALSE(service->isKeySensitive(L"Password"));
        service->updateSensitiveKeyList(L"Password");
        service->updateSensitiveKeyList(L"PASSWORD");
        EXPECT_TRUE(service->isKeySensitive(L"password"));
        EXPECT_FALSE(service->isKeySensitive(L"Passwords"));
    });
}

TEST_F(ConfigServiceImplTest, ConfigDownloadFailedLogsOnlyAtDebugLevel) {
    const int level = ZVFLogger_getLevel();
    {
        LogCapture capture;
        ZVFLogger_setLevel(4);
        onServicesThread([this]() { service->configDownloadFailed(); });
        EXPECT_FALSE(capture.contains("configDownloadFailed"));
    }
    {
        LogCapture capture;
        ZVFLogger_setLevel(5);
        onServicesThread([this]() { service->configDownloadFailed(); });
        ZVFLogger_setLevel(level);
        EXPECT_EQ(1u, capture.count("ConfigServiceImpl::configDownloadFailed()", 5));
    }
    ZVFLogger_setLevel(level);
}

// ---- Forwarding to the feature set --------------------------------------------

TEST_F(ConfigServiceImplTest, WithoutAFeatureSetForwardingDoesNothingAndReturnsEmptyResults) {
    onServicesThread([this]() {
        auto value = service->getConfig(L"Key");
        service->setConfig(L"Key", L"v");
        service->setInMemoryConfig(L"Key", L"v");
        service->setMdmConfig("mdm");
        service->setKeySensitive(L"Key");
        service->resetConfig(L"Key");
        service->removeAllCachedConfigStores();
        service->refreshConfigFeatureSet();
        EXPECT_FALSE(service->removeConfigStoreAndCache(L"Store"));
        EXPECT_FALSE(service->setUrlProvisioningData(L"data"));
        EXPECT_FALSE(service->resetAllowUriProvisioningData());
        EXPECT_EQ(L"", service->getAllConfigForPRT());
        EXPECT_EQ(L"", service->getValueFromConfigStore("Store", L"Key"));
        EXPECT_EQ(L"", value->getValue());
        EXPECT_FALSE(service->isKeySensitive(L"Key"));
    });
}

TEST_F(ConfigServiceImplTest, EveryForwardingOperationReachesTheFeatureSetWithItsArguments) {
    auto recorder = registerRecorder();
    recorder->prtDocument = L"<AllConfigs/>";
    recorder->storeValue = L"from-store";
    onServicesThread([this]() {
        auto value = service->getConfig(L"Key");
        service->setConfig(L"Key", L"v1");
        service->setInMemoryConfig(L"Mem", L"v2");
        service->setMdmConfig("<mdm/>");
        service->setKeySensitive(L"Secret");
        service->resetConfig(L"Key");
        EXPECT_TRUE(service->removeConfigStoreAndCache(L"PresenceConfigStore"));
        service->removeAllCachedConfigStores();
        service->refreshConfigFeatureSet();
        EXPECT_TRUE(service->setUrlProvisioningData(L"a=b"));
        EXPECT_TRUE(service->resetAllowUriProvisioningData());
        EXPECT_EQ(L"<AllConfigs/>", service->getAllConfigForPRT());
        EXPECT_EQ(L"from-store", service->getValueFromConfigStore("Store", L"Key"));
        // Writes come back only as change reports from the store manager.
        EXPECT_EQ(L"", value->getValue());
        EXPECT_FALSE(service->isKeySensitive(L"Secret"));
    });
    EXPECT_EQ((std::vector<std::string>{"setConfig(Key=v1)", "setInMemoryConfig(Mem=v2)", "setMdmConfig(<mdm/>)",
                                        "setKeySensitive(Secret)", "resetConfig(Key)",
                                        "removeConfigStore(PresenceConfigStore)", "removeAllCachedConfigStores()",
                                        "refreshConfigFeatureSet()", "setUrlProvisioningData(a=b)",
                                        "resetAllowUriProvisioningData()", "getAllConfigForPRT()",
                                        "getValueFromConfigStore(Store,Key)"}),
              recorder->calls);
}

TEST_F(ConfigServiceImplTest, BooleanResultsOfTheFeatureSetArePassedThrough) {
    auto recorder = registerRecorder();
    recorder->boolResult = false;
    onServicesThread([this]() {
        EXPECT_FALSE(service->removeConfigStoreAndCache(L"Store"));
        EXPECT_FALSE(service->setUrlProvisioningData(L"a=b"));
        EXPECT_FALSE(service->resetAllowUriProvisioningData());
    });
    EXPECT_EQ(3u, recorder->calls.size());
}

TEST_F(ConfigServiceImplTest, UrlProvisioningOperationsMayBeCalledOffTheServicesThread) {
    auto recorder = registerRecorder();
    EXPECT_TRUE(service->setUrlProvisioningData(L"x=y"));
    EXPECT_TRUE(service->resetAllowUriProvisioningData());
    EXPECT_EQ((std::vector<std::string>{"setUrlProvisioningData(x=y)", "resetAllowUriProvisioningData()"}),
              recorder->calls);
}

// ---- Configuration dump ---------------------------------------------------------

const std::string kDumpHead =
    "\n*********************** Master Configuration Settings *********************\n"
    "\nOriginalValue is the value set by the administrator\n"
    "\nValue is the value retrieved by searching the config sources by priority\n"
    "\nDefined Values\n--------------\n";
const std::string kDumpMiddle = "\nUnDefined Values\n---------------\n";
const std::string kDumpTail = "\n*************************** End Settings ***************************\n";

TEST_F(ConfigServiceImplTest, EmptyCacheLogsOnlyTheFrame) {
    LogCapture capture;
    onServicesThread([this]() { service->logConfig(); });
    std::vector<LogCapture::Record> dumps;
    for (const LogCapture::Record& record : capture.records()) {
        if (record.functionName == "logConfig") {
            dumps.push_back(record);
        }
    }
    ASSERT_EQ(1u, dumps.size());
    EXPECT_EQ(4, dumps[0].level);
    EXPECT_EQ(kDumpHead + kDumpMiddle + kDumpTail, dumps[0].message);
}

TEST_F(ConfigServiceImplTest, DumpListsDefinedThenUndefinedValuesWithSecretsHidden) {
    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    LogCapture capture;
    onServicesThread([this]() {
        service->updateSensitiveKeyList(L"password");
        service->OnConfigChanged(L"Password", L"hunter2", L"admin-pw", true, true, L"User", L"Admin", false);
        service->getConfig(L"Absent");
        service->OnConfigChanged(L"Telephony_P2P_Enabled", L"true", L"true", false, true, L"Admin", L"Admin",
                                 false);
        service->OnConfigChanged(L"beta", L"2", L"", false, true, L"InMemoryConfigStore", L"", false);
        service->logConfig();
    });
    const std::string expected =
        kDumpHead +
        "Key: beta -  Value - [2] valueStoreName [InMemoryConfigStore] | OriginalValue [] originalValueStoreName []\n"
        "Key: Password -  Value - [VALUE_HIDDEN] valueStoreName [User] | OriginalValue [VALUE_HIDDEN] "
        "originalValueStoreName [Admin]\n"
        "Key: Telephony_P2P_Enabled -  Value - [false] valueStoreName [Admin] | OriginalValue [true] "
        "originalValueStoreName [Admin]\n" +
        kDumpMiddle + "Key: Absent -  Value - [] valueStoreName [] | OriginalValue [] originalValueStoreName []\n" +
        kDumpTail;
    EXPECT_EQ(1u, capture.count("Master Configuration Settings", 4));
    EXPECT_TRUE(capture.contains(expected, 4));
    EXPECT_FALSE(capture.contains("hunter2"));
    EXPECT_FALSE(capture.contains("admin-pw"));
}

}  // namespace
