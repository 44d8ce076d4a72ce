#ifndef CONFIG_CASEINSENSITIVEMAPCOMPARATOR_H
#define CONFIG_CASEINSENSITIVEMAPCOMPARATOR_H

#include <string>

#include "PTKCoreUtils/StringUtils.h"

namespace ZVFUnified {

// Orders configuration keys ignoring letter case, so that keys differing
// only in case are one entry of a map.
struct caseInsensitiveMapComparator {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return PTKCoreUtils::caseInsensitiveStringCompare(a, b) < 0;
    }
};

}  // namespace ZVFUnified

#endif
