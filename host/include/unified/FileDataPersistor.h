#ifndef UNIFIED_FILEDATAPERSISTOR_H
#define UNIFIED_FILEDATAPERSISTOR_H

#include "unified/IDataPersistor.h"

namespace ZVFUnified {

// The data persistor over the configuration directory: removing a name
// deletes it from the configuration directory and from its "Cache" folder,
// together with its ".dat" companion (the name with its extension replaced
// by ".dat"), so removing "cachedX.xml" also deletes "cachedX.dat".
class NUVRIX_HOST_API FileDataPersistor : public IDataPersistor {
public:
    // IDataPersistor:
    bool removeData(const std::string& storeName, const std::string& fileName) override;
};

}  // namespace ZVFUnified

#endif
