#ifndef UNIFIED_BUSINESSOBJECTMACROS_H
#define UNIFIED_BUSINESSOBJECTMACROS_H

#include <memory>
#include <utility>

// The expansions of one property-table entry P(Name, Type) (see
// BusinessObjectProperties.h) into the members of the business-object layer.
// Each macro produces the members of one class for one property; classes
// apply them to their table in the place where the members belong, which
// fixes the slot order of the virtual operations.

// ---- Interfaces ----------------------------------------------------------

// In the business-object interface (ConfigValue, ConfigService): the getter.
#define ZVF_BO_INTERFACE_GETTER(Name, Type) virtual Type get##Name() = 0;

// In the observer interface: the change callback.
#define ZVF_BO_OBSERVER_CALLBACK(Name, Type) virtual void On##Name##Changed() = 0;

// In the notifiers interface: the property's notifier.
#define ZVF_BO_NOTIFIER_GETTER(Name, Type) virtual std::shared_ptr<PropertyNotifier> get##Name##Notifier() = 0;

// ---- Base implementation of a business object ----------------------------

// Getter and setter in turn (virtual, in this order; the getter implements
// the interface's), then the fire operation (not virtual).
#define ZVF_BO_ACCESSORS_DECLARE(Name, Type) \
    Type get##Name() override;               \
    virtual void set##Name(Type value);      \
    void fire##Name();

// The field holding the property; value-initialised (empty text, false).
#define ZVF_BO_FIELD(Name, Type) Type Name##Property{};

// Definitions, in the .cpp of Class. Getter and setter assert update access
// and copy the field; the setter notifies nobody. The fire operation calls
// On<Name>Changed() on every live observer of type Observer, in list order;
// the observers are taken under the observer-list lock and called after it
// has been released.
#define ZVF_BO_ACCESSORS_DEFINE(Class, Observer, Name, Type)                         \
    Type Class::get##Name() {                                                        \
        EnsureUpdateAccess(true);                                                    \
        return Name##Property;                                                       \
    }                                                                                \
    void Class::set##Name(Type value) {                                              \
        EnsureUpdateAccess(true);                                                    \
        Name##Property = std::move(value);                                           \
    }                                                                                \
    void Class::fire##Name() {                                                       \
        EnsureUpdateAccess(true);                                                    \
        for (const std::shared_ptr<Observer>& observer : getFilteredObservers<Observer>()) { \
            observer->On##Name##Changed();                                           \
        }                                                                            \
    }

// ---- Notifiers implementation --------------------------------------------

// The notifier getter and the observer callback that fires it.
#define ZVF_BO_NOTIFIER_DECLARE(Name, Type)                              \
    std::shared_ptr<PropertyNotifier> get##Name##Notifier() override;    \
    void On##Name##Changed() override;

// The notifier, created on first request.
#define ZVF_BO_NOTIFIER_FIELD(Name, Type) std::shared_ptr<PropertyNotifierImpl> Name##Notifier;

// Definitions, in the .cpp of Class. A property nobody asked a notifier for
// has none, and its callback does nothing.
#define ZVF_BO_NOTIFIER_DEFINE(Class, Name)                            \
    std::shared_ptr<PropertyNotifier> Class::get##Name##Notifier() {    \
        if (!Name##Notifier) {                                          \
            Name##Notifier = std::make_shared<PropertyNotifierImpl>();  \
        }                                                               \
        return Name##Notifier;                                          \
    }                                                                   \
    void Class::On##Name##Changed() { ZVF_BO_NOTIFIER_FIRE_IF_CREATED(Name, _) }

// Fires the property's notifier if it has been created (used by
// OnInfoChanged for every property of the class).
#define ZVF_BO_NOTIFIER_FIRE_IF_CREATED(Name, Type) \
    if (Name##Notifier) {                           \
        Name##Notifier->fire();                     \
    }

#endif
