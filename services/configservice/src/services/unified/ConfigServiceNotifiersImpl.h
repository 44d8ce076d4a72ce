#ifndef UNIFIED_CONFIGSERVICENOTIFIERSIMPL_H
#define UNIFIED_CONFIGSERVICENOTIFIERSIMPL_H

#include <memory>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "ConfigServiceNotifiers.h"
#include "ConfigServiceObserver.h"
#include "PropertyNotifierImpl.h"
#include "UnifiedServiceNotifiersImpl.h"

namespace ZVFUnified {

// Notifiers object of the configuration service: adds the ConfigReady
// notifier. Created by ConfigServiceBaseImpl::initNotifiers(); ownership and
// threading as UnifiedBusinessObjectNotifiersImpl.
class ConfigServiceNotifiersImpl : public UnifiedServiceNotifiersImpl,
                                   public virtual ConfigServiceNotifiers,
                                   public virtual ConfigServiceObserver {
public:
    ConfigServiceNotifiersImpl();
    ~ConfigServiceNotifiersImpl() override;

    // ConfigServiceNotifiers and ConfigServiceObserver:
    ZVF_CONFIG_SERVICE_PROPERTIES(ZVF_BO_NOTIFIER_DECLARE)
    void OnInfoChanged() override;

private:
    ZVF_CONFIG_SERVICE_PROPERTIES(ZVF_BO_NOTIFIER_FIELD)
};

}  // namespace ZVFUnified

#endif
