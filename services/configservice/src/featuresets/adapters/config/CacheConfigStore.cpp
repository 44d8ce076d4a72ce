#include "CacheConfigStore.h"

#include <utility>

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

void CacheConfigStore::persistValues() {
    zvf::ScopedWriteRWLock guard(lock);
    XmlConfigParser::writeToFile(filePath, values.entries(), sensitiveKeys);
}

}  // namespace ZVFUnified
