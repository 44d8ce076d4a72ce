#ifndef UNIFIED_UNIFIEDBUSINESSOBJECTOBSERVER_H
#define UNIFIED_UNIFIEDBUSINESSOBJECTOBSERVER_H

#include <string>

#include "NuvrixHostExport.h"

namespace ZVFUnified {

// Observer of any business object: told when its information or its guid
// changed. Observers are held weakly by the objects they observe.
class NUVRIX_HOST_API UnifiedBusinessObjectObserver {
public:
    virtual ~UnifiedBusinessObjectObserver() = default;
    virtual void OnInfoChanged() = 0;
    virtual void OnGuidChanged() = 0;
    virtual std::string getInterfaceName() { return "UnifiedBusinessObjectObserver"; }
};

}  // namespace ZVFUnified

#endif
