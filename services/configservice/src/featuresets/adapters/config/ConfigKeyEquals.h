#ifndef CONFIG_CONFIGKEYEQUALS_H
#define CONFIG_CONFIGKEYEQUALS_H

#include <string>
#include <string_view>

#include "PTKCoreUtils/StringUtils.h"

namespace ZVFUnified {

// Equality of configuration keys ignoring ASCII letter case: the partner of
// ConfigKeyHash, true exactly when caseInsensitiveMapComparator sees neither
// key before the other.
struct ConfigKeyEquals {
    bool operator()(std::wstring_view a, std::wstring_view b) const {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i] != b[i] && PTKCoreUtils::foldAscii(a[i]) != PTKCoreUtils::foldAscii(b[i])) {
                return false;
            }
        }
        return true;
    }
};

}  // namespace ZVFUnified

#endif
