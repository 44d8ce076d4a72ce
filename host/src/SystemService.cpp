#include "unified/SystemService.h"

#include "unified/UnifiedServiceNotifiers.h"
#include "unified/UnifiedServiceObserver.h"

namespace ZVFUnified {

SystemService::SystemService(std::shared_ptr<UnifiedFactory> factory)
    : UnifiedBusinessObjectImpl(std::move(factory), "SystemService"), lifeCycle(std::make_shared<LifeCycle>()) {}

SystemService::~SystemService() = default;

void SystemService::addObserver(std::weak_ptr<UnifiedServiceObserver> observer) {
    UnifiedBusinessObjectImpl::addObserver(std::weak_ptr<UnifiedBusinessObjectObserver>(observer));
}

void SystemService::removeObserver(std::weak_ptr<UnifiedServiceObserver> observer) {
    UnifiedBusinessObjectImpl::removeObserver(std::weak_ptr<UnifiedBusinessObjectObserver>(observer));
}

std::shared_ptr<UnifiedServiceNotifiers> SystemService::getUnifiedServiceNotifiers() {
    return std::dynamic_pointer_cast<UnifiedServiceNotifiers>(getUnifiedBusinessObjectNotifiers());
}

bool SystemService::getBulkUpdateInProgress() { return false; }

std::shared_ptr<LifeCycle> SystemService::getLifeCycle() const { return lifeCycle; }

void SystemService::addServiceEvent(int code, ConfigServiceIdsEnum::ConfigServiceIds serviceId,
                                    ServiceEventSeverityEnum::ServiceEventSeverity severity) {
    std::lock_guard<std::mutex> guard(eventsLock);
    events.push_back(RecordedServiceEvent{code, serviceId, severity});
}

std::vector<SystemService::RecordedServiceEvent> SystemService::getServiceEvents() const {
    std::lock_guard<std::mutex> guard(eventsLock);
    return events;
}

}  // namespace ZVFUnified
