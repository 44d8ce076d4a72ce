#include "unified/UnifiedFactory.h"

#include "Processing/TaskDispatcher.h"
#include "logging/ZVFLogger.h"
#include "unified/FileDataPersistor.h"
#include "unified/ServiceFactoryImpl.h"
#include "unified/ServicesDispatcher.h"
#include "unified/SystemService.h"

namespace ZVFUnified {

namespace {

ZVFLogger* logger = ZVFLogger_getLogger("Host-UnifiedFactory");

}  // namespace

std::shared_ptr<UnifiedFactory> UnifiedFactory::create() {
    auto factory = std::make_shared<UnifiedFactory>(std::make_shared<ServicesDispatcher>(),
                                                    std::make_shared<Processing::TaskDispatcher>(),
                                                    std::make_shared<FileDataPersistor>());
    factory->setService<SystemService>(kSystemServiceId, std::make_shared<SystemService>(factory));
    static_cast<ServiceFactoryImpl*>(ServiceFactory::getInstance())->setUnifiedFactory(factory);
    return factory;
}

UnifiedFactory::UnifiedFactory(std::shared_ptr<ServicesDispatcher> servicesDispatcherIn,
                               std::shared_ptr<Processing::TaskDispatcher> taskDispatcherIn,
                               std::shared_ptr<IDataPersistor> dataPersistorIn)
    : servicesDispatcher(std::move(servicesDispatcherIn)),
      taskDispatcher(std::move(taskDispatcherIn)),
      dataPersistor(std::move(dataPersistorIn)) {}

UnifiedFactory::~UnifiedFactory() { shutdown(); }

std::shared_ptr<UnifiedService> UnifiedFactory::getServiceById(uint32_t id) const {
    return services.getItemById(id);
}

std::shared_ptr<FeatureSet> UnifiedFactory::getFeatureSetById(uint32_t id) const {
    return featureSets.getItemById(id);
}

std::shared_ptr<FeatureSetAdapter> UnifiedFactory::getFeatureSetAdapter(uint32_t id) const {
    std::lock_guard<std::mutex> guard(adaptersLock);
    auto found = adapters.find(id);
    return found == adapters.end() ? nullptr : found->second;
}

std::shared_ptr<ServicesDispatcher> UnifiedFactory::getServicesDispatcher() const {
    std::lock_guard<std::mutex> guard(partsLock);
    return servicesDispatcher;
}

std::shared_ptr<Processing::TaskDispatcher> UnifiedFactory::getTaskDispatcher() const {
    std::lock_guard<std::mutex> guard(partsLock);
    return taskDispatcher;
}

std::shared_ptr<IDataPersistor> UnifiedFactory::getDataPersistor() const {
    std::lock_guard<std::mutex> guard(partsLock);
    return dataPersistor;
}

void UnifiedFactory::setDataPersistor(std::shared_ptr<IDataPersistor> persistor) {
    std::lock_guard<std::mutex> guard(partsLock);
    dataPersistor = std::move(persistor);
}

void UnifiedFactory::setServiceLoader(Loader loader) {
    std::lock_guard<std::mutex> guard(loadLock);
    serviceLoader = std::move(loader);
}

void UnifiedFactory::setFeatureSetLoader(Loader loader) {
    std::lock_guard<std::mutex> guard(loadLock);
    featureSetLoader = std::move(loader);
}

bool UnifiedFactory::loadService(const std::string& typeName) {
    Loader loader;
    {
        std::lock_guard<std::mutex> guard(loadLock);
        ++serviceLoadCounts[typeName];
        loader = serviceLoader;
    }
    if (!loader) {
        ZVFLog(logger, 4, __FILE__, __LINE__, __func__, "no component provides service " + typeName);
        return false;
    }
    // Called outside the lock: the loader registers through this factory.
    bool loaded = loader(*this, typeName);
    ZVFLog(logger, 4, __FILE__, __LINE__, __func__,
           std::string(loaded ? "loaded" : "could not load") + " service " + typeName);
    return loaded;
}

bool UnifiedFactory::loadFeatureSet(const std::string& typeName) {
    Loader loader;
    {
        std::lock_guard<std::mutex> guard(loadLock);
        ++featureSetLoadCounts[typeName];
        loader = featureSetLoader;
    }
    if (!loader) {
        ZVFLog(logger, 4, __FILE__, __LINE__, __func__, "no component provides feature set " + typeName);
        return false;
    }
    bool loaded = loader(*this, typeName);
    ZVFLog(logger, 4, __FILE__, __LINE__, __func__,
           std::string(loaded ? "loaded" : "could not load") + " feature set " + typeName);
    return loaded;
}

int UnifiedFactory::getServiceLoadAttempts(const std::string& typeName) const {
    std::lock_guard<std::mutex> guard(loadLock);
    auto found = serviceLoadCounts.find(typeName);
    return found == serviceLoadCounts.end() ? 0 : found->second;
}

int UnifiedFactory::getFeatureSetLoadAttempts(const std::string& typeName) const {
    std::lock_guard<std::mutex> guard(loadLock);
    auto found = featureSetLoadCounts.find(typeName);
    return found == featureSetLoadCounts.end() ? 0 : found->second;
}

bool UnifiedFactory::firstServiceLoadAttempt(const std::string& typeName) {
    std::lock_guard<std::mutex> guard(loadLock);
    return attemptedServiceLoads.insert(typeName).second;
}

bool UnifiedFactory::firstFeatureSetLoadAttempt(const std::string& typeName) {
    std::lock_guard<std::mutex> guard(loadLock);
    return attemptedFeatureSetLoads.insert(typeName).second;
}

void UnifiedFactory::shutdown() {
    std::shared_ptr<ServicesDispatcher> services_;
    std::shared_ptr<Processing::TaskDispatcher> tasks;
    {
        std::lock_guard<std::mutex> guard(partsLock);
        services_ = servicesDispatcher;
        tasks = taskDispatcher;
    }
    // Work queued on one dispatcher may queue more on the other: drain both
    // until neither has anything left, then stop them.
    if (tasks && services_ && !tasks->isDispatcherThread() && !services_->checkForUpdateAccess()) {
        for (int round = 0; round < 3; ++round) {
            tasks->waitUntilIdle();
            services_->waitUntilIdle();
        }
    }
    if (tasks) {
        tasks->shutdown(true);
    }
    if (services_) {
        services_->shutdown();
    }
    std::map<uint32_t, std::shared_ptr<FeatureSetAdapter>> droppedAdapters;
    {
        std::lock_guard<std::mutex> guard(adaptersLock);
        droppedAdapters.swap(adapters);
    }
    // Registered objects usually hold the factory: dropping them here breaks
    // that cycle. They are released outside every lock of the factory.
    featureSets.clear();
    services.clear();
    droppedAdapters.clear();
}

}  // namespace ZVFUnified
