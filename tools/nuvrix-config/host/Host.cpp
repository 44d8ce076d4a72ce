#include "host/Host.h"

#include <exception>
#include <utility>

#include "ConfigFeatureSet.h"
#include "ConfigService.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "Processing/TaskDispatcher.h"
#include "unified/FeatureSetAdapter.h"
#include "unified/PluginLoader.h"
#include "unified/ServicesDispatcher.h"
#include "unified/UnifiedFactory.h"

namespace nuvrixconfig {

using ZVFUnified::ConfigFeatureSet;
using ZVFUnified::ConfigService;

std::unique_ptr<Host> Host::start(const std::string& pluginPath, std::string& error) {
    auto loader = std::make_shared<ZVFUnified::PluginLoader>(pluginPath, ENTRY_POINT);
    // Loading first: a path that is no plug-in must not leave a host behind.
    if (!loader->load(error)) {
        return nullptr;
    }
    std::unique_ptr<Host> host(new Host(loader, ZVFUnified::UnifiedFactory::create()));
    if (!loader->inject(host->factory, error)) {
        return nullptr;
    }
    host->adapter = host->factory->getFeatureSetAdapter(CONFIG_FEATURE_SET_ID);
    if (!host->adapter || !host->getService() || !host->getFeatureSet()) {
        error = "plug-in " + pluginPath + " did not register the configuration service and feature set " +
                std::to_string(CONFIG_FEATURE_SET_ID);
        host->adapter.reset();
        return nullptr;
    }
    host->adapter->StartFeatureSet(CONFIG_FEATURE_SET_ID, nullptr);
    // The stores report their keys to the value objects through the
    // services thread; commands read settled values.
    host->settle();
    return host;
}

Host::Host(std::shared_ptr<ZVFUnified::PluginLoader> loaderIn, std::shared_ptr<ZVFUnified::UnifiedFactory> factoryIn)
    : loader(std::move(loaderIn)), factory(std::move(factoryIn)) {}

Host::~Host() {
    if (adapter) {
        adapter->StopFeatureSet(CONFIG_FEATURE_SET_ID, nullptr);
    }
    adapter.reset();
    // Runs the queued persistence work on both dispatchers, then drops every
    // service and feature set.
    factory->shutdown();
}

bool Host::onServicesThread(const std::function<void()>& body, const std::string& taskName, std::string& error) {
    bool ok = true;
    auto task = std::make_shared<PTKCoreUtils::FunctionTask>(
        [&body, &ok, &error] {
            try {
                body();
            } catch (const std::exception& e) {
                ok = false;
                error = e.what();
            }
        },
        taskName);
    factory->getServicesDispatcher()->enqueueBlock(task, false, true);
    return ok;
}

void Host::settle() {
    for (int round = 0; round < 2; ++round) {
        factory->getTaskDispatcher()->waitUntilIdle();
        factory->getServicesDispatcher()->waitUntilIdle();
    }
}

std::shared_ptr<ConfigService> Host::getService() const { return factory->getService<ConfigService>(); }

std::shared_ptr<ConfigFeatureSet> Host::getFeatureSet() const { return factory->getFeatureSet<ConfigFeatureSet>(); }

}  // namespace nuvrixconfig
