#include "unified/UnifiedFactory.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>

#include "HostTest.h"
#include "Processing/TaskDispatcher.h"
#include "plugin/GreetingService.h"
#include "unified/FileDataPersistor.h"
#include "unified/ServiceFactoryImpl.h"
#include "unified/ServicesDispatcher.h"
#include "unified/SystemService.h"
#include "unified/UnifiedBusinessObjectImpl.h"

using namespace ZVFUnified;

namespace {

// A service of the test's own, registered from this side of the boundary.
class ClockService : public virtual UnifiedService {
public:
    virtual int ticks() = 0;
};

class ClockServiceImpl : public ClockService, public UnifiedBusinessObjectImpl {
public:
    explicit ClockServiceImpl(std::shared_ptr<UnifiedFactory> factory)
        : UnifiedBusinessObjectImpl(std::move(factory), "ClockServiceImpl") {}
    int ticks() override { return 7; }
    using UnifiedBusinessObjectImpl::addObserver;
    using UnifiedBusinessObjectImpl::removeObserver;
    void addObserver(std::weak_ptr<UnifiedServiceObserver>) override {}
    void removeObserver(std::weak_ptr<UnifiedServiceObserver>) override {}
    std::shared_ptr<UnifiedServiceNotifiers> getUnifiedServiceNotifiers() override { return nullptr; }
    bool getBulkUpdateInProgress() override { return false; }
};

class ClockFeatureSet : public FeatureSet, public FeatureSetAdapter {
public:
    void StartFeatureSet(unsigned int, ServiceEvents) override { started = true; }
    void StopFeatureSet(unsigned int, ServiceEvents) override { started = false; }
    void Destroy() override {}
    bool IsFeatureSetStarted(unsigned int) override { return started; }
    bool IsFeatureSetProvisioned(unsigned int) override { return true; }
    std::vector<unsigned int> GetFeatureSetDependencies(unsigned int) override { return {}; }
    bool started = false;
};

// Loads the test plug-in module and returns its entry point.
RegisterGreetingServiceFunction loadGreetingPlugin() {
    void* handle = dlopen(NUVRIX_TEST_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        ADD_FAILURE() << "dlopen failed: " << dlerror();
        return nullptr;
    }
    // Kept loaded for the rest of the process, as a host keeps its plug-ins.
    return reinterpret_cast<RegisterGreetingServiceFunction>(dlsym(handle, "registerGreetingService"));
}

}  // namespace

class UnifiedFactoryTest : public nuvrixtest::HostTest {};

TEST_F(UnifiedFactoryTest, CreateBuildsACompleteHostAndMakesItTheProcessWideFactory) {
    ASSERT_NE(nullptr, factory->getServicesDispatcher());
    ASSERT_NE(nullptr, factory->getTaskDispatcher());
    EXPECT_NE(nullptr, std::dynamic_pointer_cast<FileDataPersistor>(factory->getDataPersistor()));
    std::shared_ptr<SystemService> system = factory->getService<SystemService>();
    ASSERT_NE(nullptr, system);
    EXPECT_EQ(system, factory->getServiceById(UnifiedFactory::kSystemServiceId));
    auto* instance = dynamic_cast<ServiceFactoryImpl*>(ServiceFactory::getInstance());
    ASSERT_NE(nullptr, instance);
    EXPECT_EQ(factory, instance->getUnifiedFactory());
}

TEST_F(UnifiedFactoryTest, RegistersServicesByTypeAndById) {
    auto clock = std::make_shared<ClockServiceImpl>(factory);
    factory->setService<ClockService>(77, clock);
    std::shared_ptr<ClockService> found = factory->getService<ClockService>();
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(7, found->ticks());
    EXPECT_EQ(std::static_pointer_cast<UnifiedService>(clock), factory->getServiceById(77));
    EXPECT_EQ(nullptr, factory->getServiceById(78));
    // Registered under the interface, not the implementation class.
    EXPECT_EQ(nullptr, factory->getService<ClockServiceImpl>());

    auto replacement = std::make_shared<ClockServiceImpl>(factory);
    factory->setService<ClockService>(77, replacement);
    EXPECT_EQ(std::static_pointer_cast<ClockService>(replacement), factory->getService<ClockService>());
}

TEST_F(UnifiedFactoryTest, UnregisteredServiceTriggersExactlyOneLoadAttempt) {
    int loaderCalls = 0;
    factory->setServiceLoader([&](UnifiedFactory&, const std::string&) {
        ++loaderCalls;
        return false;
    });
    const std::string name = getItemTypeName(&typeid(ClockService));
    EXPECT_EQ(nullptr, factory->getService<ClockService>());
    EXPECT_EQ(nullptr, factory->getService<ClockService>());
    EXPECT_EQ(nullptr, factory->getService<ClockService>());
    EXPECT_EQ(1, loaderCalls);
    EXPECT_EQ(1, factory->getServiceLoadAttempts(name));
    // The feature-set registry keeps its own record.
    EXPECT_EQ(nullptr, factory->getFeatureSet<ClockFeatureSet>());
    EXPECT_EQ(nullptr, factory->getFeatureSet<ClockFeatureSet>());
    EXPECT_EQ(1, factory->getFeatureSetLoadAttempts(getItemTypeName(&typeid(ClockFeatureSet))));
    EXPECT_EQ(0, factory->getFeatureSetLoadAttempts(name));
}

TEST_F(UnifiedFactoryTest, FeatureSetAdapterIsRegisteredAsFeatureSetAndLifeCycleControl) {
    auto adapter = std::make_shared<ClockFeatureSet>();
    factory->setFeatureSetAdapter<ClockFeatureSet>(1300, adapter);
    EXPECT_EQ(adapter, factory->getFeatureSet<ClockFeatureSet>());
    EXPECT_EQ(std::static_pointer_cast<FeatureSet>(adapter), factory->getFeatureSetById(1300));
    std::shared_ptr<FeatureSetAdapter> control = factory->getFeatureSetAdapter(1300);
    ASSERT_NE(nullptr, control);
    control->StartFeatureSet(1300, nullptr);
    EXPECT_TRUE(adapter->started);
}

TEST_F(UnifiedFactoryTest, TypeNamesAreTheMangledNamesAndNullForNoType) {
    EXPECT_EQ("NULL", getItemTypeName(nullptr));
    EXPECT_EQ("N10ZVFUnified13SystemServiceE", getItemTypeName(&typeid(SystemService)));
}

TEST_F(UnifiedFactoryTest, ServiceRegisteredByAPluginIsFoundAndCastOnThisSide) {
    RegisterGreetingServiceFunction registerGreeting = loadGreetingPlugin();
    ASSERT_NE(nullptr, registerGreeting);
    factory->setServiceLoader([&](UnifiedFactory& f, const std::string& typeName) {
        return typeName == getItemTypeName(&typeid(GreetingService)) && registerGreeting(&f);
    });
    std::shared_ptr<GreetingService> greeting = factory->getService<GreetingService>();
    ASSERT_NE(nullptr, greeting);
    EXPECT_EQ("hello, host", greeting->greet("host"));
    EXPECT_EQ("GreetingService", greeting->getInterfaceName());
    // The object made in the plug-in is the host's business-object base too.
    std::shared_ptr<UnifiedService> byId = factory->getServiceById(kGreetingServiceId);
    ASSERT_NE(nullptr, byId);
    EXPECT_NE(nullptr, std::dynamic_pointer_cast<GreetingService>(byId));
    EXPECT_NE(nullptr, std::dynamic_pointer_cast<UnifiedBusinessObjectImpl>(byId));
    EXPECT_EQ(nullptr, std::dynamic_pointer_cast<SystemService>(byId));
}

TEST_F(UnifiedFactoryTest, ShutdownRunsQueuedWorkAndEmptiesTheRegistries) {
    bool ran = false;
    factory->getTaskDispatcher()->enqueue([&] { ran = true; }, "last work");
    factory->shutdown();
    EXPECT_TRUE(ran);
    EXPECT_EQ(nullptr, factory->getServiceById(UnifiedFactory::kSystemServiceId));
}
