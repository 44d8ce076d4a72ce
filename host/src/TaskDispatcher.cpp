#include "Processing/TaskDispatcher.h"

#include "DispatchQueue.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "zvf/Task.h"

namespace Processing {

class TaskDispatcher::Impl {
public:
    Impl() : queue("nuvrix-tasks") {}
    nuvrixhost::DispatchQueue queue;
};

TaskDispatcher::TaskDispatcher() : impl(new Impl) {}

TaskDispatcher::~TaskDispatcher() { impl->queue.shutdown(true); }

void TaskDispatcher::enqueue(std::shared_ptr<zvf::Task> task) { impl->queue.enqueue(std::move(task), true); }

void TaskDispatcher::enqueue(std::function<void()> function, const std::string& name) {
    if (!function) {
        return;
    }
    impl->queue.enqueue(std::make_shared<PTKCoreUtils::FunctionTask>(std::move(function), name), true);
}

void TaskDispatcher::waitUntilIdle() { impl->queue.waitUntilIdle(); }

std::size_t TaskDispatcher::pendingCount() const { return impl->queue.pendingCount(); }

bool TaskDispatcher::isDispatcherThread() const { return impl->queue.isOwnThread(); }

void TaskDispatcher::shutdown(bool runPending) { impl->queue.shutdown(runPending); }

}  // namespace Processing
