// The generated service layer, driven through the real service object on the
// real services thread of the host.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../support/RecordingConfigServiceObserver.h"
#include "ConfigServiceImpl.h"
#include "ConfigServiceNotifiers.h"
#include "HostTest.h"
#include "PropertyNotifier.h"
#include "PropertyNotifierConnection.h"
#include "unified/UnifiedServiceNotifiers.h"
#include "unified/UnifiedServiceObserver.h"

using ZVFUnified::ConfigServiceImpl;
using ZVFUnified::ConfigServiceObserver;
using ZVFUnified::UnifiedServiceObserver;
using nuvrixtest::RecordingConfigServiceObserver;

namespace {

// Observes services in general, not the configuration service.
class RecordingServiceObserver : public UnifiedServiceObserver {
public:
    explicit RecordingServiceObserver(std::shared_ptr<std::vector<std::string>> logIn) : log(std::move(logIn)) {}
    void OnInfoChanged() override { log->push_back("service:Info"); }
    void OnGuidChanged() override { log->push_back("service:Guid"); }
    void OnBulkUpdateInProgressChanged() override { log->push_back("service:BulkUpdateInProgress"); }

private:
    std::shared_ptr<std::vector<std::string>> log;
};

class ConfigServiceBaseImplTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        onServicesThread([this]() { service = std::make_shared<ConfigServiceImpl>(factory); });
    }
    void TearDown() override {
        onServicesThread([this]() {
            observers.clear();
            service.reset();
        });
        HostTest::TearDown();
    }

    std::shared_ptr<RecordingConfigServiceObserver> addRecordingObserver(const std::string& name) {
        auto observer = std::make_shared<RecordingConfigServiceObserver>(name, log);
        service->addObserver(std::weak_ptr<ConfigServiceObserver>(observer));
        observers.push_back(observer);
        return observer;
    }

    std::shared_ptr<ConfigServiceImpl> service;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
    std::vector<std::shared_ptr<ConfigServiceObserver>> observers;
};

TEST_F(ConfigServiceBaseImplTest, SettingConfigReadyNotifiesNobodyAndEachFireCallsEveryListenerOnceInListOrder) {
    onServicesThread([this]() {
        addRecordingObserver("a");
        addRecordingObserver("b");
        // Only the service keeps the notifiers object and its notifier alive.
        service->getConfigServiceNotifiers()->getConfigReadyNotifier()->connect([this]() { log->push_back("fn"); });
        addRecordingObserver("a-again");
        EXPECT_FALSE(service->getConfigReady());

        service->setConfigReady(true);

        EXPECT_TRUE(service->getConfigReady());
        EXPECT_TRUE(log->empty());
        service->fireConfigReady();
        service->fireConfigReady();
    });
    EXPECT_EQ((std::vector<std::string>{"a:ConfigReady", "b:ConfigReady", "fn", "a-again:ConfigReady",
                                        "a:ConfigReady", "b:ConfigReady", "fn", "a-again:ConfigReady"}),
              *log);
}

TEST_F(ConfigServiceBaseImplTest, RemovedObserverIsNotCalledAndAnExpiredOneIsPrunedWithTheLastTakingItsPlace) {
    onServicesThread([this]() {
        for (const char* name : {"a", "b", "c", "d", "e"}) {
            addRecordingObserver(name);
        }
        service->removeObserver(std::weak_ptr<ConfigServiceObserver>(observers[0]));  // a
        observers.erase(observers.begin() + 2);                                        // c expires

        service->fireConfigReady();
        service->fireConfigReady();
    });
    EXPECT_EQ((std::vector<std::string>{"b:ConfigReady", "e:ConfigReady", "d:ConfigReady", "b:ConfigReady",
                                        "e:ConfigReady", "d:ConfigReady"}),
              *log);
}

TEST_F(ConfigServiceBaseImplTest, FireSkipsObserversOfAnotherTypeButAnInfoChangeReachesEveryObserver) {
    auto general = std::make_shared<RecordingServiceObserver>(log);
    onServicesThread([this, general]() {
        service->addObserver(std::weak_ptr<UnifiedServiceObserver>(general));
        addRecordingObserver("config");

        service->fireConfigReady();
        EXPECT_EQ((std::vector<std::string>{"config:ConfigReady"}), *log);

        // The notifiers object, registered last, fires only the config
        // service's own notifier on an information change.
        auto notifiers = service->getConfigServiceNotifiers();
        notifiers->getConfigReadyNotifier()->connect([this]() { log->push_back("fn:ConfigReady"); });
        notifiers->getBulkUpdateInProgressNotifier()->connect([this]() { log->push_back("fn:BulkUpdate"); });
        notifiers->getGuidNotifier()->connect([this]() { log->push_back("fn:Guid"); });

        // A commit tells every registered observer that the object's
        // information changed: the general observer is still in the list.
        log->clear();
        service->commitToServicesDispatcher();
    });
    EXPECT_EQ((std::vector<std::string>{"service:Info", "config:Info", "fn:ConfigReady"}), *log);
}

TEST_F(ConfigServiceBaseImplTest, NotifiersObjectIsCreatedOnceAndSharedByEveryAccessor) {
    onServicesThread([this]() {
        auto first = service->getConfigServiceNotifiers();
        auto second = service->getConfigServiceNotifiers();
        ASSERT_NE(nullptr, first);
        EXPECT_EQ(first, second);
        void* object = dynamic_cast<void*>(first.get());
        EXPECT_EQ(object, dynamic_cast<void*>(service->getUnifiedServiceNotifiers().get()));
        EXPECT_EQ(object, dynamic_cast<void*>(service->getUnifiedBusinessObjectNotifiers().get()));
        EXPECT_EQ(first->getConfigReadyNotifier(), second->getConfigReadyNotifier());
    });
}

}  // namespace
