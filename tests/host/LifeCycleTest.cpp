#include "unified/LifeCycle.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "HostTest.h"
#include "unified/SystemService.h"

using namespace ZVFUnified;

namespace {

class RecordingCallback : public ProviderResetDataCallback {
public:
    RecordingCallback(std::string name, std::vector<std::string>& calls) : name(std::move(name)), calls(calls) {}
    void InvokeResetData(ResetDataOptionEnum::ResetDataOption option) override {
        calls.push_back(name + ":" + std::to_string(option));
    }
    std::string name;
    std::vector<std::string>& calls;
};

}  // namespace

class LifeCycleTest : public nuvrixtest::HostTest {};

TEST_F(LifeCycleTest, ResetDataReachesEveryRegisteredCallbackInOrder) {
    std::shared_ptr<SystemService> system = factory->getService<SystemService>();
    ASSERT_NE(nullptr, system);
    std::shared_ptr<LifeCycle> lifeCycle = system->getLifeCycle();
    ASSERT_NE(nullptr, lifeCycle);
    std::vector<std::string> calls;
    auto first = std::make_shared<RecordingCallback>("first", calls);
    auto second = std::make_shared<RecordingCallback>("second", calls);
    lifeCycle->addResetDataCallback(first);
    lifeCycle->addResetDataCallback(second);
    lifeCycle->addResetDataCallback(first);
    EXPECT_EQ(2u, lifeCycle->getResetDataCallbackCount());
    lifeCycle->invokeResetData(ResetDataOptionEnum::ResetAllData);
    lifeCycle->removeResetDataCallback(first);
    lifeCycle->invokeResetData(ResetDataOptionEnum::ResetCachedData);
    EXPECT_EQ((std::vector<std::string>{"first:0", "second:0", "second:2"}), calls);
}

TEST_F(LifeCycleTest, SystemServiceRecordsServiceEvents) {
    std::shared_ptr<SystemService> system = factory->getService<SystemService>();
    ASSERT_NE(nullptr, system);
    system->addServiceEvent(17, ConfigServiceIdsEnum::TelephonyService, ServiceEventSeverityEnum::Warning);
    system->addServiceEvent(18, ConfigServiceIdsEnum::ConfigService, ServiceEventSeverityEnum::Error);
    using Event = std::tuple<int, ConfigServiceIdsEnum::ConfigServiceIds, ServiceEventSeverityEnum::ServiceEventSeverity>;
    std::vector<Event> events;
    for (const SystemService::RecordedServiceEvent& e : system->getServiceEvents()) {
        events.emplace_back(e.code, e.serviceId, e.severity);
    }
    EXPECT_EQ((std::vector<Event>{{17, ConfigServiceIdsEnum::TelephonyService, ServiceEventSeverityEnum::Warning},
                                  {18, ConfigServiceIdsEnum::ConfigService, ServiceEventSeverityEnum::Error}}),
              events);
}
