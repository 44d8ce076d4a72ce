#include "MdmConfigStore.h"

#include "ConfigMapLookup.h"
#include "MdmConfigRetriever.h"
#include "PTKCoreUtils/StringUtils.h"
#include "XmlConfigParser.h"

namespace ZVFUnified {

MdmConfigStore::MdmConfigStore(const std::string& xmlText) {
    ConfigMap parsed;
    XmlConfigParser::readFromMemory(xmlText, parsed, sensitiveKeys);
    values = std::move(parsed);
}

MdmConfigStore::MdmConfigStore(std::shared_ptr<MdmConfigRetriever> retriever) {
    if (retriever) {
        values = retriever->getMdmConfig();
    }
}

MdmConfigStore::~MdmConfigStore() = default;

bool MdmConfigStore::getValue(const std::wstring& key, std::wstring& value) {
    return getValueHashed(key, ConfigKeyHash::hashOf(key.data(), key.size()), value);
}

bool MdmConfigStore::getValueHashed(const std::wstring& key, std::size_t hash, std::wstring& value) {
    return lookupTrimmed(values, key, hash, value);
}

bool MdmConfigStore::storeValue(const std::wstring&, const std::wstring&) { return false; }

std::vector<std::wstring> MdmConfigStore::getKeys() {
    return configMapKeys(values.entries());
}

bool MdmConfigStore::removeValue(const std::wstring&) { return false; }

void MdmConfigStore::removeAllValues() {}

bool MdmConfigStore::isReadOnly() { return true; }

std::string MdmConfigStore::getName() { return MDM_CONFIG_STORE_NAME; }

int MdmConfigStore::getPriority() { return MDM_CONFIG_STORE_PRIORITY; }

void MdmConfigStore::persistValues() {}

void MdmConfigStore::destroy() {}

bool MdmConfigStore::isLocal() { return true; }

bool MdmConfigStore::waitForStoreReady() { return true; }

std::vector<std::wstring> MdmConfigStore::getSensitiveKeys() {
    return std::vector<std::wstring>(sensitiveKeys.begin(), sensitiveKeys.end());
}

}  // namespace ZVFUnified
