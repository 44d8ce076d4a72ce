#ifndef CONFIG_CONFIGSTOREMANAGER_H
#define CONFIG_CONFIGSTOREMANAGER_H

#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ConfigMap.h"
#include "ConfigStore.h"
#include "IndexedConfigMap.h"
#include "zvf/Mutex.h"

namespace ZVFUnified {

class UnifiedFactory;
class ConfigStoreManager_Observer;
class HashedConfigLookup;
class ConfigStoreAddedObserver;

// Holds every config store in priority order and answers lookups by walking
// them: the first store (lowest priority number) that holds a key supplies
// its value. Resolves renamed keys in both directions, routes writes to the
// writable stores and has them persisted on the host's task dispatcher, keeps
// the set of sensitive keys and reports every key whose effective value may
// have changed to its observers.
//
// Thread-safe: any thread may add stores, look up and write. The recursive
// store-list lock serialises them; observers are called on the calling
// thread with the store-list lock and the observers lock held. Lock order:
// the store-list lock may be held when the sensitive-keys or observers lock
// is taken, never the reverse; those two are never held together, and the
// store-added lock is never held together with another.
//
// The manager does not own its ConfigStoreManager_Observer (plain pointers);
// store-added observers are held weakly; stores are shared.
class ConfigStoreManager {
public:
    explicit ConfigStoreManager(std::shared_ptr<UnifiedFactory> factory);
    ~ConfigStoreManager();
    ConfigStoreManager(const ConfigStoreManager&) = delete;
    ConfigStoreManager& operator=(const ConfigStoreManager&) = delete;

    // ---- Stores ----------------------------------------------------------

    // Inserts the store by priority, or replaces the listed store of the
    // same name (ignoring case), then reports the store's keys. The keys the
    // store's document marks sensitive are made sensitive first. Null does
    // nothing.
    void addStore(std::shared_ptr<ConfigStore> store);
    bool containsStore(std::string name);
    // The first store of that name (ignoring case), or empty.
    std::shared_ptr<ConfigStore> getConfigStoreByName(const std::string& name);
    // True when every store is ready (stops at the first that is not).
    bool waitForStoresReady();
    void waitForStoreReady(const std::string& name);
    // Calls destroy() on every store in list order.
    void destroy();

    // ---- Lookups ---------------------------------------------------------

    // The effective value of key and the name of the store that supplied it.
    // An old key name is looked up under its current name first; a current
    // name that no store holds is looked up under its old name.
    // foundViaAlias is only ever set to true. skipLocal consults read-only
    // stores only; a non-empty storeFilter consults only the store of that
    // name.
    bool getValue(const std::wstring& key, std::wstring& value, std::wstring& storeName, bool& foundViaAlias,
                  bool skipLocal, const std::string& storeFilter);
    // The full form with skipLocal false and no filter; flag is not consulted.
    bool getValue(const std::wstring& key, std::wstring& value, bool flag);
    bool getValueFromStore(const std::wstring& key, std::wstring& value, const std::string& storeName);
    // That store's value for key, or empty.
    std::wstring getValueFromConfigStore(const std::string& storeName, const std::wstring& key);
    // The administrator's value (first read-only store holding the key) and
    // its store. True when a writable store holds the key before it.
    bool getOriginalValue(const std::wstring& key, std::wstring& originalValue, std::wstring& originalStoreName,
                          bool& foundViaAlias);

    // ---- Writes ----------------------------------------------------------

    // Into the first writable store other than the in-memory store.
    bool storeValue(const std::wstring& key, const std::wstring& value);
    // Every entry into every writable store other than the in-memory store.
    bool storeValue(const std::map<std::wstring, std::wstring>& values);
    // Into the store named "InMemoryConfigStore"; not persisted.
    bool storeInMemoryValue(const std::wstring& key, const std::wstring& value);
    // Removes key, its current and its old name from every writable store.
    bool eraseKey(const std::wstring& key);

    // ---- Key aliases -----------------------------------------------------

    // key is an old name: realName receives the current name.
    bool isKeyAlias(const std::wstring& key, std::wstring& realName);
    // key has an old name: aliasName receives it.
    bool hasKeyAlias(const std::wstring& key, std::wstring& aliasName);
    // A copy of the old-name -> current-name table.
    ConfigMap getAliasToConfigKeyRealNameMap();

    // ---- Sensitive keys --------------------------------------------------

    void setKeySensitive(const std::wstring& key);
    // True for a key marked sensitive under this name or under its other
    // name (old or current).
    bool isKeySensitive(const std::wstring& key);

    // ---- Observers -------------------------------------------------------

    void AddObserver(ConfigStoreManager_Observer* observer);
    void RemoveObserver(ConfigStoreManager_Observer* observer);
    void registerConfigStoreAddedObserver(std::shared_ptr<ConfigStoreAddedObserver> observer);
    void unregisterConfigStoreAddedObserver(std::shared_ptr<ConfigStoreAddedObserver> observer);

    // ---- URL provisioning ------------------------------------------------

    // Parses data and, when it carries at least one permitted key, adds the
    // "UrlProvisioningConfigStore" cache store and records in the user store
    // that provisioning has been applied.
    bool setUrlProvisioningData(std::wstring data);
    // The permitted name=value pairs of the query part of data, into out.
    // True when out is not empty.
    bool parseUrlProvisioningData(const std::wstring& data, ConfigMap& out);
    // eraseKey("AllowUrlProvisioning").
    bool resetAllowUriProvisioningData();

    // ---- Removal, reset and problem-report export ------------------------

    void reset();
    // Drops every store that is not local and reports its keys.
    void clearConfigStores();
    bool removeStoreWithSameName(const std::string& name);
    void resetConfigData();
    void resetConfigData(const std::string& name);
    void removeAllCachedConfigStores();
    bool removeCacheFile(const std::string& fileName);
    void removeFile(const std::string& path);
    void getAllConfigForPRT(std::wstring& out);
    void getConfigForPRTFromMemory(std::wstring& out);
    void getConfigForPRTFromFile(std::wstring& out);

    // ---- Internal operations (used by the ones above) --------------------

    // The walk: the first store that answers, after the filters.
    bool getValueFromStores(const std::wstring& key, std::wstring& value, std::wstring& storeName, bool skipLocal,
                            const std::string& storeFilter);
    bool getOriginalValueFromStores(const std::wstring& key, std::wstring& originalValue,
                                    std::wstring& originalStoreName, bool& readOnlyFound);
    // Recomputes one key and reports it to the observers.
    void updateKey(std::wstring key, bool silent);
    // Every key of the store silently, then a request to fire per key.
    void notifyObservers(std::shared_ptr<ConfigStore> store);
    void notifyObservers(const std::vector<std::wstring>& keys);
    void NotifyConfigAddedOrUpdated(const std::wstring& key, const std::wstring& value,
                                    const std::wstring& originalValue, bool isOverridden, bool isDefined,
                                    const std::wstring& valueStoreName, const std::wstring& originalValueStoreName,
                                    bool silent);
    void NotifyFireIfRequired(std::wstring key);
    // Replaces the listed store of newStore's name with newStore.
    void updateStoreValues(std::shared_ptr<ConfigStore> newStore);
    void updateStoreValues(std::shared_ptr<ConfigStore> newStore, const std::vector<std::wstring>& oldKeys);
    // Erases the first store of that name, without notification.
    bool removeStoreOnDuplicateAdded(const std::string& name);
    // Queues OnConfigStoreAdded(name) for every live store-added observer.
    void notifyConfigStoreAddedObservers(const std::string& name);
    bool isInMemoryConfigStore(std::string name);

    // Orders stores by ascending priority.
    static bool ConfigStorePriorityComparer(const std::shared_ptr<ConfigStore>& a,
                                            const std::shared_ptr<ConfigStore>& b);

private:
    // What a walk needs of a listed store, read once when the list changes:
    // the store's name never changes, and stores of this library take the
    // key's hash so that a lookup hashes the key once.
    struct ListedStore {
        ConfigStore* store;
        HashedConfigLookup* hashed;  // null for stores of other components
        std::string name;
        std::wstring wideName;
    };
    // Rebuilds listedStores from stores; called after every change of stores.
    void storesChanged();
    // store->getValue, through the hashed lookup where the store has one.
    static bool askStore(const ListedStore& listed, const std::wstring& key, std::size_t hash, std::wstring& value);
    // The effective value of key and the administrator's value in one walk
    // (no filter, local stores included, no alias resolution); the caller
    // holds the store-list lock. overriddenByUser as getOriginalValueFromStores.
    bool walkForValueAndOriginal(const std::wstring& key, std::size_t hash, std::wstring& value,
                                 std::wstring& storeName, std::wstring& originalValue,
                                 std::wstring& originalStoreName, bool& overriddenByUser);
    // getOriginalValueFromStores with the key's hash, lock held.
    bool walkForOriginal(const std::wstring& key, std::size_t hash, std::wstring& originalValue,
                         std::wstring& originalStoreName, bool& readOnlyFound);
    // The current name of an old name, or the old name of a current one, in
    // place in the alias tables (they never change); null when there is none.
    const std::wstring* currentNameOf(const std::wstring& key, std::size_t hash) const;
    const std::wstring* oldNameOf(const std::wstring& key, std::size_t hash) const;
    // False when a report would reach nobody: no observer, and no debug
    // logging (whose lookup lines a report's lookups would write).
    bool reportsHaveAudience();
    // notifyObservers(keys) on keys the caller gives up.
    void notifyKeys(std::vector<std::wstring> keys);
    // updateKey with the key's hash computed by the caller.
    void updateHashedKey(std::wstring key, std::size_t hash, bool silent);
    // NotifyConfigAddedOrUpdated for a report the caller no longer needs: the
    // usual single observer receives the texts themselves, not copies.
    void reportChange(std::wstring key, std::wstring value, std::wstring originalValue, bool isOverridden,
                      bool isDefined, std::wstring valueStoreName, std::wstring originalValueStoreName, bool silent);
    // Calls call(observer) for every observer with the observers lock held.
    template <class Call>
    void forEachObserver(const Call& call);
    // getValueFromStores without taking the lock: the caller holds it.
    bool walkStores(const std::wstring& key, std::size_t hash, std::wstring& value, std::wstring& storeName,
                    bool skipLocal, const std::string& storeFilter);
    // Queues store->persistValues() on the task dispatcher, keeping the
    // store alive until it has run.
    void queuePersistValues(const std::shared_ptr<ConfigStore>& store);
    // True when some store holds key (no alias resolution).
    bool anyStoreHolds(const std::wstring& key);
    // The live store-added observers; expired entries are dropped.
    std::vector<std::shared_ptr<ConfigStoreAddedObserver>> collectConfigStoreAddedObservers();

    zvf::Mutex storeListLock;      // recursive; guards stores, addStoreDepth and pendingStoreAdded
    zvf::Mutex sensitiveKeysLock;  // guards sensitiveKeys
    zvf::Mutex observersLock;      // guards observers; held while they are called
    std::vector<std::shared_ptr<ConfigStore>> stores;  // ascending priority
    ConfigKeySet sensitiveKeys;
    std::set<ConfigStoreManager_Observer*> observers;  // not owned
    std::shared_ptr<UnifiedFactory> factory;
    ConfigMap aliasToCurrent;  // old name -> current name; fixed at construction
    ConfigMap currentToAlias;  // current name -> old name; fixed at construction
    IndexedConfigMap aliasToCurrentIndex;  // the same two tables, hashed for lookups
    IndexedConfigMap currentToAliasIndex;
    std::vector<ListedStore> listedStores;  // parallel to stores; guarded by storeListLock
    std::list<std::weak_ptr<ConfigStoreAddedObserver>> storeAddedObservers;
    zvf::Mutex storeAddedLock;  // guards storeAddedObservers

    // Store-added notices are sent once the outermost addStore has left the
    // store-list lock, so that the store-added lock is never taken inside it.
    int addStoreDepth = 0;                       // guarded by storeListLock
    std::vector<std::string> pendingStoreAdded;  // guarded by storeListLock
};

}  // namespace ZVFUnified

#endif
