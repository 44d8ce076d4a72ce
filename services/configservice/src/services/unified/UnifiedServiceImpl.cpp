#include "UnifiedServiceImpl.h"

#include <utility>

#include "UnifiedServiceNotifiersImpl.h"
#include "unified/UnifiedServiceObserver.h"

namespace ZVFUnified {

UnifiedServiceImpl::UnifiedServiceImpl(std::shared_ptr<UnifiedFactory> factory, const std::string& name)
    : UnifiedBusinessObjectImpl(std::move(factory), name) {}

UnifiedServiceImpl::UnifiedServiceImpl(std::shared_ptr<UnifiedFactory> factory, bool commitOnChange,
                                       const std::string& name)
    : UnifiedBusinessObjectImpl(std::move(factory), commitOnChange, name) {}

UnifiedServiceImpl::~UnifiedServiceImpl() = default;

void UnifiedServiceImpl::initNotifiers() {
    if (notifiers) {
        return;
    }
    auto created = std::make_shared<UnifiedServiceNotifiersImpl>();
    notifiers = created;
    addObserver(std::weak_ptr<UnifiedServiceObserver>(created));
}

std::string UnifiedServiceImpl::getClassName() { return "UnifiedServiceImpl"; }

void UnifiedServiceImpl::addObserver(std::weak_ptr<UnifiedServiceObserver> observer) {
    UnifiedBusinessObjectImpl::addObserver(std::weak_ptr<UnifiedBusinessObjectObserver>(observer));
}

void UnifiedServiceImpl::removeObserver(std::weak_ptr<UnifiedServiceObserver> observer) {
    UnifiedBusinessObjectImpl::removeObserver(std::weak_ptr<UnifiedBusinessObjectObserver>(observer));
}

std::shared_ptr<UnifiedServiceNotifiers> UnifiedServiceImpl::getUnifiedServiceNotifiers() {
    initNotifiers();
    return std::dynamic_pointer_cast<UnifiedServiceNotifiers>(notifiers);
}

bool UnifiedServiceImpl::getBulkUpdateInProgress() { return bulkUpdateInProgress; }

}  // namespace ZVFUnified
