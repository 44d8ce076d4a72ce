#ifndef UNIFIED_IDATAPERSISTOR_H
#define UNIFIED_IDATAPERSISTOR_H

#include <string>

#include "NuvrixHostExport.h"

namespace ZVFUnified {

// The host's store of data files.
class NUVRIX_HOST_API IDataPersistor {
public:
    virtual ~IDataPersistor() = default;
    // Removes the named file; the first argument names a sub-store and is
    // empty for the configuration files. True when something was removed.
    virtual bool removeData(const std::string& storeName, const std::string& fileName) = 0;
};

}  // namespace ZVFUnified

#endif
