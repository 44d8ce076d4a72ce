#ifndef CONFIG_CONFIGADAPTER_H
#define CONFIG_CONFIGADAPTER_H

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ConfigFeatureSet.h"
#include "ConfigMap.h"
#include "ConfigStoreManager_Observer.h"
#include "ZVFSystemMonitor/PowerEventObserver.h"
#include "unified/FeatureSetAdapter.h"
#include "unified/ProviderResetDataCallback.h"
#include "zvf/Mutex.h"

namespace ZVFUnified {

class UnifiedFactory;
class ConfigStore;
class ConfigStoreManager;
class ConfigServiceImpl;
class ConfigFileCacheTimer;
class ServiceReportQueue;

// The config feature set (id 1300): the object the host starts, stops and
// destroys, and through which the service, the value objects and other
// services of the client reach the stores. Owns the store manager and the
// cache file timer; keeps the service object it was created beside.
//
// Construction puts the defaults, in-memory, user-local, cached and
// URL-provisioning stores in place; start registers for data resets and
// power events and re-adds the in-memory and user stores when missing; stop
// drops every store that is not local, on the services thread.
//
// Threading: configuration operations may be called from any thread and
// rely on the store manager's locking. The recursive adapterMutex guards the
// life cycle (start, stop, Destroy, IsFeatureSetStarted, refresh, data
// reset). The manager's reports are carried onto the services thread by a
// ServiceReportQueue: delivered directly there, queued in order elsewhere. Lock order: adapterMutex before the
// manager's locks; the observer callbacks take no adapter lock.
//
// Stop holds adapterMutex while it waits for the services thread to run the
// manager reset. So that nothing queued on that thread can wait for the
// mutex in turn, every life-cycle operation that finds itself on the
// services thread takes the mutex without blocking: when a stop holds it and
// is waiting for this thread, the operation is queued again behind the
// stop's reset instead (IsFeatureSetStarted answers from the flag).
//
// Always owned by a shared pointer: it hands weak and shared pointers to
// itself to the system monitor and to the host's life-cycle object.
class ConfigAdapter : public FeatureSetAdapter,
                      public ConfigFeatureSet,
                      public ConfigStoreManager_Observer,
                      public ZVFSystemMonitor::PowerEventObserver,
                      public std::enable_shared_from_this<ConfigAdapter>,
                      public ProviderResetDataCallback {
public:
    // The feature set's id, the same number as the configuration service's.
    static constexpr unsigned int FEATURE_SET_ID = 1300;

    explicit ConfigAdapter(std::shared_ptr<UnifiedFactory> factory);
    ~ConfigAdapter() override;
    ConfigAdapter(const ConfigAdapter&) = delete;
    ConfigAdapter& operator=(const ConfigAdapter&) = delete;

    // FeatureSetAdapter:
    void StartFeatureSet(unsigned int id, ServiceEvents events) override;
    void StopFeatureSet(unsigned int id, ServiceEvents events) override;
    void Destroy() override;
    bool IsFeatureSetStarted(unsigned int id) override;
    bool IsFeatureSetProvisioned(unsigned int id) override;
    std::vector<unsigned int> GetFeatureSetDependencies(unsigned int id) override;

    // ConfigFeatureSet:
    void addConfigStore(std::shared_ptr<ConfigStore> store) override;
    bool removeConfigStore(const std::string& name) override;
    bool isConfigStorePresent(const std::string& name) override;
    void registerConfigStoreAddedObserver(std::shared_ptr<ConfigStoreAddedObserver> observer) override;
    void unregisterConfigStoreAddedObserver(std::shared_ptr<ConfigStoreAddedObserver> observer) override;
    void removeAllCachedConfigStores() override;
    bool getConfig(const std::wstring& key, std::wstring& value, bool skipLocal) override;
    bool getConfig(const std::wstring& key, std::wstring& value, std::wstring& storeName, bool& viaAlias,
                   bool skipLocal) override;
    bool setConfig(const std::wstring& key, const std::wstring& value) override;
    bool setConfig(std::map<std::wstring, std::wstring> values) override;
    bool setInMemoryConfig(const std::wstring& key, const std::wstring& value) override;
    void setMdmConfig(const std::string& data) override;
    bool resetConfig(const std::wstring& key) override;
    bool isKeySensitive(const std::wstring& key) override;
    void setKeySensitive(const std::wstring& key) override;
    void refreshConfigFeatureSet() override;
    bool setUrlProvisioningData(std::wstring data) override;
    bool resetAllowUriProvisioningData() override;
    void resetConfigData(const std::string& storeName) override;
    void addServiceEvent(int code, ConfigServiceIdsEnum::ConfigServiceIds serviceId,
                         ServiceEventSeverityEnum::ServiceEventSeverity severity) override;
    void getAllConfigForPRT(std::wstring& out) override;
    std::wstring getValueFromConfigStore(const std::string& storeName, const std::wstring& key) override;
    std::shared_ptr<ConfigStore> getConfigStoreByName(const std::string& name) override;

    // ConfigStoreManager_Observer (any thread; carried to the services thread):
    void onFireIfRequired(std::wstring key) override;
    void onSensitiveKeyAddedOrUpdated(std::wstring key) override;
    void onConfigAddedOrUpdated(std::wstring key, std::wstring value, std::wstring originalValue, bool isOverridden,
                                bool isDefined, std::wstring valueStoreName, std::wstring originalValueStoreName,
                                bool silent) override;

    // ZVFSystemMonitor::PowerEventObserver: a power-down destroys the stores.
    void onPowerEvent(ZVFSystemMonitor::PowerEventTypeEnum::PowerEventType type) override;

    // ProviderResetDataCallback: every option performs the same full reset.
    void InvokeResetData(ResetDataOptionEnum::ResetDataOption option) override;

    // ---- Life cycle ---------------------------------------------------------

    void startConfigFeatureSet();
    void stopConfigFeatureSet();

    // ---- Store set-up -------------------------------------------------------

    // Defaults, in-memory and user-local stores, the cached copies, then the
    // policy removals. Called once, by the constructor.
    void addInitialConfigStores();
    // The copies listed in "PrimaryConfigStores" (presence last) and the
    // URL-provisioning copy unless device management forbids it.
    void InitialiseCachedConfigStores();
    // The in-memory and user-local stores, when the manager lacks them.
    void addNecessaryStoresIfNotExist();
    // Writes the store's cache file and records its cached priority.
    void cacheStoreOnConfigStoreAdded(std::shared_ptr<ConfigStore> store);
    // Restores the copy of the store named name from its cache file.
    void addCachedConfigStore(std::string name, int priority);
    // Sets name's entry of "PrimaryConfigStores" to priority.
    void updateCacheStorePriority(const std::string& name, int priority);
    // Removes name's entry from "PrimaryConfigStores".
    void removeFromCachedStorePriorityMap(const std::wstring& name);
    // Every value the store answers, by key.
    void copyAllStoreValues(std::shared_ptr<ConfigStore> store, ConfigMap& out);
    // "Name:priority;..." as a map from name (ignoring case) to priority text.
    ConfigMap getCachedConfigStorePrioityMap(const std::wstring& text);
    // "Nuvrix_SDK_Mode", read afresh at every use.
    bool getNuvrixSDKMode();

    // ---- Enabled-service flags and policy -------------------------------------

    void SetEnabledServices();
    void SetTelephonyEnabled();
    void SetVoicemailEnabled();
    void SetMeetingsEnabled();
    // True when a cached copy of a call-control, presence or TFTP store lies
    // in the cache directory.
    bool shouldSetEnabledServicesBasedOnCachedStores();
    // Erases user-set server addresses that policy forbids customising.
    void removeValuesIfPolicySet();

    // ---- Forwarding ---------------------------------------------------------

    // Hands the manager's old-name -> current-name table to the service.
    void notifyConfigKeyAliases();

    // ---- Data reset ---------------------------------------------------------

    void registerResetDataCallback();
    void unRegisterResetDataCallback();
    // Removes one file through the host's data persistor; always true.
    bool removeFile(const std::string& fileName);
    // The user settings, their backup and two cache files, by bare name.
    void removeFilesFromDirectory();

private:
    // How a life-cycle operation got adapterMutex.
    enum class Acquired { Locked, Deferred };

    // Takes adapterMutex. Off the services thread it simply waits. On it, it
    // never waits for a stop that is itself waiting for the services thread:
    // retry is queued there under taskName and Deferred returned.
    Acquired lockAdapterMutex(const std::function<void()>& retry, const char* taskName);
    // The start sequence after its first log line.
    void startLocked();
    // The data reset after its first log line.
    void resetDataLocked();
    // Writes the listed user-local store now, so that a store replacing it
    // reads every write acknowledged so far.
    void persistUserStoreNow();
    // Marks the secret keys of the catalogue.
    void setSensitiveKeys();
    // The in-memory store, and the user-local store (in memory in SDK mode;
    // the settings file otherwise, given the cache timer when withTimer).
    void addInMemoryStore();
    void addUserLocalStore(bool withTimer);
    // Calls call at once on the services thread, otherwise queues it there
    // under the name that makeName builds (only built when queuing).
    void runOnServicesThread(std::function<void()> call, const std::function<std::string()>& makeName);
    // False, with the level-2 line, when there is no store manager.
    bool hasStoreManager() const;
    // Logs "Config FeatureSet Not Started" at level 2 before start.
    void warnIfNotStarted() const;
    // One enabled-service flag: explicit when a read-only store other than
    // the defaults sets it; otherwise derived and stored in memory.
    void setEnabledFlag(const std::wstring& flagKey, const std::string& explicitPrefix,
                        const std::string& derivedMessage, const std::function<bool()>& derive);
    // The value of key through the manager (empty when absent).
    std::wstring lookUp(const std::wstring& key);

    std::shared_ptr<UnifiedFactory> unifiedFactory;
    zvf::Mutex adapterMutex;                       // recursive; guards the life cycle
    std::atomic<bool> isStarted{false};            // written under adapterMutex
    bool isResetDataCallbackRegistered = false;    // never cleared; guarded by adapterMutex
    std::shared_ptr<ConfigStoreManager> configStoreManager;    // created by the constructor, never replaced
    std::shared_ptr<ConfigServiceImpl> configService;           // may be empty if the host has none
    std::shared_ptr<ConfigFileCacheTimer> configFileCacheTimer;  // created by the constructor
    // Carries the manager's reports to configService; null without a service.
    std::shared_ptr<ServiceReportQueue> reports;
    // Set while a stop holds adapterMutex and waits for the services thread.
    std::atomic<bool> stopWaitingOnServicesThread{false};
};

}  // namespace ZVFUnified

#endif
