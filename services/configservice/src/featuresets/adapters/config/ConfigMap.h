#ifndef CONFIG_CONFIGMAP_H
#define CONFIG_CONFIGMAP_H

#include <map>
#include <set>
#include <string>

#include "caseInsensitiveMapComparator.h"
#include "caseInsensitiveStringComparator.h"

namespace ZVFUnified {

// Configuration key to value, keys compared ignoring case.
using ConfigMap = std::map<std::wstring, std::wstring, caseInsensitiveMapComparator>;
// A set of configuration keys, compared ignoring case.
using ConfigKeySet = std::set<std::wstring, caseInsensitiveStringComparator>;

}  // namespace ZVFUnified

#endif
