#ifndef CONFIG_CACHECONFIGSTORE_H
#define CONFIG_CACHECONFIGSTORE_H

#include <string>

#include "ConfigMap.h"
#include "ConfigServiceExport.h"
#include "ConfigStoreConstants.h"
#include "PTKCoreUtils/FileUtils.h"
#include "XmlConfigStore.h"

namespace ZVFUnified {

// A local XmlConfigStore mirrored in an encrypted cache file: restored from
// the file at start, or created with values and written to the file at
// once. Used for the cached copies of stores that ask to be cached
// ("cached" + name + ".dat" under the configuration directory's "Cache"
// folder) and for URL provisioning data. Thread-safe as XmlConfigStore; the
// file is written with the lock held exclusively, so no two writes of it
// overlap and no lookup sees a half-updated map.
class CONFIGSERVICE_API CacheConfigStore : public XmlConfigStore {
public:
    // Restores a cache file written earlier.
    CacheConfigStore(std::string name, int priority, std::string filePath);
    // Holds values and writes them to filePath at once, replacing the file.
    // The keys of sensitiveKeys are marked sensitive in the file, so that the
    // copy restored from it reports them (getSensitiveKeys) as its source did.
    CacheConfigStore(std::string name, int priority, std::string filePath, ConfigMap values,
                     ConfigKeySet sensitiveKeys = ConfigKeySet());
    ~CacheConfigStore() override;

    // The naming rule of cache files, defined here so that components which
    // load the plug-in without linking it (the reference host program) name
    // them by the same rule.
    //
    // The configuration directory's "Cache" folder, which holds the files.
    static std::string cacheDirectory() {
        return PTKCoreUtils::FileUtils::getConfigDirectory() + PTKCoreUtils::FileUtils::FileSeparator() +
               ConfigStoreConstants::CACHE_DIRECTORY;
    }
    // "cached" + storeName + ".dat": the name of the cached copy of a store,
    // which is also its cache file's name. storeName is used exactly as the
    // store's getName() returns it.
    static std::string cachedStoreName(const std::string& storeName) {
        return ConfigStoreConstants::CACHED_FILE_PREFIX + storeName + ConfigStoreConstants::CACHED_FILE_SUFFIX;
    }
    // The cache file of a store: cacheDirectory(), then cachedStoreName(storeName).
    static std::string cacheFilePath(const std::string& storeName) {
        return cacheDirectory() + PTKCoreUtils::FileUtils::FileSeparator() + cachedStoreName(storeName);
    }

    // ConfigStore:
    // Writes the values, with their sensitive marks, to the cache file.
    void persistValues() override;
};

}  // namespace ZVFUnified

#endif
