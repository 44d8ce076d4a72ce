// The config feature set: construction, life cycle, power events, the
// configuration operations and the forwarding of the store manager's reports
// to the service. Store set-up, the enabled-service flags and the data reset
// live in ConfigAdapterStoreSetup.cpp, ConfigAdapterEnabledServices.cpp and
// ConfigAdapterDataReset.cpp.
#include "ConfigAdapter.h"

#include <chrono>
#include <thread>
#include <utility>

#include "ConfigFileCacheTimer.h"
#include "ConfigServiceImpl.h"
#include "ConfigStore.h"
#include "ConfigStoreConstants.h"
#include "ConfigStoreManager.h"
#include "MdmConfigStore.h"
#include "ServiceReportQueue.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "PTKCoreUtils/StringUtils.h"
#include "ZVFSystemMonitor/SystemMonitorFactory.h"
#include "logging/ZVFLogger.h"
#include "unified/LifeCycle.h"
#include "unified/ServicesDispatcher.h"
#include "unified/SystemService.h"
#include "unified/UnifiedFactory.h"
#include "zvf/Task.h"

namespace ZVFUnified {

namespace {

ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-ConfigAdapter");

const char* const NOT_STARTED = "Config FeatureSet Not Started";

}  // namespace

ConfigAdapter::ConfigAdapter(std::shared_ptr<UnifiedFactory> factory)
    : unifiedFactory(std::move(factory)),
      configStoreManager(std::make_shared<ConfigStoreManager>(unifiedFactory)),
      configService(std::dynamic_pointer_cast<ConfigServiceImpl>(unifiedFactory->getService<ConfigService>())),
      configFileCacheTimer(std::make_shared<ConfigFileCacheTimer>(unifiedFactory)) {
    if (configService) {
        reports = std::make_shared<ServiceReportQueue>(configService, unifiedFactory->getServicesDispatcher());
    }
    ZVF_LOG(logger, 4, std::string("Creating a new instance of the ConfigAdapter."));
    notifyConfigKeyAliases();
    configStoreManager->AddObserver(this);
    setSensitiveKeys();
    addInitialConfigStores();
    if (shouldSetEnabledServicesBasedOnCachedStores()) {
        SetEnabledServices();
    }
}

// The manager and its stores go with the adapter; nothing is written here.
ConfigAdapter::~ConfigAdapter() {
    if (configStoreManager) {
        configStoreManager->RemoveObserver(this);
    }
}

void ConfigAdapter::setSensitiveKeys() {
    namespace Keys = ConfigStoreConstants::Keys;
    for (const std::wstring* key :
         {&Keys::Initial_Info, &Keys::Addtional_Info, &Keys::connectionpassword, &Keys::connectionusername,
          &Keys::BDIConnectionPassword, &Keys::BDIConnectionUsername, &Keys::BDIConnectionUserDn,
          &Keys::Mvr_MeetingList_OfflineData, &Keys::Mvr_MeetingList_OnlineData}) {
        setKeySensitive(*key);
    }
}

// ---- Helpers --------------------------------------------------------------------

bool ConfigAdapter::hasStoreManager() const {
    if (!configStoreManager) {
        ZVF_LOG(logger, 2, std::string("configStoreManager is null"));
        return false;
    }
    return true;
}

void ConfigAdapter::warnIfNotStarted() const {
    if (!isStarted) {
        ZVF_LOG(logger, 2, std::string(NOT_STARTED));
    }
}

ConfigAdapter::Acquired ConfigAdapter::lockAdapterMutex(const std::function<void()>& retry, const char* taskName) {
    std::shared_ptr<ServicesDispatcher> dispatcher = unifiedFactory->getServicesDispatcher();
    if (!dispatcher || !dispatcher->checkForUpdateAccess()) {
        adapterMutex.lock();
        return Acquired::Locked;
    }
    // On the services thread: a stop may hold the mutex while it waits for
    // this very thread, so never block on it. Whoever else holds it does not
    // wait for this thread and lets go soon.
    for (unsigned attempt = 0;; ++attempt) {
        if (adapterMutex.tryLock() == 0) {
            return Acquired::Locked;
        }
        if (stopWaitingOnServicesThread) {
            // Queued behind the stop's manager reset, so it runs once the
            // stop has finished with this thread.
            dispatcher->enqueue(std::make_shared<PTKCoreUtils::FunctionTask>(retry, taskName), false, true);
            return Acquired::Deferred;
        }
        if (attempt < 64) {
            std::this_thread::yield();
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
}

void ConfigAdapter::runOnServicesThread(std::function<void()> call, const std::function<std::string()>& makeName) {
    std::shared_ptr<ServicesDispatcher> dispatcher = unifiedFactory->getServicesDispatcher();
    if (!dispatcher || dispatcher->checkForUpdateAccess()) {
        call();
        return;
    }
    dispatcher->enqueue(std::make_shared<PTKCoreUtils::FunctionTask>(std::move(call), makeName()), false, true);
}

// ---- FeatureSetAdapter ----------------------------------------------------------

void ConfigAdapter::StartFeatureSet(unsigned int id, ServiceEvents /*events*/) {
    if (id == FEATURE_SET_ID) {
        startConfigFeatureSet();
    }
}

void ConfigAdapter::StopFeatureSet(unsigned int id, ServiceEvents events) {
    if (id != FEATURE_SET_ID) {
        return;
    }
    std::weak_ptr<ConfigAdapter> weakSelf = weak_from_this();
    if (lockAdapterMutex([weakSelf, events] {
            if (auto self = weakSelf.lock()) {
                self->StopFeatureSet(FEATURE_SET_ID, events);
            }
        },
                         "ConfigAdapter::StopFeatureSet") == Acquired::Deferred) {
        return;
    }
    stopConfigFeatureSet();
    adapterMutex.unlock();
}

void ConfigAdapter::Destroy() {
    std::weak_ptr<ConfigAdapter> weakSelf = weak_from_this();
    if (lockAdapterMutex([weakSelf] {
            if (auto self = weakSelf.lock()) {
                self->Destroy();
            }
        },
                         "ConfigAdapter::destroy") == Acquired::Deferred) {
        return;
    }
    if (configStoreManager) {
        configStoreManager->destroy();
    }
    isStarted = false;
    adapterMutex.unlock();
}

bool ConfigAdapter::IsFeatureSetStarted(unsigned int id) {
    if (id != FEATURE_SET_ID) {
        return false;
    }
    // A stop waiting for the services thread is still running: the flag is
    // still set, and that is the answer.
    if (lockAdapterMutex([] {}, "ConfigAdapter::IsFeatureSetStarted") == Acquired::Deferred) {
        return isStarted;
    }
    const bool started = isStarted;
    adapterMutex.unlock();
    return started;
}

bool ConfigAdapter::IsFeatureSetProvisioned(unsigned int id) { return id == FEATURE_SET_ID; }

std::vector<unsigned int> ConfigAdapter::GetFeatureSetDependencies(unsigned int /*id*/) { return {}; }

// ---- Life cycle -----------------------------------------------------------------

void ConfigAdapter::startConfigFeatureSet() {
    ZVF_LOG(logger, 4, std::string("starting config feature set"));
    startLocked();
}

void ConfigAdapter::startLocked() {
    std::weak_ptr<ConfigAdapter> weakSelf = weak_from_this();
    if (lockAdapterMutex([weakSelf] {
            if (auto self = weakSelf.lock()) {
                self->startLocked();
            }
        },
                         "ConfigAdapter::startConfigFeatureSet") == Acquired::Deferred) {
        return;
    }
    if (isStarted || !configStoreManager) {
        adapterMutex.unlock();
        return;
    }
    if (!isResetDataCallbackRegistered) {
        std::shared_ptr<ConfigAdapter> self = shared_from_this();
        runOnServicesThread([self] { self->registerResetDataCallback(); },
                            [] { return std::string("ConfigAdapter::registerResetDataCallback"); });
        isResetDataCallbackRegistered = true;
    }
    addNecessaryStoresIfNotExist();
    isStarted = true;
    if (std::shared_ptr<ZVFSystemMonitor::SystemMonitor> monitor =
            ZVFSystemMonitor::SystemMonitorFactory::getInstance()) {
        monitor->addPowerEventObserver(std::weak_ptr<ZVFSystemMonitor::PowerEventObserver>(shared_from_this()));
    }
    adapterMutex.unlock();
}

void ConfigAdapter::stopConfigFeatureSet() {
    ZVF_LOG(logger, 4, std::string("stopping config feature set"));
    // Reached from StopFeatureSet, which holds the mutex already: taking it
    // again cannot wait.
    adapterMutex.lock();
    if (!isStarted) {
        adapterMutex.unlock();
        return;
    }
    if (std::shared_ptr<ZVFSystemMonitor::SystemMonitor> monitor =
            ZVFSystemMonitor::SystemMonitorFactory::getInstance()) {
        monitor->removePowerEventObserver(std::weak_ptr<ZVFSystemMonitor::PowerEventObserver>(shared_from_this()));
    }
    // The reset drops the user-local store; the next start reads its file.
    persistUserStoreNow();
    std::shared_ptr<ConfigStoreManager> manager = configStoreManager;
    auto resetTask =
        std::make_shared<PTKCoreUtils::FunctionTask>([manager] { manager->reset(); }, "ConfigStoreManager::reset");
    std::shared_ptr<ServicesDispatcher> dispatcher = unifiedFactory->getServicesDispatcher();
    if (dispatcher) {
        const bool waitsForServicesThread = !dispatcher->checkForUpdateAccess();
        stopWaitingOnServicesThread = waitsForServicesThread;
        dispatcher->enqueueBlock(resetTask, false, true);
        stopWaitingOnServicesThread = false;
    } else {
        resetTask->execute();
    }
    isStarted = false;
    adapterMutex.unlock();
}

void ConfigAdapter::refreshConfigFeatureSet() {
    std::weak_ptr<ConfigAdapter> weakSelf = weak_from_this();
    if (lockAdapterMutex([weakSelf] {
            if (auto self = weakSelf.lock()) {
                self->refreshConfigFeatureSet();
            }
        },
                         "ConfigAdapter::refreshConfigFeatureSet") == Acquired::Deferred) {
        return;
    }
    if (!configStoreManager) {
        adapterMutex.unlock();
        return;
    }
    persistUserStoreNow();
    configStoreManager->reset();
    addInMemoryStore();
    addUserLocalStore(true);
    InitialiseCachedConfigStores();
    if (shouldSetEnabledServicesBasedOnCachedStores()) {
        SetEnabledServices();
    }
    removeValuesIfPolicySet();
    adapterMutex.unlock();
}

void ConfigAdapter::onPowerEvent(ZVFSystemMonitor::PowerEventTypeEnum::PowerEventType type) {
    if (type != ZVFSystemMonitor::PowerEventTypeEnum::PowerDown) {
        return;
    }
    ZVF_LOG(logger, 4, std::string("Config adapter received a power down event. Calling destroy on configAdapter"));
    std::shared_ptr<ConfigAdapter> self = shared_from_this();
    runOnServicesThread([self] { self->Destroy(); }, [] { return std::string("ConfigAdapter::destroy"); });
}

// ---- Configuration operations ---------------------------------------------------

void ConfigAdapter::addConfigStore(std::shared_ptr<ConfigStore> store) {
    if (!store) {
        return;
    }
    if (!isStarted) {
        ZVF_LOG(logger, 2,
                "Config FeatureSet Not Started, failed to add ConfigStore with name: [" + store->getName() + "]");
        return;
    }
    if (!hasStoreManager()) {
        return;
    }
    configStoreManager->addStore(store);
    if (store->shouldCacheConfigStore()) {
        cacheStoreOnConfigStoreAdded(store);
    }
    removeValuesIfPolicySet();
    const std::wstring name = PTKCoreUtils::toWideString(store->getName());
    for (const std::wstring* prefix :
         {&ConfigStoreConstants::HMX_STORE_PREFIX, &ConfigStoreConstants::PRESENCE_CONFIG_STORE,
          &ConfigStoreConstants::TFTP_STORE_PREFIX, &ConfigStoreConstants::ZENI_LYNC_REGISTRY_CONFIG_STORE}) {
        if (PTKCoreUtils::caseInsensitiveFind(name, *prefix) == 0) {
            SetEnabledServices();
            break;
        }
    }
}

bool ConfigAdapter::isConfigStorePresent(const std::string& name) {
    ZVF_LOG(logger, 5, std::string("ConfigAdapter::isConfigStorePresent()"));
    if (!isStarted) {
        ZVF_LOG(logger, 2,
                "Config FeatureSet Not Started, failed to check existance of ConfigStore with name: [" + name + "]");
        return false;
    }
    return hasStoreManager() && configStoreManager->containsStore(name);
}

void ConfigAdapter::registerConfigStoreAddedObserver(std::shared_ptr<ConfigStoreAddedObserver> observer) {
    if (configStoreManager) {
        configStoreManager->registerConfigStoreAddedObserver(std::move(observer));
    }
}

void ConfigAdapter::unregisterConfigStoreAddedObserver(std::shared_ptr<ConfigStoreAddedObserver> observer) {
    if (configStoreManager) {
        configStoreManager->unregisterConfigStoreAddedObserver(std::move(observer));
    }
}

void ConfigAdapter::removeAllCachedConfigStores() {
    if (!isStarted) {
        ZVF_LOG(logger, 2, std::string("Config FeatureSet Not Started, failed to remove cached ConfigStores"));
        return;
    }
    if (hasStoreManager()) {
        configStoreManager->removeAllCachedConfigStores();
    }
}

bool ConfigAdapter::getConfig(const std::wstring& key, std::wstring& value, bool skipLocal) {
    std::wstring storeName;
    bool viaAlias = false;
    return getConfig(key, value, storeName, viaAlias, skipLocal);
}

bool ConfigAdapter::getConfig(const std::wstring& key, std::wstring& value, std::wstring& storeName, bool& viaAlias,
                              bool skipLocal) {
    warnIfNotStarted();
    return hasStoreManager() && configStoreManager->getValue(key, value, storeName, viaAlias, skipLocal, "");
}

bool ConfigAdapter::setConfig(const std::wstring& key, const std::wstring& value) {
    return hasStoreManager() && configStoreManager->storeValue(key, value);
}

bool ConfigAdapter::setConfig(std::map<std::wstring, std::wstring> values) {
    return hasStoreManager() && configStoreManager->storeValue(values);
}

bool ConfigAdapter::setInMemoryConfig(const std::wstring& key, const std::wstring& value) {
    warnIfNotStarted();
    return hasStoreManager() && configStoreManager->storeInMemoryValue(key, value);
}

void ConfigAdapter::setMdmConfig(const std::string& data) {
    // Straight into the manager: device management is neither cached nor a
    // reason to re-derive the enabled-service flags.
    if (hasStoreManager()) {
        configStoreManager->addStore(std::make_shared<MdmConfigStore>(data));
    }
}

bool ConfigAdapter::resetConfig(const std::wstring& key) {
    return hasStoreManager() && configStoreManager->eraseKey(key);
}

bool ConfigAdapter::isKeySensitive(const std::wstring& key) {
    return hasStoreManager() && configStoreManager->isKeySensitive(key);
}

void ConfigAdapter::setKeySensitive(const std::wstring& key) {
    if (hasStoreManager()) {
        configStoreManager->setKeySensitive(key);
    }
}

bool ConfigAdapter::setUrlProvisioningData(std::wstring data) {
    if (!hasStoreManager()) {
        return false;
    }
    std::wstring allowed;
    configStoreManager->getValue(ConfigStoreConstants::ALLOW_URL_PROVISIONING, allowed, false);
    if (PTKCoreUtils::caseInsensitiveStringEquals(allowed, L"false")) {
        return false;
    }
    return configStoreManager->setUrlProvisioningData(std::move(data));
}

bool ConfigAdapter::resetAllowUriProvisioningData() {
    if (!hasStoreManager()) {
        return false;
    }
    std::wstring allowed;
    configStoreManager->getValue(ConfigStoreConstants::ALLOW_URL_PROVISIONING, allowed, false);
    if (!PTKCoreUtils::caseInsensitiveStringEquals(allowed, L"false")) {
        return false;
    }
    return configStoreManager->resetAllowUriProvisioningData();
}

void ConfigAdapter::resetConfigData(const std::string& storeName) {
    if (hasStoreManager()) {
        configStoreManager->resetConfigData(storeName);
    }
}

void ConfigAdapter::getAllConfigForPRT(std::wstring& out) {
    warnIfNotStarted();
    if (hasStoreManager()) {
        configStoreManager->getAllConfigForPRT(out);
    }
}

std::wstring ConfigAdapter::getValueFromConfigStore(const std::string& storeName, const std::wstring& key) {
    warnIfNotStarted();
    return hasStoreManager() ? configStoreManager->getValueFromConfigStore(storeName, key) : std::wstring();
}

std::shared_ptr<ConfigStore> ConfigAdapter::getConfigStoreByName(const std::string& name) {
    warnIfNotStarted();
    return hasStoreManager() ? configStoreManager->getConfigStoreByName(name) : nullptr;
}

std::wstring ConfigAdapter::lookUp(const std::wstring& key) {
    std::wstring value;
    configStoreManager->getValue(key, value, false);
    return value;
}

// ---- Forwarding to the service ----------------------------------------------------
// Arguments are copied into the queued call, so the caller's objects may go
// before it runs.

void ConfigAdapter::onConfigAddedOrUpdated(std::wstring key, std::wstring value, std::wstring originalValue,
                                           bool isOverridden, bool isDefined, std::wstring valueStoreName,
                                           std::wstring originalValueStoreName, bool silent) {
    if (reports) {
        reports->configChanged(std::move(key), std::move(value), std::move(originalValue), isOverridden, isDefined,
                               std::move(valueStoreName), std::move(originalValueStoreName), silent);
    }
}

void ConfigAdapter::onFireIfRequired(std::wstring key) {
    if (reports) {
        reports->fireIfRequired(std::move(key));
    }
}

void ConfigAdapter::onSensitiveKeyAddedOrUpdated(std::wstring key) {
    if (reports) {
        reports->sensitiveKeyAddedOrUpdated(std::move(key));
    }
}

void ConfigAdapter::notifyConfigKeyAliases() {
    if (!configService || !configStoreManager) {
        return;
    }
    std::shared_ptr<ConfigServiceImpl> service = configService;
    runOnServicesThread(
        [service, aliases = configStoreManager->getAliasToConfigKeyRealNameMap()] {
            service->setupConfigKeyAliases(aliases);
        },
        [] { return std::string("ConfigServiceImpl::setupConfigKeyAliases"); });
}

void ConfigAdapter::addServiceEvent(int code, ConfigServiceIdsEnum::ConfigServiceIds serviceId,
                                    ServiceEventSeverityEnum::ServiceEventSeverity severity) {
    std::shared_ptr<ServicesDispatcher> dispatcher = unifiedFactory->getServicesDispatcher();
    if (dispatcher && !dispatcher->checkForUpdateAccess()) {
        // The queued call comes back here, then with update access.
        std::shared_ptr<ConfigAdapter> self = shared_from_this();
        dispatcher->enqueue(std::make_shared<PTKCoreUtils::FunctionTask>(
                                [self, code, serviceId, severity] { self->addServiceEvent(code, serviceId, severity); },
                                "ConfigAdapter::addServiceEvent"),
                            false, true);
        return;
    }
    if (std::shared_ptr<SystemService> system = unifiedFactory->getService<SystemService>()) {
        system->addServiceEvent(code, serviceId, severity);
    } else {
        ZVF_LOG(logger, 3, std::string("no SystemService: service event dropped"));
    }
}

}  // namespace ZVFUnified
