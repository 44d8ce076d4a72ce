// Fuzzes the bootstrap store, which reads the installer's "key: value" text
// file once at construction. Beside surviving any file, every key the store
// lists must answer a lookup under that very name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "BootstrapConfigStore.h"
#include "FuzzEnvironment.h"
#include "PTKCoreUtils/StringUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = nuvrixfuzz::environment().configDir + "/bootstrap.txt";
    nuvrixfuzz::writeFile(path, data, size);
    ZVFUnified::BootstrapConfigStore store("BootstrapConfigStore", path, 150);
    for (const std::wstring& key : store.getKeys()) {
        std::wstring value;
        FUZZ_CHECK(store.getValue(key, value), "listed key [" + PTKCoreUtils::toString(key) + "] is not found");
    }
    return 0;
}
