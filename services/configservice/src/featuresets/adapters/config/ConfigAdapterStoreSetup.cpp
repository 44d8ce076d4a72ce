// Which stores the config feature set puts into the store manager, when and
// in which order: the initial stores, the cached copies of server-provided
// stores restored from disk (listed in "PrimaryConfigStores"), the stores
// re-added at start, the reaction to a store another service adds, and the
// removal of a store together with its copy.
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "CacheConfigStore.h"
#include "ConfigAdapter.h"
#include "ConfigFileCacheTimer.h"
#include "ConfigStore.h"
#include "ConfigStoreConstants.h"
#include "ConfigStoreManager.h"
#include "InMemoryConfigStore.h"
#include "LocalFileConfigStore.h"
#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/StringUtils.h"
#include "logging/ZVFLogger.h"

namespace ZVFUnified {

namespace {

ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-ConfigAdapter");

// Priority of a listed copy whose recorded priority is not a number.
constexpr int DEFAULT_CACHED_PRIORITY = 240;

}  // namespace

bool ConfigAdapter::getNuvrixSDKMode() {
    std::wstring value;
    getConfig(ConfigStoreConstants::Keys::Nuvrix_SDK_Mode, value, false);
    return PTKCoreUtils::toBool(value);
}

void ConfigAdapter::addInMemoryStore() {
    configStoreManager->addStore(std::make_shared<InMemoryConfigStore>(
        ConfigStoreConstants::IN_MEMORY_CONFIG_STORE, ConfigStoreConstants::IN_MEMORY_CONFIG_STORE_PRIORITY));
}

void ConfigAdapter::addUserLocalStore(bool withTimer) {
    std::shared_ptr<ConfigStore> store;
    if (getNuvrixSDKMode()) {
        store = std::make_shared<InMemoryConfigStore>(ConfigStoreConstants::LOCAL_FILE_CONFIG_STORE,
                                                      ConfigStoreConstants::LOCAL_FILE_CONFIG_STORE_PRIORITY);
    } else {
        auto local = std::make_shared<LocalFileConfigStore>(ConfigStoreConstants::LOCAL_FILE_CONFIG_STORE,
                                                            ConfigStoreConstants::LOCAL_FILE_CONFIG_STORE_PRIORITY,
                                                            false);
        if (withTimer) {
            local->setTimer(configFileCacheTimer);
        }
        store = local;
    }
    configStoreManager->addStore(store);
}

void ConfigAdapter::persistUserStoreNow() {
    if (!configStoreManager) {
        return;
    }
    // A persistence task of the store may still be queued; writing now means
    // the store that replaces this one reads every acknowledged write, and
    // the queued task finds nothing left to write.
    if (std::shared_ptr<ConfigStore> userStore =
            configStoreManager->getConfigStoreByName(ConfigStoreConstants::LOCAL_FILE_CONFIG_STORE)) {
        userStore->persistValues();
    }
}

void ConfigAdapter::addInitialConfigStores() {
    ZVF_LOG(logger, 5, std::string("adding initial config stores"));
    configStoreManager->addStore(std::make_shared<LocalFileConfigStore>(
        ConfigStoreConstants::DEFAULTS_CONFIG_STORE, ConfigStoreConstants::DEFAULTS_CONFIG_STORE_PRIORITY,
        PTKCoreUtils::FileUtils::getResourcesDirectory() + PTKCoreUtils::FileUtils::FileSeparator(),
        ConfigStoreConstants::DEFAULTS_FILE, true, true, false));
    addInMemoryStore();
    addUserLocalStore(true);
    InitialiseCachedConfigStores();
    removeValuesIfPolicySet();
}

void ConfigAdapter::InitialiseCachedConfigStores() {
    if (!configStoreManager) {
        ZVF_LOG(logger, 2, std::string("configStoreManager is null"));
        return;
    }
    ZVF_LOG(logger, 5, std::string("adding cached config stores"));
    std::wstring listText;
    std::wstring storeName;
    bool viaAlias = false;
    configStoreManager->getValue(ConfigStoreConstants::PRIMARY_CONFIG_STORES, listText, storeName, viaAlias, false,
                                 "");
    const ConfigMap priorities = getCachedConfigStorePrioityMap(listText);

    // The presence copy goes last, and not at all in phone mode.
    const ConfigMap::value_type* presence = nullptr;
    for (const auto& entry : priorities) {
        if (PTKCoreUtils::caseInsensitiveStringEquals(entry.first, ConfigStoreConstants::PRESENCE_CONFIG_STORE)) {
            presence = &entry;
            continue;
        }
        addCachedConfigStore(PTKCoreUtils::toString(entry.first),
                             PTKCoreUtils::toInt(entry.second, DEFAULT_CACHED_PRIORITY));
    }
    if (presence) {
        std::wstring productMode;
        configStoreManager->getValue(ConfigStoreConstants::Keys::ProductMode, productMode, storeName, viaAlias,
                                     false, "");
        if (PTKCoreUtils::caseInsensitiveStringEquals(productMode, ConfigStoreConstants::Keys::Phone_Mode)) {
            removeFromCachedStorePriorityMap(ConfigStoreConstants::PRESENCE_CONFIG_STORE);
        } else {
            addCachedConfigStore(PTKCoreUtils::toString(presence->first),
                                 PTKCoreUtils::toInt(presence->second, DEFAULT_CACHED_PRIORITY));
        }
    }

    std::wstring allowUrlProvisioning;
    configStoreManager->getValueFromStore(ConfigStoreConstants::ALLOW_URL_PROVISIONING, allowUrlProvisioning,
                                          ConfigStoreConstants::MDM_CONFIG_STORE);
    if (PTKCoreUtils::caseInsensitiveStringEquals(allowUrlProvisioning, L"false")) {
        ZVF_LOG(logger, 4,
                std::string("Url Provisioning not allowed by MDM configuration, removing cached URL provisioning store"));
        removeConfigStore(ConfigStoreConstants::URL_PROVISIONING_CONFIG_STORE);
    } else {
        configStoreManager->addStore(std::make_shared<CacheConfigStore>(
            ConfigStoreConstants::URL_PROVISIONING_CONFIG_STORE,
            ConfigStoreConstants::URL_PROVISIONING_CONFIG_STORE_PRIORITY,
            CacheConfigStore::cacheFilePath(ConfigStoreConstants::URL_PROVISIONING_CONFIG_STORE)));
    }
}

void ConfigAdapter::addCachedConfigStore(std::string name, int priority) {
    if (getNuvrixSDKMode()) {
        return;
    }
    // A missing or unreadable file leaves the copy empty; the store logs it.
    configStoreManager->addStore(std::make_shared<CacheConfigStore>(CacheConfigStore::cachedStoreName(name), priority,
                                                                    CacheConfigStore::cacheFilePath(name)));
}

void ConfigAdapter::addNecessaryStoresIfNotExist() {
    if (!configStoreManager->containsStore(ConfigStoreConstants::IN_MEMORY_CONFIG_STORE)) {
        addInMemoryStore();
    }
    if (!configStoreManager->containsStore(ConfigStoreConstants::LOCAL_FILE_CONFIG_STORE)) {
        addUserLocalStore(false);
    }
}

void ConfigAdapter::cacheStoreOnConfigStoreAdded(std::shared_ptr<ConfigStore> store) {
    if (getNuvrixSDKMode()) {
        return;
    }
    const std::string name = store->getName();
    const int cachedPriority = store->getCachedPriority();
    ConfigMap values;
    copyAllStoreValues(store, values);
    // The copy records which of its keys are secret (whoever marked them:
    // the store's own document, device management, another service), so
    // that the copy restored at the next start hides them from its first
    // lookup on, before the live store is added again.
    ConfigKeySet sensitiveKeys;
    for (const auto& entry : values) {
        if (configStoreManager->isKeySensitive(entry.first)) {
            sensitiveKeys.insert(entry.first);
        }
    }
    updateCacheStorePriority(name, cachedPriority);
    {
        // Written by the constructor; the object is not added to the manager.
        CacheConfigStore writer(CacheConfigStore::cachedStoreName(name), cachedPriority + 1,
                                CacheConfigStore::cacheFilePath(name), values, sensitiveKeys);
    }
    const std::string cachedName = CacheConfigStore::cachedStoreName(name);
    if (configStoreManager->containsStore(cachedName)) {
        // The live store takes the restored copy's place.
        configStoreManager->removeStoreWithSameName(cachedName);
    }
}

void ConfigAdapter::copyAllStoreValues(std::shared_ptr<ConfigStore> store, ConfigMap& out) {
    for (const std::wstring& key : store->getKeys()) {
        std::wstring value;
        if (store->getValue(key, value)) {
            out[key] = value;
        }
    }
}

ConfigMap ConfigAdapter::getCachedConfigStorePrioityMap(const std::wstring& text) {
    ConfigMap priorities;
    std::vector<std::wstring> entries;
    PTKCoreUtils::split(text, entries, L";");
    for (const std::wstring& entry : entries) {
        std::vector<std::wstring> parts;
        PTKCoreUtils::split(entry, parts, L":");
        if (parts.size() == 2) {
            // A later entry of the same name (any case) replaces the priority;
            // the name keeps the letter case of its first occurrence.
            priorities[parts[0]] = parts[1];
        }
    }
    return priorities;
}

void ConfigAdapter::updateCacheStorePriority(const std::string& name, int priority) {
    if (!configStoreManager) {
        return;
    }
    std::wstring listText;
    getConfig(ConfigStoreConstants::PRIMARY_CONFIG_STORES, listText, false);
    ConfigMap priorities = getCachedConfigStorePrioityMap(listText);
    priorities[PTKCoreUtils::toWideString(name)] = PTKCoreUtils::toWideString(priority);
    std::wstring updated;
    for (const auto& entry : priorities) {
        updated += entry.first;
        updated += L':';
        updated += entry.second;
        updated += L';';
    }
    configStoreManager->storeValue(ConfigStoreConstants::PRIMARY_CONFIG_STORES, updated);
}

void ConfigAdapter::removeFromCachedStorePriorityMap(const std::wstring& name) {
    std::wstring listText;
    getConfig(ConfigStoreConstants::PRIMARY_CONFIG_STORES, listText, false);
    // ASCII lower-casing keeps every position, so a position found in the
    // lower-cased copy is the same position in the text as read.
    const std::wstring lowered = PTKCoreUtils::toLowercase(listText);
    const std::wstring::size_type start = lowered.find(PTKCoreUtils::toLowercase(name));
    if (start != std::wstring::npos) {
        const std::wstring::size_type end = lowered.find(L';', start);
        listText.erase(start, end == std::wstring::npos ? std::wstring::npos : end - start + 1);
    }
    setConfig(ConfigStoreConstants::PRIMARY_CONFIG_STORES, listText);
}

bool ConfigAdapter::removeConfigStore(const std::string& name) {
    if (!isStarted) {
        ZVF_LOG(logger, 2, "Config FeatureSet Not Started, failed to remove ConfigStore with name: [" + name + "]");
        return false;
    }
    if (!hasStoreManager()) {
        return false;
    }
    bool removed = false;
    const std::string cachedName = CacheConfigStore::cachedStoreName(name);
    if (configStoreManager->containsStore(cachedName) && configStoreManager->removeStoreWithSameName(cachedName)) {
        configStoreManager->removeCacheFile(cachedName);
        removed = true;
    }
    if (configStoreManager->containsStore(name) && configStoreManager->removeStoreWithSameName(name)) {
        removed = true;
    }
    removeFromCachedStorePriorityMap(PTKCoreUtils::toWideString(name));
    return removed;
}

}  // namespace ZVFUnified
