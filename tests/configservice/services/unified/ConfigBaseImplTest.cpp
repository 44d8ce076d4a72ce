// The generated business-object layer (ConfigServiceBaseImpl and
// ConfigValueBaseImpl, made by the same macros), driven through the real
// service and value objects on the real services thread of the host: one
// typed test over both.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../support/RecordingObservers.h"
#include "ConfigServiceImpl.h"
#include "ConfigServiceNotifiers.h"
#include "ConfigValueImpl.h"
#include "ConfigValueNotifiers.h"
#include "HostTest.h"
#include "PropertyNotifier.h"
#include "unified/UnifiedBusinessObjectObserver.h"
#include "unified/UnifiedServiceNotifiers.h"

namespace {

using namespace ZVFUnified;
using Log = std::vector<std::string>;
using Notifier = std::shared_ptr<PropertyNotifier>;

// A property of the layer: its name, its notifier and its fire operation.
template <class Notifiers, class Base>
struct Property {
    std::string name;
    Notifier (Notifiers::*notifier)();
    void (Base::*fire)();
};

// What the typed test needs to know of each object.
struct ServiceLayer {
    using Object = ConfigServiceImpl;
    using Observer = ConfigServiceObserver;
    using Recorder = nuvrixtest::RecordingConfigServiceObserver;
    using Notifiers = ConfigServiceNotifiers;
    static std::shared_ptr<Object> make(std::shared_ptr<UnifiedFactory> factory) {
        return std::make_shared<ConfigServiceImpl>(factory);
    }
    static std::shared_ptr<Notifiers> notifiersOf(Object& object) { return object.getConfigServiceNotifiers(); }
    static std::vector<Property<Notifiers, ConfigServiceBaseImpl>> properties() {
        return {{"ConfigReady", &Notifiers::getConfigReadyNotifier, &ConfigServiceBaseImpl::fireConfigReady}};
    }
    // Notifiers an information change of the object must leave alone.
    static std::vector<Notifier> otherNotifiers(Notifiers& notifiers) {
        return {notifiers.getGuidNotifier(), notifiers.getBulkUpdateInProgressNotifier()};
    }
    // The notifiers object as the other accessors hand it out.
    static std::vector<void*> otherAccessors(Object& object) {
        return {dynamic_cast<void*>(object.getUnifiedServiceNotifiers().get()),
                dynamic_cast<void*>(object.getUnifiedBusinessObjectNotifiers().get())};
    }
    // Sets every property and reads it back (false at construction).
    static void setAndReadBack(Object& object) {
        EXPECT_FALSE(object.getConfigReady());
        object.setConfigReady(true);
        EXPECT_TRUE(object.getConfigReady());
    }
};

struct ValueLayer {
    using Object = ConfigValueImpl;
    using Observer = ConfigValueObserver;
    using Recorder = nuvrixtest::RecordingConfigValueObserver;
    using Notifiers = ConfigValueNotifiers;
    using Base = ConfigValueBaseImpl;
    static std::shared_ptr<Object> make(std::shared_ptr<UnifiedFactory> factory) {
        return std::make_shared<ConfigValueImpl>(factory, L"SomeKey");
    }
    static std::shared_ptr<Notifiers> notifiersOf(Object& object) { return object.getConfigValueNotifiers(); }
    static std::vector<Property<Notifiers, Base>> properties() {
        return {{"Key", &Notifiers::getKeyNotifier, &Base::fireKey},
                {"Value", &Notifiers::getValueNotifier, &Base::fireValue},
                {"OriginalValue", &Notifiers::getOriginalValueNotifier, &Base::fireOriginalValue},
                {"isOverridden", &Notifiers::getisOverriddenNotifier, &Base::fireisOverridden},
                {"isDefined", &Notifiers::getisDefinedNotifier, &Base::fireisDefined},
                {"ValueStoreName", &Notifiers::getValueStoreNameNotifier, &Base::fireValueStoreName},
                {"OriginalValueStoreName", &Notifiers::getOriginalValueStoreNameNotifier,
                 &Base::fireOriginalValueStoreName}};
    }
    static std::vector<Notifier> otherNotifiers(Notifiers& notifiers) { return {notifiers.getGuidNotifier()}; }
    static std::vector<void*> otherAccessors(Object& object) {
        return {dynamic_cast<void*>(object.getUnifiedBusinessObjectNotifiers().get())};
    }
    // The other setters are driven, and their silence checked, by the value
    // object's update tests.
    static void setAndReadBack(Object& object) {
        object.setKey(L"OtherKey");
        EXPECT_EQ(L"OtherKey", object.getKey());
    }
};

// Observes business objects in general, not the object's own type.
class GeneralObserver : public UnifiedBusinessObjectObserver {
public:
    explicit GeneralObserver(std::shared_ptr<Log> log) : log(std::move(log)) {}
    void OnInfoChanged() override { log->push_back("general:Info"); }
    void OnGuidChanged() override { log->push_back("general:Guid"); }

private:
    std::shared_ptr<Log> log;
};

template <class Layer>
class ConfigBaseImplTest : public nuvrixtest::HostTest {
protected:
    using Observer = typename Layer::Observer;

    void SetUp() override {
        HostTest::SetUp();
        onServicesThread([this]() { object = Layer::make(factory); });
    }
    void TearDown() override {
        onServicesThread([this]() {
            observers.clear();
            object.reset();
        });
        HostTest::TearDown();
    }

    void addRecorder(const std::string& name) {
        auto observer = std::make_shared<typename Layer::Recorder>(name, log);
        object->addObserver(std::weak_ptr<Observer>(observer));
        observers.push_back(observer);
    }
    void connect(const Notifier& notifier, const std::string& name) {
        notifier->connect([this, name]() { log->push_back(name); });
    }

    std::shared_ptr<typename Layer::Object> object;
    std::shared_ptr<Log> log = std::make_shared<Log>();
    std::vector<std::shared_ptr<Observer>> observers;
};

using Layers = ::testing::Types<ServiceLayer, ValueLayer>;
TYPED_TEST_SUITE(ConfigBaseImplTest, Layers);

TYPED_TEST(ConfigBaseImplTest, SettersNotifyNobodyAndEachFireCallsEveryListenerOnceInListOrder) {
    const auto properties = TypeParam::properties();
    this->onServicesThread([this, &properties]() {
        this->addRecorder("a");
        this->addRecorder("b");
        // Only the object keeps the notifiers object and its notifiers alive.
        for (const auto& each : properties) {
            this->connect(((*TypeParam::notifiersOf(*this->object)).*each.notifier)(), "fn:" + each.name);
        }
        this->addRecorder("a-again");
        TypeParam::setAndReadBack(*this->object);
    });
    EXPECT_TRUE(this->log->empty());
    for (const auto& property : properties) {
        SCOPED_TRACE(property.name);
        this->log->clear();
        this->onServicesThread([this, &property]() {
            ((*this->object).*property.fire)();
            ((*this->object).*property.fire)();
        });
        Log expected;
        for (int round = 0; round < 2; ++round) {
            for (const char* listener : {"a:", "b:", "fn:", "a-again:"}) {
                expected.push_back(listener + property.name);
            }
        }
        EXPECT_EQ(expected, *this->log);
    }
}

TYPED_TEST(ConfigBaseImplTest, RemovedObserverIsNotCalledAndAnExpiredOneIsPrunedWithTheLastTakingItsPlace) {
    const auto fire = TypeParam::properties().front().fire;
    const std::string name = TypeParam::properties().front().name;
    this->onServicesThread([this, fire]() {
        for (const char* each : {"a", "b", "c", "d", "e"}) {
            this->addRecorder(each);
        }
        this->object->removeObserver(std::weak_ptr<typename TypeParam::Observer>(this->observers[0]));  // a
        this->observers.erase(this->observers.begin() + 2);                                             // c expires
        ((*this->object).*fire)();
        ((*this->object).*fire)();
    });
    EXPECT_EQ((Log{"b:" + name, "e:" + name, "d:" + name, "b:" + name, "e:" + name, "d:" + name}), *this->log);
}

TYPED_TEST(ConfigBaseImplTest, FireSkipsOtherObserverTypesAndAnInfoChangeFiresTheCreatedNotifiersInPropertyOrder) {
    auto general = std::make_shared<GeneralObserver>(this->log);
    const auto properties = TypeParam::properties();
    this->onServicesThread([this, general, &properties]() {
        this->object->addObserver(std::weak_ptr<UnifiedBusinessObjectObserver>(general));
        this->addRecorder("own");
        ((*this->object).*properties.front().fire)();
        EXPECT_EQ(Log{"own:" + properties.front().name}, *this->log);

        // Every other property's notifier, created in reverse order, and the
        // notifiers of the bases, which an information change leaves alone.
        auto notifiers = TypeParam::notifiersOf(*this->object);
        for (std::size_t i = properties.size(); i-- > 0;) {
            if (i % 2 == 0) {
                this->connect(((*notifiers).*properties[i].notifier)(), "fn:" + properties[i].name);
            }
        }
        for (const Notifier& other : TypeParam::otherNotifiers(*notifiers)) {
            this->connect(other, "fn:other");
        }
        // A commit tells every registered observer that the object's
        // information changed: the general observer is still in the list.
        this->log->clear();
        this->object->commitToServicesDispatcher();
    });
    Log expected{"general:Info", "own:Info"};
    for (std::size_t i = 0; i < properties.size(); i += 2) {
        expected.push_back("fn:" + properties[i].name);
    }
    EXPECT_EQ(expected, *this->log);
}

// That the object's own accessor and each notifier are made once is seen by
// the functions connected above; here the accessors of the bases.
TYPED_TEST(ConfigBaseImplTest, NotifiersObjectIsSharedByEveryAccessor) {
    this->onServicesThread([this]() {
        auto notifiers = TypeParam::notifiersOf(*this->object);
        ASSERT_NE(nullptr, notifiers);
        for (void* other : TypeParam::otherAccessors(*this->object)) {
            EXPECT_EQ(dynamic_cast<void*>(notifiers.get()), other);
        }
    });
}

}  // namespace
