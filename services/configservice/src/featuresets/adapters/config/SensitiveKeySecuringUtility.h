#ifndef CONFIG_SENSITIVEKEYSECURINGUTILITY_H
#define CONFIG_SENSITIVEKEYSECURINGUTILITY_H

#include <array>
#include <string>

#include "ConfigMap.h"
#include "ConfigServiceExport.h"
#include "ConfigStoreConstants.h"

namespace ZVFUnified {

// Replaces the values of the two well-known password keys in a config map
// by Base64 text of their encrypted form (StringEncryptionFacility), wiping
// the plain copies on the way. A value secured twice is encrypted twice.
// Stateless; the caller serialises access to the map.
class CONFIGSERVICE_API SensitiveKeySecuringUtility {
public:
    SensitiveKeySecuringUtility() = delete;

    inline static const std::wstring EDI_PSW_KEY = ConfigStoreConstants::EDI_PSW_KEY;  // "ConnectionPassword"
    inline static const std::wstring BDI_PSW_KEY = ConfigStoreConstants::BDI_PSW_KEY;  // "BDIConnectionPassword"
    // The keys whose values are secrets wherever the library meets them, in
    // this order.
    inline static const std::array<std::wstring, 2> WELL_KNOWN_SENSITIVE_KEYS = {EDI_PSW_KEY, BDI_PSW_KEY};

    // secureKey on each well-known key present in configMap, in the order
    // of WELL_KNOWN_SENSITIVE_KEYS.
    static void secureWellKnownSensitiveKeys(ConfigMap& configMap);
    // Encrypts the entry's value in place.
    static void secureKey(ConfigMap::value_type& entry);
    // True when key is one of WELL_KNOWN_SENSITIVE_KEYS, ignoring case.
    static bool isWellKnownSensitiveKey(const std::wstring& key);
};

}  // namespace ZVFUnified

#endif
