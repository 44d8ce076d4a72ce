#ifndef CONFIG_SENSITIVEKEYSOURCE_H
#define CONFIG_SENSITIVEKEYSOURCE_H

#include <string>
#include <vector>

#include "ConfigServiceExport.h"

namespace ZVFUnified {

// A store read from a configuration document that marks some keys
// sensitive. The stores of this library that read such documents implement
// it beside ConfigStore, and the store manager masks those keys before it
// reports any of the store's values. A separate interface, so that
// ConfigStore keeps exactly the operations other components implement.
class CONFIGSERVICE_API SensitiveKeySource {
public:
    virtual ~SensitiveKeySource() = default;
    // The keys the document marked sensitive; fixed once the store is made.
    virtual std::vector<std::wstring> getSensitiveKeys() = 0;
};

}  // namespace ZVFUnified

#endif
