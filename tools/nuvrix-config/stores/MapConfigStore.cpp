#include "stores/MapConfigStore.h"

#include <utility>

namespace nuvrixconfig {

MapConfigStore::MapConfigStore(std::string nameIn, int priorityIn, ZVFUnified::ConfigMap valuesIn, bool localIn,
                               bool cacheIn)
    : name(std::move(nameIn)), priority(priorityIn), values(std::move(valuesIn)), local(localIn), cache(cacheIn) {}

bool MapConfigStore::getValue(const std::wstring& key, std::wstring& value) {
    const auto found = values.find(key);
    if (found == values.end()) {
        value.clear();
        return false;
    }
    value = found->second;
    return true;
}

// Administrator-provided: nothing here may be written or removed.
bool MapConfigStore::storeValue(const std::wstring&, const std::wstring&) { return false; }

std::vector<std::wstring> MapConfigStore::getKeys() { return ZVFUnified::configMapKeys(values); }

bool MapConfigStore::removeValue(const std::wstring&) { return false; }

void MapConfigStore::removeAllValues() {}

bool MapConfigStore::isReadOnly() { return true; }

std::string MapConfigStore::getName() { return name; }

int MapConfigStore::getPriority() { return priority; }

void MapConfigStore::persistValues() {}

void MapConfigStore::destroy() {}

bool MapConfigStore::isLocal() { return local; }

bool MapConfigStore::waitForStoreReady() { return true; }

bool MapConfigStore::shouldCacheConfigStore() { return cache; }

}  // namespace nuvrixconfig
