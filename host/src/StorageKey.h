#ifndef HOST_SRC_STORAGEKEY_H
#define HOST_SRC_STORAGEKEY_H

#include <cstddef>

namespace zvf {
namespace storage {

// One 256-bit storage key and its id, the name under which file headers
// refer to it without revealing it. The key bytes are cleansed when the
// object goes away. A value type: copies are independent (and cleansed in
// turn).
class StorageKey {
public:
    static constexpr std::size_t kSize = 32;
    static constexpr std::size_t kIdSize = 8;

    StorageKey();
    ~StorageKey();
    StorageKey(const StorageKey& other);
    StorageKey& operator=(const StorageKey& other);

    // Takes the key bytes and computes their id; false (key cleansed) when
    // the digest fails.
    bool assign(const unsigned char* key);
    // Cleanses the key bytes.
    void clear();

    unsigned char* bytes() { return keyBytes; }
    const unsigned char* bytes() const { return keyBytes; }
    const unsigned char* id() const { return keyId; }
    // Recomputes the id from the bytes (the first 8 bytes of SHA-256 over a
    // fixed label and the key); false when the digest fails.
    bool computeId();

private:
    unsigned char keyBytes[kSize];
    unsigned char keyId[kIdSize];
};

}  // namespace storage
}  // namespace zvf

#endif
