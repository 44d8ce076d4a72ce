#ifndef CONFIG_CONFIGMAPLOOKUP_H
#define CONFIG_CONFIGMAPLOOKUP_H

#include <string>

#include "ConfigMap.h"
#include "IndexedConfigMap.h"
#include "DisableP2PCallOnFips.h"
#include "PTKCoreUtils/StringUtils.h"

namespace ZVFUnified {

// The lookup of the writable stores that hold values as given: a miss gives
// the empty text; a hit passes through the FIPS rule.
inline bool lookupValue(const IndexedConfigMap& values, const std::wstring& key, std::size_t hash,
                        std::wstring& value) {
    auto it = values.find(key, hash);
    if (it == values.end()) {
        value.clear();
        return false;
    }
    value = it->second;
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(key, value);
    return true;
}

// The lookup of the read-only stores filled once from outside text (the
// bootstrap file, device-management settings): the value comes back without
// surrounding white space, a miss gives the empty text, and the FIPS rule is
// applied found or not.
inline bool lookupTrimmed(const IndexedConfigMap& values, const std::wstring& key, std::size_t hash,
                          std::wstring& value) {
    auto it = values.find(key, hash);
    const bool found = it != values.end();
    if (found) {
        value = PTKCoreUtils::trim(it->second);
    } else {
        value.clear();
    }
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(key, value);
    return found;
}

}  // namespace ZVFUnified

#endif
