// Fuzzes the configuration XML parser on documents held in memory, as the
// device-management store hands them over. Beside surviving any input, the
// values it reads, and the keys marked sensitive, must come back unchanged
// from the cached-configuration document the cache writer makes of them: a
// cache file that loses or alters a value loses the administrator's setting
// at the next start, one that loses a mark shows a secret.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ConfigMap.h"
#include "FuzzEnvironment.h"
#include "PTKCoreUtils/StringUtils.h"
#include "XmlConfigParser.h"

using ZVFUnified::ConfigKeySet;
using ZVFUnified::ConfigMap;
using ZVFUnified::XmlConfigParser;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    nuvrixfuzz::environment();
    const std::string text(reinterpret_cast<const char*>(data), size);
    ConfigMap values;
    ConfigKeySet sensitiveKeys;
    if (!XmlConfigParser::readFromMemory(text, values, sensitiveKeys)) {
        FUZZ_CHECK(values.empty() && sensitiveKeys.empty(), "a refused document left values behind");
        return 0;
    }
    for (const std::wstring& key : sensitiveKeys) {
        FUZZ_CHECK(values.count(key) == 1, "a key marked sensitive is not among the values read");
    }

    std::string document;
    if (!XmlConfigParser::writeToMemory(document, values, sensitiveKeys)) {
        return 0;  // too large to be read back: the writer refuses it, as promised
    }
    ConfigMap reread;
    ConfigKeySet rereadSensitive;
    FUZZ_CHECK(XmlConfigParser::readFromMemory(document, reread, rereadSensitive),
               "the cache writer's document does not parse");
    FUZZ_CHECK(rereadSensitive == sensitiveKeys, "the cache document changed which keys are sensitive");
    FUZZ_CHECK(reread.size() == values.size(), "the cache document holds a different number of entries");
    for (const auto& entry : values) {
        const auto found = reread.find(entry.first);
        FUZZ_CHECK(found != reread.end(), "key [" + PTKCoreUtils::toString(entry.first) + "] lost in the cache document");
        FUZZ_CHECK(found->second == entry.second, "value of key [" + PTKCoreUtils::toString(entry.first) +
                                                      "] changed in the cache document: [" +
                                                      PTKCoreUtils::toString(entry.second) + "] became [" +
                                                      PTKCoreUtils::toString(found->second) + "]");
    }
    return 0;
}
