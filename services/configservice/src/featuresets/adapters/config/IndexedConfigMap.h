#ifndef CONFIG_INDEXEDCONFIGMAP_H
#define CONFIG_INDEXEDCONFIGMAP_H

#include <cstddef>
#include <string>

#include "ConfigKeyHash.h"
#include "ConfigKeyIndex.h"
#include "ConfigMap.h"

namespace ZVFUnified {

// A store's configuration: the ordered, case-insensitive map that getKeys,
// serialisation and dumps walk, with a hash index over the same entries
// beside it, so that a lookup costs one hash and one or two probes instead
// of a descent through the tree. Every change goes through this class, which
// keeps the two in step. Not thread-safe: the owning store guards it.
class IndexedConfigMap {
public:
    using const_iterator = ConfigMap::const_iterator;

    IndexedConfigMap() = default;
    IndexedConfigMap(const IndexedConfigMap& other) : map(other.map) { rebuildIndex(); }
    IndexedConfigMap& operator=(const IndexedConfigMap& other);
    // Takes a whole map, as a parser fills it.
    IndexedConfigMap& operator=(ConfigMap other);

    const ConfigMap& entries() const { return map; }
    const_iterator begin() const { return map.begin(); }
    const_iterator end() const { return map.end(); }
    std::size_t size() const { return map.size(); }
    bool empty() const { return map.empty(); }

    const_iterator find(const std::wstring& key) const {
        return find(key, ConfigKeyHash::hashOf(key.data(), key.size()));
    }
    // hash is ConfigKeyHash of key, computed once by a caller that asks
    // several maps.
    const_iterator find(const std::wstring& key, std::size_t hash) const {
        return index.find(key, hash, const_cast<ConfigMap&>(map).end());
    }

    // Inserts, or replaces the value of a key held in any letter case (the
    // key keeps its first spelling).
    void assign(const std::wstring& key, const std::wstring& value);
    // Inserts unless a key equal ignoring case is held; true when inserted.
    bool insert(const std::wstring& key, const std::wstring& value);
    // True when the key (ignoring case) was held.
    bool erase(const std::wstring& key);
    void clear();

private:
    void rebuildIndex() { index.rebuild(map.begin(), map.end(), map.size()); }

    ConfigMap map;
    ConfigKeyIndex<ConfigMap::iterator> index;
};

}  // namespace ZVFUnified

#endif
