#ifndef UNIFIED_BUSINESSOBJECTPROPERTIES_H
#define UNIFIED_BUSINESSOBJECTPROPERTIES_H

#include <string>

// The property tables of the business objects, in property order. Each entry
// is P(Name, Type). Every interface, observer, notifiers class and base
// implementation of the layer expands its table with the macros of
// BusinessObjectMacros.h, so adding a property to an object is one line
// here: it gets its getter, setter, fire operation, observer callback
// On<Name>Changed(), notifier get<Name>Notifier() and the notifier's firing.
// Names keep the property's letter case (getisOverridden, fireisDefined).

// Host base: the guid. Only its notifier is generated here; the observer
// callback and the getter are the host's.
#define ZVF_UNIFIED_BUSINESS_OBJECT_PROPERTIES(P) \
    P(Guid, std::string)

// UnifiedService: read-only, so only its notifier is generated.
#define ZVF_UNIFIED_SERVICE_PROPERTIES(P) \
    P(BulkUpdateInProgress, bool)

#define ZVF_CONFIG_SERVICE_PROPERTIES(P) \
    P(ConfigReady, bool)

#define ZVF_CONFIG_VALUE_PROPERTIES(P)          \
    P(Key, std::wstring)                        \
    P(Value, std::wstring)                      \
    P(OriginalValue, std::wstring)              \
    P(isOverridden, bool)                       \
    P(isDefined, bool)                          \
    P(ValueStoreName, std::wstring)             \
    P(OriginalValueStoreName, std::wstring)

#endif
