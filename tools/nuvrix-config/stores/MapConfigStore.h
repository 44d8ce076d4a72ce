#ifndef NUVRIXCONFIG_MAPCONFIGSTORE_H
#define NUVRIXCONFIG_MAPCONFIGSTORE_H

#include <string>
#include <vector>

#include "ConfigMap.h"
#include "ConfigStore.h"

namespace nuvrixconfig {

// A read-only store over values fixed at construction: the server
// configuration, bootstrap settings and the like that this program adds to
// the feature set the way another service of the client would. A store that
// asks to be cached has the feature set write an encrypted copy, restored at
// the next start; a store that is not local is dropped when the feature set
// stops. Immutable, so it needs no lock and any thread may use it.
class MapConfigStore : public ZVFUnified::ConfigStore {
public:
    MapConfigStore(std::string name, int priority, ZVFUnified::ConfigMap values, bool local, bool cache);
    MapConfigStore(const MapConfigStore&) = delete;
    MapConfigStore& operator=(const MapConfigStore&) = delete;

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
    bool shouldCacheConfigStore() override;

private:
    const std::string name;
    const int priority;
    const ZVFUnified::ConfigMap values;
    const bool local;
    const bool cache;
};

}  // namespace nuvrixconfig

#endif
