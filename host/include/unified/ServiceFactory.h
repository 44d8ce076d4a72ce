#ifndef UNIFIED_SERVICEFACTORY_H
#define UNIFIED_SERVICEFACTORY_H

#include "NuvrixHostExport.h"

namespace ZVFUnified {

// The process-wide route to the host's factory, for code that has no factory
// pointer at hand. getInstance() is never null; cast it to ServiceFactoryImpl.
class NUVRIX_HOST_API ServiceFactory {
public:
    virtual ~ServiceFactory() = default;
    static ServiceFactory* getInstance();
};

}  // namespace ZVFUnified

#endif
