// Loads the installed plug-in as the client does and prints one key's value
// and store: "KEY=VALUE from STORE".
#include <iostream>
#include <memory>
#include <string>

#include "ConfigService.h"
#include "ConfigValue.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "PTKCoreUtils/StringUtils.h"
#include "Processing/TaskDispatcher.h"
#include "unified/PluginLoader.h"
#include "unified/ServicesDispatcher.h"
#include "unified/UnifiedFactory.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    auto factory = ZVFUnified::UnifiedFactory::create();
    ZVFUnified::PluginLoader loader(PLUGIN_PATH, "InjectConfigService");
    std::string error;
    if (!loader.inject(factory, error)) {
        std::cerr << error << '\n';
        return 1;
    }
    factory->getFeatureSetAdapter(1300)->StartFeatureSet(1300, nullptr);
    for (int round = 0; round < 2; ++round) {
        factory->getTaskDispatcher()->waitUntilIdle();
        factory->getServicesDispatcher()->waitUntilIdle();
    }
    std::string line;
    auto task = std::make_shared<PTKCoreUtils::FunctionTask>(
        [&] {
            auto value = factory->getService<ZVFUnified::ConfigService>()->getConfig(PTKCoreUtils::toWideString(argv[1]));
            if (value->getisDefined()) {
                line = std::string(argv[1]) + "=" + PTKCoreUtils::toString(value->getValue()) + " from " +
                       PTKCoreUtils::toString(value->getValueStoreName());
            }
        },
        "consumer read");
    factory->getServicesDispatcher()->enqueueBlock(task, false, true);
    factory->getFeatureSetAdapter(1300)->StopFeatureSet(1300, nullptr);
    factory->shutdown();
    if (line.empty()) {
        return 1;
    }
    std::cout << line << '\n';
    return 0;
}
