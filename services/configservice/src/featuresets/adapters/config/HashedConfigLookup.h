#ifndef CONFIG_HASHEDCONFIGLOOKUP_H
#define CONFIG_HASHEDCONFIGLOOKUP_H

#include <cstddef>
#include <string>

#include "ConfigServiceExport.h"

namespace ZVFUnified {

// A store whose lookup can take the key's hash from the caller. The store
// manager asks every store in turn for the same key; the stores of this
// library implement this beside ConfigStore so that the key is hashed once
// per lookup, not once per store. A separate interface, so that ConfigStore
// keeps exactly the operations other components implement.
class CONFIGSERVICE_API HashedConfigLookup {
public:
    virtual ~HashedConfigLookup() = default;
    // ConfigStore::getValue, with hash = ConfigKeyHash of key.
    virtual bool getValueHashed(const std::wstring& key, std::size_t hash, std::wstring& value) = 0;
};

}  // namespace ZVFUnified

#endif
