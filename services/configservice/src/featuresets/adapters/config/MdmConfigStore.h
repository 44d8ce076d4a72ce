#ifndef CONFIG_MDMCONFIGSTORE_H
#define CONFIG_MDMCONFIGSTORE_H

#include <memory>
#include <string>
#include <vector>

#include "ConfigMap.h"
#include "ConfigServiceExport.h"
#include "ConfigStore.h"
#include "ConfigStoreConstants.h"
#include "HashedConfigLookup.h"
#include "IndexedConfigMap.h"
#include "SensitiveKeySource.h"

namespace ZVFUnified {

class MdmConfigRetriever;

// The read-only device-management store, always "MdmConfigStore" at
// priority 500. Filled once at construction, from settings handed over as
// XML text or from an outside MdmConfigRetriever; immutable afterwards, so
// it takes no lock.
class CONFIGSERVICE_API MdmConfigStore : public ConfigStore, public SensitiveKeySource, public HashedConfigLookup {
public:
    // Every instance answers with this name ("MdmConfigStore") and priority
    // (500), whichever constructor made it.
    inline static const std::string MDM_CONFIG_STORE_NAME = ConfigStoreConstants::MDM_CONFIG_STORE;
    static constexpr int MDM_CONFIG_STORE_PRIORITY = ConfigStoreConstants::MDM_CONFIG_STORE_PRIORITY;

    // Parses xmlText (cached-configuration format); the keys marked
    // sensitive in it are reported by getSensitiveKeys.
    explicit MdmConfigStore(const std::string& xmlText);
    // Takes the retriever's settings; an empty pointer gives an empty store.
    explicit MdmConfigStore(std::shared_ptr<MdmConfigRetriever> retriever);
    ~MdmConfigStore() override;
    MdmConfigStore(const MdmConfigStore&) = delete;
    MdmConfigStore& operator=(const MdmConfigStore&) = delete;

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

    // SensitiveKeySource:
    std::vector<std::wstring> getSensitiveKeys() override;

    // HashedConfigLookup:
    bool getValueHashed(const std::wstring& key, std::size_t hash, std::wstring& value) override;

private:
    IndexedConfigMap values;
    ConfigKeySet sensitiveKeys;  // marked sensitive in the settings text
};

}  // namespace ZVFUnified

#endif
