// The telephony, voicemail and meetings flags: explicit when an
// administrator's store (any read-only store but the defaults) sets them,
// otherwise derived from whether the configuration names the servers the
// service needs, and stored in memory. Also the removal of user-set server
// addresses that policy forbids customising.
#include <string>
#include <vector>

#include "CacheConfigStore.h"
#include "ConfigAdapter.h"
#include "ConfigStoreConstants.h"
#include "ConfigStoreManager.h"
#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/StringUtils.h"
#include "logging/ZVFLogger.h"

namespace ZVFUnified {

namespace {

ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-ConfigAdapter");

bool isFalse(const std::wstring& value) { return PTKCoreUtils::caseInsensitiveStringEquals(value, L"false"); }

}  // namespace

void ConfigAdapter::SetEnabledServices() {
    if (!configStoreManager) {
        return;
    }
    SetTelephonyEnabled();
    SetVoicemailEnabled();
    SetMeetingsEnabled();
}

void ConfigAdapter::setEnabledFlag(const std::wstring& flagKey, const std::string& explicitPrefix,
                                   const std::string& derivedMessage, const std::function<bool()>& derive) {
    std::wstring value;
    std::wstring storeName;
    bool viaAlias = false;
    // Read-only stores only: a user's own value is not the administrator's decision.
    configStoreManager->getValue(flagKey, value, storeName, viaAlias, true, "");
    const std::string store = PTKCoreUtils::toString(storeName);
    if (!PTKCoreUtils::caseInsensitiveStringEquals(store, ConfigStoreConstants::DEFAULTS_CONFIG_STORE)) {
        ZVF_LOG(logger, 4,
                explicitPrefix + ZVFLogger_replacePIIData(PTKCoreUtils::toString(value)) + "' in the '" + store +
                    "' config store");
        return;
    }
    const bool enabled = derive();
    ZVF_LOG(logger, 4, derivedMessage + (enabled ? "1" : "0"));
    configStoreManager->storeInMemoryValue(flagKey, PTKCoreUtils::toWideString(enabled));
}

void ConfigAdapter::SetTelephonyEnabled() {
    setEnabledFlag(ConfigStoreConstants::Keys::Telephony_Enabled, "Telephony_Enabled explicitly set to '",
                   "Setting telephonyEnabled flag: ",
                   [this] { return !lookUp(L"CtiServer1").empty() || !lookUp(L"RlvDevServer1").empty(); });
}

void ConfigAdapter::SetVoicemailEnabled() {
    setEnabledFlag(L"Voicemail_Enabled", "Voicemail_Enabled explicitly set to '", "Setting voicemailEnabled flag:",
                   [this] {
                       return !lookUp(L"VoicemailPrimaryServer").empty() ||
                              !lookUp(L"VVM_Mailstore_Server_0").empty();
                   });
}

void ConfigAdapter::SetMeetingsEnabled() {
    setEnabledFlag(ConfigStoreConstants::Keys::Meetings_Enabled, "Meetings_Enabled explicitly set to '",
                   "Setting Meetings_Enabled flag: ", [this] {
                       static const wchar_t* const pairs[][2] = {
                           {L"Meeting_Server_Address", L"Meeting_Server_Type"},
                           {L"Meeting_Server_Address_Backup", L"Meeting_Server_Type_Backup"},
                           {L"Meeting_Server_Address_Backup2", L"Meeting_Server_Type_Backup2"},
                       };
                       for (const auto& pair : pairs) {
                           if (lookUp(pair[0]).empty()) {
                               continue;
                           }
                           const std::wstring type = lookUp(pair[1]);
                           if (type.empty() || PTKCoreUtils::caseInsensitiveStringEquals(type, L"Mevra")) {
                               return true;
                           }
                       }
                       return false;
                   });
}

bool ConfigAdapter::shouldSetEnabledServicesBasedOnCachedStores() {
    std::vector<std::string> files;
    PTKCoreUtils::FileUtils::getFilesFromDirectory(CacheConfigStore::cacheDirectory(), ".dat", files);
    const std::wstring prefixes[] = {
        PTKCoreUtils::toWideString(ConfigStoreConstants::CACHED_FILE_PREFIX) + ConfigStoreConstants::HMX_STORE_PREFIX,
        PTKCoreUtils::toWideString(ConfigStoreConstants::CACHED_FILE_PREFIX) +
            ConfigStoreConstants::PRESENCE_CONFIG_STORE,
        PTKCoreUtils::toWideString(ConfigStoreConstants::CACHED_FILE_PREFIX) + ConfigStoreConstants::TFTP_STORE_PREFIX,
    };
    for (const std::string& file : files) {
        const std::wstring name = PTKCoreUtils::toWideString(PTKCoreUtils::FileUtils::getFileName(file));
        for (const std::wstring& prefix : prefixes) {
            if (PTKCoreUtils::caseInsensitiveFind(name, prefix) == 0) {
                return true;
            }
        }
    }
    return false;
}

void ConfigAdapter::removeValuesIfPolicySet() {
    if (!configStoreManager) {
        return;
    }
    namespace Keys = ConfigStoreConstants::Keys;
    std::wstring value;
    std::wstring storeName;
    bool viaAlias = false;
    if (configStoreManager->getValue(Keys::Customize_Voicemail_Server, value, storeName, viaAlias, false, "") &&
        isFalse(value)) {
        configStoreManager->eraseKey(Keys::VoicemailPrimaryServer);
    }
    if (configStoreManager->getValue(Keys::Customize_Phone_Server, value, storeName, viaAlias, false, "") &&
        isFalse(value)) {
        for (const std::wstring* key : {&Keys::TFTPPrimaryServer, &Keys::CtiServer1, &Keys::RlvdevServer1}) {
            configStoreManager->eraseKey(*key);
        }
    }
}

}  // namespace ZVFUnified
