#ifndef HOST_SRC_STORAGEKEYRING_H
#define HOST_SRC_STORAGEKEYRING_H

#include <cstddef>

#include "StorageKey.h"

namespace zvf {
namespace storage {

// The keys of the encrypted storage: the key the host program handed over,
// else the key of the key file "nuvrix-storage.key" (mode 0600) in the
// user's local-application-data directory, created with fresh random bytes
// on first use; and the retired keys a re-keying kept beside it. Keys are
// cached per key-file path, since the directory may change.
//
// A key file that cannot be trusted as it is gets recovered without a
// user's help, with a level-2 log line, under an exclusive lock of its
// directory so that two processes never replace each other's new key:
// - readable by others but written by its owner only (restored from a
//   backup as 0644, say): the key may have been read, so new files are
//   written under a fresh key; the old one is kept, mode 0600, as a retired
//   key that still reads the files written under it;
// - of the wrong size, or writable by others (so possibly planted): it is
//   no usable key; it is moved aside, mode 0600, and a fresh key replaces
//   it. Files written under it can no longer be read.
// A key file that is no regular file (a FIFO is never waited on), a link or
// another user's is refused. Every failure is logged once, at level 2. File
// operations go through FileSystem::current(). Thread-safe.
class StorageKeyring {
public:
    // The key to write with now: the handed-over key, else the key file's.
    static bool currentKey(StorageKey& key);
    // The retired key with that id beside the current key file, when a
    // re-keying kept one; never with a handed-over key.
    static bool retiredKey(const unsigned char* id, StorageKey& key);
    // Uses this key instead of the key file (32 bytes; copied); an empty key
    // returns to the key file.
    static bool handOver(const unsigned char* key, std::size_t length);
};

}  // namespace storage
}  // namespace zvf

#endif
