#include "unified/ServicesDispatcher.h"

#include "DispatchQueue.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "zvf/Task.h"

namespace ZVFUnified {

namespace {

// Set on every services thread by the first task its dispatcher runs.
thread_local bool onAServicesThread = false;

}  // namespace

class ServicesDispatcher::Impl {
public:
    Impl() : queue("nuvrix-services") {}
    nuvrixhost::DispatchQueue queue;
};

ServicesDispatcher::ServicesDispatcher() : impl(new Impl) {
    impl->queue.enqueue(std::make_shared<PTKCoreUtils::FunctionTask>([] { onAServicesThread = true; },
                                                                     "ServicesDispatcher::markThread"),
                        false);
}

bool ServicesDispatcher::isAnyServicesThread() { return onAServicesThread; }

ServicesDispatcher::~ServicesDispatcher() { impl->queue.shutdown(true); }

bool ServicesDispatcher::checkForUpdateAccess() const { return impl->queue.isOwnThread(); }

void ServicesDispatcher::enqueue(std::shared_ptr<zvf::Task> task, bool /*urgent*/, bool trace) {
    impl->queue.enqueue(std::move(task), trace);
}

void ServicesDispatcher::enqueueBlock(std::shared_ptr<zvf::Task> task, bool /*urgent*/, bool trace) {
    impl->queue.enqueueAndWait(std::move(task), trace);
}

void ServicesDispatcher::waitUntilIdle() { impl->queue.waitUntilIdle(); }

void ServicesDispatcher::shutdown() { impl->queue.shutdown(true); }

}  // namespace ZVFUnified
