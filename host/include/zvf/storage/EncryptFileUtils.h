#ifndef ZVF_STORAGE_ENCRYPTFILEUTILS_H
#define ZVF_STORAGE_ENCRYPTFILEUTILS_H

#include <string>

#include "NuvrixHostExport.h"
#include "zvf/SecureString.h"
#include "zvf/storage/FileCategoryType.h"

namespace zvf {
namespace storage {

// Encrypted file storage. A file is
//   magic | version | algorithm | key id | category | 96-bit nonce | cipher text | 16-byte tag
// AES-256-GCM with the whole header as associated data. The 256-bit storage
// key is created on first use and kept in a key file of mode 0600 in the
// user's local-application-data directory (or handed over by the host
// program). A key file readable by others is replaced by a fresh key, the
// old one kept private to read the files written under it; a key file of
// the wrong size or writable by others is moved aside and replaced; both are
// logged at level 2. A key file that is no regular file, a link or another
// user's is refused. Writes are atomic and durable (temporary file, fsync,
// rename, directory fsync): a crash leaves the old or the new file, never a
// torn one. A writer holds a lock on its temporary file while it exists, so
// that writers in other processes remove only the leftovers of interrupted
// writes. Special files (a FIFO) are refused, never waited on. Reading a
// missing, empty, truncated, tampered or foreign file, or one written under
// another category, returns false. Every file operation goes through
// FileSystem::current(). Thread-safe.
class NUVRIX_HOST_API EncryptFileUtils {
public:
    static bool writeDataToFile(const std::string& path, const zvf::SecureString& data,
                                FileCategoryType::FileCategory category);
    static bool readDataFromFile(const std::string& path, zvf::SecureString& data,
                                 FileCategoryType::FileCategory category);

    // Host program: use this key instead of the key file (32 bytes; copied
    // and wiped by the storage). An empty key returns to the key file.
    static bool setStorageKey(const unsigned char* key, std::size_t length);

    // Benchmarks only: skip the fsync calls of a write (the write stays
    // atomic, not durable). On by default.
    static void setDurableWrites(bool durable);
};

}  // namespace storage
}  // namespace zvf

#endif
