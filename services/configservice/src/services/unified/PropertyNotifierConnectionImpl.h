#ifndef UNIFIED_PROPERTYNOTIFIERCONNECTIONIMPL_H
#define UNIFIED_PROPERTYNOTIFIERCONNECTIONIMPL_H

#include <memory>
#include <utility>
#include <vector>

#include "PropertyNotifierConnection.h"

namespace ZVFUnified {

// A connection of function type F to a notifier of type N. The notifier's
// connection list is the only strong owner of a connection; the connection
// holds the list weakly, so it outlives its notifier harmlessly: it can no
// longer join or leave the list, and its connected flag still clears.
// Services thread only; no locks.
template <class F, class N>
class PropertyNotifierConnectionImpl : public PropertyNotifierConnection,
                                       public std::enable_shared_from_this<PropertyNotifierConnectionImpl<F, N>> {
public:
    using Notifier = N;
    using List = std::vector<std::shared_ptr<PropertyNotifierConnectionImpl>>;

    PropertyNotifierConnectionImpl(F fxnIn, std::weak_ptr<List> listIn)
        : fxn(std::move(fxnIn)), list(std::move(listIn)) {}
    PropertyNotifierConnectionImpl(const PropertyNotifierConnectionImpl&) = delete;
    PropertyNotifierConnectionImpl& operator=(const PropertyNotifierConnectionImpl&) = delete;

    // PropertyNotifierConnection:
    void disconnect() override {
        // Keeps this object alive until the end of the call: the list may
        // have been its last owner.
        std::shared_ptr<PropertyNotifierConnectionImpl> self;
        if (std::shared_ptr<List> connections = list.lock()) {
            for (auto it = connections->begin(); it != connections->end(); ++it) {
                if (it->get() == this) {
                    self = std::move(*it);
                    connections->erase(it);
                    break;
                }
            }
        }
        isConnected = false;
    }
    bool connected() override { return isConnected; }
    ~PropertyNotifierConnectionImpl() override = default;

    // Joins the notifier's list. Does nothing once the notifier is gone.
    void connect() {
        if (std::shared_ptr<List> connections = list.lock()) {
            connections->push_back(this->shared_from_this());
            isConnected = true;
        }
    }

    F getFxn() const { return fxn; }

private:
    F fxn;                     // called on every fire while connected
    std::weak_ptr<List> list;  // the notifier's connection list
    bool isConnected = false;  // between connect() and disconnect()
};

}  // namespace ZVFUnified

#endif
