#ifndef NUVRIXCONFIG_BOOTSTRAPDOCUMENT_H
#define NUVRIXCONFIG_BOOTSTRAPDOCUMENT_H

#include <string>

#include "ConfigMap.h"

namespace nuvrixconfig {

// The installer's bootstrap settings: one "key: value" line each, the value
// being everything after the first colon (so it may hold colons itself),
// both trimmed. Blank lines and lines starting with '#' are skipped; a later
// line for the same key replaces the earlier one, as in the client.
class BootstrapDocument {
public:
    // False with a one-line reason naming source and the line when a line is
    // not "key: value", or when there is no setting at all.
    bool parse(const std::string& text, const std::string& source, std::string& error);

    const ZVFUnified::ConfigMap& getValues() const { return values; }

private:
    ZVFUnified::ConfigMap values;
};

}  // namespace nuvrixconfig

#endif
