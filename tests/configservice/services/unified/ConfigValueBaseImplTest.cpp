// The generated value layer, driven through the real value object on the
// real services thread of the host.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../support/RecordingConfigValueObserver.h"
#include "ConfigValueImpl.h"
#include "ConfigValueNotifiers.h"
#include "HostTest.h"
#include "PropertyNotifier.h"

using ZVFUnified::ConfigValueImpl;
using ZVFUnified::ConfigValueNotifiers;
using ZVFUnified::ConfigValueObserver;
using ZVFUnified::PropertyNotifier;
using nuvrixtest::RecordingConfigValueObserver;

namespace {

struct Property {
    std::string name;
    std::function<std::shared_ptr<PropertyNotifier>(ConfigValueNotifiers&)> notifier;
    std::function<void(ConfigValueImpl&)> fire;
};

// Every value property with its notifier and fire operation, in property order.
const std::vector<Property>& properties() {
    static const std::vector<Property> all = {
        {"Key", [](ConfigValueNotifiers& n) { return n.getKeyNotifier(); }, [](ConfigValueImpl& v) { v.fireKey(); }},
        {"Value", [](ConfigValueNotifiers& n) { return n.getValueNotifier(); },
         [](ConfigValueImpl& v) { v.fireValue(); }},
        {"OriginalValue", [](ConfigValueNotifiers& n) { return n.getOriginalValueNotifier(); },
         [](ConfigValueImpl& v) { v.fireOriginalValue(); }},
        {"isOverridden", [](ConfigValueNotifiers& n) { return n.getisOverriddenNotifier(); },
         [](ConfigValueImpl& v) { v.fireisOverridden(); }},
        {"isDefined", [](ConfigValueNotifiers& n) { return n.getisDefinedNotifier(); },
         [](ConfigValueImpl& v) { v.fireisDefined(); }},
        {"ValueStoreName", [](ConfigValueNotifiers& n) { return n.getValueStoreNameNotifier(); },
         [](ConfigValueImpl& v) { v.fireValueStoreName(); }},
        {"OriginalValueStoreName", [](ConfigValueNotifiers& n) { return n.getOriginalValueStoreNameNotifier(); },
         [](ConfigValueImpl& v) { v.fireOriginalValueStoreName(); }},
    };
    return all;
}

class ConfigValueBaseImplTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        onServicesThread([this]() { value = std::make_shared<ConfigValueImpl>(factory, L"SomeKey"); });
    }
    void TearDown() override {
        onServicesThread([this]() {
            observer.reset();
            value.reset();
        });
        HostTest::TearDown();
    }

    // Connects a recording function to every property's notifier, then
    // registers a recording observer (after the notifiers object).
    void listenToEverything() {
        auto notifiers = value->getConfigValueNotifiers();
        for (const Property& property : properties()) {
            const std::string name = property.name;
            property.notifier(*notifiers)->connect([this, name]() { log->push_back("fn:" + name); });
        }
        observer = std::make_shared<RecordingConfigValueObserver>("obs", log);
        value->addObserver(std::weak_ptr<ConfigValueObserver>(observer));
    }

    std::shared_ptr<ConfigValueImpl> value;
    std::shared_ptr<RecordingConfigValueObserver> observer;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
};

TEST_F(ConfigValueBaseImplTest, EachFireReachesOnlyItsOwnCallbackAndNotifier) {
    for (const Property& property : properties()) {
        SCOPED_TRACE(property.name);
        log->clear();
        onServicesThread([this, &property]() {
            if (!observer) {
                listenToEverything();
            }
            property.fire(*value);
        });
        EXPECT_EQ((std::vector<std::string>{"fn:" + property.name, "obs:" + property.name}), *log);
    }
}

TEST_F(ConfigValueBaseImplTest, SettersStoreWithoutNotifying) {
    onServicesThread([this]() {
        listenToEverything();
        value->setKey(L"OtherKey");
        value->setValue(L"v");
        value->setOriginalValue(L"o");
        value->setisOverridden(true);
        value->setisDefined(true);
        value->setValueStoreName(L"vs");
        value->setOriginalValueStoreName(L"os");

        EXPECT_EQ(L"OtherKey", value->getKey());
        EXPECT_EQ(L"v", value->getValue());
        EXPECT_EQ(L"o", value->getOriginalValue());
        EXPECT_TRUE(value->getisOverridden());
        EXPECT_TRUE(value->getisDefined());
        EXPECT_EQ(L"vs", value->getValueStoreName());
        EXPECT_EQ(L"os", value->getOriginalValueStoreName());
    });
    EXPECT_TRUE(log->empty());
}

TEST_F(ConfigValueBaseImplTest, InfoChangeFiresEveryCreatedNotifierInPropertyOrder) {
    onServicesThread([this]() {
        auto notifiers = value->getConfigValueNotifiers();
        // Created out of order, and not all of them.
        notifiers->getisDefinedNotifier()->connect([this]() { log->push_back("isDefined"); });
        notifiers->getKeyNotifier()->connect([this]() { log->push_back("Key"); });
        notifiers->getValueNotifier()->connect([this]() { log->push_back("Value"); });
        notifiers->getGuidNotifier()->connect([this]() { log->push_back("Guid"); });

        value->commitToServicesDispatcher();
    });
    EXPECT_EQ((std::vector<std::string>{"Key", "Value", "isDefined"}), *log);
}

TEST_F(ConfigValueBaseImplTest, NotifiersObjectAndItsNotifiersAreCreatedOnce) {
    onServicesThread([this]() {
        auto first = value->getConfigValueNotifiers();
        auto second = value->getConfigValueNotifiers();
        ASSERT_NE(nullptr, first);
        EXPECT_EQ(first, second);
        EXPECT_EQ(dynamic_cast<void*>(first.get()), dynamic_cast<void*>(value->getUnifiedBusinessObjectNotifiers().get()));
        EXPECT_EQ(first->getValueNotifier(), second->getValueNotifier());
        EXPECT_NE(first->getValueNotifier(), first->getOriginalValueNotifier());
    });
}

TEST_F(ConfigValueBaseImplTest, RemovedObserverIsNoLongerCalled) {
    onServicesThread([this]() {
        listenToEverything();
        value->removeObserver(std::weak_ptr<ConfigValueObserver>(observer));
        value->fireValue();
    });
    EXPECT_EQ((std::vector<std::string>{"fn:Value"}), *log);
}

}  // namespace
