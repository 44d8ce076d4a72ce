#ifndef HOST_SRC_STORAGELOG_H
#define HOST_SRC_STORAGELOG_H

#include <string>

namespace zvf {
namespace storage {

// The log of the encrypted storage: every part of it (the key ring, the
// atomic writer, the file format and the facade) writes under the one logger
// "Host-EncryptFileUtils", with the path masked and, when given, the
// system's reason for the failure. Nothing is built unless the level is on.
class StorageLog {
public:
    // "<what> <masked path>[: <strerror(error)>]"
    static void write(const char* sourceFile, int line, const char* function, int level, const std::string& what,
                      const std::string& path, int error = 0);
    static void write(const char* sourceFile, int line, const char* function, int level,
                      const std::string& message);
};

}  // namespace storage
}  // namespace zvf

// Logs what failed, the masked path and, when given, the system's reason,
// with the caller's source location.
#define logFailure(...) ::zvf::storage::StorageLog::write(__FILE__, __LINE__, __func__, __VA_ARGS__)

#endif
