// The service object on the real services thread of the host, with the real
// key-alias table.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../support/RecordingConfigFeatureSet.h"
#include "../support/RecordingObservers.h"
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

    // The alias lines logged, each as "<level> <logger> <function>: <message>".
    static Events aliasLines(const LogCapture& capture) {
        Events out;
        for (const LogCapture::Record& record : capture.records()) {
            if (record.message.find("is an alias for key") != std::string::npos) {
                out.push_back(std::to_string(record.level) + " " + record.logger + " " + record.functionName + ": " +
                              record.message);
            }
        }
        return out;
    }
    static std::string aliasLine(const std::string& key, const std::string& value) {
        return "4 ConfigService-ConfigServiceImpl findConfig: findConfig key : [" + key +
               "] is an alias for key : [TFTPPrimaryServer] actual lookup done on this key - value : [" + value + "]";
    }
    // The keys of the cached objects, as getAllConfig lists them.
    std::vector<std::wstring> cachedKeys() {
        std::vector<std::wstring> keys;
        const auto all = service->getAllConfig();  // the loop must not outlive the list
        for (const auto& value : *all) {
            keys.push_back(value->getKey());
        }
        return keys;
    }
    static std::wstring flag(bool result) { return result ? L"true" : L"false"; }

    // Calls every operation that goes to the feature set and lists what the
    // answering ones returned. Runs on the services thread.
    std::vector<std::wstring> forwardEverything() {
        auto value = service->getConfig(L"Key");
        service->setConfig(L"Key", L"v1");
        service->setInMemoryConfig(L"Mem", L"v2");
        service->setMdmConfig("<mdm/>");
        service->setKeySensitive(L"Secret");
        service->resetConfig(L"Key");
        const bool removed = service->removeConfigStoreAndCache(L"PresenceConfigStore");
        service->removeAllCachedConfigStores();
        service->refreshConfigFeatureSet();
        const bool provisioned = service->setUrlProvisioningData(L"a=b");
        const bool allowReset = service->resetAllowUriProvisioningData();
        const std::wstring prt = service->getAllConfigForPRT();
        // Writes come back only as change reports from the store manager.
        return {flag(removed), flag(provisioned), flag(allowReset), prt,
                service->getValueFromConfigStore("Store", L"Key"), value->getValue(),
                flag(service->isKeySensitive(L"Secret"))};
    }

    // The configuration dumps logged, each as "<level>:<message>".
    static Events dumps(const LogCapture& capture) {
        Events out;
        for (const LogCapture::Record& record : capture.records()) {
            if (record.functionName == "logConfig") {
                out.push_back(std::to_string(record.level) + ":" + record.message);
            }
        }
        return out;
    }

    std::shared_ptr<ConfigServiceImpl> service;
    std::shared_ptr<Events> log = std::make_shared<Events>();
    std::vector<std::shared_ptr<ConfigValueObserver>> observers;
};

// ---- Lookup -------------------------------------------------------------------

TEST_F(ConfigServiceImplTest, UnknownKeyYieldsAnUndefinedObjectCachedForLookupsInAnyLetterCase) {
    onServicesThread([this]() {
        auto mixed = service->getConfig(L"Voicemail_Enabled");
        ASSERT_NE(nullptr, mixed);
        EXPECT_EQ(L"Voicemail_Enabled", mixed->getKey());
        EXPECT_FALSE(mixed->getisDefined());
        EXPECT_EQ(L"", mixed->getValue());
        EXPECT_EQ(mixed, service->getConfig(L"Voicemail_Enabled"));
        EXPECT_EQ(mixed, service->getConfig(L"voicemail_enabled"));
        EXPECT_EQ(mixed, service->getConfig(L"VOICEMAIL_ENABLED"));
        // Creating under an equal key keeps the entry already cached.
        auto first = service->createConfig(L"Key", L"one", L"", false, L"S", L"");
        EXPECT_NE(first, service->createConfig(L"KEY", L"two", L"", false, L"S", L""));
        EXPECT_EQ(first, service->getConfig(L"key"));
        EXPECT_EQ(L"one", service->getConfig(L"key")->getValue());
        EXPECT_EQ((std::vector<std::wstring>{L"Key", L"Voicemail_Enabled"}), cachedKeys());
    });
}

TEST_F(ConfigServiceImplTest, OldKeyNameInAnyLetterCaseReachesAndUpdatesTheObjectUnderTheCurrentName) {
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
        EXPECT_EQ(std::vector<std::wstring>{L"TFTPPrimaryServer"}, cachedKeys());
        service->OnConfigChanged(L"TftpServer1", L"host-b", L"", false, true, L"Tftp", L"", false);
        EXPECT_EQ(L"host-b", viaOldName->getValue());
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
    EXPECT_TRUE(aliasLines(capture).empty());
}

// One line per lookup through an old name, its value masked as personal data
// and hidden once the old name is marked sensitive.
TEST_F(ConfigServiceImplTest, AliasLookupLogsTheCurrentNameAndTheMaskedValueOncePerLookup) {
    LogCapture capture;
    onServicesThread([this]() {
        installAliases();
        auto current = service->createConfig(L"TFTPPrimaryServer", L"10.20.30.40", L"", false, L"S", L"");
        EXPECT_EQ(current, service->getConfig(L"tftpserver1"));
        EXPECT_EQ(current, service->getConfig(L"TftpServer1"));
        service->getConfig(L"TFTPPrimaryServer");  // the current name itself is no alias
        service->updateSensitiveKeyList(L"TFTPSERVER1");
        service->OnConfigChanged(L"TFTPPrimaryServer", L"s3cret-value", L"", false, true, L"S", L"", false);
        service->getConfig(L"tftpServer1");
    });
    const std::string masked = ZVFLogger_replacePIIData("10.20.30.40");
    EXPECT_EQ((Events{aliasLine("tftpserver1", masked), aliasLine("TftpServer1", masked),
                      aliasLine("tftpServer1", "VALUE_HIDDEN")}),
              aliasLines(capture));
    EXPECT_FALSE(capture.contains("10.20.30.40"));
    EXPECT_FALSE(capture.contains("s3cret-value"));
}

TEST_F(ConfigServiceImplTest, KeySensitiveUnderOneNameIsHiddenUnderTheOther) {
    LogCapture capture;
    onServicesThread([this]() {
        installAliases();
        // Marked under its current name, looked up by its old one.
        service->updateSensitiveKeyList(L"TFTPPrimaryServer");
        service->createConfig(L"TFTPPrimaryServer", L"tftp-secret", L"", false, L"S", L"");
        service->getConfig(L"TftpServer1");
        // Marked under its old name, cached under its current one.
        service->updateSensitiveKeyList(L"CtiServer1");
        service->createConfig(L"CTIPrimaryServer", L"cti-secret", L"cti-admin-secret", true, L"S", L"A");
        EXPECT_TRUE(service->isKeySensitive(L"tftpserver1"));
        EXPECT_TRUE(service->isKeySensitive(L"ctiprimaryserver"));
        EXPECT_FALSE(service->isKeySensitive(L"CtiServer2"));
        // Added in two letter cases, sensitive in a third; a longer name is not.
        service->updateSensitiveKeyList(L"Password");
        service->updateSensitiveKeyList(L"PASSWORD");
        EXPECT_TRUE(service->isKeySensitive(L"password"));
        EXPECT_FALSE(service->isKeySensitive(L"Passwords"));
        service->logConfig();
    });
    EXPECT_EQ((Events{aliasLine("TftpServer1", "VALUE_HIDDEN")}), aliasLines(capture));
    for (const char* secret : {"tftp-secret", "cti-secret", "cti-admin-secret"}) {
        EXPECT_FALSE(capture.contains(secret)) << secret;
    }
}

TEST_F(ConfigServiceImplTest, GetAllConfigListsEveryObjectInKeyOrderWithTheFipsRuleApplied) {
    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    onServicesThread([this]() {
        service->createConfig(L"telephony_p2p_enabled", L"true", L"true", false, L"S", L"S");
        service->getConfig(L"beta");
        service->getConfig(L"Alpha");
        EXPECT_EQ((std::vector<std::wstring>{L"Alpha", L"beta", L"telephony_p2p_enabled"}), cachedKeys());
        EXPECT_EQ(L"false", service->getAllConfig()->back()->getValue());
    });
}

TEST_F(ConfigServiceImplTest, ResetEmptiesTheCacheButHandedOutObjectsStayValid) {
    onServicesThread([this]() {
        auto before = service->getConfig(L"Key");
        service->OnConfigChanged(L"Key", L"v1", L"", false, true, L"S", L"", false);

        service->reset();

        EXPECT_TRUE(cachedKeys().empty());
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

// Through the old name the current name's object fires; an unseen key gets
// an undefined object and fires nothing.
TEST_F(ConfigServiceImplTest, FireIfRequiredThroughTheOldNameFiresTheCurrentNameObject) {
    onServicesThread([this]() {
        installAliases();
        auto current = service->getConfig(L"TFTPPrimaryServer");
        observe(current, "current");
        service->OnConfigChanged(L"TFTPPrimaryServer", L"host-a", L"", false, true, L"Tftp", L"", true);
        EXPECT_TRUE(log->empty());

        service->FireIfRequired(L"tftpserver1");
        service->FireIfRequired(L"Unseen");

        EXPECT_EQ((std::vector<std::wstring>{L"TFTPPrimaryServer", L"Unseen"}), cachedKeys());
        EXPECT_FALSE(service->getAllConfig()->back()->getisDefined());
    });
    EXPECT_EQ((Events{"current:Value", "current:isDefined", "current:ValueStoreName"}), *log);
}

TEST_F(ConfigServiceImplTest, ConfigDownloadFailedLogsOnlyAtDebugLevel) {
    for (int level : {4, 5}) {
        nuvrixtest::LogLevelScope scope(level);
        LogCapture capture;
        onServicesThread([this]() { service->configDownloadFailed(); });
        EXPECT_EQ(level - 4u, capture.count("configDownloadFailed")) << level;
        EXPECT_EQ(level - 4u, capture.count("ConfigServiceImpl::configDownloadFailed()", 5)) << level;
    }
}

// ---- Forwarding to the feature set --------------------------------------------

TEST_F(ConfigServiceImplTest, WithoutAFeatureSetForwardingDoesNothingAndReturnsEmptyResults) {
    std::vector<std::wstring> results;
    onServicesThread([this, &results]() { results = forwardEverything(); });
    EXPECT_EQ((std::vector<std::wstring>{L"false", L"false", L"false", L"", L"", L"", L"false"}), results);
}

TEST_F(ConfigServiceImplTest, EveryForwardingOperationReachesTheFeatureSetWhoseResultsArePassedThrough) {
    auto recorder = registerRecorder();
    recorder->prtDocument = L"<AllConfigs/>";
    recorder->storeValue = L"from-store";
    for (bool result : {true, false}) {
        SCOPED_TRACE(result);
        recorder->boolResult = result;
        recorder->calls.clear();
        std::vector<std::wstring> results;
        onServicesThread([this, &results]() { results = forwardEverything(); });
        EXPECT_EQ((std::vector<std::wstring>{flag(result), flag(result), flag(result), L"<AllConfigs/>",
                                             L"from-store", L"", L"false"}),
                  results);
        EXPECT_EQ((Events{"setConfig(Key=v1)", "setInMemoryConfig(Mem=v2)", "setMdmConfig(<mdm/>)",
                          "setKeySensitive(Secret)", "resetConfig(Key)", "removeConfigStore(PresenceConfigStore)",
                          "removeAllCachedConfigStores()", "refreshConfigFeatureSet()", "setUrlProvisioningData(a=b)",
                          "resetAllowUriProvisioningData()", "getAllConfigForPRT()",
                          "getValueFromConfigStore(Store,Key)"}),
                  recorder->calls);
    }
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

// An empty cache logs only the frame.
TEST_F(ConfigServiceImplTest, DumpListsDefinedThenUndefinedValuesWithSecretsHidden) {
    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    LogCapture capture;
    onServicesThread([this]() {
        service->logConfig();
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
    EXPECT_EQ((Events{"4:" + kDumpHead + kDumpMiddle + kDumpTail, "4:" + expected}), dumps(capture));
    EXPECT_FALSE(capture.contains("hunter2"));
    EXPECT_FALSE(capture.contains("admin-pw"));
}

}  // namespace
