#ifndef CONFIG_SERVICEREPORTQUEUE_H
#define CONFIG_SERVICEREPORTQUEUE_H

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ZVFUnified {

class ConfigServiceImpl;
class ServicesDispatcher;

// Carries the store manager's reports (changed keys, requests to fire,
// sensitive keys) to the service, whose state lives on the host's services
// thread. Every report joins one queue in the order it was raised (the
// manager raises them under its store-list lock); the queue is delivered on
// the services thread, oldest first. A report raised on the services thread
// is delivered before its caller returns, after every older report raised
// elsewhere, so that a later value never loses to an earlier one. Elsewhere
// a report queues a delivery task on the services dispatcher unless one is
// already queued and has not started; the task is named after that report
// ("ConfigServiceImpl::OnConfigChanged", ...). The reports of a store of
// thousands of keys so cost one queued task, not thousands, with their texts
// as they were when raised.
//
// Thread-safe; the lock guards only the queue and is never held while the
// service is called. A report raised while the queue is being delivered
// (by the service's own observers) is delivered by that same delivery,
// after the reports before it. Held by shared pointer: queued tasks keep it
// alive.
class ServiceReportQueue : public std::enable_shared_from_this<ServiceReportQueue> {
public:
    ServiceReportQueue(std::shared_ptr<ConfigServiceImpl> service, std::shared_ptr<ServicesDispatcher> dispatcher);
    ServiceReportQueue(const ServiceReportQueue&) = delete;
    ServiceReportQueue& operator=(const ServiceReportQueue&) = delete;

    // ConfigServiceImpl::OnConfigChanged.
    void configChanged(std::wstring key, std::wstring value, std::wstring originalValue, bool isOverridden,
                       bool isDefined, std::wstring valueStoreName, std::wstring originalValueStoreName, bool silent);
    // ConfigServiceImpl::FireIfRequired.
    void fireIfRequired(std::wstring key);
    // ConfigServiceImpl::updateSensitiveKeyList.
    void sensitiveKeyAddedOrUpdated(std::wstring key);

private:
    struct Report {
        enum class Kind { Changed, Fire, Sensitive };
        Kind kind;
        std::wstring key;
        std::wstring value;
        std::wstring originalValue;
        std::wstring valueStoreName;
        std::wstring originalValueStoreName;
        bool isOverridden;
        bool isDefined;
        bool silent;
    };
    class DeliveryTask;

    // Queues report; on the services thread, delivers the queue at once.
    void add(Report report);
    // On the services thread: delivers every queued report, oldest first,
    // unless a delivery further up this thread's stack is doing so.
    void deliverQueued();
    void deliver(Report& report);
    // The name of the task that would carry report alone.
    static std::string taskNameOf(const Report& report);

    std::shared_ptr<ConfigServiceImpl> service;
    std::shared_ptr<ServicesDispatcher> dispatcher;  // null: every report is delivered at once
    std::mutex lock;                                 // guards queued and taskQueued
    std::vector<Report> queued;                      // raised, not yet delivered, oldest first
    bool taskQueued = false;                         // a delivery task is queued and has not started
    bool delivering = false;                         // services thread only: deliverQueued is running
};

}  // namespace ZVFUnified

#endif
