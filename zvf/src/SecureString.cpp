#include "zvf/SecureString.h"

#include <pthread.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <memory>

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

// The key, built on the stack of the operation that needs it and wiped by
// its destructor.
class CipherKey {
public:
    CipherKey() {
        for (size_t i = 0; i < kKeyLength; ++i) {
            bytes[i] = u(kKeyPairs[i][0], kKeyPairs[i][1]);
        }
    }
    ~CipherKey() { SecureStringUtils::guaranteed_memset(bytes, 0, sizeof(bytes)); }
    CipherKey(const CipherKey&) = delete;
    CipherKey& operator=(const CipherKey&) = delete;

    const unsigned char* get() const { return bytes; }

private:
    unsigned char bytes[kKeyLength];
};

// ---- Initialisation vectors -------------------------------------------------------

// Bumped in the child of every fork: a child must never hand out the vectors
// its parent drew before the fork, or two processes could encrypt different
// secrets under one vector.
std::atomic<unsigned> forkGeneration{0};

void registerForkHandler() {
    static const bool registered = [] {
        return pthread_atfork(nullptr, nullptr, [] { forkGeneration.fetch_add(1, std::memory_order_relaxed); }) == 0;
    }();
    (void)registered;
}

// Fresh random vectors, one per value, drawn from OpenSSL's generator in
// batches: a call to RAND_bytes costs about as much for 1 KiB as for 16
// bytes, and several times the encryption of a short secret. Every vector is
// handed out once and its bytes are zeroed in the pool when taken. One pool
// per thread, so no lock; refilled after a fork (see forkGeneration).
class InitVectorPool {
public:
    // False when the generator fails; out is then unchanged.
    bool take(unsigned char* out) {
        const unsigned generation = forkGeneration.load(std::memory_order_relaxed);
        if (next == kPoolBytes || generation != poolGeneration) {
            registerForkHandler();
            SecureStringUtils::guaranteed_memset(bytes, 0, sizeof(bytes));
            next = kPoolBytes;
            if (RAND_bytes(bytes, static_cast<int>(kPoolBytes)) != 1) {
                return false;
            }
            next = 0;
            poolGeneration = generation;
        }
        std::memcpy(out, bytes + next, kInitVectorLength);
        SecureStringUtils::guaranteed_memset(bytes + next, 0, kInitVectorLength);
        next += kInitVectorLength;
        return true;
    }

private:
    static constexpr size_t kPoolBytes = 64 * kInitVectorLength;
    unsigned char bytes[kPoolBytes] = {};
    size_t next = kPoolBytes;  // the pool starts used up
    unsigned poolGeneration = 0;
};

thread_local InitVectorPool initVectorPool;

// ---- Cipher contexts ---------------------------------------------------------------

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

// AES-256-CBC contexts of one thread, one for each direction, set up once:
// making a context, fetching the cipher and freeing the context again cost
// twice the encryption of a short secret. Padding is switched off and done
// here on the stack instead, so that neither context ever buffers a plain
// byte; after each operation the context's key schedule is overwritten with
// that of an all-zero key, so that between operations it holds nothing
// secret either.
class CipherContexts {
public:
    CipherContexts() : encrypt(newContext(1)), decrypt(newContext(0)) {}
    CipherContexts(const CipherContexts&) = delete;
    CipherContexts& operator=(const CipherContexts&) = delete;

    // The context, or null when it could not be set up; a context that
    // could not be set up is tried again at the next call.
    EVP_CIPHER_CTX* forEncryption() {
        if (!encrypt) {
            encrypt = newContext(1);
        }
        return encrypt.get();
    }
    EVP_CIPHER_CTX* forDecryption() {
        if (!decrypt) {
            decrypt = newContext(0);
        }
        return decrypt.get();
    }

private:
    static CipherContext newContext(int encrypting) {
        CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
        const unsigned char zeros[kKeyLength] = {};
        if (!context ||
            EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, zeros, zeros, encrypting) != 1 ||
            EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1) {
            context.reset();
        }
        return context;
    }

    CipherContext encrypt;
    CipherContext decrypt;
};

thread_local CipherContexts cipherContexts;

// Keys the context for one operation and, whatever happens, overwrites the
// key schedule with that of the all-zero key when the operation is over.
class KeyedContext {
public:
    KeyedContext(EVP_CIPHER_CTX* context, const unsigned char* initVector) : context(context) {
        const CipherKey key;
        keyed = context != nullptr &&
                EVP_CipherInit_ex(context, nullptr, nullptr, key.get(), initVector, -1) == 1;
    }
    ~KeyedContext() {
        if (context != nullptr) {
            // The vector left in the context is the last cipher block, no
            // secret; only the key schedule is replaced.
            const unsigned char zeros[kKeyLength] = {};
            (void)EVP_CipherInit_ex(context, nullptr, nullptr, zeros, nullptr, -1);
        }
    }
    KeyedContext(const KeyedContext&) = delete;
    KeyedContext& operator=(const KeyedContext&) = delete;

    bool ok() const { return keyed; }

    // Whole blocks from in to out (which may be the same), in chunks EVP's int
    // lengths can carry. False on failure.
    bool transform(const unsigned char* in, size_t length, unsigned char* out) {
        for (size_t done = 0; done < length;) {
            const size_t chunk = length - done < kMaxChunk ? length - done : kMaxChunk;
            int outLength = 0;
            if (EVP_CipherUpdate(context, out + done, &outLength, in + done, static_cast<int>(chunk)) != 1 ||
                static_cast<size_t>(outLength) != chunk) {
                return false;
            }
            done += chunk;
        }
        return true;
    }

private:
    EVP_CIPHER_CTX* context;
    bool keyed = false;
};

// AES-256-CBC with PKCS#7 padding of `length` bytes into `cipher`, which holds
// at least length + 16 bytes. Returns the bytes produced, or -1 on failure.
long long encryptBytes(const unsigned char* initVector, const unsigned char* plain, size_t length,
                       unsigned char* cipher) {
    KeyedContext context(cipherContexts.forEncryption(), initVector);
    if (!context.ok()) {
        return -1;
    }
    const size_t whole = length - length % kBlockLength;
    if (!context.transform(plain, whole, cipher)) {
        return -1;
    }
    // The last block: the rest of the secret and the padding, which is a
    // whole block when the length is a multiple of 16.
    unsigned char last[kBlockLength];
    const size_t rest = length - whole;
    std::memcpy(last, plain + whole, rest);
    std::memset(last + rest, static_cast<int>(kBlockLength - rest), kBlockLength - rest);
    const bool ok = context.transform(last, kBlockLength, cipher + whole);
    SecureStringUtils::guaranteed_memset(last, 0, sizeof(last));
    return ok ? static_cast<long long>(whole + kBlockLength) : -1;
}

// The reverse of encryptBytes into `plain`, which holds at least length
// bytes. Returns the plain length, or -1 on failure (a length that is no
// whole number of blocks, wrong padding).
long long decryptBytes(const unsigned char* initVector, const unsigned char* cipher, size_t length,
                       unsigned char* plain) {
    if (length == 0 || length % kBlockLength != 0) {
        return -1;
    }
    KeyedContext context(cipherContexts.forDecryption(), initVector);
    if (!context.ok() || !context.transform(cipher, length, plain)) {
        return -1;
    }
    // PKCS#7: 1 to 16 bytes, each holding their count. Checked without
    // branching on the plain bytes, so that the time taken does not tell how
    // much of a damaged padding was right.
    const unsigned char padding = plain[length - 1];
    unsigned bad = static_cast<unsigned>(padding == 0) | static_cast<unsigned>(padding > kBlockLength);
    for (size_t i = 0; i < kBlockLength; ++i) {
        const unsigned inPadding = 0u - static_cast<unsigned>(i < padding);  // all ones or zero
        bad |= inPadding & static_cast<unsigned>(plain[length - 1 - i] ^ padding);
    }
    const bool valid = bad == 0;
    return valid ? static_cast<long long>(length - padding) : -1;
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
    if (data->initVector.getSize() != kInitVectorLength) {
        data->initVector.reallocateSize(kInitVectorLength);
    }
    // Room for the padding block, which is a whole block when the length is a
    // multiple of 16.
    data->cipherText.refill(length + kBlockLength);
    const long long produced =
        initVectorPool.take(data->initVector.getData())
            ? encryptBytes(data->initVector.getData(), reinterpret_cast<const unsigned char*>(bytes), length,
                           data->cipherText.getData())
            : -1;
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
    // Decrypt straight into the buffer the reader will own, rather than into
    // a temporary copy: a large secret then exists once in plain form, and
    // is allocated, wiped and freed once per read. One byte more than the
    // cipher text takes the terminating NUL.
    const size_t capacity = cipherLength + 1;
    char* buffer = new char[capacity];
    const long long plainLength = decryptBytes(data->initVector.getData(), data->cipherText.getData(),
                                               cipherLength, reinterpret_cast<unsigned char*>(buffer));
    if (plainLength < 0) {
        // Everything may have been decrypted already.
        SecureStringUtils::guaranteed_memset(buffer, 0, capacity);
        delete[] buffer;
        return;
    }
    const size_t length = static_cast<size_t>(plainLength);
    // The padding goes; the reader wipes the secret and its NUL.
    SecureStringUtils::guaranteed_memset(buffer + length, 0, cipherLength - length);
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
