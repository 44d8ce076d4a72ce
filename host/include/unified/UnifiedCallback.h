#ifndef UNIFIED_UNIFIEDCALLBACK_H
#define UNIFIED_UNIFIEDCALLBACK_H

#include <string>

#include "NuvrixHostExport.h"

namespace ZVFUnified {

class NUVRIX_HOST_API UnifiedCallback {
public:
    virtual ~UnifiedCallback() = default;
    virtual std::string getInterfaceName() { return "UnifiedCallback"; }
};

}  // namespace ZVFUnified

#endif
