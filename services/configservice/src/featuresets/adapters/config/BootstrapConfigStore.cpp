#include "BootstrapConfigStore.h"

#include <fstream>

#include "ConfigMapLookup.h"
#include "PTKCoreUtils/FstreamUtils.h"
#include "PTKCoreUtils/StringUtils.h"
#include "logging/ZVFLogger.h"

namespace ZVFUnified {

namespace {
ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-BootstrapConfigStore");
}

BootstrapConfigStore::BootstrapConfigStore(const std::string& name, const std::string& filePath, int priority)
    : priority(priority), filePath(filePath), name(name) {
    std::fstream stream;
    if (!PTKCoreUtils::FstreamUtils::open(stream, filePath, std::ios::in)) {
        ZVF_LOG(logger, 3, L"File does not exist " + PTKCoreUtils::toWideString(ZVFLogger_replacePIIData(filePath)));
        return;
    }
    readLines(stream);
    stream.close();
}

BootstrapConfigStore::~BootstrapConfigStore() = default;

const std::string& BootstrapConfigStore::SPLITTER() {
    static const std::string splitter(":");
    return splitter;
}

void BootstrapConfigStore::readLines(std::istream& stream) {
    std::string line;
    while (stream.good()) {
        std::getline(stream, line);
        if (line.empty()) {
            continue;
        }
        const std::string leading = PTKCoreUtils::trimleft(line);
        if (!leading.empty() && leading[0] == '#') {
            continue;
        }
        std::vector<std::string> parts;
        PTKCoreUtils::split(line, parts, SPLITTER());
        if (parts.empty()) {
            continue;
        }
        const std::string key = PTKCoreUtils::trim(parts[0]);
        // A blank line has no key to store.
        if (key.empty()) {
            continue;
        }
        std::string value;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            if (i > 1) {
                value += SPLITTER();
            }
            value += parts[i];
        }
        // A later line with the same key (in any letter case) replaces the value.
        values.assign(PTKCoreUtils::toWideString(key), PTKCoreUtils::toWideString(PTKCoreUtils::trim(value)));
    }
}

bool BootstrapConfigStore::getValue(const std::wstring& key, std::wstring& value) {
    return getValueHashed(key, ConfigKeyHash::hashOf(key.data(), key.size()), value);
}

bool BootstrapConfigStore::getValueHashed(const std::wstring& key, std::size_t hash, std::wstring& value) {
    return lookupTrimmed(values, key, hash, value);
}

bool BootstrapConfigStore::storeValue(const std::wstring&, const std::wstring&) { return false; }

std::vector<std::wstring> BootstrapConfigStore::getKeys() {
    return configMapKeys(values.entries());
}

bool BootstrapConfigStore::removeValue(const std::wstring&) { return false; }

void BootstrapConfigStore::removeAllValues() {}

bool BootstrapConfigStore::isReadOnly() { return true; }

std::string BootstrapConfigStore::getName() { return name; }

int BootstrapConfigStore::getPriority() { return priority; }

void BootstrapConfigStore::persistValues() {}

void BootstrapConfigStore::destroy() {}

bool BootstrapConfigStore::isLocal() { return true; }

bool BootstrapConfigStore::waitForStoreReady() { return true; }

bool BootstrapConfigStore::shouldCacheConfigStore() { return false; }

}  // namespace ZVFUnified
