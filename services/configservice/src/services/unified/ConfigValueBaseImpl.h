#ifndef UNIFIED_CONFIGVALUEBASEIMPL_H
#define UNIFIED_CONFIGVALUEBASEIMPL_H

#include <memory>
#include <string>
#include <vector>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "ConfigValue.h"
#include "filterObservers.h"
#include "unified/UnifiedBusinessObjectImpl.h"

namespace ZVFUnified {

class UnifiedFactory;
class ConfigValueObserver;
class ConfigValueNotifiers;

// Generated layer of a config value: the seven properties with getter,
// setter and fire operation (texts empty and flags false at construction),
// typed observers and the notifiers object. The value operations proper are
// ConfigValueImpl's. Every property access asserts update access (services
// thread).
class ConfigValueBaseImpl : public UnifiedBusinessObjectImpl, public ConfigValue {
public:
    explicit ConfigValueBaseImpl(std::shared_ptr<UnifiedFactory> factory);
    ConfigValueBaseImpl(std::shared_ptr<UnifiedFactory> factory, bool commitOnChange);
    ~ConfigValueBaseImpl() override;

    using UnifiedBusinessObjectImpl::addObserver;
    using UnifiedBusinessObjectImpl::removeObserver;

    // UnifiedBusinessObjectImpl: creates the ConfigValueNotifiersImpl on first
    // call and registers it as an observer (weakly); the host base's
    // notifiers pointer owns it.
    void initNotifiers() override;

    // Properties, in property order: getKey(), setKey(), fireKey(), getValue(),
    // ... fireOriginalValueStoreName().
    ZVF_CONFIG_VALUE_PROPERTIES(ZVF_BO_ACCESSORS_DECLARE)

    // ConfigValue:
    void addObserver(std::weak_ptr<ConfigValueObserver> observer) override;
    void removeObserver(std::weak_ptr<ConfigValueObserver> observer) override;
    std::shared_ptr<ConfigValueNotifiers> getConfigValueNotifiers() override;

protected:
    // The live observers of type T, in list order; prunes expired ones. The
    // observer-list lock is held only while the list is filtered.
    template <class T>
    std::vector<std::shared_ptr<T>> getFilteredObservers() {
        return filterObserversUnderLock<T>(observersLock, observers);
    }

    // The property fields; the implementation class reads them directly where a
    // getter's copy would be wasted (after asserting update access itself).
    ZVF_CONFIG_VALUE_PROPERTIES(ZVF_BO_FIELD)
};

}  // namespace ZVFUnified

#endif
