#ifndef CONFIG_XMLCONFIGSTORE_H
#define CONFIG_XMLCONFIGSTORE_H

#include <string>
#include <vector>

#include "ConfigMap.h"
#include "ConfigServiceExport.h"
#include "ConfigStore.h"
#include "HashedConfigLookup.h"
#include "IndexedConfigMap.h"
#include "SensitiveKeySource.h"
#include "zvf/RWLock.h"

namespace ZVFUnified {

// A read-only store over a map of values that can be loaded from a
// cached-configuration file (XmlConfigParser). Never supplies
// "CertificateValidationEnabled": certificate checking is not decided by a
// cached copy of server configuration. Thread-safe: lookups share the
// read/write lock; changes to the map and file writes take it exclusively.
class CONFIGSERVICE_API XmlConfigStore : public ConfigStore, public SensitiveKeySource, public HashedConfigLookup {
public:
    // Empty; with loadFromFile the values are read from filePath (through
    // encrypted storage when encrypted is true). A file that cannot be read
    // leaves the store empty.
    XmlConfigStore(std::string name, int priority, bool isLocal, bool encrypted, std::string filePath,
                   bool loadFromFile);
    ~XmlConfigStore() override;
    XmlConfigStore(const XmlConfigStore&) = delete;
    XmlConfigStore& operator=(const XmlConfigStore&) = delete;

    // ConfigStore:
    bool getValue(const std::wstring& key, std::wstring& value) override;
    bool storeValue(const std::wstring& key, const std::wstring& value) override;
    std::vector<std::wstring> getKeys() override;
    bool removeValue(const std::wstring& key) override;
    // Does nothing: the values are administrator-provided.
    void removeAllValues() override;
    bool isReadOnly() override;
    std::string getName() override;
    int getPriority() override;
    // Does nothing here; CacheConfigStore writes its file.
    void persistValues() override;
    void destroy() override;
    bool isLocal() override;
    bool waitForStoreReady() override;
    bool shouldCacheConfigStore() override;

    // SensitiveKeySource:
    std::vector<std::wstring> getSensitiveKeys() override;

    // HashedConfigLookup:
    bool getValueHashed(const std::wstring& key, std::size_t hash, std::wstring& value) override;

protected:
    IndexedConfigMap values;
    std::string filePath;  // full path of the cache file
    zvf::RWLock lock;      // guards values
    bool local;
    int priority;
    std::string name;
    ConfigKeySet sensitiveKeys;  // marked sensitive in the file read at construction; fixed afterwards
};

}  // namespace ZVFUnified

#endif
