// URL provisioning: the permitted settings of a provisioning URL become a
// cache store of their own, "UrlProvisioningConfigStore", written to its
// cache file at once so that it is restored at the next start.
#include <memory>

#include "CacheConfigStore.h"
#include "ConfigStoreConstants.h"
#include "ConfigStoreManager.h"
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

}  // namespace ZVFUnified
