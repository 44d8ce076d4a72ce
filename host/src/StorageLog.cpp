#include "StorageLog.h"

#include <cstring>

#include "logging/ZVFLogger.h"

namespace zvf {
namespace storage {

namespace {

ZVFLogger* logger = ZVFLogger_getLogger("Host-EncryptFileUtils");

}  // namespace

void StorageLog::write(const char* sourceFile, int line, const char* function, int level, const std::string& what,
                       const std::string& path, int error) {
    if (!ZVFLog_isLevelEnabled(logger, level)) {
        return;
    }
    std::string text = what + " " + ZVFLogger_replacePIIData(path);
    if (error != 0) {
        text += ": " + std::string(std::strerror(error));
    }
    ZVFLog(logger, level, sourceFile, line, function, text);
}

void StorageLog::write(const char* sourceFile, int line, const char* function, int level,
                       const std::string& message) {
    ZVFLog(logger, level, sourceFile, line, function, message);
}

}  // namespace storage
}  // namespace zvf
