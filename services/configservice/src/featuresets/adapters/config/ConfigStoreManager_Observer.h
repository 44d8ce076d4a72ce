#ifndef CONFIG_CONFIGSTOREMANAGER_OBSERVER_H
#define CONFIG_CONFIGSTOREMANAGER_OBSERVER_H

#include <string>

namespace ZVFUnified {

// Told by the store manager whenever the effective value of a key may have
// changed or a key became sensitive. Called synchronously on the thread that
// changed the stores, with the manager's store-list and observers locks
// held: an implementation must not block on another thread that could be
// waiting for the manager. The manager does not own its observers.
class ConfigStoreManager_Observer {
public:
    virtual ~ConfigStoreManager_Observer() = default;
    // Fire the notifications that earlier silent reports of key recorded.
    virtual void onFireIfRequired(std::wstring key) = 0;
    virtual void onSensitiveKeyAddedOrUpdated(std::wstring key) = 0;
    // The recomputed state of key. silent: record it without firing.
    virtual void onConfigAddedOrUpdated(std::wstring key, std::wstring value, std::wstring originalValue,
                                        bool isOverridden, bool isDefined, std::wstring valueStoreName,
                                        std::wstring originalValueStoreName, bool silent) = 0;
};

}  // namespace ZVFUnified

#endif
