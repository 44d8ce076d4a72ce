#include "zvf/SecureString.h"

#include <climits>
#include <cstring>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include "zvf/Base64.h"
#include "zvf/SecureStringReader.h"
#include "zvf/SecureStringUtils.h"

namespace zvf {

namespace {

constexpr size_t kKeyLength = 32;
constexpr size_t kInitVectorLength = 16;
constexpr size_t kBlockLength = 16;
// EVP takes int lengths; longer input goes through in chunks of this size.
constexpr size_t kMaxChunk = size_t{1} << 30;

// The key is never stored whole: each byte is the exclusive or of a pair of
// constants, read through volatile so that the compiler cannot fold the pairs
// into the finished key at build time.
const volatile unsigned char kKeyPairs[kKeyLength][2] = {
    {0xB5, 0x3E}, {0xAB, 0xFE}, {0x0A, 0xEF}, {0xBD, 0x3B}, {0xDE, 0x17}, {0xD0, 0x34}, {0xB3, 0x25},
    {0xD4, 0x49}, {0x6F, 0x2A}, {0x09, 0xF5}, {0xF0, 0xC4}, {0xB9, 0xAD}, {0x7C, 0x40}, {0x2F, 0x88},
    {0x2C, 0x3E}, {0x1C, 0x2D}, {0xDE, 0x55}, {0xED, 0xAC}, {0x35, 0xA3}, {0x28, 0x3B}, {0x0A, 0x58},
    {0x3D, 0xC1}, {0x46, 0x5A}, {0xB0, 0x69}, {0xAB, 0xBC}, {0x09, 0xB9}, {0xC2, 0x55}, {0x10, 0x8E},
    {0xCA, 0x59}, {0x1E, 0xD5}, {0xE4, 0x12}, {0x88, 0x98},
};

unsigned char u(unsigned char a, unsigned char b) {
    return static_cast<unsigned char>(a ^ b);
}

// Builds the key into `buffer`, a fresh blob of 32 bytes.
void bWV0aG9k(ByteBlob& buffer) {
    unsigned char* key = buffer.getData();
    for (size_t i = 0; i < kKeyLength; ++i) {
        key[i] = u(kKeyPairs[i][0], kKeyPairs[i][1]);
    }
}

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

CipherContext newCipherContext() {
    CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (context && EVP_CIPHER_CTX_reset(context.get()) != 1) {
        context.reset();
    }
    return context;
}

// AES-256-CBC with PKCS#7 padding of `length` bytes into `cipher`, which holds
// at least length + 16 bytes. Returns the bytes produced, or -1 on failure.
long long encryptBytes(const unsigned char* key, const unsigned char* initVector, const unsigned char* plain,
                       size_t length, unsigned char* cipher) {
    CipherContext context = newCipherContext();
    if (!context || EVP_EncryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key, initVector) != 1) {
        return -1;
    }
    size_t produced = 0;
    for (size_t done = 0; done < length;) {
        const size_t chunk = length - done < kMaxChunk ? length - done : kMaxChunk;
        int outLength = 0;
        if (EVP_EncryptUpdate(context.get(), cipher + produced, &outLength, plain + done,
                              static_cast<int>(chunk)) != 1) {
            return -1;
        }
        produced += static_cast<size_t>(outLength);
        done += chunk;
    }
    int finalLength = 0;
    if (EVP_EncryptFinal_ex(context.get(), cipher + produced, &finalLength) != 1) {
        return -1;
    }
    return static_cast<long long>(produced + static_cast<size_t>(finalLength));
}

// The reverse of encryptBytes into `plain`, which holds at least length + 16
// bytes. Returns the plain length, or -1 on failure (wrong padding included).
long long decryptBytes(const unsigned char* key, const unsigned char* initVector, const unsigned char* cipher,
                       size_t length, unsigned char* plain) {
    CipherContext context = newCipherContext();
    if (!context || EVP_DecryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key, initVector) != 1) {
        return -1;
    }
    size_t produced = 0;
    for (size_t done = 0; done < length;) {
        const size_t chunk = length - done < kMaxChunk ? length - done : kMaxChunk;
        int outLength = 0;
        if (EVP_DecryptUpdate(context.get(), plain + produced, &outLength, cipher + done,
                              static_cast<int>(chunk)) != 1) {
            return -1;
        }
        produced += static_cast<size_t>(outLength);
        done += chunk;
    }
    int finalLength = 0;
    if (EVP_DecryptFinal_ex(context.get(), plain + produced, &finalLength) != 1) {
        return -1;
    }
    return static_cast<long long>(produced + static_cast<size_t>(finalLength));
}

}  // namespace

SecureString::SecureString() : data(std::make_shared<SecureStringData>()) {}

SecureString::SecureString(const char* bytes, size_t length) : SecureString() {
    setValue(bytes, length);
}

SecureString::SecureString(const std::string& value) : SecureString() {
    setValue(value.data(), value.size());
}

SecureString::SecureString(const std::vector<unsigned char>& encrypted) : SecureString() {
    if (encrypted.empty()) {
        return;
    }
    data->initVector.reallocateSize(kInitVectorLength);
    if (encrypted.size() < kInitVectorLength) {
        return;  // too short to hold a vector: stays empty
    }
    std::memcpy(data->initVector.getData(), encrypted.data(), kInitVectorLength);
    const size_t cipherLength = encrypted.size() - kInitVectorLength;
    data->cipherText.reallocateSize(cipherLength);
    if (cipherLength > 0) {
        std::memcpy(data->cipherText.getData(), encrypted.data() + kInitVectorLength, cipherLength);
    }
    data->empty = false;
}

SecureString SecureString::createFromBase64(const std::string& text) {
    if (text.empty()) {
        return SecureString();
    }
    std::vector<unsigned char> encrypted;
    if (base64_decode(text, encrypted) != 0 || encrypted.empty()) {
        return SecureString();
    }
    return SecureString(encrypted);
}

void SecureString::setValue(const char* bytes, size_t length) {
    if (bytes == nullptr) {
        return;
    }
    if (!data) {
        data = std::make_shared<SecureStringData>();
    }
    if (length == 0) {
        data->empty = true;
        data->cipherText.destroyData();
        return;
    }
    data->empty = false;
    ByteBlob key(kKeyLength);
    bWV0aG9k(key);
    data->initVector.reallocateSize(kInitVectorLength);
    (void)RAND_bytes(data->initVector.getData(), static_cast<int>(kInitVectorLength));

    // Room for the padding block, which is a whole block when the length is a
    // multiple of 16.
    data->cipherText.reallocateSize(length + 2 * kBlockLength);
    const long long produced = encryptBytes(key.getData(), data->initVector.getData(),
                                            reinterpret_cast<const unsigned char*>(bytes), length,
                                            data->cipherText.getData());
    if (produced < 0) {
        data->cipherText.destroyData();
        data->empty = true;
        return;
    }
    data->cipherText.shrinkSize(static_cast<uint64_t>(produced));
}

std::vector<unsigned char> SecureString::getEncryptedValue() const {
    if (empty()) {
        return std::vector<unsigned char>();
    }
    const ByteBlob& vector = data->initVector;
    const ByteBlob& cipher = data->cipherText;
    std::vector<unsigned char> encrypted;
    encrypted.reserve(static_cast<size_t>(vector.getSize() + cipher.getSize()));
    encrypted.insert(encrypted.end(), vector.getData(), vector.getData() + vector.getSize());
    encrypted.insert(encrypted.end(), cipher.getData(), cipher.getData() + cipher.getSize());
    return encrypted;
}

std::string SecureString::serializeToBase64() const {
    const std::vector<unsigned char> encrypted = getEncryptedValue();
    if (encrypted.empty() || encrypted.size() > UINT32_MAX) {
        return std::string();
    }
    return base64_encode(encrypted.data(), static_cast<uint32_t>(encrypted.size()), false);
}

void SecureString::getUnsecureString(SecureStringReader& reader) const {
    if (!data || data->cipherText.getSize() == 0 || data->initVector.getSize() != kInitVectorLength) {
        return;
    }
    const size_t cipherLength = static_cast<size_t>(data->cipherText.getSize());
    ByteBlob key(kKeyLength);
    bWV0aG9k(key);
    // Decrypt straight into the buffer the reader will own, rather than into
    // a temporary copy: a large secret then exists once in plain form, and
    // is allocated, wiped and freed once per read. EVP may use up to one
    // block beyond the input while it holds back the final block; one more
    // byte takes the terminating NUL.
    const size_t capacity = cipherLength + kBlockLength + 1;
    char* buffer = new char[capacity];
    const long long plainLength = decryptBytes(key.getData(), data->initVector.getData(),
                                               data->cipherText.getData(), cipherLength,
                                               reinterpret_cast<unsigned char*>(buffer));
    if (plainLength < 0) {
        // All but the last block may have been decrypted already.
        SecureStringUtils::guaranteed_memset(buffer, 0, capacity);
        delete[] buffer;
        return;
    }
    const size_t length = static_cast<size_t>(plainLength);
    buffer[length] = '\0';
    reader.setValue(buffer, length);
}

bool SecureString::empty() const {
    return !data || data->empty;
}

bool SecureString::operator==(const SecureString& other) const {
    const bool thisEmpty = empty();
    const bool otherEmpty = other.empty();
    if (thisEmpty || otherEmpty) {
        return thisEmpty == otherEmpty;
    }
    SecureStringReader thisPlain;
    SecureStringReader otherPlain;
    getUnsecureString(thisPlain);
    other.getUnsecureString(otherPlain);
    if (thisPlain.getBufSize() != otherPlain.getBufSize()) {
        return false;
    }
    return std::strncmp(thisPlain.c_str(), otherPlain.c_str(), static_cast<size_t>(thisPlain.getBufSize())) == 0;
}

bool SecureString::operator!=(const SecureString& other) const {
    return !(*this == other);
}

}  // namespace zvf
