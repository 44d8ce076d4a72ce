// Text form of the FIPS rule. The value-object form lives with the config
// value object, which it needs to know.
#include "DisableP2PCallOnFips.h"

#include "ConfigStoreConstants.h"
#include "PTKCoreUtils/StringUtils.h"
#include "zvf/common/FipsUtils.h"

namespace ZVFUnified {

void DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(std::wstring const& key, std::wstring& value) {
    // Runs on every lookup result: the length test rejects almost every key
    // before any character is compared, and FIPS mode is asked only for the
    // one key it concerns.
    const std::wstring& p2pKey = ConfigStoreConstants::Keys::Telephony_P2P_Enabled;
    if (key.size() != p2pKey.size() || PTKCoreUtils::caseInsensitiveStringCompare(key, p2pKey) != 0) {
        return;
    }
    if (zvf::common::FipsUtils::isFipsEnabled()) {
        value = L"false";
    }
}

}  // namespace ZVFUnified
