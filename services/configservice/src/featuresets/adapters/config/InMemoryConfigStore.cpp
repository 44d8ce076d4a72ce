#include "InMemoryConfigStore.h"

#include <utility>

#include "ConfigMapLookup.h"
#include "logging/ZVFLogger.h"
#include "zvf/ScopedLock.h"

namespace ZVFUnified {

namespace {
ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-InMemoryConfigStore");
}

InMemoryConfigStore::InMemoryConfigStore(std::string name, int priority)
    : name(std::move(name)), priority(priority) {}

InMemoryConfigStore::~InMemoryConfigStore() = default;

bool InMemoryConfigStore::getValue(const std::wstring& key, std::wstring& value) {
    return getValueHashed(key, ConfigKeyHash::hashOf(key.data(), key.size()), value);
}

bool InMemoryConfigStore::getValueHashed(const std::wstring& key, std::size_t hash, std::wstring& value) {
    zvf::ScopedLock lock(valuesLock);
    return lookupValue(values, key, hash, value);
}

bool InMemoryConfigStore::storeValue(const std::wstring& key, const std::wstring& value) {
    zvf::ScopedLock lock(valuesLock);
    // A key already held in other letter case keeps its first spelling.
    values.assign(key, value);
    return true;
}

std::vector<std::wstring> InMemoryConfigStore::getKeys() {
    zvf::ScopedLock lock(valuesLock);
    return configMapKeys(values.entries());
}

bool InMemoryConfigStore::removeValue(const std::wstring& key) {
    zvf::ScopedLock lock(valuesLock);
    return values.erase(key);
}

void InMemoryConfigStore::removeAllValues() {
    zvf::ScopedLock lock(valuesLock);
    values.clear();
}

bool InMemoryConfigStore::isReadOnly() { return false; }

std::string InMemoryConfigStore::getName() { return name; }

int InMemoryConfigStore::getPriority() { return priority; }

void InMemoryConfigStore::persistValues() {
    ZVF_LOG(logger, 5, std::string("PersistValues() is not implemented for InMemoryConfigStore ignoring"));
}

void InMemoryConfigStore::destroy() {}

bool InMemoryConfigStore::isLocal() { return true; }

bool InMemoryConfigStore::waitForStoreReady() { return true; }

}  // namespace ZVFUnified
