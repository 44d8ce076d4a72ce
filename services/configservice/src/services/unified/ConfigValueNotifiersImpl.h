#ifndef UNIFIED_CONFIGVALUENOTIFIERSIMPL_H
#define UNIFIED_CONFIGVALUENOTIFIERSIMPL_H

#include <memory>

#include "BusinessObjectMacros.h"
#include "BusinessObjectProperties.h"
#include "ConfigValueNotifiers.h"
#include "ConfigValueObserver.h"
#include "PropertyNotifierImpl.h"
#include "UnifiedBusinessObjectNotifiersImpl.h"

namespace ZVFUnified {

// Notifiers object of a config value: one notifier per value property.
// Created by ConfigValueBaseImpl::initNotifiers(); ownership and threading as
// UnifiedBusinessObjectNotifiersImpl.
class ConfigValueNotifiersImpl : public UnifiedBusinessObjectNotifiersImpl,
                                 public virtual ConfigValueNotifiers,
                                 public virtual ConfigValueObserver {
public:
    ConfigValueNotifiersImpl();
    ~ConfigValueNotifiersImpl() override;

    // ConfigValueNotifiers and ConfigValueObserver:
    ZVF_CONFIG_VALUE_PROPERTIES(ZVF_BO_NOTIFIER_DECLARE)
    void OnInfoChanged() override;

private:
    ZVF_CONFIG_VALUE_PROPERTIES(ZVF_BO_NOTIFIER_FIELD)
};

}  // namespace ZVFUnified

#endif
