// Value-object form of the FIPS rule; the text form lives with the stores.
#include <memory>

#include "ConfigStoreConstants.h"
#include "ConfigValueImpl.h"
#include "DisableP2PCallOnFips.h"
#include "zvf/common/FipsUtils.h"

namespace ZVFUnified {

void DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(std::shared_ptr<ConfigValueImpl> object) {
    if (!object) {
        return;
    }
    // Applied to every cache hit of the service: the key is compared first,
    // so FIPS mode is asked only for the one key it concerns.
    if (!object->isKey(ConfigStoreConstants::Keys::Telephony_P2P_Enabled)) {
        return;
    }
    if (zvf::common::FipsUtils::isFipsEnabled()) {
        // The plain setter: no fire-required flag, nobody told.
        object->ConfigValueBaseImpl::setValue(L"false");
    }
}

}  // namespace ZVFUnified
