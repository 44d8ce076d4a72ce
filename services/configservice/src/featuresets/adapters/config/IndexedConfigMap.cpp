#include "IndexedConfigMap.h"

#include <utility>

namespace ZVFUnified {

IndexedConfigMap& IndexedConfigMap::operator=(const IndexedConfigMap& other) {
    if (this != &other) {
        map = other.map;
        rebuildIndex();
    }
    return *this;
}

IndexedConfigMap& IndexedConfigMap::operator=(ConfigMap other) {
    map.swap(other);
    rebuildIndex();
    return *this;
}

void IndexedConfigMap::assign(const std::wstring& key, const std::wstring& value) {
    const std::size_t hash = ConfigKeyHash::hashOf(key.data(), key.size());
    auto found = index.find(key, hash, map.end());
    if (found != map.end()) {
        found->second = value;
        return;
    }
    auto inserted = map.emplace(key, value).first;
    index.insert(inserted, hash, map.size());
}

bool IndexedConfigMap::insert(const std::wstring& key, const std::wstring& value) {
    const std::size_t hash = ConfigKeyHash::hashOf(key.data(), key.size());
    if (index.find(key, hash, map.end()) != map.end()) {
        return false;
    }
    auto inserted = map.emplace(key, value).first;
    index.insert(inserted, hash, map.size());
    return true;
}

bool IndexedConfigMap::erase(const std::wstring& key) {
    const std::size_t hash = ConfigKeyHash::hashOf(key.data(), key.size());
    auto found = index.find(key, hash, map.end());
    if (found == map.end()) {
        return false;
    }
    index.erase(key, hash);
    map.erase(found);
    return true;
}

void IndexedConfigMap::clear() {
    map.clear();
    index.clear();
}

}  // namespace ZVFUnified
