#ifndef CONFIG_MDMCONFIGRETRIEVER_H
#define CONFIG_MDMCONFIGRETRIEVER_H

#include "ConfigMap.h"
#include "ConfigServiceExport.h"

namespace ZVFUnified {

// Supplies the device-management settings. Implemented outside this
// library; MdmConfigStore calls it once, at construction.
class CONFIGSERVICE_API MdmConfigRetriever {
public:
    virtual ~MdmConfigRetriever() = default;
    // The settings, keys compared ignoring case.
    virtual ConfigMap getMdmConfig() = 0;
};

}  // namespace ZVFUnified

#endif
