#include "StorageKey.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstring>
#include <memory>

namespace zvf {
namespace storage {

StorageKey::StorageKey() {
    std::memset(keyBytes, 0, sizeof(keyBytes));
    std::memset(keyId, 0, sizeof(keyId));
}

StorageKey::~StorageKey() { OPENSSL_cleanse(keyBytes, sizeof(keyBytes)); }

StorageKey::StorageKey(const StorageKey& other) {
    std::memcpy(keyBytes, other.keyBytes, sizeof(keyBytes));
    std::memcpy(keyId, other.keyId, sizeof(keyId));
}

StorageKey& StorageKey::operator=(const StorageKey& other) {
    if (this == &other) {
        return *this;
    }
    std::memcpy(keyBytes, other.keyBytes, sizeof(keyBytes));
    std::memcpy(keyId, other.keyId, sizeof(keyId));
    return *this;
}

bool StorageKey::assign(const unsigned char* key) {
    std::memcpy(keyBytes, key, sizeof(keyBytes));
    if (!computeId()) {
        clear();
        return false;
    }
    return true;
}

void StorageKey::clear() { OPENSSL_cleanse(keyBytes, sizeof(keyBytes)); }

bool StorageKey::computeId() {
    static const char kLabel[] = "nuvrix storage key id";
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), kLabel, sizeof(kLabel) - 1) != 1 ||
        EVP_DigestUpdate(ctx.get(), keyBytes, sizeof(keyBytes)) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1 || length < kIdSize) {
        return false;
    }
    std::memcpy(keyId, digest, kIdSize);
    OPENSSL_cleanse(digest, sizeof(digest));
    return true;
}

}  // namespace storage
}  // namespace zvf
