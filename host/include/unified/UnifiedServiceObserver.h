#ifndef UNIFIED_UNIFIEDSERVICEOBSERVER_H
#define UNIFIED_UNIFIEDSERVICEOBSERVER_H

#include "unified/UnifiedBusinessObjectObserver.h"

namespace ZVFUnified {

class NUVRIX_HOST_API UnifiedServiceObserver : public virtual UnifiedBusinessObjectObserver {
public:
    virtual void OnBulkUpdateInProgressChanged() = 0;
    std::string getInterfaceName() override { return "UnifiedServiceObserver"; }
};

}  // namespace ZVFUnified

#endif
