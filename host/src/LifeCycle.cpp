#include "unified/LifeCycle.h"

#include <algorithm>

namespace ZVFUnified {

void LifeCycle::addResetDataCallback(std::shared_ptr<ProviderResetDataCallback> callback) {
    if (!callback) {
        return;
    }
    std::lock_guard<std::mutex> guard(lock);
    if (std::find(callbacks.begin(), callbacks.end(), callback) == callbacks.end()) {
        callbacks.push_back(std::move(callback));
    }
}

void LifeCycle::removeResetDataCallback(std::shared_ptr<ProviderResetDataCallback> callback) {
    std::lock_guard<std::mutex> guard(lock);
    callbacks.erase(std::remove(callbacks.begin(), callbacks.end(), callback), callbacks.end());
}

std::size_t LifeCycle::getResetDataCallbackCount() const {
    std::lock_guard<std::mutex> guard(lock);
    return callbacks.size();
}

void LifeCycle::invokeResetData(ResetDataOptionEnum::ResetDataOption option) {
    std::vector<std::shared_ptr<ProviderResetDataCallback>> snapshot;
    {
        std::lock_guard<std::mutex> guard(lock);
        snapshot = callbacks;
    }
    // Outside the lock: a provider may remove itself while being called.
    for (const auto& callback : snapshot) {
        callback->InvokeResetData(option);
    }
}

}  // namespace ZVFUnified
