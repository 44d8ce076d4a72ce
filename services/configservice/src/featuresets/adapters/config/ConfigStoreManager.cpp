// Ordering, lookup, writes, key aliases, sensitive keys and observers of the
// store manager. Removal, reset and the problem-report export live in
// ConfigStoreManagerRemoval.cpp, URL provisioning (parsing the data, the
// store it becomes, the mark in the user store) in
// ConfigStoreManagerUrlProvisioning.cpp.
#include "ConfigStoreManager.h"

#include <algorithm>
#include <functional>
#include <string>
#include <utility>

#include "CacheConfigStore.h"
#include "ConfigKeyAliasesMapper.h"
#include "ConfigStoreAddedObserver.h"
#include "ConfigStoreConstants.h"
#include "ConfigStoreManager_Observer.h"
#include "DisableP2PCallOnFips.h"
#include "HashedConfigLookup.h"
#include "SensitiveKeySource.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "PTKCoreUtils/StringUtils.h"
#include "Processing/TaskDispatcher.h"
#include "logging/ZVFLogger.h"
#include "unified/UnifiedFactory.h"
#include "zvf/ScopedLock.h"

namespace ZVFUnified {

namespace {

ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-ConfigStoreManager");

const char* const kPersistTaskName = "ConfigStore::persistValues";
const char* const kStoreAddedTaskName = "ConfigStoreAddedObserver::OnConfigStoreAdded";

bool isDevOverrideStore(const std::string& name) {
    return name.size() == ConfigStoreConstants::DEV_OVERRIDE_CONFIG_STORE.size() &&
           PTKCoreUtils::caseInsensitiveStringEquals(name, ConfigStoreConstants::DEV_OVERRIDE_CONFIG_STORE);
}

bool sameStoreName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && PTKCoreUtils::caseInsensitiveStringEquals(a, b);
}

}  // namespace

ConfigStoreManager::ConfigStoreManager(std::shared_ptr<UnifiedFactory> factory) : factory(std::move(factory)) {
    ZVF_LOG(logger, 4, std::string("Creating a new instance of the ConfigStoreManager."));
    ConfigKeyAliasesMapper::getConfigKeyAliases(aliasToCurrent, currentToAlias);
    aliasToCurrentIndex = aliasToCurrent;
    currentToAliasIndex = currentToAlias;
}

ConfigStoreManager::~ConfigStoreManager() = default;

bool ConfigStoreManager::ConfigStorePriorityComparer(const std::shared_ptr<ConfigStore>& a,
                                                     const std::shared_ptr<ConfigStore>& b) {
    return a->getPriority() < b->getPriority();
}

// ---- Stores ------------------------------------------------------------------

void ConfigStoreManager::addStore(std::shared_ptr<ConfigStore> store) {
    if (!store) {
        return;
    }
    // The keys the store's document marks sensitive are masked before any of
    // its values is reported or logged.
    if (auto* source = dynamic_cast<SensitiveKeySource*>(store.get())) {
        for (const std::wstring& key : source->getSensitiveKeys()) {
            if (!isKeySensitive(key)) {
                setKeySensitive(key);
            }
        }
    }
    std::vector<std::string> storesToAnnounce;
    {
        zvf::ScopedLock lock(storeListLock);
        ++addStoreDepth;
        const std::string name = store->getName();
        if (containsStore(name)) {
            if (!isDevOverrideStore(name)) {
                ZVF_LOG(logger, 4, "updating existing store: " + name);
            }
            // Takes the listed store out and comes back here with the name free.
            updateStoreValues(store);
        } else {
            stores.push_back(store);
            std::sort(stores.begin(), stores.end(), ConfigStorePriorityComparer);
            storesChanged();
            if (!isDevOverrideStore(name) && ZVFLog_isLevelEnabled(logger, 4)) {
                std::string message = "adding new store: " + name + ", Config stores :";
                for (const auto& listed : stores) {
                    const std::string listedName = listed->getName();
                    if (isDevOverrideStore(listedName)) {
                        continue;
                    }
                    message += " [" + listedName + "(" + std::to_string(listed->getPriority()) + ")]";
                }
                ZVF_LOG(logger, 4, message);
            }
            notifyObservers(store);
            pendingStoreAdded.push_back(name);
        }
        if (--addStoreDepth == 0) {
            storesToAnnounce.swap(pendingStoreAdded);
        }
    }
    for (const std::string& name : storesToAnnounce) {
        notifyConfigStoreAddedObservers(name);
    }
}

bool ConfigStoreManager::containsStore(std::string name) {
    zvf::ScopedLock lock(storeListLock);
    for (const auto& store : stores) {
        if (sameStoreName(store->getName(), name)) {
            return true;
        }
    }
    return false;
}

std::shared_ptr<ConfigStore> ConfigStoreManager::getConfigStoreByName(const std::string& name) {
    zvf::ScopedLock lock(storeListLock);
    for (const auto& store : stores) {
        if (sameStoreName(store->getName(), name)) {
            return store;
        }
    }
    return nullptr;
}

bool ConfigStoreManager::waitForStoresReady() {
    zvf::ScopedLock lock(storeListLock);
    for (const auto& store : stores) {
        if (!store->waitForStoreReady()) {
            return false;
        }
    }
    return true;
}

void ConfigStoreManager::waitForStoreReady(const std::string& name) {
    zvf::ScopedLock lock(storeListLock);
    std::shared_ptr<ConfigStore> store = getConfigStoreByName(name);
    if (store) {
        store->waitForStoreReady();
    }
}

void ConfigStoreManager::destroy() {
    zvf::ScopedLock lock(storeListLock);
    for (const auto& store : stores) {
        store->destroy();
    }
}

void ConfigStoreManager::updateStoreValues(std::shared_ptr<ConfigStore> newStore) {
    if (!newStore) {
        return;
    }
    zvf::ScopedLock lock(storeListLock);
    std::vector<std::wstring> oldKeys;
    std::shared_ptr<ConfigStore> oldStore = getConfigStoreByName(newStore->getName());
    if (oldStore) {
        oldKeys = oldStore->getKeys();
    }
    updateStoreValues(newStore, oldKeys);
}

void ConfigStoreManager::updateStoreValues(std::shared_ptr<ConfigStore> newStore,
                                           const std::vector<std::wstring>& oldKeys) {
    if (!newStore) {
        return;
    }
    zvf::ScopedLock lock(storeListLock);
    const std::string name = newStore->getName();
    std::shared_ptr<ConfigStore> oldStore = getConfigStoreByName(name);
    removeStoreOnDuplicateAdded(name);
    // The live store supersedes a restored copy of its old self; the copy's
    // file stays until the feature set writes a new one.
    if (oldStore && oldStore->shouldCacheConfigStore()) {
        removeStoreOnDuplicateAdded(CacheConfigStore::cachedStoreName(oldStore->getName()));
    }
    // Keys that only the old store had now come from elsewhere, or nowhere.
    const std::vector<std::wstring> newKeyList = newStore->getKeys();
    const ConfigKeySet newKeys(newKeyList.begin(), newKeyList.end());
    for (const std::wstring& oldKey : oldKeys) {
        if (newKeys.find(oldKey) == newKeys.end()) {
            updateKey(oldKey, false);
        }
    }
    addStore(newStore);
}

bool ConfigStoreManager::removeStoreOnDuplicateAdded(const std::string& name) {
    zvf::ScopedLock lock(storeListLock);
    for (auto it = stores.begin(); it != stores.end(); ++it) {
        if (sameStoreName((*it)->getName(), name)) {
            stores.erase(it);
            storesChanged();
            return true;
        }
    }
    return false;
}

bool ConfigStoreManager::isInMemoryConfigStore(std::string name) {
    return sameStoreName(name, ConfigStoreConstants::IN_MEMORY_CONFIG_STORE);
}

// ---- Lookups -----------------------------------------------------------------

void ConfigStoreManager::storesChanged() {
    listedStores.clear();
    listedStores.reserve(stores.size());
    for (const auto& store : stores) {
        ListedStore listed{store.get(), dynamic_cast<HashedConfigLookup*>(store.get()), store->getName(), {}};
        listed.wideName = PTKCoreUtils::toWideString(listed.name);
        listedStores.push_back(std::move(listed));
    }
}

bool ConfigStoreManager::askStore(const ListedStore& listed, const std::wstring& key, std::size_t hash,
                                  std::wstring& value) {
    return listed.hashed ? listed.hashed->getValueHashed(key, hash, value) : listed.store->getValue(key, value);
}

const std::wstring* ConfigStoreManager::currentNameOf(const std::wstring& key, std::size_t hash) const {
    auto it = aliasToCurrentIndex.find(key, hash);
    return it == aliasToCurrentIndex.end() ? nullptr : &it->second;
}

const std::wstring* ConfigStoreManager::oldNameOf(const std::wstring& key, std::size_t hash) const {
    auto it = currentToAliasIndex.find(key, hash);
    return it == currentToAliasIndex.end() ? nullptr : &it->second;
}

bool ConfigStoreManager::getValueFromStores(const std::wstring& key, std::wstring& value, std::wstring& storeName,
                                            bool skipLocal, const std::string& storeFilter) {
    zvf::ScopedLock lock(storeListLock);
    return walkStores(key, ConfigKeyHash::hashOf(key.data(), key.size()), value, storeName, skipLocal, storeFilter);
}

bool ConfigStoreManager::walkStores(const std::wstring& key, std::size_t hash, std::wstring& value,
                                    std::wstring& storeName, bool skipLocal, const std::string& storeFilter) {
    bool found = false;
    value.clear();
    for (const ListedStore& listed : listedStores) {
        if (!storeFilter.empty() && !sameStoreName(listed.name, storeFilter)) {
            continue;
        }
        if (skipLocal && !listed.store->isReadOnly()) {
            continue;
        }
        if (askStore(listed, key, hash, value)) {
            storeName = listed.wideName;
            found = true;
            break;
        }
    }
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(key, value);
    return found;
}

bool ConfigStoreManager::getValue(const std::wstring& key, std::wstring& value, std::wstring& storeName,
                                  bool& foundViaAlias, bool skipLocal, const std::string& storeFilter) {
    zvf::ScopedLock lock(storeListLock);
    enum class Note { None, Renamed, Legacy };
    Note note = Note::None;
    const std::size_t hash = ConfigKeyHash::hashOf(key.data(), key.size());
    // The current name of an old key, or the old name of a current one.
    const std::wstring* otherName = currentNameOf(key, hash);
    bool found = false;
    if (otherName) {
        found = walkStores(*otherName, ConfigKeyHash::hashOf(otherName->data(), otherName->size()), value, storeName,
                           skipLocal, storeFilter);
        if (found) {
            note = Note::Renamed;
        } else {
            // A value still stored under the old name is honoured.
            found = walkStores(key, hash, value, storeName, skipLocal, storeFilter);
            if (found) {
                foundViaAlias = true;
            }
        }
    } else {
        found = walkStores(key, hash, value, storeName, skipLocal, storeFilter);
        if (!found && (otherName = oldNameOf(key, hash)) != nullptr) {
            found = walkStores(*otherName, ConfigKeyHash::hashOf(otherName->data(), otherName->size()), value,
                               storeName, skipLocal, storeFilter);
            if (found) {
                foundViaAlias = true;
                note = Note::Legacy;
            }
        }
    }

    if (ZVFLog_isDebugEnabled(logger)) {
        std::string message = "key : [" + PTKCoreUtils::toString(key) + "] ";
        if (note == Note::Renamed) {
            message += "is an alias. Key has been renamed. Actual lookup done on key name: [" +
                       PTKCoreUtils::toString(*otherName) + "] - ";
        } else if (note == Note::Legacy) {
            message += "did not exist. actual lookup done on legacy key name : [" +
                       PTKCoreUtils::toString(*otherName) + "] - ";
        }
        const std::wstring& shown = isKeySensitive(key) ? ConfigStoreConstants::VALUE_HIDDEN : value;
        message += std::string("skipLocal : [") + (skipLocal ? "1" : "0") + "]  value: [" +
                   ZVFLogger_replacePIIData(PTKCoreUtils::toString(shown)) + "] success: [" +
                   (found ? "true" : "false") + "] configStoreName: [" + PTKCoreUtils::toString(storeName) + "]";
        ZVF_LOG(logger, 5, message);
    }
    return found;
}

bool ConfigStoreManager::getValue(const std::wstring& key, std::wstring& value, bool /*flag*/) {
    std::wstring storeName;
    bool foundViaAlias = false;
    return getValue(key, value, storeName, foundViaAlias, false, std::string());
}

bool ConfigStoreManager::getValueFromStore(const std::wstring& key, std::wstring& value,
                                           const std::string& storeName) {
    std::wstring answeringStore;
    bool foundViaAlias = false;
    return getValue(key, value, answeringStore, foundViaAlias, false, storeName);
}

std::wstring ConfigStoreManager::getValueFromConfigStore(const std::string& storeName, const std::wstring& key) {
    std::wstring value;
    if (!getValueFromStore(key, value, storeName)) {
        value.clear();
    }
    return value;
}

bool ConfigStoreManager::getOriginalValueFromStores(const std::wstring& key, std::wstring& originalValue,
                                                    std::wstring& originalStoreName, bool& readOnlyFound) {
    zvf::ScopedLock lock(storeListLock);
    return walkForOriginal(key, ConfigKeyHash::hashOf(key.data(), key.size()), originalValue, originalStoreName,
                           readOnlyFound);
}

bool ConfigStoreManager::walkForOriginal(const std::wstring& key, std::size_t hash, std::wstring& originalValue,
                                         std::wstring& originalStoreName, bool& readOnlyFound) {
    readOnlyFound = false;
    std::wstring userValue;
    std::wstring adminValue;
    bool result = false;
    for (const ListedStore& listed : listedStores) {
        if (!userValue.empty() && !adminValue.empty()) {
            break;
        }
        if (!listed.store->isReadOnly()) {
            // A user value that lies before every administrator value
            // overrides it.
            if (userValue.empty() && askStore(listed, key, hash, userValue) && adminValue.empty()) {
                result = true;
            }
        } else if (adminValue.empty()) {
            if (askStore(listed, key, hash, adminValue)) {
                originalStoreName = listed.wideName;
                readOnlyFound = true;
            }
        }
    }
    originalValue = adminValue;
    return result;
}

bool ConfigStoreManager::getOriginalValue(const std::wstring& key, std::wstring& originalValue,
                                          std::wstring& originalStoreName, bool& foundViaAlias) {
    zvf::ScopedLock lock(storeListLock);
    foundViaAlias = false;
    bool readOnlyFound = false;
    bool result = false;
    std::wstring otherName;
    if (isKeyAlias(key, otherName)) {
        result = getOriginalValueFromStores(otherName, originalValue, originalStoreName, readOnlyFound);
        if (!result) {
            result = getOriginalValueFromStores(key, originalValue, originalStoreName, readOnlyFound);
            if (result) {
                foundViaAlias = true;
            }
        }
    } else {
        result = getOriginalValueFromStores(key, originalValue, originalStoreName, readOnlyFound);
        if (!readOnlyFound && hasKeyAlias(key, otherName)) {
            result = getOriginalValueFromStores(otherName, originalValue, originalStoreName, readOnlyFound);
            foundViaAlias = result;
        }
    }
    return result;
}

bool ConfigStoreManager::anyStoreHolds(const std::wstring& key) {
    zvf::ScopedLock lock(storeListLock);
    std::wstring ignored;
    for (const auto& store : stores) {
        if (store->getValue(key, ignored)) {
            return true;
        }
    }
    return false;
}

// ---- Writes ------------------------------------------------------------------

void ConfigStoreManager::queuePersistValues(const std::shared_ptr<ConfigStore>& store) {
    std::shared_ptr<Processing::TaskDispatcher> dispatcher = factory ? factory->getTaskDispatcher() : nullptr;
    if (!dispatcher) {
        ZVF_LOG(logger, 2, "no task dispatcher, values of store not persisted: " + store->getName());
        return;
    }
    // The task owns the store, so a store removed meanwhile is still written.
    dispatcher->enqueue(std::make_shared<PTKCoreUtils::FunctionTask>(
        std::bind(&ConfigStore::persistValues, store.get()), kPersistTaskName, store));
}

bool ConfigStoreManager::storeValue(const std::wstring& key, const std::wstring& value) {
    zvf::ScopedLock lock(storeListLock);
    std::shared_ptr<ConfigStore> target;
    for (const auto& store : stores) {
        if (!store->isReadOnly() && !isInMemoryConfigStore(store->getName())) {
            target = store;
            break;
        }
    }
    if (!target) {
        return false;
    }
    const bool stored = target->storeValue(key, value);
    queuePersistValues(target);
    updateKey(key, false);
    return stored;
}

bool ConfigStoreManager::storeValue(const std::map<std::wstring, std::wstring>& values) {
    zvf::ScopedLock lock(storeListLock);
    bool result = false;
    // Observers are told inside the walk and may add or drop stores on this
    // thread: walk a snapshot of the list.
    const std::vector<std::shared_ptr<ConfigStore>> listed = stores;
    for (const auto& store : listed) {
        if (store->isReadOnly() || isInMemoryConfigStore(store->getName())) {
            continue;
        }
        result = true;
        for (const auto& entry : values) {
            if (!store->storeValue(entry.first, entry.second)) {
                ZVF_LOG(logger, 3, L"Unable to store the value with key: " + entry.first);
            }
        }
        queuePersistValues(store);
        // Each store's writes are reported as soon as that store holds them.
        for (const auto& entry : values) {
            updateKey(entry.first, false);
        }
    }
    return result;
}

bool ConfigStoreManager::storeInMemoryValue(const std::wstring& key, const std::wstring& value) {
    zvf::ScopedLock lock(storeListLock);
    std::shared_ptr<ConfigStore> target;
    for (const auto& store : stores) {
        if (isInMemoryConfigStore(store->getName())) {
            target = store;
            break;
        }
    }
    if (!target) {
        return false;
    }
    const bool stored = target->storeValue(key, value);
    updateKey(key, false);
    return stored;
}

bool ConfigStoreManager::eraseKey(const std::wstring& key) {
    zvf::ScopedLock lock(storeListLock);
    std::wstring currentName;
    std::wstring oldName;
    const bool hasCurrentName = isKeyAlias(key, currentName);
    const bool hasOldName = hasKeyAlias(key, oldName);
    bool erased = false;
    auto removeFrom = [&](const std::shared_ptr<ConfigStore>& store, const std::wstring& name) {
        if (store->removeValue(name)) {
            erased = true;
            queuePersistValues(store);
        }
    };
    for (const auto& store : stores) {
        if (store->isReadOnly()) {
            continue;
        }
        removeFrom(store, key);
        if (hasCurrentName) {
            removeFrom(store, currentName);
        }
        if (hasOldName) {
            removeFrom(store, oldName);
        }
    }
    if (erased) {
        updateKey(key, false);
    }
    return erased;
}

// ---- Key aliases -------------------------------------------------------------

bool ConfigStoreManager::isKeyAlias(const std::wstring& key, std::wstring& realName) {
    auto it = aliasToCurrent.find(key);
    if (it == aliasToCurrent.end()) {
        realName.clear();
        return false;
    }
    realName = it->second;
    return true;
}

bool ConfigStoreManager::hasKeyAlias(const std::wstring& key, std::wstring& aliasName) {
    auto it = currentToAlias.find(key);
    if (it == currentToAlias.end()) {
        aliasName.clear();
        return false;
    }
    aliasName = it->second;
    return true;
}

ConfigMap ConfigStoreManager::getAliasToConfigKeyRealNameMap() { return aliasToCurrent; }

// ---- Sensitive keys ------------------------------------------------------------

void ConfigStoreManager::setKeySensitive(const std::wstring& key) {
    {
        zvf::ScopedLock lock(sensitiveKeysLock);
        sensitiveKeys.insert(key);
    }
    zvf::ScopedLock lock(observersLock);
    const std::vector<ConfigStoreManager_Observer*> current(observers.begin(), observers.end());
    for (ConfigStoreManager_Observer* observer : current) {
        observer->onSensitiveKeyAddedOrUpdated(key);
    }
}

bool ConfigStoreManager::isKeySensitive(const std::wstring& key) {
    zvf::ScopedLock lock(sensitiveKeysLock);
    if (sensitiveKeys.find(key) != sensitiveKeys.end()) {
        return true;
    }
    // The same key under its other name (the alias tables never change).
    auto current = aliasToCurrent.find(key);
    if (current != aliasToCurrent.end()) {
        return sensitiveKeys.find(current->second) != sensitiveKeys.end();
    }
    auto old = currentToAlias.find(key);
    return old != currentToAlias.end() && sensitiveKeys.find(old->second) != sensitiveKeys.end();
}

// ---- Observers -----------------------------------------------------------------

void ConfigStoreManager::AddObserver(ConfigStoreManager_Observer* observer) {
    if (!observer) {
        return;
    }
    zvf::ScopedLock lock(observersLock);
    observers.insert(observer);
}

void ConfigStoreManager::RemoveObserver(ConfigStoreManager_Observer* observer) {
    if (!observer) {
        return;
    }
    zvf::ScopedLock lock(observersLock);
    observers.erase(observer);
}

bool ConfigStoreManager::walkForValueAndOriginal(const std::wstring& key, std::size_t hash, std::wstring& value,
                                                 std::wstring& storeName, std::wstring& originalValue,
                                                 std::wstring& originalStoreName, bool& overriddenByUser) {
    // The two walks of getValueFromStores and getOriginalValueFromStores in
    // one: each store is asked once, and its answer serves whichever of the
    // two searches still consults that store.
    bool found = false;
    value.clear();
    std::wstring userValue;
    std::wstring adminValue;
    std::wstring answer;
    overriddenByUser = false;
    for (const ListedStore& listed : listedStores) {
        // Once both the effective value and a non-empty administrator's value
        // are known, the rest of the walk could only fill in a user value
        // that no longer decides anything: a user value overrides only from
        // before the administrator's.
        if (found && !adminValue.empty()) {
            break;
        }
        const bool originalSearching = userValue.empty() || adminValue.empty();
        const bool readOnly = listed.store->isReadOnly();
        const bool originalAsks = originalSearching && (readOnly ? adminValue.empty() : userValue.empty());
        if (found && !originalAsks) {
            continue;
        }
        if (!askStore(listed, key, hash, answer)) {
            continue;
        }
        if (!found) {
            value = answer;
            storeName = listed.wideName;
            found = true;
        }
        if (originalAsks) {
            if (readOnly) {
                adminValue.swap(answer);
                originalStoreName = listed.wideName;
            } else {
                userValue.swap(answer);
                if (adminValue.empty()) {
                    overriddenByUser = true;
                }
            }
        }
    }
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(key, value);
    originalValue.swap(adminValue);
    return found;
}

bool ConfigStoreManager::reportsHaveAudience() {
    if (ZVFLog_isDebugEnabled(logger)) {
        return true;
    }
    zvf::ScopedLock lock(observersLock);
    return !observers.empty();
}

void ConfigStoreManager::updateKey(std::wstring key, bool silent) {
    if (!reportsHaveAudience()) {
        return;
    }
    const std::size_t hash = ConfigKeyHash::hashOf(key.data(), key.size());
    updateHashedKey(std::move(key), hash, silent);
}

void ConfigStoreManager::updateHashedKey(std::wstring key, std::size_t hash, bool silent) {
    zvf::ScopedLock lock(storeListLock);
    std::wstring value;
    std::wstring storeName;
    std::wstring originalValue;
    std::wstring originalStoreName;
    // Most keys have no other name: one walk answers both questions. With
    // debug logging on, the lookup below writes its line as always.
    if (!ZVFLog_isDebugEnabled(logger) && !currentNameOf(key, hash) && !oldNameOf(key, hash)) {
        bool overriddenByUser = false;
        const bool found = walkForValueAndOriginal(key, hash, value, storeName, originalValue, originalStoreName,
                                                   overriddenByUser);
        reportChange(std::move(key), std::move(value), std::move(originalValue), found && overriddenByUser, found,
                     std::move(storeName), std::move(originalStoreName), silent);
        return;
    }
    bool viaAlias = false;
    const bool found = getValue(key, value, storeName, viaAlias, false, std::string());

    bool originalViaAlias = false;
    const bool overriddenByUser = getOriginalValue(key, originalValue, originalStoreName, originalViaAlias);

    bool isOverridden = false;
    if (viaAlias && !originalViaAlias && overriddenByUser) {
        // The effective value came through the other name while the user's
        // value sits under this one: report the administrator's value.
        value = originalValue;
        isOverridden = false;
    } else {
        isOverridden = found && overriddenByUser && (!viaAlias || originalViaAlias);
    }

    std::wstring currentName;
    if (!isKeyAlias(key, currentName)) {
        NotifyConfigAddedOrUpdated(key, value, originalValue, isOverridden, found, storeName, originalStoreName,
                                   silent);
    } else if (!found || viaAlias) {
        // The lookup of an old name tries its current name first, so the
        // current name is held by no store exactly when the lookup failed
        // or had to fall back to the old name. Otherwise the current name's
        // own report stands.
        NotifyConfigAddedOrUpdated(currentName, value, originalValue, isOverridden, found, storeName,
                                   originalStoreName, silent);
    }
}

void ConfigStoreManager::notifyObservers(std::shared_ptr<ConfigStore> store) {
    if (!store) {
        return;
    }
    notifyKeys(store->getKeys());
}

void ConfigStoreManager::notifyObservers(const std::vector<std::wstring>& keys) {
    notifyKeys(std::vector<std::wstring>(keys));
}

void ConfigStoreManager::notifyKeys(std::vector<std::wstring> keys) {
    zvf::ScopedLock lock(storeListLock);
    // Recomputing thousands of keys for nobody is the larger part of adding
    // a store.
    if (!reportsHaveAudience()) {
        return;
    }
    std::vector<std::size_t> hashes;
    hashes.reserve(keys.size());
    for (const std::wstring& key : keys) {
        hashes.push_back(ConfigKeyHash::hashOf(key.data(), key.size()));
        updateHashedKey(key, hashes.back(), true);
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (const std::wstring* currentName = currentNameOf(keys[i], hashes[i])) {
            if (!anyStoreHolds(*currentName)) {
                NotifyFireIfRequired(*currentName);
            }
        } else {
            // The last use of the key: it goes to the observer itself.
            NotifyFireIfRequired(std::move(keys[i]));
        }
    }
}

template <class Call>
void ConfigStoreManager::forEachObserver(const Call& call) {
    zvf::ScopedLock lock(observersLock);
    // The usual single observer is called without copying the set; several
    // are called from a copy, so that one may remove itself while called.
    if (observers.size() == 1) {
        ConfigStoreManager_Observer* only = *observers.begin();
        call(only);
        return;
    }
    const std::vector<ConfigStoreManager_Observer*> current(observers.begin(), observers.end());
    for (ConfigStoreManager_Observer* observer : current) {
        call(observer);
    }
}

void ConfigStoreManager::NotifyConfigAddedOrUpdated(const std::wstring& key, const std::wstring& value,
                                                    const std::wstring& originalValue, bool isOverridden,
                                                    bool isDefined, const std::wstring& valueStoreName,
                                                    const std::wstring& originalValueStoreName, bool silent) {
    forEachObserver([&](ConfigStoreManager_Observer* observer) {
        observer->onConfigAddedOrUpdated(key, value, originalValue, isOverridden, isDefined, valueStoreName,
                                         originalValueStoreName, silent);
    });
}

void ConfigStoreManager::reportChange(std::wstring key, std::wstring value, std::wstring originalValue,
                                      bool isOverridden, bool isDefined, std::wstring valueStoreName,
                                      std::wstring originalValueStoreName, bool silent) {
    zvf::ScopedLock lock(observersLock);
    if (observers.size() == 1) {
        (*observers.begin())
            ->onConfigAddedOrUpdated(std::move(key), std::move(value), std::move(originalValue), isOverridden,
                                     isDefined, std::move(valueStoreName), std::move(originalValueStoreName), silent);
        return;
    }
    NotifyConfigAddedOrUpdated(key, value, originalValue, isOverridden, isDefined, valueStoreName,
                               originalValueStoreName, silent);
}

void ConfigStoreManager::NotifyFireIfRequired(std::wstring key) {
    zvf::ScopedLock lock(observersLock);
    if (observers.size() == 1) {
        (*observers.begin())->onFireIfRequired(std::move(key));
        return;
    }
    forEachObserver([&](ConfigStoreManager_Observer* observer) { observer->onFireIfRequired(key); });
}

// ---- Store-added observers -------------------------------------------------------

void ConfigStoreManager::registerConfigStoreAddedObserver(std::shared_ptr<ConfigStoreAddedObserver> observer) {
    if (!observer) {
        return;
    }
    {
        zvf::ScopedLock lock(storeAddedLock);
        storeAddedObservers.push_back(observer);
    }
    ZVF_LOG(logger, 4, std::string("ConfigStoreAddedObserver registered"));
}

void ConfigStoreManager::unregisterConfigStoreAddedObserver(std::shared_ptr<ConfigStoreAddedObserver> observer) {
    if (!observer) {
        ZVF_LOG(logger, 3, std::string("Attempt to unregister null ConfigStoreAddedObserver"));
        return;
    }
    bool removed = false;
    {
        zvf::ScopedLock lock(storeAddedLock);
        for (auto it = storeAddedObservers.begin(); it != storeAddedObservers.end();) {
            if (it->lock() == observer) {
                it = storeAddedObservers.erase(it);
                removed = true;
            } else {
                ++it;
            }
        }
    }
    if (removed) {
        ZVF_LOG(logger, 4, std::string("ConfigStoreAddedObserver unregistered"));
    } else {
        ZVF_LOG(logger, 3, std::string("Attempt to unregister unknown ConfigStoreAddedObserver"));
    }
}

std::vector<std::shared_ptr<ConfigStoreAddedObserver>> ConfigStoreManager::collectConfigStoreAddedObservers() {
    std::vector<std::shared_ptr<ConfigStoreAddedObserver>> live;
    zvf::ScopedLock lock(storeAddedLock);
    for (auto it = storeAddedObservers.begin(); it != storeAddedObservers.end();) {
        std::shared_ptr<ConfigStoreAddedObserver> observer = it->lock();
        if (observer) {
            live.push_back(std::move(observer));
            ++it;
        } else {
            it = storeAddedObservers.erase(it);
        }
    }
    return live;
}

void ConfigStoreManager::notifyConfigStoreAddedObservers(const std::string& name) {
    const std::vector<std::shared_ptr<ConfigStoreAddedObserver>> live = collectConfigStoreAddedObservers();
    if (live.empty()) {
        return;
    }
    std::shared_ptr<Processing::TaskDispatcher> dispatcher = factory ? factory->getTaskDispatcher() : nullptr;
    if (!dispatcher) {
        ZVF_LOG(logger, 2, "no task dispatcher, store-added observers not told of store: " + name);
        return;
    }
    for (const auto& observer : live) {
        dispatcher->enqueue(std::make_shared<PTKCoreUtils::FunctionTask>(
            std::bind(&ConfigStoreAddedObserver::OnConfigStoreAdded, observer.get(), name), kStoreAddedTaskName,
            observer));
    }
}

}  // namespace ZVFUnified
