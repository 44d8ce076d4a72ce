#ifndef HOST_SRC_ENCRYPTEDFILEFORMAT_H
#define HOST_SRC_ENCRYPTEDFILEFORMAT_H

#include <sys/types.h>

#include <cstddef>
#include <vector>

#include "zvf/SecureString.h"
#include "zvf/storage/FileCategoryType.h"

namespace zvf {
namespace storage {

class StorageKey;

// The bytes of an encrypted storage file:
//   magic "NVRX" | version 1 | algorithm 1 | key id (8) | category (4) |
//   96-bit nonce | cipher text | 16-byte tag
// AES-256-GCM with the whole 30-byte header as associated data, so that
// neither the key id nor the category can be changed unnoticed. Numbers are
// big-endian. Pure computation, no files; thread-safe.
class EncryptedFileFormat {
public:
    static constexpr std::size_t kHeaderSize = 30;
    static constexpr std::size_t kTagSize = 16;
    // Larger files are refused unread: nothing the client stores comes near it.
    static constexpr off_t kMaxFileSize = 256 * 1024 * 1024;

    // What examine() finds in a file's header.
    enum class Header {
        Valid,
        ForeignMagic,      // not an encrypted file of this client
        Unsupported,       // another version or algorithm
        OtherCategory,     // written under another category
    };

    // Whether a file of this size can hold a header and a tag and is not
    // refused for its size.
    static bool isPlausibleSize(off_t size);
    // Checks the header of a file of at least kHeaderSize bytes.
    static Header examine(const unsigned char* file, FileCategoryType::FileCategory category);
    // The id of the key the file says it was written under (kIdSize bytes).
    static const unsigned char* keyIdOf(const unsigned char* file);

    enum class Sealed { Done, NoRandomBytes, CipherFailed };

    // The whole file for plain under key and category, with a fresh random
    // nonce.
    static Sealed seal(const StorageKey& key, FileCategoryType::FileCategory category, const unsigned char* plain,
                     std::size_t plainSize, std::vector<unsigned char>& file);
    // The plain text of a file whose header examine() found valid, under
    // key. False when authentication fails (damaged or tampered).
    static bool open(const StorageKey& key, const std::vector<unsigned char>& file, zvf::SecureString& plain);
};

}  // namespace storage
}  // namespace zvf

#endif
