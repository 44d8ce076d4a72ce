#ifndef UNIFIED_UNIFIEDFACTORY_H
#define UNIFIED_UNIFIEDFACTORY_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "NuvrixHostExport.h"
#include "unified/FeatureSet.h"
#include "unified/FeatureSetAdapter.h"
#include "unified/TypeMap.h"
#include "unified/UnifiedService.h"

namespace Processing {
class TaskDispatcher;
}

namespace ZVFUnified {

class ServicesDispatcher;
class IDataPersistor;

// The host's factory: the registries of services and feature sets, and the
// route to the services dispatcher, the task dispatcher and the data
// persistor. Thread-safe. Created by the host program (create() wires a
// complete host: both dispatcher threads, the file data persistor and the
// system service) and handed to every plug-in.
class NUVRIX_HOST_API UnifiedFactory : public std::enable_shared_from_this<UnifiedFactory> {
public:
    // Loads the component that provides a type name; true when it registered
    // something. The host program installs one to load plug-ins on demand.
    using Loader = std::function<bool(UnifiedFactory& factory, const std::string& typeName)>;

    // Id under which create() registers the SystemService.
    static constexpr uint32_t kSystemServiceId = 1;

    // A complete host: starts the services thread and the task thread,
    // installs the file data persistor and registers the SystemService. Also
    // makes it the process-wide factory of ServiceFactory::getInstance().
    static std::shared_ptr<UnifiedFactory> create();

    UnifiedFactory(std::shared_ptr<ServicesDispatcher> servicesDispatcher,
                   std::shared_ptr<Processing::TaskDispatcher> taskDispatcher,
                   std::shared_ptr<IDataPersistor> dataPersistor);
    ~UnifiedFactory();
    UnifiedFactory(const UnifiedFactory&) = delete;
    UnifiedFactory& operator=(const UnifiedFactory&) = delete;

    template <class T>
    void setService(uint32_t id, std::shared_ptr<T> service) {
        services.setItem<T>(id, std::static_pointer_cast<UnifiedService>(service));
    }

    // The registered service of type T. When there is none and no load of
    // T's type name was tried before, asks the host to load it once and
    // looks again. Empty means "not available".
    template <class T>
    std::shared_ptr<T> getService() {
        std::shared_ptr<T> found = services.getItem<T>();
        if (!found && firstServiceLoadAttempt(getItemTypeName(&typeid(T)))) {
            loadService(getItemTypeName(&typeid(T)));
            found = services.getItem<T>();
        }
        return found;
    }

    template <class T>
    std::shared_ptr<T> getFeatureSet() {
        std::shared_ptr<T> found = featureSets.getItem<T>();
        if (!found && firstFeatureSetLoadAttempt(getItemTypeName(&typeid(T)))) {
            loadFeatureSet(getItemTypeName(&typeid(T)));
            found = featureSets.getItem<T>();
        }
        return found;
    }

    template <class T>
    void setFeatureSetAdapter(uint32_t id, std::shared_ptr<FeatureSetAdapter> adapter) {
        std::shared_ptr<T> featureSet = std::dynamic_pointer_cast<T>(adapter);
        if (featureSet) {
            featureSets.setItem<T>(id, std::static_pointer_cast<FeatureSet>(featureSet));
        }
        std::lock_guard<std::mutex> guard(adaptersLock);
        adapters[id] = adapter;
    }

    std::shared_ptr<UnifiedService> getServiceById(uint32_t id) const;
    std::shared_ptr<FeatureSet> getFeatureSetById(uint32_t id) const;
    // The life-cycle control of the feature set registered under id.
    std::shared_ptr<FeatureSetAdapter> getFeatureSetAdapter(uint32_t id) const;

    std::shared_ptr<ServicesDispatcher> getServicesDispatcher() const;
    std::shared_ptr<Processing::TaskDispatcher> getTaskDispatcher() const;
    std::shared_ptr<IDataPersistor> getDataPersistor() const;
    void setDataPersistor(std::shared_ptr<IDataPersistor> persistor);

    // Host side of on-demand loading.
    void setServiceLoader(Loader loader);
    void setFeatureSetLoader(Loader loader);
    bool loadService(const std::string& typeName);
    bool loadFeatureSet(const std::string& typeName);
    int getServiceLoadAttempts(const std::string& typeName) const;
    int getFeatureSetLoadAttempts(const std::string& typeName) const;

    // Orderly end: runs the work still queued on both dispatchers, stops
    // their threads, then drops every registered service and feature set.
    // Idempotent; also done by the destructor.
    void shutdown();

private:
    bool firstServiceLoadAttempt(const std::string& typeName);
    bool firstFeatureSetLoadAttempt(const std::string& typeName);

    TypeMap<UnifiedService> services;
    TypeMap<FeatureSet> featureSets;
    mutable std::mutex adaptersLock;
    std::map<uint32_t, std::shared_ptr<FeatureSetAdapter>> adapters;

    mutable std::mutex loadLock;
    std::set<std::string> attemptedServiceLoads;
    std::set<std::string> attemptedFeatureSetLoads;
    std::map<std::string, int> serviceLoadCounts;
    std::map<std::string, int> featureSetLoadCounts;
    Loader serviceLoader;
    Loader featureSetLoader;

    mutable std::mutex partsLock;
    std::shared_ptr<ServicesDispatcher> servicesDispatcher;
    std::shared_ptr<Processing::TaskDispatcher> taskDispatcher;
    std::shared_ptr<IDataPersistor> dataPersistor;
};

}  // namespace ZVFUnified

#endif
