#ifndef UNIFIED_UNIFIEDBUSINESSOBJECTIMPL_H
#define UNIFIED_UNIFIEDBUSINESSOBJECTIMPL_H

#include <memory>
#include <string>
#include <vector>

#include "NuvrixHostExport.h"
#include "unified/UnifiedBusinessObject.h"
#include "unified/UnifiedBusinessObjectNotifiers.h"
#include "unified/UnifiedBusinessObjectObserver.h"
#include "zvf/Mutex.h"

namespace ZVFUnified {

class UnifiedFactory;
class ServicesDispatcher;

// The host's base of every business object: a weak observer list guarded by
// its own lock, the object's notifiers object, a guid and the update-access
// check. State of derived objects may only change on the services thread;
// EnsureUpdateAccess reports any access from another thread (a level-2 log
// line naming the object and the operation, and a process-wide counter that
// the test suites check after every test).
class NUVRIX_HOST_API UnifiedBusinessObjectImpl : public virtual UnifiedBusinessObject {
public:
    UnifiedBusinessObjectImpl(std::shared_ptr<UnifiedFactory> factory, const std::string& name);
    UnifiedBusinessObjectImpl(std::shared_ptr<UnifiedFactory> factory, bool commitOnChange,
                              const std::string& name);
    ~UnifiedBusinessObjectImpl() override;
    UnifiedBusinessObjectImpl(const UnifiedBusinessObjectImpl&) = delete;
    UnifiedBusinessObjectImpl& operator=(const UnifiedBusinessObjectImpl&) = delete;

    // UnifiedBusinessObject:
    void addObserver(std::weak_ptr<UnifiedBusinessObjectObserver> observer) override;
    void removeObserver(std::weak_ptr<UnifiedBusinessObjectObserver> observer) override;
    std::shared_ptr<UnifiedBusinessObjectNotifiers> getUnifiedBusinessObjectNotifiers() override;
    std::string getGuid() override;
    std::string toString() override;

    // Creates the notifiers object on first use; the business-object layer
    // overrides it with its own notifiers class.
    virtual void initNotifiers();
    // Runs the object's pending commit on the services thread (queued when
    // called elsewhere).
    virtual void commitToServicesDispatcher();

    // Number of update-access violations in this process so far.
    static long getUpdateAccessViolationCount();
    static void resetUpdateAccessViolationCount();

protected:
    // True when the calling thread has update access. A violation is logged
    // at level 2 (when logViolation is set) and always counted.
    bool EnsureUpdateAccess(bool logViolation, const char* operation = __builtin_FUNCTION()) const;

    std::shared_ptr<UnifiedFactory> getUnifiedFactory() const { return unifiedFactory; }
    const std::string& getObjectName() const { return objectName; }

    std::shared_ptr<UnifiedFactory> unifiedFactory;
    // The factory's services dispatcher, which never changes: every getter,
    // setter and fire asks it, so it is not fetched from the factory each time.
    std::shared_ptr<ServicesDispatcher> servicesDispatcher;
    std::string objectName;
    bool commitOnChange;
    std::string guid;  // made by the first getGuid(); guarded by observersLock
    mutable zvf::Mutex observersLock;  // guards observers and guid
    std::vector<std::weak_ptr<UnifiedBusinessObjectObserver>> observers;
    std::shared_ptr<UnifiedBusinessObjectNotifiers> notifiers;
};

}  // namespace ZVFUnified

#endif
