#ifndef UNIFIED_PROPERTYNOTIFIERIMPL_H
#define UNIFIED_PROPERTYNOTIFIERIMPL_H

#include <functional>
#include <memory>

#include "PropertyNotifier.h"
#include "PropertyNotifierConnectionImpl.h"

namespace ZVFUnified {

// The notifier of one property, created on first request by its business
// object's notifiers object and living as long as that object. Owns its
// connections through a shared list that the connections hold weakly.
// fire() works on a snapshot of the list, so functions may connect and
// disconnect while it runs. Services thread only; no locks.
class PropertyNotifierImpl : public virtual PropertyNotifier, public std::enable_shared_from_this<PropertyNotifierImpl> {
public:
    using Connection = PropertyNotifierConnectionImpl<std::function<void()>, PropertyNotifierImpl>;

    PropertyNotifierImpl();
    PropertyNotifierImpl(const PropertyNotifierImpl&) = delete;
    PropertyNotifierImpl& operator=(const PropertyNotifierImpl&) = delete;

    // PropertyNotifier:
    std::weak_ptr<PropertyNotifierConnection> connect(std::function<void()> fxn) override;
    ~PropertyNotifierImpl() override;

    // Calls every function connected when the fire starts and still
    // connected when its turn comes, in connection order.
    void fire();

private:
    std::shared_ptr<Connection::List> connections;  // the only strong owner of each connection
};

}  // namespace ZVFUnified

#endif
