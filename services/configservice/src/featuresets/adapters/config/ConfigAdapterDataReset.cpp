// The data reset: when the host asks its data providers to reset, the
// feature set cancels the cache-file timers, drops the configuration the
// stores hold, removes the configuration files and rebuilds its stores.
#include <memory>
#include <string>

#include "ConfigAdapter.h"
#include "ConfigFileCacheTimer.h"
#include "ConfigStore.h"
#include "ConfigStoreConstants.h"
#include "ConfigStoreManager.h"
#include "PTKCoreUtils/FileUtils.h"
#include "logging/ZVFLogger.h"
#include "unified/IDataPersistor.h"
#include "unified/LifeCycle.h"
#include "unified/ServiceFactory.h"
#include "unified/ServiceFactoryImpl.h"
#include "unified/SystemService.h"
#include "unified/UnifiedFactory.h"

namespace ZVFUnified {

namespace {

ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-ConfigAdapter");

// The life-cycle object of the host's system service, or empty (logged).
std::shared_ptr<LifeCycle> hostLifeCycle(UnifiedFactory& factory) {
    std::shared_ptr<SystemService> system = factory.getService<SystemService>();
    std::shared_ptr<LifeCycle> lifeCycle = system ? system->getLifeCycle() : nullptr;
    if (!lifeCycle) {
        ZVF_LOG(logger, 2, std::string("no SystemService life cycle: data resets cannot reach the config feature set"));
    }
    return lifeCycle;
}

}  // namespace

void ConfigAdapter::registerResetDataCallback() {
    if (std::shared_ptr<LifeCycle> lifeCycle = hostLifeCycle(*unifiedFactory)) {
        lifeCycle->addResetDataCallback(std::static_pointer_cast<ProviderResetDataCallback>(shared_from_this()));
    }
}

void ConfigAdapter::unRegisterResetDataCallback() {
    if (std::shared_ptr<LifeCycle> lifeCycle = hostLifeCycle(*unifiedFactory)) {
        lifeCycle->removeResetDataCallback(std::static_pointer_cast<ProviderResetDataCallback>(shared_from_this()));
    }
}

void ConfigAdapter::InvokeResetData(ResetDataOptionEnum::ResetDataOption /*option*/) {
    ZVF_LOG(logger, 4, std::string("About to reset the ConfigAdapter..."));
    resetDataLocked();
}

void ConfigAdapter::resetDataLocked() {
    std::weak_ptr<ConfigAdapter> weakSelf = weak_from_this();
    if (lockAdapterMutex([weakSelf] {
            if (auto self = weakSelf.lock()) {
                self->resetDataLocked();
            }
        },
                         "ConfigAdapter::InvokeResetData") == Acquired::Deferred) {
        return;
    }
    configFileCacheTimer->clearTimers();
    if (configStoreManager) {
        std::shared_ptr<ConfigStore> userStore =
            configStoreManager->getConfigStoreByName(ConfigStoreConstants::LOCAL_FILE_CONFIG_STORE);
        configStoreManager->resetConfigData();
        if (userStore) {
            // The store is emptied now; writing that at once leaves nothing
            // for a persistence task still queued to bring back after the
            // files are removed below.
            userStore->persistValues();
        }
    }
    const std::string separator = PTKCoreUtils::FileUtils::FileSeparator();
    PTKCoreUtils::FileUtils::removeFile(PTKCoreUtils::FileUtils::getUserLocalAppDir() + separator +
                                        "Google calendar" + separator + "calendar.bat");
    removeFilesFromDirectory();
    refreshConfigFeatureSet();
    ZVF_LOG(logger, 4, std::string("ConfigAdapter reset."));
    adapterMutex.unlock();
}

bool ConfigAdapter::removeFile(const std::string& fileName) {
    ZVF_LOG(logger, 4, "fileName: " + fileName);
    auto* serviceFactory = dynamic_cast<ServiceFactoryImpl*>(ServiceFactory::getInstance());
    std::shared_ptr<UnifiedFactory> factory = serviceFactory ? serviceFactory->getUnifiedFactory() : nullptr;
    std::shared_ptr<IDataPersistor> persistor = factory ? factory->getDataPersistor() : nullptr;
    if (persistor) {
        persistor->removeData("", fileName);
    } else {
        ZVF_LOG(logger, 2, std::string("no dataPersistor"));
    }
    return true;
}

void ConfigAdapter::removeFilesFromDirectory() {
    for (const std::string& fileName :
         {ConfigStoreConstants::LOCAL_CONFIG_FILE, ConfigStoreConstants::LOCAL_CONFIG_BACKUP_FILE,
          ConfigStoreConstants::CACHED_TFTP_CONFIG_STORE_FILE, std::string("cachedHmx90ConfigStore.dat")}) {
        removeFile(fileName);
    }
}

}  // namespace ZVFUnified
