// Cost of keeping a secret in a SecureString (encrypt on set, decrypt on
// read, with all the wiping) beside bare AES-256-CBC through EVP on the same
// bytes.
#include <benchmark/benchmark.h>

#include <openssl/evp.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"

namespace {

std::string randomText(size_t length) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text(length, '\0');
    for (char& c : text) {
        c = static_cast<char>(byte(random));
    }
    return text;
}

void BM_SecureStringSetAndRead(benchmark::State& state) {
    const std::string secret = randomText(static_cast<size_t>(state.range(0)));
    zvf::SecureString value;
    for (auto _ : state) {
        value.setValue(secret.data(), secret.size());
        zvf::SecureStringReader reader;
        value.getUnsecureString(reader);
        benchmark::DoNotOptimize(reader.c_str());
        if (reader.getBufSize() != secret.size()) {
            state.SkipWithError("round trip lost bytes");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_RawEvpAes256CbcEncryptDecrypt(benchmark::State& state) {
    const std::string secret = randomText(static_cast<size_t>(state.range(0)));
    const unsigned char key[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                   17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
    const unsigned char iv[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
    std::vector<unsigned char> cipher(secret.size() + 32);
    std::vector<unsigned char> plain(secret.size() + 32);
    const auto* input = reinterpret_cast<const unsigned char*>(secret.data());
    for (auto _ : state) {
        std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> encrypt(EVP_CIPHER_CTX_new(),
                                                                                 &EVP_CIPHER_CTX_free);
        int length = 0;
        int finalLength = 0;
        EVP_EncryptInit_ex(encrypt.get(), EVP_aes_256_cbc(), nullptr, key, iv);
        EVP_EncryptUpdate(encrypt.get(), cipher.data(), &length, input, static_cast<int>(secret.size()));
        EVP_EncryptFinal_ex(encrypt.get(), cipher.data() + length, &finalLength);
        const int cipherLength = length + finalLength;

        std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> decrypt(EVP_CIPHER_CTX_new(),
                                                                                 &EVP_CIPHER_CTX_free);
        EVP_DecryptInit_ex(decrypt.get(), EVP_aes_256_cbc(), nullptr, key, iv);
        EVP_DecryptUpdate(decrypt.get(), plain.data(), &length, cipher.data(), cipherLength);
        EVP_DecryptFinal_ex(decrypt.get(), plain.data() + length, &finalLength);
        benchmark::DoNotOptimize(plain.data());
        if (static_cast<size_t>(length + finalLength) != secret.size()) {
            state.SkipWithError("round trip lost bytes");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(BM_SecureStringSetAndRead)->Arg(100 * 1024);
BENCHMARK(BM_RawEvpAes256CbcEncryptDecrypt)->Arg(100 * 1024);
BENCHMARK(BM_SecureStringSetAndRead)->Arg(64);
BENCHMARK(BM_RawEvpAes256CbcEncryptDecrypt)->Arg(64);

BENCHMARK_MAIN();
