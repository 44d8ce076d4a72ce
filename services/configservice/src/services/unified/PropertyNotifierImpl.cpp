#include "PropertyNotifierImpl.h"

#include <utility>

namespace ZVFUnified {

PropertyNotifierImpl::PropertyNotifierImpl() : connections(std::make_shared<Connection::List>()) {}

PropertyNotifierImpl::~PropertyNotifierImpl() = default;

std::weak_ptr<PropertyNotifierConnection> PropertyNotifierImpl::connect(std::function<void()> fxn) {
    auto connection = std::make_shared<Connection>(std::move(fxn), std::weak_ptr<Connection::List>(connections));
    connection->connect();
    return connection;
}

void PropertyNotifierImpl::fire() {
    // The snapshot keeps every connection alive for the whole fire. A
    // connection added by a called function is not in it; one disconnected
    // by an earlier function reports connected() false and is skipped.
    const Connection::List snapshot = *connections;
    for (const std::shared_ptr<Connection>& connection : snapshot) {
        if (connection->connected()) {
            std::function<void()> fxn = connection->getFxn();
            if (fxn) {
                fxn();
            }
        }
    }
}

}  // namespace ZVFUnified
