#ifndef CONFIGSERVICE_INJECTCONFIGSERVICE_H
#define CONFIGSERVICE_INJECTCONFIGSERVICE_H

#include <memory>

#include "ConfigServiceExport.h"

namespace ZVFUnified {
class UnifiedFactory;
}

// The plug-in's one entry point, found by the host with dlsym under this
// unmangled name. Registers the configuration service (id 1300) with the
// factory and, unless the factory already has a config feature set, creates
// and registers the feature set under the same id. Logs nothing.
extern "C" CONFIGSERVICE_API void InjectConfigService(std::shared_ptr<ZVFUnified::UnifiedFactory> factory);

#endif
