#ifndef UNIFIED_PROPERTYNOTIFIER_H
#define UNIFIED_PROPERTYNOTIFIER_H

#include <functional>
#include <memory>

#include "ConfigServiceExport.h"

namespace ZVFUnified {

class PropertyNotifierConnection;

// One observable property of a business object, to which clients attach plain
// functions. The notifier owns the connections; the caller of connect() gets
// a weak pointer that expires once the connection is gone. Used on the
// services thread only.
class CONFIGSERVICE_API PropertyNotifier {
public:
    virtual std::weak_ptr<PropertyNotifierConnection> connect(std::function<void()> fxn) = 0;
    virtual ~PropertyNotifier() = default;
};

}  // namespace ZVFUnified

#endif
