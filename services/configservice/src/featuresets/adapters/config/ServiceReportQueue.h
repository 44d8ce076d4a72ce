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
// thread. On that thread a report is delivered at once. Elsewhere it joins
// the batch whose delivery task is queued on the services dispatcher and has
// not started yet, or opens a new batch with a task of its own, named after
// its first report ("ConfigServiceImpl::OnConfigChanged", ...). The reports
// of a store of thousands of keys so cost one queued task, not thousands,
// and every report still reaches the service in the order it was raised,
// with its texts as they were then.
//
// Thread-safe; the lock guards only the open batch and is never held while
// the service is called. Held by shared pointer: queued tasks keep it alive.
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
    using Batch = std::vector<Report>;
    class DeliveryTask;

    // Delivers at once on the services thread, otherwise batches.
    void add(Report report);
    void deliver(Report& report);
    // Closes batch to further reports (its task starts delivering it).
    void close(const std::shared_ptr<Batch>& batch);
    // The name of the task that would carry report alone.
    static std::string taskNameOf(const Report& report);

    std::shared_ptr<ConfigServiceImpl> service;
    std::shared_ptr<ServicesDispatcher> dispatcher;  // null: every report is delivered at once
    std::mutex lock;                                 // guards open
    std::shared_ptr<Batch> open;                     // the batch reports still join, if any
};

}  // namespace ZVFUnified

#endif
