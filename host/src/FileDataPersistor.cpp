#include "unified/FileDataPersistor.h"

#include <cerrno>
#include <vector>

#include "PTKCoreUtils/FileUtils.h"
#include "logging/ZVFLogger.h"

namespace ZVFUnified {

namespace {

ZVFLogger* logger = ZVFLogger_getLogger("Host-FileDataPersistor");

// A plain file name: no separator, not "." or "..".
bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// The name with its extension replaced by ".dat" ("cachedX.xml" gives
// "cachedX.dat"); a name without extension gets ".dat" appended.
std::string datCompanion(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return name + ".dat";
    }
    return name.substr(0, dot) + ".dat";
}

}  // namespace

bool FileDataPersistor::removeData(const std::string& storeName, const std::string& fileName) {
    using PTKCoreUtils::FileUtils;
    if (!isPlainName(fileName) || (!storeName.empty() && !isPlainName(storeName))) {
        ZVFLog(logger, 3, __FILE__, __LINE__, __func__, "refused to remove a file outside the data directory");
        return false;
    }
    std::string base = FileUtils::getConfigDirectory();
    if (!storeName.empty()) {
        base += "/" + storeName;
    }
    std::vector<std::string> names{fileName};
    const std::string companion = datCompanion(fileName);
    if (companion != fileName) {
        names.push_back(companion);
    }
    bool removed = false;
    for (const std::string& directory : {base, base + "/Cache"}) {
        for (const std::string& name : names) {
            const std::string path = directory + "/" + name;
            const int result = FileUtils::removeFile(path);
            if (result == 0) {
                removed = true;
                ZVFLog(logger, 4, __FILE__, __LINE__, __func__, "removed " + ZVFLogger_replacePIIData(path));
            } else if (result != ENOENT) {
                ZVFLog(logger, 2, __FILE__, __LINE__, __func__,
                       "cannot remove " + ZVFLogger_replacePIIData(path) + ", errno " + std::to_string(result));
            }
        }
    }
    return removed;
}

}  // namespace ZVFUnified
