#include "unified/UnifiedBusinessObjectImpl.h"

#include <openssl/rand.h>

#include <atomic>
#include <cstdio>
#include <random>

#include "PTKCoreUtils/FunctionTask.h"
#include "logging/ZVFLogger.h"
#include "unified/ServicesDispatcher.h"
#include "unified/UnifiedFactory.h"
#include "zvf/ScopedLock.h"

namespace ZVFUnified {

namespace {

ZVFLogger* logger = ZVFLogger_getLogger("Host-UnifiedBusinessObjectImpl");

std::atomic<long> updateAccessViolations{0};

// A random (version 4) UUID in its usual text form.
std::string makeGuid() {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof(bytes)) != 1) {
        std::random_device device;
        for (unsigned char& byte : bytes) {
            byte = static_cast<unsigned char>(device());
        }
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    char text[37];
    std::snprintf(text, sizeof(text),
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0], bytes[1],
                  bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                  bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

bool sameObserver(const std::weak_ptr<UnifiedBusinessObjectObserver>& a,
                  const std::weak_ptr<UnifiedBusinessObjectObserver>& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

UnifiedBusinessObjectImpl::UnifiedBusinessObjectImpl(std::shared_ptr<UnifiedFactory> factory,
                                                     const std::string& name)
    : UnifiedBusinessObjectImpl(std::move(factory), false, name) {}

UnifiedBusinessObjectImpl::UnifiedBusinessObjectImpl(std::shared_ptr<UnifiedFactory> factory,
                                                     bool commitOnChangeIn, const std::string& name)
    : unifiedFactory(std::move(factory)),
      servicesDispatcher(unifiedFactory ? unifiedFactory->getServicesDispatcher() : nullptr),
      objectName(name),
      commitOnChange(commitOnChangeIn) {}

UnifiedBusinessObjectImpl::~UnifiedBusinessObjectImpl() = default;

void UnifiedBusinessObjectImpl::addObserver(std::weak_ptr<UnifiedBusinessObjectObserver> observer) {
    if (observer.expired()) {
        return;
    }
    zvf::ScopedLock guard(observersLock);
    for (const auto& present : observers) {
        if (sameObserver(present, observer)) {
            return;  // one registration, one notification per change
        }
    }
    observers.push_back(std::move(observer));
}

void UnifiedBusinessObjectImpl::removeObserver(std::weak_ptr<UnifiedBusinessObjectObserver> observer) {
    zvf::ScopedLock guard(observersLock);
    for (auto it = observers.begin(); it != observers.end();) {
        if (sameObserver(*it, observer)) {
            it = observers.erase(it);
        } else {
            ++it;
        }
    }
}

std::shared_ptr<UnifiedBusinessObjectNotifiers> UnifiedBusinessObjectImpl::getUnifiedBusinessObjectNotifiers() {
    initNotifiers();
    return notifiers;
}

std::string UnifiedBusinessObjectImpl::getGuid() {
    // Made on first request: most objects are never asked, and drawing 16
    // random bytes for each of thousands of config values made start-up slow.
    zvf::ScopedLock guard(observersLock);
    if (guid.empty()) {
        guid = makeGuid();
    }
    return guid;
}

std::string UnifiedBusinessObjectImpl::toString() { return objectName + "{guid=" + getGuid() + "}"; }

void UnifiedBusinessObjectImpl::initNotifiers() {
    // The host base has no properties of its own to notify about; the
    // business-object layer installs its notifiers class here.
}

void UnifiedBusinessObjectImpl::commitToServicesDispatcher() {
    // A commit tells the observers that the object's information changed.
    // The observers are taken now; the task holds only weak pointers to
    // them, never to this object, so it is safe whenever it runs.
    std::vector<std::weak_ptr<UnifiedBusinessObjectObserver>> snapshot;
    {
        zvf::ScopedLock guard(observersLock);
        snapshot = observers;
    }
    auto notify = [snapshot]() {
        for (const auto& weak : snapshot) {
            if (auto observer = weak.lock()) {
                observer->OnInfoChanged();
            }
        }
    };
    std::shared_ptr<ServicesDispatcher> dispatcher =
        unifiedFactory ? unifiedFactory->getServicesDispatcher() : nullptr;
    if (!dispatcher || dispatcher->checkForUpdateAccess()) {
        notify();
        return;
    }
    dispatcher->enqueue(std::make_shared<PTKCoreUtils::FunctionTask>(notify, objectName + "::commit"), false, true);
}

long UnifiedBusinessObjectImpl::getUpdateAccessViolationCount() { return updateAccessViolations.load(); }

void UnifiedBusinessObjectImpl::resetUpdateAccessViolationCount() { updateAccessViolations.store(0); }

bool UnifiedBusinessObjectImpl::EnsureUpdateAccess(bool logViolation, const char* operation) const {
    const bool allowed =
        servicesDispatcher ? servicesDispatcher->checkForUpdateAccess() : ServicesDispatcher::isAnyServicesThread();
    if (allowed) {
        return true;
    }
    updateAccessViolations.fetch_add(1);
    if (logViolation) {
        ZVFLog(logger, 2, __FILE__, __LINE__, __func__,
               "update access violation: " + objectName + "::" + (operation ? operation : "?") +
                   " called off the services thread");
    }
    return false;
}

}  // namespace ZVFUnified
