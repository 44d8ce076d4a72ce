#ifndef UNIFIED_SERVICEFACTORYIMPL_H
#define UNIFIED_SERVICEFACTORYIMPL_H

#include <memory>
#include <mutex>

#include "unified/ServiceFactory.h"

namespace ZVFUnified {

class UnifiedFactory;

class NUVRIX_HOST_API ServiceFactoryImpl : public ServiceFactory {
public:
    // The factory the host made current (UnifiedFactory::create() does), or
    // empty.
    std::shared_ptr<UnifiedFactory> getUnifiedFactory();
    void setUnifiedFactory(std::shared_ptr<UnifiedFactory> factory);

private:
    std::mutex lock;
    std::weak_ptr<UnifiedFactory> factory;
};

}  // namespace ZVFUnified

#endif
