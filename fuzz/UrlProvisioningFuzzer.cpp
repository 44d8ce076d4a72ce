// Fuzzes URL provisioning in the store manager: the parser of provisioning
// data and its application, which writes the permitted settings to their
// cache file and adds them as a store. The input bytes are the URL as UTF-8.
// Properties: only permitted keys are taken; data is applied exactly when
// the parser finds a permitted key; the manager then answers every parsed
// setting; and a provisioned value survives a restart: a cache store
// restored from the same file answers the same values.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "CacheConfigStore.h"
#include "ConfigMap.h"
#include "ConfigStoreConstants.h"
#include "ConfigStoreManager.h"
#include "FuzzEnvironment.h"
#include "LocalFileConfigStore.h"
#include "PTKCoreUtils/StringUtils.h"
#include "Processing/TaskDispatcher.h"
#include "unified/UnifiedFactory.h"
#include "zvf/common/FipsUtils.h"

using ZVFUnified::CacheConfigStore;
using ZVFUnified::ConfigMap;
using ZVFUnified::ConfigStoreManager;
namespace Constants = ZVFUnified::ConfigStoreConstants;

namespace {

// One host and one manager with the user's settings store for the whole
// run, as in the client, where provisioning may arrive many times.
struct Host {
    std::shared_ptr<ZVFUnified::UnifiedFactory> factory;
    std::unique_ptr<ConfigStoreManager> manager;

    Host() {
        nuvrixfuzz::environment();
        // FIPS mode would rewrite one permitted key's value on lookup.
        zvf::common::FipsUtils::setFipsOverrideForTesting(0);
        factory = ZVFUnified::UnifiedFactory::create();
        manager = std::make_unique<ConfigStoreManager>(factory);
        manager->addStore(std::make_shared<ZVFUnified::LocalFileConfigStore>(Constants::LOCAL_FILE_CONFIG_STORE,
                                                                             Constants::LOCAL_FILE_CONFIG_STORE_PRIORITY,
                                                                             false));
    }
    ~Host() {
        factory->getTaskDispatcher()->waitUntilIdle();
        manager.reset();
        factory->shutdown();
    }
};

Host& host() {
    static Host instance;
    return instance;
}

bool isPermitted(const std::wstring& key) {
    for (const std::wstring& permitted : Constants::URL_PROVISIONING_KEYS) {
        if (PTKCoreUtils::caseInsensitiveStringEquals(key, permitted)) {
            return true;
        }
    }
    return false;
}

std::string shown(const std::wstring& text) { return "[" + PTKCoreUtils::toString(text) + "]"; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ConfigStoreManager& manager = *host().manager;
    const std::wstring url = PTKCoreUtils::toWideString(std::string(reinterpret_cast<const char*>(data), size));

    ConfigMap parsed;
    const bool permitted = manager.parseUrlProvisioningData(url, parsed);
    FUZZ_CHECK(permitted == !parsed.empty(), "the parser's answer disagrees with what it found");
    for (const auto& entry : parsed) {
        FUZZ_CHECK(isPermitted(entry.first), "key " + shown(entry.first) + " is not permitted in provisioning data");
    }

    FUZZ_CHECK(manager.setUrlProvisioningData(url) == permitted, "data applied although nothing was permitted, or the reverse");
    if (!permitted) {
        return 0;
    }
    for (const auto& entry : parsed) {
        std::wstring value;
        std::wstring storeName;
        bool viaAlias = false;
        FUZZ_CHECK(manager.getValue(entry.first, value, storeName, viaAlias, false, ""),
                   "provisioned key " + shown(entry.first) + " is not found");
        FUZZ_CHECK(value == entry.second, "provisioned key " + shown(entry.first) + " answers " + shown(value) +
                                              " instead of " + shown(entry.second));
    }

    CacheConfigStore restored(Constants::URL_PROVISIONING_CONFIG_STORE, Constants::URL_PROVISIONING_CONFIG_STORE_PRIORITY,
                              CacheConfigStore::cacheFilePath(Constants::URL_PROVISIONING_CONFIG_STORE));
    FUZZ_CHECK(restored.getKeys().size() == parsed.size(), "the restored provisioning store holds a different number of keys");
    for (const auto& entry : parsed) {
        std::wstring value;
        FUZZ_CHECK(restored.getValue(entry.first, value), "provisioned key " + shown(entry.first) + " lost at restart");
        FUZZ_CHECK(value == entry.second, "provisioned key " + shown(entry.first) + " restored as " + shown(value) +
                                              " instead of " + shown(entry.second));
    }
    return 0;
}
