#ifndef CONFIG_CASEINSENSITIVESTRINGCOMPARATOR_H
#define CONFIG_CASEINSENSITIVESTRINGCOMPARATOR_H

#include <string>

#include "PTKCoreUtils/StringUtils.h"

namespace ZVFUnified {

// The same order as caseInsensitiveMapComparator, for sets of keys.
struct caseInsensitiveStringComparator {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return PTKCoreUtils::caseInsensitiveStringCompare(a, b) < 0;
    }
};

}  // namespace ZVFUnified

#endif
