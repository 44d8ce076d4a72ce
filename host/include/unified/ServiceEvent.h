#ifndef UNIFIED_SERVICEEVENT_H
#define UNIFIED_SERVICEEVENT_H

#include <string>

#include "NuvrixHostExport.h"

namespace ZVFUnified {

// One event the host passes to a feature set when it starts or stops it.
class NUVRIX_HOST_API ServiceEvent {
public:
    int code = 0;
    std::string description;
};

}  // namespace ZVFUnified

#endif
