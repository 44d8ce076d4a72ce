#ifndef CONFIG_INMEMORYCONFIGSTORE_H
#define CONFIG_INMEMORYCONFIGSTORE_H

#include <string>
#include <vector>

#include "ConfigStore.h"
#include "HashedConfigLookup.h"
#include "IndexedConfigMap.h"
#include "zvf/Mutex.h"

namespace ZVFUnified {

// A writable store whose values live only as long as the process: the
// run-time values of "InMemoryConfigStore", and the user store in SDK mode.
// Nothing is persisted. Thread-safe: every operation holds the values lock.
class InMemoryConfigStore : public ConfigStore, public HashedConfigLookup {
public:
    InMemoryConfigStore(std::string name, int priority);
    ~InMemoryConfigStore() override;
    InMemoryConfigStore(const InMemoryConfigStore&) = delete;
    InMemoryConfigStore& operator=(const InMemoryConfigStore&) = delete;

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

private:
    IndexedConfigMap values;
    zvf::Mutex valuesLock;  // recursive; guards values
    std::string name;
    int priority;
};

}  // namespace ZVFUnified

#endif
