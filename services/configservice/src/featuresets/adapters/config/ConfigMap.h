#ifndef CONFIG_CONFIGMAP_H
#define CONFIG_CONFIGMAP_H

#include <map>
#include <set>
#include <string>
#include <vector>

#include "caseInsensitiveMapComparator.h"
#include "caseInsensitiveStringComparator.h"

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

}  // namespace ZVFUnified

#endif
