#ifndef NUVRIXCONFIG_STORECATALOGUE_H
#define NUVRIXCONFIG_STORECATALOGUE_H

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ZVFUnified {
class ConfigFeatureSet;
class ConfigStore;
}  // namespace ZVFUnified

namespace nuvrixconfig {

// Names the stores of a running feature set. The feature set answers
// getConfigStoreByName but has no listing, so the candidates are the store
// names the client knows, the cached copies the feature set records in
// "PrimaryConfigStores", the cache files in the configuration directory and
// the stores this program added itself; those the feature set finds are the
// list. Cache files are named by the plug-in's rule (CacheConfigStore, whose
// naming functions its header defines). Stateless; any thread.
class StoreCatalogue {
public:
    StoreCatalogue() = delete;

    // Every store found, in the order the feature set consults them
    // (ascending priority; equal priorities by name).
    static std::vector<std::shared_ptr<ZVFUnified::ConfigStore>> list(ZVFUnified::ConfigFeatureSet& featureSet,
                                                                      const std::set<std::string>& addedNames);

    // True for a name of that form; storeName then receives the original.
    static bool isCachedStoreName(const std::string& name, std::string& storeName);
    // The encrypted file that backs the store, or "" when it has none: a
    // cached copy's own file, or the cache file of a store that asks to be
    // cached (and of URL provisioning data, which is cached without asking).
    static std::string cacheFileOf(ZVFUnified::ConfigStore& store);
    // The stores listed in "PrimaryConfigStores" (names of the live stores).
    static std::vector<std::string> recordedCachedStores(ZVFUnified::ConfigFeatureSet& featureSet);
    // The stores whose names the feature set manages itself; no other
    // component may add a store under one of them.
    static bool isReservedName(const std::string& name);
};

}  // namespace nuvrixconfig

#endif
