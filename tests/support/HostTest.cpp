#include "HostTest.h"

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "PTKCoreUtils/FunctionTask.h"
#include "Processing/TaskDispatcher.h"
#include "logging/ZVFLogger.h"
#include "unified/ServicesDispatcher.h"
#include "unified/UnifiedBusinessObjectImpl.h"

namespace nuvrixtest {

void HostTest::SetUp() {
    violationsAtStart = ZVFUnified::UnifiedBusinessObjectImpl::getUpdateAccessViolationCount();
    temp = std::make_unique<TempDir>();
    configDir = temp->file("config");
    localAppDir = temp->file("local");
    resourcesDir = temp->file("resources");
    std::filesystem::create_directories(configDir);
    std::filesystem::create_directories(localAppDir);
    std::filesystem::create_directories(resourcesDir);
    setenv("NUVRIX_CONFIG_DIR", configDir.c_str(), 1);
    setenv("NUVRIX_LOCAL_APP_DIR", localAppDir.c_str(), 1);
    setenv("NUVRIX_RESOURCES_DIR", resourcesDir.c_str(), 1);
    factory = ZVFUnified::UnifiedFactory::create();
}

void HostTest::TearDown() {
    if (factory) {
        factory->shutdown();
        factory.reset();
    }
    EXPECT_EQ(violationsAtStart, ZVFUnified::UnifiedBusinessObjectImpl::getUpdateAccessViolationCount())
        << "a business object was touched off the services thread";
    temp.reset();
}

void HostTest::onServicesThread(const std::function<void()>& body) {
    auto task = std::make_shared<PTKCoreUtils::FunctionTask>(body, "test body");
    factory->getServicesDispatcher()->enqueueBlock(task, false, true);
}

void HostTest::drainQueues() {
    for (int round = 0; round < 2; ++round) {
        factory->getTaskDispatcher()->waitUntilIdle();
        factory->getServicesDispatcher()->waitUntilIdle();
    }
}

struct DispatcherGate::State {
    std::mutex lock;
    std::condition_variable changed;
    bool entered = false;
    bool opened = false;
};

DispatcherGate::DispatcherGate(Processing::TaskDispatcher& dispatcher) : state(std::make_shared<State>()) {
    std::shared_ptr<State> shared = state;
    dispatcher.enqueue(
        [shared] {
            std::unique_lock<std::mutex> guard(shared->lock);
            shared->entered = true;
            shared->changed.notify_all();
            shared->changed.wait(guard, [&] { return shared->opened; });
        },
        "test gate");
    std::unique_lock<std::mutex> guard(state->lock);
    state->changed.wait(guard, [&] { return state->entered; });
}

void DispatcherGate::open() {
    std::lock_guard<std::mutex> guard(state->lock);
    state->opened = true;
    state->changed.notify_all();
}

LogLevelScope::LogLevelScope(int level) : previous(ZVFLogger_getLevel()) { ZVFLogger_setLevel(level); }

LogLevelScope::~LogLevelScope() { ZVFLogger_setLevel(previous); }

}  // namespace nuvrixtest
