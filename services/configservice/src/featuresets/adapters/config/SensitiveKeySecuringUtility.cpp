#include "SensitiveKeySecuringUtility.h"

#include "PTKCoreUtils/StringUtils.h"
#include "zvf/SecureStringUtils.h"
#include "zvf/StringEncryptionFacility.h"

namespace ZVFUnified {

void SensitiveKeySecuringUtility::secureWellKnownSensitiveKeys(ConfigMap& configMap) {
    for (const std::wstring& key : WELL_KNOWN_SENSITIVE_KEYS) {
        auto it = configMap.find(key);
        if (it != configMap.end()) {
            secureKey(*it);
        }
    }
}

void SensitiveKeySecuringUtility::secureKey(ConfigMap::value_type& entry) {
    std::string plain = PTKCoreUtils::toString(entry.second);
    zvf::SecureStringUtils::ZVFZeroWstring(entry.second);
    entry.second = PTKCoreUtils::toWideString(zvf::StringEncryptionFacility::encryptEncodeString(plain));
    zvf::SecureStringUtils::ZVFZeroString(plain);
}

bool SensitiveKeySecuringUtility::isWellKnownSensitiveKey(const std::wstring& key) {
    for (const std::wstring& known : WELL_KNOWN_SENSITIVE_KEYS) {
        if (PTKCoreUtils::caseInsensitiveStringEquals(key, known)) {
            return true;
        }
    }
    return false;
}

}  // namespace ZVFUnified
