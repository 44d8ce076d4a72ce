// Property notifiers are not business objects (they assert nothing), so these
// tests drive them directly on the test thread.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PropertyNotifierConnection.h"
#include "PropertyNotifierImpl.h"

using ZVFUnified::PropertyNotifierConnection;
using ZVFUnified::PropertyNotifierImpl;

namespace {

class PropertyNotifierImplTest : public ::testing::Test {
protected:
    std::function<void()> recorder(const std::string& name) {
        return [this, name]() { calls.push_back(name); };
    }

    std::shared_ptr<PropertyNotifierImpl> notifier = std::make_shared<PropertyNotifierImpl>();
    std::vector<std::string> calls;
};

// A function connected twice runs twice; one connected during a fire runs
// from the next fire on.
TEST_F(PropertyNotifierImplTest, ConnectedFunctionsRunInConnectionOrderOnEveryFire) {
    bool connectedLate = false;
    notifier->connect([this, &connectedLate]() {
        calls.push_back("first");
        if (!connectedLate) {
            connectedLate = true;
            notifier->connect(recorder("late"));
        }
    });
    std::function<void()> same = recorder("same");
    notifier->connect(same);
    notifier->connect(same);

    notifier->fire();
    notifier->fire();

    EXPECT_EQ((std::vector<std::string>{"first", "same", "same", "first", "same", "same", "late"}), calls);
}

TEST_F(PropertyNotifierImplTest, DisconnectedFunctionIsNotCalledAndItsPointerExpires) {
    std::weak_ptr<PropertyNotifierConnection> first = notifier->connect(recorder("first"));
    notifier->connect(recorder("second"));

    std::shared_ptr<PropertyNotifierConnection> held = first.lock();
    held->disconnect();
    EXPECT_FALSE(held->connected());
    held.reset();
    EXPECT_TRUE(first.expired());

    notifier->fire();
    EXPECT_EQ((std::vector<std::string>{"second"}), calls);
}

TEST_F(PropertyNotifierImplTest, FunctionDisconnectedDuringAFireIsSkippedAndOneDisconnectingItselfCompletes) {
    std::weak_ptr<PropertyNotifierConnection> victim;
    std::weak_ptr<PropertyNotifierConnection> self;
    notifier->connect([this, &victim]() {
        calls.push_back("disconnector");
        if (auto connection = victim.lock()) {
            connection->disconnect();
        }
    });
    victim = notifier->connect(recorder("victim"));
    std::string captured = "self";
    self = notifier->connect([this, &self, captured]() {
        if (auto connection = self.lock()) {
            connection->disconnect();
        }
        // The function object must survive its own disconnection.
        calls.push_back(captured);
    });
    notifier->connect(recorder("last"));

    notifier->fire();
    notifier->fire();

    EXPECT_EQ((std::vector<std::string>{"disconnector", "self", "last", "disconnector", "last"}), calls);
    // The snapshots that kept them alive are gone.
    EXPECT_TRUE(victim.expired());
    EXPECT_TRUE(self.expired());
}

TEST_F(PropertyNotifierImplTest, DestroyingTheNotifierExpiresItsConnectionsAndOneHeldOutsideOnlyClearsItsFlag) {
    std::weak_ptr<PropertyNotifierConnection> first = notifier->connect(recorder("first"));
    std::shared_ptr<PropertyNotifierConnection> held = notifier->connect(recorder("second")).lock();

    notifier.reset();

    EXPECT_TRUE(first.expired());
    ASSERT_TRUE(held->connected());
    held->disconnect();
    EXPECT_FALSE(held->connected());
    EXPECT_TRUE(calls.empty());
}

TEST_F(PropertyNotifierImplTest, ConnectionMadeAfterTheListIsGoneStaysUnconnected) {
    auto list = std::make_shared<PropertyNotifierImpl::Connection::List>();
    auto connection =
        std::make_shared<PropertyNotifierImpl::Connection>([]() {}, std::weak_ptr<PropertyNotifierImpl::Connection::List>(list));
    list.reset();

    connection->connect();

    EXPECT_FALSE(connection->connected());
    EXPECT_EQ(1, connection.use_count());
}

}  // namespace
