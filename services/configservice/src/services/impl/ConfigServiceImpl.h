#ifndef IMPL_CONFIGSERVICEIMPL_H
#define IMPL_CONFIGSERVICEIMPL_H

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ConfigKeyHash.h"
#include "ConfigKeyIndex.h"
#include "ConfigMap.h"
#include "ConfigServiceBaseImpl.h"
#include "caseInsensitiveMapComparator.h"

namespace ZVFUnified {

class UnifiedFactory;
class ConfigValue;
class ConfigValueImpl;

// The configuration service object (service id 1300). Hands out one
// ConfigValueImpl per key from its value cache, which the store manager's
// change reports (carried here by the feature set) keep current; it never
// reads the stores at lookup time. Resolves old key names through the alias
// table, keeps the sensitive-key set, and forwards writes, resets and store
// operations to the config feature set. A business object of the host: its
// state is touched on the services thread only, asserted by each operation
// except the three the interface allows on any thread (getAllConfig,
// setUrlProvisioningData, resetAllowUriProvisioningData); it has no lock of
// its own.
//
// The value cache is an ordered map (its order is that of getAllConfig and
// the log dump) with a hash index over the same entries beside it, so that a
// lookup costs the same with 20,000 keys cached as with 100: every lookup
// and every change report goes through it. A key that change reports reach
// before any client asks for it is kept as its reported state; its value
// object is made, with that state and no pending notification, when a
// client first asks (getConfig, getAllConfig). Nobody can observe an object
// that does not exist yet, so this changes nothing a client sees, and a
// start that reports thousands of keys makes no object for them.
class ConfigServiceImpl : public ConfigServiceBaseImpl {
public:
    // A key's state as the change reports left it, until its value object is
    // made.
    struct ConfigState {
        std::wstring key;
        std::wstring value;
        std::wstring originalValue;
        std::wstring valueStoreName;
        std::wstring originalValueStoreName;
        bool isOverridden = false;
        bool isDefined = false;
    };
    // One key of the cache: its value object once a client asked, its state
    // until then.
    struct CachedConfig {
        std::shared_ptr<ConfigValueImpl> object;
        std::unique_ptr<ConfigState> state;  // null once object is set
    };
    // Key (ignoring case) to cached key; iteration in case-insensitive key order.
    using ConfigValueMap = std::map<std::wstring, CachedConfig, caseInsensitiveMapComparator>;

    explicit ConfigServiceImpl(std::shared_ptr<UnifiedFactory> factory);
    ~ConfigServiceImpl() override;

    // ConfigService:
    std::shared_ptr<ConfigValue> getConfig(std::wstring key) override;
    void setConfig(std::wstring key, std::wstring value) override;
    void setInMemoryConfig(std::wstring key, std::wstring value) override;
    void setMdmConfig(std::string text) override;
    std::shared_ptr<std::vector<std::shared_ptr<ConfigValue>>> getAllConfig() override;
    void resetConfig(std::wstring key) override;
    bool removeConfigStoreAndCache(std::wstring storeName) override;
    void removeAllCachedConfigStores() override;
    void logConfig() override;
    void setKeySensitive(std::wstring key) override;
    // True for a key marked sensitive under this name or under its other
    // name (old or current): its value is shown as "VALUE_HIDDEN".
    bool isKeySensitive(std::wstring key) override;
    bool setUrlProvisioningData(std::wstring data) override;
    bool resetAllowUriProvisioningData() override;
    std::wstring getAllConfigForPRT() override;
    std::wstring getValueFromConfigStore(std::string storeName, std::wstring key) override;

    // Offered to the host: logs at debug level, nothing else.
    virtual void configDownloadFailed();
    // Empties the value cache. Objects handed out stay valid but are no
    // longer updated; the next lookup of their key creates a new one.
    virtual void reset();
    virtual void refreshConfigFeatureSet();

    // Entry points of the feature set (services thread). A change report:
    // silent stores and flags the changes, otherwise they fire at once.
    void OnConfigChanged(std::wstring key, std::wstring value, std::wstring originalValue,
                         bool isOverridden, bool isDefined, std::wstring valueStoreName,
                         std::wstring originalValueStoreName, bool silent);
    // Fires what earlier silent reports of the key flagged.
    void FireIfRequired(std::wstring key);
    // Adds a key to the sensitive-key set (once, ignoring case).
    void updateSensitiveKeyList(std::wstring key);
    // Replaces the alias table: old key name to current key name.
    void setupConfigKeyAliases(ConfigMap aliases);

    // True, with the current name in realName, when key is an old key name
    // (ignoring case); otherwise false with realName empty.
    bool isKeyAlias(const std::wstring& key, std::wstring& realName) const;

    // The value object of a key, resolving old names; creates an undefined
    // one, cached under the current name, when the key is not cached.
    std::shared_ptr<ConfigValueImpl> findConfig(const std::wstring& key);
    // Creates the undefined value object of a key and caches it (an entry
    // already cached under an equal key stays).
    std::shared_ptr<ConfigValueImpl> createConfig(const std::wstring& key);
    // Creates a defined value object and caches it in the same way.
    std::shared_ptr<ConfigValueImpl> createConfig(const std::wstring& key, const std::wstring& value,
                                                  const std::wstring& originalValue, bool isOverridden,
                                                  const std::wstring& valueStoreName,
                                                  const std::wstring& originalValueStoreName);

private:

    void initialize(std::shared_ptr<UnifiedFactory> factory);
    // Caches object under key unless an equal key is cached already.
    void insertConfig(const std::wstring& key, const std::shared_ptr<ConfigValueImpl>& object);
    // The entry of key, resolving old names as findConfig does (alias log
    // line included); an entry holding the undefined state is made, under the
    // current name, when none is cached. The FIPS rule is applied to a hit.
    CachedConfig& findEntry(const std::wstring& key);
    // The entry's value object, made from its state on first request.
    std::shared_ptr<ConfigValueImpl> objectOf(CachedConfig& entry);
    // The Value clients would read: the FIPS rule applied.
    static std::wstring shownValue(const CachedConfig& entry);
    // Empties the value cache.
    void clearConfigs();
    // The current name of an old name, in place in the alias table; null when
    // key is no old name. The lookup path uses it to avoid copying the name.
    const std::wstring* findKeyAlias(const std::wstring& key) const;
    // The cached entry of key with the FIPS rule applied, or null.
    CachedConfig* findConfigFromKey(const std::wstring& key);

    ConfigValueMap configValues;              // value cache
    ConfigKeyIndex<ConfigValueMap::iterator> configValueIndex;  // the same entries, hashed
    ConfigKeySet sensitiveKeys;               // shown as "VALUE_HIDDEN"
    ConfigMap keyAliases;                     // old key name -> current key name
    std::shared_ptr<UnifiedFactory> factory;  // reaches the feature set; handed to each value object
};

}  // namespace ZVFUnified

#endif
