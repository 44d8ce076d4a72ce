#include "stores/StoreCatalogue.h"

#include <algorithm>

#include "CacheConfigStore.h"
#include "ConfigFeatureSet.h"
#include "ConfigStore.h"
#include "ConfigStoreConstants.h"
#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/StringUtils.h"

namespace nuvrixconfig {

namespace constants = ZVFUnified::ConfigStoreConstants;
using ZVFUnified::CacheConfigStore;
using ZVFUnified::ConfigStore;

namespace {

// Every store name the client itself uses.
std::vector<std::string> knownStoreNames() {
    return {constants::LOCAL_FILE_CONFIG_STORE,
            constants::URL_PROVISIONING_CONFIG_STORE,
            constants::MDM_CONFIG_STORE,
            constants::IN_MEMORY_CONFIG_STORE,
            constants::DEFAULTS_CONFIG_STORE,
            constants::BOOTSTRAP_CONFIG_STORE,
            constants::TFTP_CONFIG_STORE,
            constants::REGISTRY_CONFIG_STORE,
            constants::DEV_OVERRIDE_CONFIG_STORE,
            constants::MEVRA_ORG_OR_GRP_ADMIN_CONFIG_STORE,
            constants::CI_MIGRATION_CONFIG_STORE,
            constants::CACHED_TFTP_CONFIG_STORE_FILE,
            constants::CACHED_MEVRA_ORG_OR_GRP_ADMIN_CONFIG_STORE_FILE,
            PTKCoreUtils::toString(constants::ZENI_LYNC_REGISTRY_CONFIG_STORE),
            PTKCoreUtils::toString(constants::PRESENCE_CONFIG_STORE),
            PTKCoreUtils::toString(constants::PYLON_CONFIG_STORE),
            PTKCoreUtils::toString(constants::CACHED_PRESENCE_CONFIG_STORE_FILE),
            PTKCoreUtils::toString(constants::CACHED_PYLON_CONFIG_STORE_FILE)};
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool StoreCatalogue::isCachedStoreName(const std::string& name, std::string& storeName) {
    const std::string& prefix = constants::CACHED_FILE_PREFIX;
    const std::string& suffix = constants::CACHED_FILE_SUFFIX;
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        !endsWith(name, suffix)) {
        return false;
    }
    storeName = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    return true;
}

std::string StoreCatalogue::cacheFileOf(ConfigStore& store) {
    const std::string name = store.getName();
    std::string original;
    std::string fileName;
    if (isCachedStoreName(name, original)) {
        fileName = name;
    } else if (store.shouldCacheConfigStore() ||
               PTKCoreUtils::caseInsensitiveStringEquals(name, constants::URL_PROVISIONING_CONFIG_STORE)) {
        fileName = CacheConfigStore::cachedStoreName(name);
    } else {
        return std::string();
    }
    return CacheConfigStore::cacheDirectory() + PTKCoreUtils::FileUtils::FileSeparator() + fileName;
}

std::vector<std::string> StoreCatalogue::recordedCachedStores(ZVFUnified::ConfigFeatureSet& featureSet) {
    std::wstring listText;
    featureSet.getConfig(constants::PRIMARY_CONFIG_STORES, listText, false);
    std::vector<std::wstring> entries;
    PTKCoreUtils::split(listText, entries, L";");
    std::vector<std::string> names;
    for (const std::wstring& entry : entries) {
        const std::wstring::size_type colon = entry.find(L':');
        if (colon != std::wstring::npos && colon > 0) {
            names.push_back(PTKCoreUtils::toString(entry.substr(0, colon)));
        }
    }
    return names;
}

bool StoreCatalogue::isReservedName(const std::string& name) {
    for (const std::string& reserved :
         {constants::LOCAL_FILE_CONFIG_STORE, constants::IN_MEMORY_CONFIG_STORE, constants::DEFAULTS_CONFIG_STORE,
          constants::URL_PROVISIONING_CONFIG_STORE, constants::MDM_CONFIG_STORE, constants::BOOTSTRAP_CONFIG_STORE,
          constants::DEV_OVERRIDE_CONFIG_STORE}) {
        if (PTKCoreUtils::caseInsensitiveStringEquals(name, reserved)) {
            return true;
        }
    }
    std::string original;
    return isCachedStoreName(name, original);
}

std::vector<std::shared_ptr<ConfigStore>> StoreCatalogue::list(ZVFUnified::ConfigFeatureSet& featureSet,
                                                               const std::set<std::string>& addedNames) {
    std::vector<std::string> candidates = knownStoreNames();
    for (const std::string& name : recordedCachedStores(featureSet)) {
        candidates.push_back(name);
        candidates.push_back(CacheConfigStore::cachedStoreName(name));
    }
    std::vector<std::string> cacheFiles;
    PTKCoreUtils::FileUtils::getFilesFromDirectory(CacheConfigStore::cacheDirectory(), "cached*.dat", cacheFiles);
    for (const std::string& fileName : cacheFiles) {
        std::string original;
        if (isCachedStoreName(fileName, original)) {
            candidates.push_back(fileName);
            candidates.push_back(original);
        }
    }
    candidates.insert(candidates.end(), addedNames.begin(), addedNames.end());

    std::vector<std::shared_ptr<ConfigStore>> stores;
    for (const std::string& name : candidates) {
        std::shared_ptr<ConfigStore> store = featureSet.getConfigStoreByName(name);
        if (store && std::find(stores.begin(), stores.end(), store) == stores.end()) {
            stores.push_back(std::move(store));
        }
    }
    // Names are asked once each: a store's getters may take its lock.
    std::vector<std::pair<std::pair<int, std::string>, std::shared_ptr<ConfigStore>>> keyed;
    for (auto& store : stores) {
        keyed.push_back({{store->getPriority(), store->getName()}, store});
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    stores.clear();
    for (auto& entry : keyed) {
        stores.push_back(std::move(entry.second));
    }
    return stores;
}

}  // namespace nuvrixconfig
