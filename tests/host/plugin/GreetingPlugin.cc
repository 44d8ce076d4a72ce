// A minimal plug-in for the host tests. It is built as a module of its own
// and loaded with dlopen, so the service it registers is created in another
// shared object than the one that looks it up.
#include <memory>

#include "GreetingService.h"
#include "unified/UnifiedBusinessObjectImpl.h"
#include "unified/UnifiedFactory.h"

namespace {

class GreetingServiceImpl : public GreetingService, public ZVFUnified::UnifiedBusinessObjectImpl {
public:
    explicit GreetingServiceImpl(std::shared_ptr<ZVFUnified::UnifiedFactory> factory)
        : UnifiedBusinessObjectImpl(std::move(factory), "GreetingServiceImpl") {}

    // GreetingService:
    std::string greet(const std::string& name) override { return "hello, " + name; }

    // UnifiedService:
    using UnifiedBusinessObjectImpl::addObserver;
    using UnifiedBusinessObjectImpl::removeObserver;
    void addObserver(std::weak_ptr<ZVFUnified::UnifiedServiceObserver>) override {}
    void removeObserver(std::weak_ptr<ZVFUnified::UnifiedServiceObserver>) override {}
    std::shared_ptr<ZVFUnified::UnifiedServiceNotifiers> getUnifiedServiceNotifiers() override { return nullptr; }
    bool getBulkUpdateInProgress() override { return false; }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) bool registerGreetingService(ZVFUnified::UnifiedFactory* factory) {
    if (factory == nullptr) {
        return false;
    }
    factory->setService<GreetingService>(kGreetingServiceId,
                                         std::make_shared<GreetingServiceImpl>(factory->shared_from_this()));
    return true;
}
