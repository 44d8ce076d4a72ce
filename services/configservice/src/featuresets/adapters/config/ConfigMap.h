#ifndef CONFIG_CONFIGMAP_H
#define CONFIG_CONFIGMAP_H

#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "caseInsensitiveMapComparator.h"
#include "caseInsensitiveStringComparator.h"
#include "zvf/SecureStringUtils.h"

namespace ZVFUnified {

// Configuration key to value, keys compared ignoring case.
using ConfigMap = std::map<std::wstring, std::wstring, caseInsensitiveMapComparator>;
// A set of configuration keys, compared ignoring case.
using ConfigKeySet = std::set<std::wstring, caseInsensitiveStringComparator>;

// The keys of a configuration map, in map order (what a store's getKeys()
// answers).
inline std::vector<std::wstring> configMapKeys(const ConfigMap& map) {
    std::vector<std::wstring> keys;
    keys.reserve(map.size());
    for (const auto& entry : map) {
        keys.push_back(entry.first);
    }
    return keys;
}

// Whether map lacks key; when it does, position is where key goes, the hint
// for emplace_hint. Keys that come in map order, as the documents the system
// writes list them, are placed after one comparison with the last key.
inline bool positionForNewKey(ConfigMap& map, const std::wstring& key, ConfigMap::iterator& position) {
    position = map.end();
    if (map.empty() || map.key_comp()(std::prev(map.end())->first, key)) {
        return true;
    }
    position = map.lower_bound(key);
    return position == map.end() || map.key_comp()(key, position->first);
}

// Inserts key with value at position, as found by positionForNewKey. The
// value may be a secret: it ends empty and its characters are left nowhere
// but in the map. A value held on the heap (a capacity larger than the string
// object proves it) hands its buffer over by a move; a short one, which
// may be held inside the string object where a move would leave a copy of
// it, is copied and wiped.
inline void insertNewValue(ConfigMap& map, ConfigMap::iterator position, std::wstring&& key, std::wstring& value) {
    if (value.capacity() * sizeof(wchar_t) >= sizeof(value)) {
        map.emplace_hint(position, std::move(key), std::move(value));
    } else {
        map.emplace_hint(position, std::move(key), value);
    }
    zvf::SecureStringUtils::ZVFZeroWstring(value);
}

}  // namespace ZVFUnified

#endif
