#ifndef UNIFIED_PROPERTYNOTIFIERCONNECTION_H
#define UNIFIED_PROPERTYNOTIFIERCONNECTION_H

#include "ConfigServiceExport.h"

namespace ZVFUnified {

// A function attached to a PropertyNotifier. disconnect() detaches it for
// good; connected() says whether it is still attached.
class CONFIGSERVICE_API PropertyNotifierConnection {
public:
    virtual void disconnect() = 0;
    virtual bool connected() = 0;
    virtual ~PropertyNotifierConnection() = default;
};

}  // namespace ZVFUnified

#endif
