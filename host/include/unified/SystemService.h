#ifndef UNIFIED_SYSTEMSERVICE_H
#define UNIFIED_SYSTEMSERVICE_H

#include <memory>
#include <mutex>
#include <vector>

#include "unified/ConfigServiceIdsEnum.h"
#include "unified/LifeCycle.h"
#include "unified/ServiceEventSeverityEnum.h"
#include "unified/UnifiedBusinessObjectImpl.h"
#include "unified/UnifiedService.h"

namespace ZVFUnified {

// The host's system service: the life-cycle object for data resets and the
// record of service events raised by plug-ins. Its own state is guarded by a
// lock, so it may be called from any thread.
class NUVRIX_HOST_API SystemService : public virtual UnifiedService, public UnifiedBusinessObjectImpl {
public:
    struct RecordedServiceEvent {
        int code;
        ConfigServiceIdsEnum::ConfigServiceIds serviceId;
        ServiceEventSeverityEnum::ServiceEventSeverity severity;
    };

    explicit SystemService(std::shared_ptr<UnifiedFactory> factory);
    ~SystemService() override;

    // UnifiedService:
    using UnifiedBusinessObjectImpl::addObserver;
    using UnifiedBusinessObjectImpl::removeObserver;
    void addObserver(std::weak_ptr<UnifiedServiceObserver> observer) override;
    void removeObserver(std::weak_ptr<UnifiedServiceObserver> observer) override;
    std::shared_ptr<UnifiedServiceNotifiers> getUnifiedServiceNotifiers() override;
    bool getBulkUpdateInProgress() override;
    std::string getInterfaceName() override { return "SystemService"; }

    std::shared_ptr<LifeCycle> getLifeCycle() const;

    // Records one service event.
    void addServiceEvent(int code, ConfigServiceIdsEnum::ConfigServiceIds serviceId,
                         ServiceEventSeverityEnum::ServiceEventSeverity severity);
    std::vector<RecordedServiceEvent> getServiceEvents() const;

private:
    std::shared_ptr<LifeCycle> lifeCycle;
    mutable std::mutex eventsLock;
    std::vector<RecordedServiceEvent> events;
};

}  // namespace ZVFUnified

#endif
