#ifndef CONFIG_CONFIGSTOREADDEDOBSERVER_H
#define CONFIG_CONFIGSTOREADDEDOBSERVER_H

#include <string>

#include "ConfigServiceExport.h"

namespace ZVFUnified {

// Implemented by other components of the client that want to know when a
// config store has been added. Held weakly by the store manager; called on
// the host's task thread after addStore has returned.
class CONFIGSERVICE_API ConfigStoreAddedObserver {
public:
    virtual ~ConfigStoreAddedObserver() = default;
    virtual void OnConfigStoreAdded(const std::string& storeName) = 0;
};

}  // namespace ZVFUnified

#endif
