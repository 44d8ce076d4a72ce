#include "ServiceReportQueue.h"

#include <utility>

#include "ConfigServiceImpl.h"
#include "PTKCoreUtils/StringUtils.h"
#include "unified/ServicesDispatcher.h"
#include "zvf/Task.h"

namespace ZVFUnified {

// Delivers the queue on the services thread.
class ServiceReportQueue::DeliveryTask : public zvf::Task {
public:
    DeliveryTask(std::shared_ptr<ServiceReportQueue> owner, std::string taskName)
        : owner(std::move(owner)), taskName(std::move(taskName)) {}

    // zvf::Task:
    void execute() override {
        {
            std::lock_guard<std::mutex> guard(owner->lock);
            owner->taskQueued = false;
        }
        owner->deliverQueued();
    }
    std::string name() const override { return taskName; }

private:
    std::shared_ptr<ServiceReportQueue> owner;
    std::string taskName;
};

ServiceReportQueue::ServiceReportQueue(std::shared_ptr<ConfigServiceImpl> serviceIn,
                                       std::shared_ptr<ServicesDispatcher> dispatcherIn)
    : service(std::move(serviceIn)), dispatcher(std::move(dispatcherIn)) {}

void ServiceReportQueue::configChanged(std::wstring key, std::wstring value, std::wstring originalValue,
                                       bool isOverridden, bool isDefined, std::wstring valueStoreName,
                                       std::wstring originalValueStoreName, bool silent) {
    add(Report{Report::Kind::Changed, std::move(key), std::move(value), std::move(originalValue),
               std::move(valueStoreName), std::move(originalValueStoreName), isOverridden, isDefined, silent});
}

void ServiceReportQueue::fireIfRequired(std::wstring key) {
    add(Report{Report::Kind::Fire, std::move(key), {}, {}, {}, {}, false, false, false});
}

void ServiceReportQueue::sensitiveKeyAddedOrUpdated(std::wstring key) {
    add(Report{Report::Kind::Sensitive, std::move(key), {}, {}, {}, {}, false, false, false});
}

void ServiceReportQueue::add(Report report) {
    if (!dispatcher) {
        deliver(report);
        return;
    }
    const bool onServicesThread = dispatcher->checkForUpdateAccess();
    std::shared_ptr<DeliveryTask> task;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (onServicesThread || taskQueued) {
            queued.push_back(std::move(report));
        } else {
            taskQueued = true;
            task = std::make_shared<DeliveryTask>(shared_from_this(), taskNameOf(report));
            queued.push_back(std::move(report));
        }
    }
    if (onServicesThread) {
        deliverQueued();
    } else if (task) {
        dispatcher->enqueue(task, false, true);
    }
}

void ServiceReportQueue::deliverQueued() {
    if (delivering) {
        return;  // the delivery further up this thread's stack takes it
    }
    delivering = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{delivering};
    std::vector<Report> taken;
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (queued.empty()) {
                break;
            }
            taken.swap(queued);
        }
        for (Report& report : taken) {
            deliver(report);
        }
        taken.clear();
    }
}

void ServiceReportQueue::deliver(Report& report) {
    switch (report.kind) {
        case Report::Kind::Changed:
            service->OnConfigChanged(std::move(report.key), std::move(report.value), std::move(report.originalValue),
                                     report.isOverridden, report.isDefined, std::move(report.valueStoreName),
                                     std::move(report.originalValueStoreName), report.silent);
            break;
        case Report::Kind::Fire:
            service->FireIfRequired(std::move(report.key));
            break;
        case Report::Kind::Sensitive:
            service->updateSensitiveKeyList(std::move(report.key));
            break;
    }
}

std::string ServiceReportQueue::taskNameOf(const Report& report) {
    switch (report.kind) {
        case Report::Kind::Changed:
            return "ConfigServiceImpl::OnConfigChanged";
        case Report::Kind::Fire:
            return "ConfigServiceImpl::FireIfRequired - " + PTKCoreUtils::toString(report.key);
        case Report::Kind::Sensitive:
            break;
    }
    return "ConfigServiceImpl::updateSensitiveKeyList";
}

}  // namespace ZVFUnified
