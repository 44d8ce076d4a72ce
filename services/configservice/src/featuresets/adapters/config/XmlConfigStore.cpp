#include "XmlConfigStore.h"

#include <utility>

#include "ConfigStoreConstants.h"
#include "DisableP2PCallOnFips.h"
#include "PTKCoreUtils/StringUtils.h"
#include "XmlConfigParser.h"
#include "zvf/ScopedReadRWLock.h"
#include "zvf/ScopedWriteRWLock.h"

namespace ZVFUnified {

XmlConfigStore::XmlConfigStore(std::string name, int priority, bool isLocal, bool encrypted, std::string filePath,
                               bool loadFromFile)
    : filePath(std::move(filePath)), local(isLocal), priority(priority), name(std::move(name)) {
    if (!loadFromFile) {
        return;
    }
    // The keys the file marks sensitive go to the manager when the store is
    // added (getSensitiveKeys).
    zvf::ScopedWriteRWLock guard(lock);
    if (encrypted) {
        XmlConfigParser::readFromEncryptedFile(this->filePath, values, sensitiveKeys);
    } else {
        XmlConfigParser::readFromFile(this->filePath, values, sensitiveKeys);
    }
}

XmlConfigStore::~XmlConfigStore() = default;

bool XmlConfigStore::getValue(const std::wstring& key, std::wstring& value) {
    zvf::ScopedReadRWLock guard(lock);
    auto it = values.find(key);
    if (it == values.end() ||
        PTKCoreUtils::caseInsensitiveStringEquals(key, ConfigStoreConstants::Keys::CertificateValidationEnabled)) {
        value.clear();
        return false;
    }
    value = it->second;
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(key, value);
    return true;
}

bool XmlConfigStore::storeValue(const std::wstring& key, const std::wstring& value) {
    zvf::ScopedWriteRWLock guard(lock);
    values[key] = value;
    return true;
}

std::vector<std::wstring> XmlConfigStore::getKeys() {
    zvf::ScopedReadRWLock guard(lock);
    return configMapKeys(values);
}

bool XmlConfigStore::removeValue(const std::wstring& key) {
    zvf::ScopedWriteRWLock guard(lock);
    return values.erase(key) > 0;
}

void XmlConfigStore::removeAllValues() {}

bool XmlConfigStore::isReadOnly() { return true; }

std::string XmlConfigStore::getName() { return name; }

int XmlConfigStore::getPriority() { return priority; }

void XmlConfigStore::persistValues() {}

void XmlConfigStore::destroy() {}

bool XmlConfigStore::isLocal() { return local; }

bool XmlConfigStore::waitForStoreReady() { return true; }

bool XmlConfigStore::shouldCacheConfigStore() { return false; }

std::vector<std::wstring> XmlConfigStore::getSensitiveKeys() {
    return std::vector<std::wstring>(sensitiveKeys.begin(), sensitiveKeys.end());
}

}  // namespace ZVFUnified
