#include "stores/BootstrapDocument.h"

#include <sstream>

#include "PTKCoreUtils/StringUtils.h"

namespace nuvrixconfig {

bool BootstrapDocument::parse(const std::string& content, const std::string& source, std::string& error) {
    values.clear();
    std::istringstream lines(content);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::string trimmed = PTKCoreUtils::trim(line);
        if (trimmed.empty() || trimmed[0] == '#') {
            continue;
        }
        const std::string::size_type colon = trimmed.find(':');
        const std::string key = colon == std::string::npos ? std::string() : PTKCoreUtils::trim(trimmed.substr(0, colon));
        if (key.empty()) {
            error = source + " line " + std::to_string(number) + ": expected \"key: value\"";
            return false;
        }
        values[PTKCoreUtils::toWideString(key)] = PTKCoreUtils::toWideString(PTKCoreUtils::trim(trimmed.substr(colon + 1)));
    }
    if (values.empty()) {
        error = source + " holds no \"key: value\" lines";
        return false;
    }
    return true;
}

}  // namespace nuvrixconfig
