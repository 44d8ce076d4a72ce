#ifndef UNIFIED_UNIFIEDSERVICEIMPL_H
#define UNIFIED_UNIFIEDSERVICEIMPL_H

#include <memory>
#include <string>
#include <vector>

#include "filterObservers.h"
#include "unified/UnifiedBusinessObjectImpl.h"
#include "unified/UnifiedService.h"

namespace ZVFUnified {

class UnifiedFactory;
class UnifiedServiceObserver;
class UnifiedServiceNotifiers;

// Base implementation of every service: the host business object plus the
// UnifiedService operations. BulkUpdateInProgress is always false (there is
// no setter). State changes on the services thread only.
class UnifiedServiceImpl : public virtual UnifiedService, public UnifiedBusinessObjectImpl {
public:
    UnifiedServiceImpl(std::shared_ptr<UnifiedFactory> factory, const std::string& name);
    UnifiedServiceImpl(std::shared_ptr<UnifiedFactory> factory, bool commitOnChange, const std::string& name);
    ~UnifiedServiceImpl() override;

    using UnifiedBusinessObjectImpl::addObserver;
    using UnifiedBusinessObjectImpl::removeObserver;

    // UnifiedBusinessObjectImpl:
    void initNotifiers() override;

    virtual std::string getClassName();

    // UnifiedService:
    void addObserver(std::weak_ptr<UnifiedServiceObserver> observer) override;
    void removeObserver(std::weak_ptr<UnifiedServiceObserver> observer) override;
    std::shared_ptr<UnifiedServiceNotifiers> getUnifiedServiceNotifiers() override;
    bool getBulkUpdateInProgress() override;

protected:
    // The live observers of type T, in list order; prunes expired ones. The
    // observer-list lock is held only while the list is filtered.
    template <class T>
    std::vector<std::shared_ptr<T>> getFilteredObservers() {
        return filterObserversUnderLock<T>(observersLock, observers);
    }

private:
    bool bulkUpdateInProgress = false;
};

}  // namespace ZVFUnified

#endif
