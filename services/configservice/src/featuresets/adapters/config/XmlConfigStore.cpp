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
    ConfigMap read;
    if (encrypted) {
        XmlConfigParser::readFromEncryptedFile(this->filePath, read, sensitiveKeys);
    } else {
        XmlConfigParser::readFromFile(this->filePath, read, sensitiveKeys);
    }
    zvf::ScopedWriteRWLock guard(lock);
    values = std::move(read);
}

XmlConfigStore::~XmlConfigStore() = default;

bool XmlConfigStore::getValue(const std::wstring& key, std::wstring& value) {
    return getValueHashed(key, ConfigKeyHash::hashOf(key.data(), key.size()), value);
}

bool XmlConfigStore::getValueHashed(const std::wstring& key, std::size_t hash, std::wstring& value) {
    // A cached copy of server configuration never decides certificate
    // checking.
    const std::wstring& certificateKey = ConfigStoreConstants::Keys::CertificateValidationEnabled;
    zvf::ScopedReadRWLock guard(lock);
    auto it = values.find(key, hash);
    if (it == values.end() ||
        (key.size() == certificateKey.size() && PTKCoreUtils::caseInsensitiveStringCompare(key, certificateKey) == 0)) {
        value.clear();
        return false;
    }
    value = it->second;
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(key, value);
    return true;
}

bool XmlConfigStore::storeValue(const std::wstring& key, const std::wstring& value) {
    zvf::ScopedWriteRWLock guard(lock);
    values.assign(key, value);
    return true;
}

std::vector<std::wstring> XmlConfigStore::getKeys() {
    zvf::ScopedReadRWLock guard(lock);
    return configMapKeys(values.entries());
}

bool XmlConfigStore::removeValue(const std::wstring& key) {
    zvf::ScopedWriteRWLock guard(lock);
    return values.erase(key);
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
