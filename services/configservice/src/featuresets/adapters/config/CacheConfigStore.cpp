#include "CacheConfigStore.h"

#include <utility>

#include "ConfigStoreConstants.h"
#include "PTKCoreUtils/FileUtils.h"
#include "XmlConfigParser.h"
#include "zvf/ScopedWriteRWLock.h"

namespace ZVFUnified {

CacheConfigStore::CacheConfigStore(std::string name, int priority, std::string filePath)
    : XmlConfigStore(std::move(name), priority, true, true, std::move(filePath), true) {}

CacheConfigStore::CacheConfigStore(std::string name, int priority, std::string filePath, ConfigMap values,
                                   ConfigKeySet sensitiveKeys)
    : XmlConfigStore(std::move(name), priority, true, true, std::move(filePath), false) {
    zvf::ScopedWriteRWLock guard(lock);
    for (const auto& entry : values) {
        this->values.assign(entry.first, entry.second);
    }
    this->sensitiveKeys = std::move(sensitiveKeys);
    XmlConfigParser::writeToFile(this->filePath, this->values.entries(), this->sensitiveKeys);
}

CacheConfigStore::~CacheConfigStore() = default;

std::string CacheConfigStore::cachedStoreName(const std::string& storeName) {
    return ConfigStoreConstants::CACHED_FILE_PREFIX + storeName + ConfigStoreConstants::CACHED_FILE_SUFFIX;
}

std::string CacheConfigStore::cacheFilePath(const std::string& storeName) {
    const std::string separator = PTKCoreUtils::FileUtils::FileSeparator();
    return PTKCoreUtils::FileUtils::getConfigDirectory() + separator + ConfigStoreConstants::CACHE_DIRECTORY +
           separator + cachedStoreName(storeName);
}

void CacheConfigStore::persistValues() {
    zvf::ScopedWriteRWLock guard(lock);
    XmlConfigParser::writeToFile(filePath, values.entries(), sensitiveKeys);
}

}  // namespace ZVFUnified
