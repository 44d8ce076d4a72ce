#ifndef CONFIG_BOOTSTRAPCONFIGSTORE_H
#define CONFIG_BOOTSTRAPCONFIGSTORE_H

#include <iosfwd>
#include <string>
#include <vector>

#include "HashedConfigLookup.h"
#include "IndexedConfigMap.h"
#include "ConfigServiceExport.h"
#include "ConfigStore.h"

namespace ZVFUnified {

// A read-only store loaded once, at construction, from a plain text file of
// "key: value" lines; lines starting with '#' are comments, and a value may
// itself contain colons. Created by the client outside this library with a
// name, a file path and a priority. Immutable after construction, so it
// takes no lock.
class CONFIGSERVICE_API BootstrapConfigStore : public ConfigStore, public HashedConfigLookup {
public:
    BootstrapConfigStore(const std::string& name, const std::string& filePath, int priority);
    ~BootstrapConfigStore() override;
    BootstrapConfigStore(const BootstrapConfigStore&) = delete;
    BootstrapConfigStore& operator=(const BootstrapConfigStore&) = delete;

    // The separator between key and value: ":".
    static const std::string& SPLITTER();

    // ConfigStore:
    bool getValue(const std::wstring& key, std::wstring& value) override;
    bool storeValue(const std::wstring& key, const std::wstring& value) override;
    std::vector<std::wstring> getKeys() override;
    bool removeValue(const std::wstring& key) override;
    void removeAllValues() override;
    bool isReadOnly() override;
    std::string getName() override;
    int getPriority() override;
    void persistValues() override;
    void destroy() override;
    bool isLocal() override;
    bool waitForStoreReady() override;

    // HashedConfigLookup:
    bool getValueHashed(const std::wstring& key, std::size_t hash, std::wstring& value) override;
    bool shouldCacheConfigStore() override;

private:
    void readLines(std::istream& stream);

    int priority;
    IndexedConfigMap values;
    std::string filePath;
    std::string name;
};

}  // namespace ZVFUnified

#endif
