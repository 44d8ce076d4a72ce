// URL provisioning: the permitted settings of a provisioning URL become a
// cache store of their own, "UrlProvisioningConfigStore", written to its
// cache file at once so that it is restored at the next start, and the user
// store records that provisioning has been applied.
#include <memory>
#include <string>
#include <vector>

#include "CacheConfigStore.h"
#include "ConfigStoreConstants.h"
#include "ConfigStoreManager.h"
#include "PTKCoreUtils/StringUtils.h"
#include "logging/ZVFLogger.h"

namespace ZVFUnified {

namespace {
ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-ConfigStoreManager");
}

bool ConfigStoreManager::setUrlProvisioningData(std::wstring data) {
    ZVF_LOG(logger, 4, std::string("setting url provisioning data"));
    ConfigMap values;
    if (!parseUrlProvisioningData(data, values)) {
        return false;
    }
    auto store = std::make_shared<CacheConfigStore>(
        ConfigStoreConstants::URL_PROVISIONING_CONFIG_STORE, ConfigStoreConstants::URL_PROVISIONING_CONFIG_STORE_PRIORITY,
        CacheConfigStore::cacheFilePath(ConfigStoreConstants::URL_PROVISIONING_CONFIG_STORE), values);
    addStore(store);
    storeValue(ConfigStoreConstants::ALLOW_URL_PROVISIONING, ConfigStoreConstants::ALLOW_URL_PROVISIONING_APPLIED_VALUE);
    return true;
}

bool ConfigStoreManager::parseUrlProvisioningData(const std::wstring& data, ConfigMap& out) {
    // A provisioning URL is short; anything longer is not looked at.
    if (data.empty() || data.size() > 999) {
        return false;
    }
    const std::size_t question = data.find(L'?');
    if (question == std::wstring::npos || question + 1 >= data.size()) {
        return false;
    }
    std::vector<std::wstring> pieces;
    PTKCoreUtils::split(data.substr(question + 1), pieces, L"&");

    // A later name that differs only in letter case replaces the value and
    // keeps the spelling of the first occurrence.
    ConfigMap pairs;
    std::vector<std::wstring> parts;
    for (const std::wstring& piece : pieces) {
        parts.clear();
        PTKCoreUtils::split(piece, parts, L"=");
        if (parts.size() != 2) {
            continue;
        }
        std::wstring name = PTKCoreUtils::trim(parts[0]);
        if (name.empty()) {
            continue;
        }
        pairs[name] = PTKCoreUtils::trim(parts[1]);
    }

    for (const auto& pair : pairs) {
        for (const std::wstring& permitted : ConfigStoreConstants::URL_PROVISIONING_KEYS) {
            if (PTKCoreUtils::caseInsensitiveStringCompare(pair.first, permitted) == 0) {
                out[pair.first] = pair.second;
                break;
            }
        }
    }
    return !out.empty();
}

bool ConfigStoreManager::resetAllowUriProvisioningData() {
    return eraseKey(ConfigStoreConstants::ALLOW_URL_PROVISIONING);
}

}  // namespace ZVFUnified
