#ifndef UNIFIED_LIFECYCLE_H
#define UNIFIED_LIFECYCLE_H

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "NuvrixHostExport.h"
#include "unified/ProviderResetDataCallback.h"

namespace ZVFUnified {

// The host's life-cycle object: the providers to call when the user's data
// is to be reset. Thread-safe; callbacks are held strongly, as registered.
class NUVRIX_HOST_API LifeCycle {
public:
    void addResetDataCallback(std::shared_ptr<ProviderResetDataCallback> callback);
    void removeResetDataCallback(std::shared_ptr<ProviderResetDataCallback> callback);
    std::size_t getResetDataCallbackCount() const;

    // Host side: calls InvokeResetData(option) on every registered callback,
    // in registration order, on the calling thread and outside the lock.
    void invokeResetData(ResetDataOptionEnum::ResetDataOption option);

private:
    mutable std::mutex lock;
    std::vector<std::shared_ptr<ProviderResetDataCallback>> callbacks;
};

}  // namespace ZVFUnified

#endif
