#include "unified/ServiceFactory.h"

#include "unified/ServiceFactoryImpl.h"
#include "unified/UnifiedFactory.h"

namespace ZVFUnified {

ServiceFactory* ServiceFactory::getInstance() {
    // Never destroyed: code running at process exit may still ask for it.
    static ServiceFactoryImpl* instance = new ServiceFactoryImpl;
    return instance;
}

std::shared_ptr<UnifiedFactory> ServiceFactoryImpl::getUnifiedFactory() {
    std::lock_guard<std::mutex> guard(lock);
    return factory.lock();
}

void ServiceFactoryImpl::setUnifiedFactory(std::shared_ptr<UnifiedFactory> newFactory) {
    std::lock_guard<std::mutex> guard(lock);
    factory = newFactory;
}

}  // namespace ZVFUnified
