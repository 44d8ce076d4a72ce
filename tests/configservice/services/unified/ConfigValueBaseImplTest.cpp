// The generated value layer, driven through the real value object on the
// real services thread of the host.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../support/RecordingConfigValueObserver.h"
#include "ConfigValueImpl.h"
#include "ConfigValueNotifiers.h"
#include "HostTest.h"
#include "PropertyNotifier.h"

using ZVFUnified::ConfigValueBaseImpl;
using ZVFUnified::ConfigValueImpl;
using ZVFUnified::ConfigValueNotifiers;
using ZVFUnified::ConfigValueObserver;
using ZVFUnified::PropertyNotifier;
using nuvrixtest::RecordingConfigValueObserver;

namespace {

// Every value property with its notifier and fire operation, in property order.
struct Property {
    std::string name;
    std::shared_ptr<PropertyNotifier> (ConfigValueNotifiers::*notifier)();
    void (ConfigValueBaseImpl::*fire)();
};
const Property kProperties[] = {
    {"Key", &ConfigValueNotifiers::getKeyNotifier, &ConfigValueBaseImpl::fireKey},
    {"Value", &ConfigValueNotifiers::getValueNotifier, &ConfigValueBaseImpl::fireValue},
    {"OriginalValue", &ConfigValueNotifiers::getOriginalValueNotifier, &ConfigValueBaseImpl::fireOriginalValue},
    {"isOverridden", &ConfigValueNotifiers::getisOverriddenNotifier, &ConfigValueBaseImpl::fireisOverridden},
    {"isDefined", &ConfigValueNotifiers::getisDefinedNotifier, &ConfigValueBaseImpl::fireisDefined},
    {"ValueStoreName", &ConfigValueNotifiers::getValueStoreNameNotifier, &ConfigValueBaseImpl::fireValueStoreName},
    {"OriginalValueStoreName", &ConfigValueNotifiers::getOriginalValueStoreNameNotifier,
     &ConfigValueBaseImpl::fireOriginalValueStoreName},
};

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
        for (const Property& property : kProperties) {
            const std::string name = property.name;
            ((*notifiers).*property.notifier)()->connect([this, name]() { log->push_back("fn:" + name); });
        }
        observer = std::make_shared<RecordingConfigValueObserver>("obs", log);
        value->addObserver(std::weak_ptr<ConfigValueObserver>(observer));
    }

    std::shared_ptr<ConfigValueImpl> value;
    std::shared_ptr<RecordingConfigValueObserver> observer;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
};

TEST_F(ConfigValueBaseImplTest, EachFireReachesOnlyItsOwnCallbackAndNotifierAndNoRemovedObserver) {
    for (const Property& property : kProperties) {
        SCOPED_TRACE(property.name);
        log->clear();
        onServicesThread([this, &property]() {
            if (!observer) {
                listenToEverything();
            }
            ((*value).*property.fire)();
        });
        EXPECT_EQ((std::vector<std::string>{"fn:" + property.name, "obs:" + property.name}), *log);
    }
    log->clear();
    onServicesThread([this]() {
        value->removeObserver(std::weak_ptr<ConfigValueObserver>(observer));
        value->fireValue();
    });
    EXPECT_EQ((std::vector<std::string>{"fn:Value"}), *log);
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

        EXPECT_EQ((std::vector<std::wstring>{L"OtherKey", L"v", L"o", L"vs", L"os"}),
                  (std::vector<std::wstring>{value->getKey(), value->getValue(), value->getOriginalValue(),
                                             value->getValueStoreName(), value->getOriginalValueStoreName()}));
        EXPECT_TRUE(value->getisOverridden() && value->getisDefined());
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

}  // namespace
