// The entry point of the configuration service plug-in. It stands above both
// the service and the feature set because it creates both; nothing below it
// includes it.
#include "InjectConfigService.h"

#include <memory>
#include <utility>

#include "ConfigAdapter.h"
#include "ConfigFeatureSet.h"
#include "ConfigService.h"
#include "ConfigServiceImpl.h"
#include "unified/UnifiedFactory.h"

extern "C" void InjectConfigService(std::shared_ptr<ZVFUnified::UnifiedFactory> factory) {
    using namespace ZVFUnified;
    if (!factory) {
        return;
    }
    // The service first: the feature set looks it up while it is built.
    std::shared_ptr<ConfigService> service = std::make_shared<ConfigServiceImpl>(factory);
    factory->setService<ConfigService>(ConfigAdapter::FEATURE_SET_ID, service);
    if (factory->getFeatureSet<ConfigFeatureSet>()) {
        return;
    }
    std::shared_ptr<FeatureSetAdapter> adapter = std::make_shared<ConfigAdapter>(factory);
    factory->setFeatureSetAdapter<ConfigFeatureSet>(ConfigAdapter::FEATURE_SET_ID, std::move(adapter));
}
