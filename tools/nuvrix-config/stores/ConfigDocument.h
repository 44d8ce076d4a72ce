#ifndef NUVRIXCONFIG_CONFIGDOCUMENT_H
#define NUVRIXCONFIG_CONFIGDOCUMENT_H

#include <string>
#include <vector>

#include "ConfigMap.h"

namespace nuvrixconfig {

// Configuration in the cached-configuration format that servers and device
// management hand out: any root element, its element children are groups,
// and each element child of a group is an entry whose name is the key and
// whose trimmed text is the value (an entry holding elements keeps its
// markup). The first occurrence of a key wins, as in the service's own
// parser; an entry with sensitive="true" names a secret.
class ConfigDocument {
public:
    // Parses text; false with a one-line reason naming source (and the line
    // of a syntax error) when it is not XML or holds no entry.
    bool parse(const std::string& text, const std::string& source, std::string& error);

    const ZVFUnified::ConfigMap& getValues() const { return values; }
    const std::vector<std::wstring>& getSensitiveKeys() const { return sensitiveKeys; }

private:
    ZVFUnified::ConfigMap values;
    std::vector<std::wstring> sensitiveKeys;
};

}  // namespace nuvrixconfig

#endif
