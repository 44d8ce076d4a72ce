#ifndef UNIFIED_PROVIDERRESETDATACALLBACK_H
#define UNIFIED_PROVIDERRESETDATACALLBACK_H

#include "unified/ResetDataOptionEnum.h"
#include "unified/UnifiedCallback.h"

namespace ZVFUnified {

// Registered with the host's life-cycle object by providers of data that the
// host may ask to reset.
class NUVRIX_HOST_API ProviderResetDataCallback : public UnifiedCallback {
public:
    std::string getInterfaceName() override { return "ProviderResetDataCallback"; }
    virtual void InvokeResetData(ResetDataOptionEnum::ResetDataOption option) = 0;
};

}  // namespace ZVFUnified

#endif
