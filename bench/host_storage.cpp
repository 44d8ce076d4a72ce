// Encrypted file storage against the bare cipher: a write and a read of the
// same bytes through EncryptFileUtils (with and without the fsyncs of a
// durable write) beside AES-256-GCM encryption and decryption of those bytes
// in memory, so that the cost of the file handling shows as the difference.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"
#include "zvf/storage/EncryptFileUtils.h"

namespace {

using zvf::storage::EncryptFileUtils;

// A private directory for the files and the storage key, removed at exit.
class BenchDirectory {
public:
    BenchDirectory() {
        std::string pattern = "/var/tmp/nuvrix-bench-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) != nullptr) {
            root = buffer.data();
        }
        setenv("NUVRIX_LOCAL_APP_DIR", (root + "/local").c_str(), 1);
        setenv("NUVRIX_CONFIG_DIR", (root + "/config").c_str(), 1);
        std::filesystem::create_directories(root + "/config");
    }
    ~BenchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::string root;
};

BenchDirectory& directory() {
    static BenchDirectory instance;
    return instance;
}

std::string randomBytes(std::size_t size) {
    std::string bytes(size, '\0');
    RAND_bytes(reinterpret_cast<unsigned char*>(&bytes[0]), static_cast<int>(size));
    return bytes;
}

void BM_EncryptedFileWriteRead(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    const bool durable = state.range(1) != 0;
    const std::string path = directory().root + "/config/bench.dat";
    const zvf::SecureString data(randomBytes(size));
    EncryptFileUtils::setDurableWrites(durable);
    for (auto _ : state) {
        if (!EncryptFileUtils::writeDataToFile(path, data, FileCategoryType::Configuration)) {
            state.SkipWithError("write failed");
            break;
        }
        zvf::SecureString back;
        if (!EncryptFileUtils::readDataFromFile(path, back, FileCategoryType::Configuration)) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(back);
    }
    EncryptFileUtils::setDurableWrites(true);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size * 2));
    state.SetLabel(durable ? "durable (fsync)" : "no fsync");
}
BENCHMARK(BM_EncryptedFileWriteRead)
    ->ArgsProduct({{4096, 1 << 20}, {1, 0}})
    ->ArgNames({"bytes", "fsync"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// What the storage does to the bytes, without files: a fresh context per
// operation, the 30-byte header as associated data, a 16-byte tag.
void BM_RawAes256GcmEncryptDecrypt(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    const std::string plain = randomBytes(size);
    unsigned char key[32];
    unsigned char nonce[12];
    unsigned char header[30];
    unsigned char tag[16];
    RAND_bytes(key, sizeof(key));
    RAND_bytes(header, sizeof(header));
    std::vector<unsigned char> cipher(size);
    std::vector<unsigned char> back(size);
    using Context = std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)>;
    for (auto _ : state) {
        RAND_bytes(nonce, sizeof(nonce));
        int length = 0;
        bool ok;
        {
            Context ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
            ok = EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key, nonce) == 1 &&
                 EVP_EncryptUpdate(ctx.get(), nullptr, &length, header, sizeof(header)) == 1 &&
                 EVP_EncryptUpdate(ctx.get(), cipher.data(), &length,
                                   reinterpret_cast<const unsigned char*>(plain.data()), static_cast<int>(size)) == 1 &&
                 EVP_EncryptFinal_ex(ctx.get(), cipher.data() + size, &length) == 1 &&
                 EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, sizeof(tag), tag) == 1;
        }
        {
            Context ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
            ok = ok && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key, nonce) == 1 &&
                 EVP_DecryptUpdate(ctx.get(), nullptr, &length, header, sizeof(header)) == 1 &&
                 EVP_DecryptUpdate(ctx.get(), back.data(), &length, cipher.data(), static_cast<int>(size)) == 1 &&
                 EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, sizeof(tag), tag) == 1 &&
                 EVP_DecryptFinal_ex(ctx.get(), back.data() + size, &length) == 1;
        }
        if (!ok) {
            state.SkipWithError("cipher failed");
            break;
        }
        benchmark::DoNotOptimize(back.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size * 2));
}
BENCHMARK(BM_RawAes256GcmEncryptDecrypt)->Arg(4096)->Arg(1 << 20)->ArgName("bytes")->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
