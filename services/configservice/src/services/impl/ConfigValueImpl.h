#ifndef IMPL_CONFIGVALUEIMPL_H
#define IMPL_CONFIGVALUEIMPL_H

#include <memory>
#include <string>

#include "ConfigValueBaseImpl.h"

namespace ZVFUnified {

class UnifiedFactory;

// The live view of one configuration key, created and cached by
// ConfigServiceImpl. Change reports from the store manager update it: a
// silent update stores what changed and flags it, fireRequired() tells the
// observers once per flagged property. Writes and resets requested through it
// go to the config feature set and come back as change reports. Services
// thread only; owned by the service's cache and by the clients holding it.
class ConfigValueImpl : public ConfigValueBaseImpl {
public:
    // Undefined: all texts empty, both flags false.
    ConfigValueImpl(std::shared_ptr<UnifiedFactory> factory, std::wstring key);
    // Defined, with the given state.
    ConfigValueImpl(std::shared_ptr<UnifiedFactory> factory, std::wstring key, std::wstring value,
                    std::wstring originalValue, bool isOverridden, std::wstring valueStoreName,
                    std::wstring originalValueStoreName);
    ~ConfigValueImpl() override;

    // ConfigValue:
    // The stored value, "false" for the peer-to-peer key in FIPS mode.
    std::wstring getValue() override;
    void setConfig(std::wstring value) override;
    bool equals(std::wstring value) override;
    void reset() override;
    bool isValueLocal() override;

    // Sets the seven properties through the setters, clears every
    // fire-required flag, fires nothing.
    void initialize(const std::wstring& key, const std::wstring& value, const std::wstring& originalValue,
                    bool isOverridden, bool isDefined, const std::wstring& valueStoreName,
                    const std::wstring& originalValueStoreName);

    // Applies a change report: stores each part that differs from the
    // current state and flags it for firing. Values compare ignoring case,
    // store names exactly.
    void silentUpdate(const std::wstring& value, const std::wstring& originalValue, bool isOverridden,
                      bool isDefined, const std::wstring& valueStoreName, const std::wstring& originalValueStoreName);
    // silentUpdate, then fireRequired.
    void update(const std::wstring& value, const std::wstring& originalValue, bool isOverridden, bool isDefined,
                const std::wstring& valueStoreName, const std::wstring& originalValueStoreName);
    // Fires every flagged property once, in property order, and clears its
    // flag.
    void fireRequired();

    // True when key names this object's key, ignoring case. Compares in place,
    // without the copy of getKey(): it runs on every cache hit of the service
    // (FIPS rule), whose lookup has asserted update access already.
    bool isKey(const std::wstring& key) const;

private:
    bool valueFireRequired = false;
    bool originalValueFireRequired = false;
    bool isOverriddenFireRequired = false;
    bool isDefinedFireRequired = false;
    bool valueStoreNameFireRequired = false;
    bool originalValueStoreNameFireRequired = false;
};

}  // namespace ZVFUnified

#endif
