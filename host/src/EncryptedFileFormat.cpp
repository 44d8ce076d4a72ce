#include "EncryptedFileFormat.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "StorageKey.h"
#include "zvf/SecureStringReader.h"

namespace zvf {
namespace storage {

namespace {

const unsigned char kMagic[4] = {'N', 'V', 'R', 'X'};
const unsigned char kVersion = 1;
const unsigned char kAlgorithmAes256Gcm = 1;
const std::size_t kNonceSize = 12;
// Offsets in the header.
const std::size_t kVersionAt = sizeof(kMagic);
const std::size_t kAlgorithmAt = kVersionAt + 1;
const std::size_t kKeyIdAt = kAlgorithmAt + 1;
const std::size_t kCategoryAt = kKeyIdAt + StorageKey::kIdSize;
const std::size_t kNonceAt = kCategoryAt + 4;
static_assert(kNonceAt + kNonceSize == EncryptedFileFormat::kHeaderSize, "header layout");
// EVP takes int lengths; bytes go through in pieces of this size.
const std::size_t kChunk = 1 << 20;

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)>;

// Runs the bytes through EVP_EncryptUpdate or EVP_DecryptUpdate in pieces
// small enough for its int lengths.
template <class Update>
bool updateInChunks(Update update, EVP_CIPHER_CTX* ctx, unsigned char* out, const unsigned char* in,
                    std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t piece = size - done < kChunk ? size - done : kChunk;
        int produced = 0;
        if (update(ctx, out + done, &produced, in + done, static_cast<int>(piece)) != 1 ||
            produced != static_cast<int>(piece)) {
            return false;
        }
        done += piece;
    }
    return true;
}

void buildHeader(unsigned char* header, const StorageKey& key, FileCategoryType::FileCategory category,
                 const unsigned char* nonce) {
    std::memcpy(header, kMagic, sizeof(kMagic));
    header[kVersionAt] = kVersion;
    header[kAlgorithmAt] = kAlgorithmAes256Gcm;
    std::memcpy(header + kKeyIdAt, key.id(), StorageKey::kIdSize);
    const uint32_t value = static_cast<uint32_t>(category);
    header[kCategoryAt] = static_cast<unsigned char>(value >> 24);
    header[kCategoryAt + 1] = static_cast<unsigned char>(value >> 16);
    header[kCategoryAt + 2] = static_cast<unsigned char>(value >> 8);
    header[kCategoryAt + 3] = static_cast<unsigned char>(value);
    std::memcpy(header + kNonceAt, nonce, kNonceSize);
}

}  // namespace

bool EncryptedFileFormat::isPlausibleSize(off_t size) {
    return size >= static_cast<off_t>(kHeaderSize + kTagSize) && size <= kMaxFileSize;
}

EncryptedFileFormat::Header EncryptedFileFormat::examine(const unsigned char* file,
                                                         FileCategoryType::FileCategory category) {
    if (std::memcmp(file, kMagic, sizeof(kMagic)) != 0) {
        return Header::ForeignMagic;
    }
    if (file[kVersionAt] != kVersion || file[kAlgorithmAt] != kAlgorithmAes256Gcm) {
        return Header::Unsupported;
    }
    const uint32_t stored = (static_cast<uint32_t>(file[kCategoryAt]) << 24) |
                            (static_cast<uint32_t>(file[kCategoryAt + 1]) << 16) |
                            (static_cast<uint32_t>(file[kCategoryAt + 2]) << 8) |
                            static_cast<uint32_t>(file[kCategoryAt + 3]);
    return stored == static_cast<uint32_t>(category) ? Header::Valid : Header::OtherCategory;
}

const unsigned char* EncryptedFileFormat::keyIdOf(const unsigned char* file) { return file + kKeyIdAt; }

EncryptedFileFormat::Sealed EncryptedFileFormat::seal(const StorageKey& key, FileCategoryType::FileCategory category,
                                                      const unsigned char* plain, std::size_t plainSize,
                                                      std::vector<unsigned char>& file) {
    file.assign(kHeaderSize + plainSize + kTagSize, 0);
    unsigned char nonce[kNonceSize];
    if (RAND_bytes(nonce, sizeof(nonce)) != 1) {
        return Sealed::NoRandomBytes;
    }
    buildHeader(file.data(), key, category, nonce);
    CipherContext ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int length = 0;
    const bool encrypted =
        ctx && EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonceSize), nullptr) == 1 &&
        EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key.bytes(), nonce) == 1 &&
        EVP_EncryptUpdate(ctx.get(), nullptr, &length, file.data(), static_cast<int>(kHeaderSize)) == 1 &&
        updateInChunks(EVP_EncryptUpdate, ctx.get(), file.data() + kHeaderSize, plain, plainSize) &&
        EVP_EncryptFinal_ex(ctx.get(), file.data() + kHeaderSize + plainSize, &length) == 1 && length == 0 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagSize),
                            file.data() + kHeaderSize + plainSize) == 1;
    return encrypted ? Sealed::Done : Sealed::CipherFailed;
}

bool EncryptedFileFormat::open(const StorageKey& key, const std::vector<unsigned char>& file,
                               zvf::SecureString& plainOut) {
    const unsigned char* header = file.data();
    const unsigned char* nonce = header + kNonceAt;
    const std::size_t cipherSize = file.size() - kHeaderSize - kTagSize;
    unsigned char tag[kTagSize];
    std::memcpy(tag, file.data() + kHeaderSize + cipherSize, kTagSize);

    // Plain bytes go into a buffer that a SecureStringReader owns, so that
    // they are wiped on every path out of here.
    char* buffer = new char[cipherSize + 1];
    std::memset(buffer, 0, cipherSize + 1);
    zvf::SecureStringReader plain;
    const bool adopted = plain.setValue(buffer, cipherSize);
    if (!adopted) {
        buffer = nullptr;  // freed by setValue when the size is 0
    }
    unsigned char* out = reinterpret_cast<unsigned char*>(const_cast<char*>(plain.c_str()));
    unsigned char scratch[1];

    CipherContext ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int length = 0;
    const bool decrypted =
        ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonceSize), nullptr) == 1 &&
        EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, key.bytes(), nonce) == 1 &&
        EVP_DecryptUpdate(ctx.get(), nullptr, &length, header, static_cast<int>(kHeaderSize)) == 1 &&
        updateInChunks(EVP_DecryptUpdate, ctx.get(), adopted ? out : scratch, file.data() + kHeaderSize,
                       cipherSize) &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagSize), tag) == 1 &&
        EVP_DecryptFinal_ex(ctx.get(), adopted ? out + cipherSize : scratch, &length) == 1 && length == 0;
    ctx.reset();
    if (!decrypted) {
        return false;
    }
    plainOut = adopted ? zvf::SecureString(plain.c_str(), cipherSize) : zvf::SecureString();
    return true;
}

}  // namespace storage
}  // namespace zvf
