#include "ServiceReportQueue.h"

#include <utility>

#include "ConfigServiceImpl.h"
#include "PTKCoreUtils/StringUtils.h"
#include "unified/ServicesDispatcher.h"
#include "zvf/Task.h"

namespace ZVFUnified {

// Delivers one batch on the services thread; from its first instruction no
// report joins the batch any more.
class ServiceReportQueue::DeliveryTask : public zvf::Task {
public:
    DeliveryTask(std::shared_ptr<ServiceReportQueue> owner, std::shared_ptr<Batch> batch, std::string taskName)
        : owner(std::move(owner)), batch(std::move(batch)), taskName(std::move(taskName)) {}

    // zvf::Task:
    void execute() override {
        owner->close(batch);
        for (Report& report : *batch) {
            owner->deliver(report);
        }
    }
    std::string name() const override { return taskName; }

private:
    std::shared_ptr<ServiceReportQueue> owner;
    std::shared_ptr<Batch> batch;
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
    if (!dispatcher || dispatcher->checkForUpdateAccess()) {
        deliver(report);
        return;
    }
    std::shared_ptr<DeliveryTask> task;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (open) {
            open->push_back(std::move(report));
            return;
        }
        open = std::make_shared<Batch>();
        open->reserve(64);
        std::string name = taskNameOf(report);
        open->push_back(std::move(report));
        task = std::make_shared<DeliveryTask>(shared_from_this(), open, std::move(name));
    }
    // Outside the lock: no other batch can open before this one's task has
    // started, so tasks are queued in the order of their batches.
    dispatcher->enqueue(task, false, true);
}

void ServiceReportQueue::close(const std::shared_ptr<Batch>& batch) {
    std::lock_guard<std::mutex> guard(lock);
    if (open == batch) {
        open.reset();
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
