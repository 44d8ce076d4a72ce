#ifndef CONFIG_CONFIGSTORE_H
#define CONFIG_CONFIGSTORE_H

#include <string>
#include <vector>

#include "ConfigServiceExport.h"

namespace ZVFUnified {

// One source of configuration: answers whether it holds a key and with what
// value, has a name and a priority (lower is consulted first), and says
// whether it may be written and whether it survives a reset of
// server-provided configuration. Held by shared pointer; implementations
// guard their own state, so every operation may be called from any thread.
class CONFIGSERVICE_API ConfigStore {
public:
    virtual ~ConfigStore() = default;
    // True when the store holds key (ignoring case); value receives it. On a
    // miss value is set to the empty string.
    virtual bool getValue(const std::wstring& key, std::wstring& value) = 0;
    // Inserts or replaces; false from stores that cannot be written.
    virtual bool storeValue(const std::wstring& key, const std::wstring& value) = 0;
    // All keys, in the store's map order.
    virtual std::vector<std::wstring> getKeys() = 0;
    // True when the key was present and is now gone.
    virtual bool removeValue(const std::wstring& key) = 0;
    virtual void removeAllValues() = 0;
    // Read-only stores hold administrator-provided values; writable stores
    // hold values set by the user or at run time.
    virtual bool isReadOnly() = 0;
    virtual std::string getName() = 0;
    virtual int getPriority() = 0;
    // Writes the content to the backing file, if there is one.
    virtual void persistValues() = 0;
    virtual void destroy() = 0;
    // A store that is not local is dropped by a reset of the manager.
    virtual bool isLocal() = 0;
    virtual bool waitForStoreReady() = 0;
    // True asks for a cache file copy, restored at the next start.
    virtual bool shouldCacheConfigStore() { return false; }
    virtual int getCachedPriority() { return getPriority() + 1; }
};

}  // namespace ZVFUnified

#endif
