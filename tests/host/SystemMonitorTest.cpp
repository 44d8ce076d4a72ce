#include "ZVFSystemMonitor/SystemMonitor.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ZVFSystemMonitor/SystemMonitorFactory.h"

using namespace ZVFSystemMonitor;

namespace {

class RecordingObserver final : public PowerEventObserver {
public:
    void onPowerEvent(PowerEventTypeEnum::PowerEventType type) override { events.push_back(type); }
    std::vector<PowerEventTypeEnum::PowerEventType> events;
};

}  // namespace

TEST(SystemMonitorTest, PowerEventsReachLiveObserversOnly) {
    std::shared_ptr<SystemMonitor> monitor = SystemMonitorFactory::getInstance();
    ASSERT_EQ(monitor, SystemMonitorFactory::getInstance());
    auto kept = std::make_shared<RecordingObserver>();
    auto dropped = std::make_shared<RecordingObserver>();
    auto removed = std::make_shared<RecordingObserver>();
    const std::size_t before = monitor->getPowerEventObserverCount();
    monitor->addPowerEventObserver(kept);
    monitor->addPowerEventObserver(kept);
    monitor->addPowerEventObserver(dropped);
    monitor->addPowerEventObserver(removed);
    EXPECT_EQ(before + 3, monitor->getPowerEventObserverCount());
    monitor->removePowerEventObserver(removed);
    dropped.reset();
    monitor->raisePowerEvent(PowerEventTypeEnum::PowerDown);
    EXPECT_EQ((std::vector<PowerEventTypeEnum::PowerEventType>{PowerEventTypeEnum::PowerDown}), kept->events);
    EXPECT_TRUE(removed->events.empty());
    EXPECT_EQ(before + 1, monitor->getPowerEventObserverCount());
    monitor->removePowerEventObserver(kept);
    EXPECT_EQ(before, monitor->getPowerEventObserverCount());
}
