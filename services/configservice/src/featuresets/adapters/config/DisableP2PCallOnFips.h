#ifndef CONFIG_DISABLEP2PCALLONFIPS_H
#define CONFIG_DISABLEP2PCALLONFIPS_H

#include <memory>
#include <string>

namespace ZVFUnified {

class ConfigValueImpl;

// Peer-to-peer calls are not allowed in FIPS mode: while the process runs in
// FIPS mode the value of "Telephony_P2P_Enabled" (any letter case) reads
// "false", whatever the stores hold.
class DisableP2PCallOnFips {
public:
    // Text form, applied by the stores and the store manager to every
    // lookup result. FIPS mode is asked only for that one key.
    static void DisableP2PCallConfigValueOnFips(std::wstring const& key, std::wstring& value);
    // Value-object form: sets the object's stored Value to "false" through
    // the plain setter, without flag or notification.
    static void DisableP2PCallConfigValueOnFips(std::shared_ptr<ConfigValueImpl> object);
};

}  // namespace ZVFUnified

#endif
