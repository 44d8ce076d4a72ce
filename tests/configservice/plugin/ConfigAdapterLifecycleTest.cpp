// Life cycle of the config feature set through the real plug-in: what the
// operations do before start, start and stop, power events, and a stop that
// waits for the services thread while work needing the adapter's mutex is
// queued there.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "ConfigValue.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "PluginTest.h"
#include "ZVFSystemMonitor/SystemMonitorFactory.h"
#include "unified/LifeCycle.h"
#include "unified/PluginLoader.h"
#include "unified/ServicesDispatcher.h"
#include "unified/SystemService.h"

namespace nuvrixtest {
namespace {

class ConfigAdapterLifecycleTest : public PluginTest {
protected:
    std::size_t resetCallbacks() {
        return factory->getService<ZVFUnified::SystemService>()->getLifeCycle()->getResetDataCallbackCount();
    }
    static std::size_t powerObservers() {
        return ZVFSystemMonitor::SystemMonitorFactory::getInstance()->getPowerEventObserverCount();
    }
    void addServerStore() { addStore("TFTPConfigStore", 100, {{L"ServerKey", L"server"}}); }
};

TEST_F(ConfigAdapterLifecycleTest, BeforeStartStoreOperationsRefuseAndLookupsWarn) {
    writeDefaults({{"DefaultKey", "default"}});
    inject();
    capture->clear();
    adapter().StartFeatureSet(7, nullptr);
    EXPECT_FALSE(adapter().IsFeatureSetStarted(1300));

    addServerStore();
    EXPECT_FALSE(featureSet()->removeConfigStore("TFTPConfigStore"));
    EXPECT_FALSE(featureSet()->isConfigStorePresent("TFTPConfigStore"));
    featureSet()->removeAllCachedConfigStores();
    EXPECT_EQ((std::vector<std::string>{
                  "Config FeatureSet Not Started, failed to add ConfigStore with name: [TFTPConfigStore]",
                  "Config FeatureSet Not Started, failed to remove ConfigStore with name: [TFTPConfigStore]",
                  "Config FeatureSet Not Started, failed to check existance of ConfigStore with name: [TFTPConfigStore]",
                  "Config FeatureSet Not Started, failed to remove cached ConfigStores",
              }),
              capture->messages());

    capture->clear();
    std::wstring value;
    EXPECT_TRUE(featureSet()->getConfig(L"DefaultKey", value, false));
    EXPECT_EQ(L"default", value);
    EXPECT_EQ(1u, capture->count("Config FeatureSet Not Started", 2));
    EXPECT_FALSE(featureSet()->getConfigStoreByName("TFTPConfigStore"));
}

TEST_F(ConfigAdapterLifecycleTest, StartRegistersOnceAndStopDropsTheStoresThatAreNotLocal) {
    inject();
    const std::size_t observersBefore = powerObservers();
    start();
    start();
    drainQueues();
    EXPECT_TRUE(adapter().IsFeatureSetStarted(1300));
    EXPECT_FALSE(adapter().IsFeatureSetStarted(7));
    EXPECT_EQ(1u, resetCallbacks());
    EXPECT_EQ(observersBefore + 1, powerObservers());

    addServerStore();
    featureSet()->setConfig(L"UserKey", L"mine");
    adapter().StopFeatureSet(7, nullptr);
    EXPECT_TRUE(adapter().IsFeatureSetStarted(1300));
    stop();
    // The reset ran on the services thread before the stop returned.
    EXPECT_FALSE(adapter().IsFeatureSetStarted(1300));
    EXPECT_EQ(observersBefore, powerObservers());
    EXPECT_EQ(L"", valueOf(L"ServerKey"));
    EXPECT_FALSE(featureSet()->getConfigStoreByName("LocalFileConfigStore"));
    EXPECT_TRUE(featureSet()->getConfigStoreByName("InMemoryConfigStore"));

    start();
    drainQueues();
    EXPECT_EQ(1u, resetCallbacks());
    // The user store is back, with the write made before the stop.
    EXPECT_EQ(L"mine", valueOf(L"UserKey"));
}

TEST_F(ConfigAdapterLifecycleTest, OnlyAPowerDownEventDestroysTheStores) {
    inject();
    start();
    auto monitor = ZVFSystemMonitor::SystemMonitorFactory::getInstance();
    monitor->raisePowerEvent(ZVFSystemMonitor::PowerEventTypeEnum::PowerSuspend);
    drainQueues();
    EXPECT_TRUE(adapter().IsFeatureSetStarted(1300));
    monitor->raisePowerEvent(ZVFSystemMonitor::PowerEventTypeEnum::PowerDown);
    drainQueues();
    EXPECT_FALSE(adapter().IsFeatureSetStarted(1300));
    EXPECT_TRUE(capture->contains("Config adapter received a power down event. Calling destroy on configAdapter", 4));
    // A destroyed user store writes nothing any more.
    featureSet()->setConfig(L"AfterPowerDown", L"x");
    drainQueues();
    newRun();
    EXPECT_EQ(L"", valueOf(L"AfterPowerDown"));
}

// Stop holds the adapter's mutex while it waits for the services thread.
// Work already queued there that needs the same mutex (a destroy after a
// power-down, a refresh the service forwards, a data reset) must not wait
// for the stop in turn: it runs after the stop instead.
TEST_F(ConfigAdapterLifecycleTest, StopWaitingForTheServicesThreadCannotDeadlockWithWorkQueuedThere) {
    inject();
    start();
    drainQueues();
    std::shared_ptr<ZVFUnified::ServicesDispatcher> dispatcher = factory->getServicesDispatcher();
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    dispatcher->enqueue(std::make_shared<PTKCoreUtils::FunctionTask>([opened] { opened.wait(); }, "test gate"), false,
                        true);
    // Queued behind the gate: they run on the services thread.
    ZVFSystemMonitor::SystemMonitorFactory::getInstance()->raisePowerEvent(
        ZVFSystemMonitor::PowerEventTypeEnum::PowerDown);
    std::shared_ptr<ZVFUnified::ConfigFeatureSet> configFeatureSet = featureSet();
    auto lifeCycle = factory->getService<ZVFUnified::SystemService>()->getLifeCycle();
    dispatcher->enqueue(std::make_shared<PTKCoreUtils::FunctionTask>(
                            [configFeatureSet, lifeCycle] {
                                // What the service does when asked to refresh.
                                configFeatureSet->refreshConfigFeatureSet();
                                lifeCycle->invokeResetData(ResetDataOptionEnum::ResetAllData);
                            },
                            "test refresh and reset"),
                        false, true);

    std::packaged_task<void()> stopTask([this] { stop(); });
    std::future<void> stopped = stopTask.get_future();
    std::thread stopper(std::move(stopTask));
    while (!capture->contains("stopping config feature set")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Let the stop reach its wait for the services thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    gate.set_value();
    if (stopped.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "the stop and the services thread wait for each other";
        std::_Exit(1);
    }
    stopper.join();
    drainQueues();
    EXPECT_FALSE(adapter().IsFeatureSetStarted(1300));
    // The deferred work ran after the stop: the reset rebuilt the user store.
    EXPECT_TRUE(capture->contains("ConfigAdapter reset.", 4));
    EXPECT_TRUE(featureSet()->getConfigStoreByName("LocalFileConfigStore"));
}

// A write made on the services thread is reported there at once; a report
// raised earlier on another thread and still queued must reach the value
// object first, or the older value would win.
TEST_F(ConfigAdapterLifecycleTest, AWriteOnTheServicesThreadLandsAfterOlderReportsStillQueued) {
    inject();
    start();
    drainQueues();
    std::shared_ptr<ZVFUnified::ConfigValue> object;
    withService([&](ZVFUnified::ConfigService& configService) { object = configService.getConfig(L"OrderedKey"); });
    std::shared_ptr<ZVFUnified::ConfigService> configService = service();
    std::promise<void> firstWritten;
    std::shared_future<void> written = firstWritten.get_future().share();
    factory->getServicesDispatcher()->enqueue(std::make_shared<PTKCoreUtils::FunctionTask>(
                                                  [configService, written] {
                                                      written.wait();
                                                      configService->setConfig(L"OrderedKey", L"second");
                                                  },
                                                  "test later write"),
                                              false, true);
    featureSet()->setConfig(L"OrderedKey", L"first");  // its report queues behind the task above
    firstWritten.set_value();
    drainQueues();
    onServicesThread([&] {
        EXPECT_EQ(L"second", valueOf(L"OrderedKey"));
        EXPECT_EQ(L"second", object->getValue());
    });
}

TEST_F(ConfigAdapterLifecycleTest, ServiceEventsReachTheSystemServiceOnceFromAnyThread) {
    inject();
    std::thread([&] {
        featureSet()->addServiceEvent(42, ConfigServiceIdsEnum::ConfigService,
                                      ServiceEventSeverityEnum::ServiceEventSeverity(2));
    }).join();
    drainQueues();
    const auto events = factory->getService<ZVFUnified::SystemService>()->getServiceEvents();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(42, events[0].code);
    EXPECT_EQ(ConfigServiceIdsEnum::ConfigService, events[0].serviceId);
    EXPECT_EQ(2, static_cast<int>(events[0].severity));
}

TEST_F(ConfigAdapterLifecycleTest, TheFactoryLoadsThePlugInOnTheFirstLookupOfTheFeatureSet) {
    auto loader = std::make_shared<ZVFUnified::PluginLoader>(NUVRIX_CONFIGSERVICE_PLUGIN_PATH, "InjectConfigService");
    ZVFUnified::PluginLoader::installAsLoader(loader, *factory, {"N10ZVFUnified16ConfigFeatureSetE"});
    ASSERT_TRUE(featureSet());
    EXPECT_TRUE(service());
    EXPECT_EQ(1, factory->getFeatureSetLoadAttempts("N10ZVFUnified16ConfigFeatureSetE"));
    EXPECT_TRUE(factory->getFeatureSetAdapter(1300));
}

}  // namespace
}  // namespace nuvrixtest
