// Cost of keeping a secret in a SecureString (encrypt on set, decrypt on
// read, with all the wiping) beside bare AES-256-CBC through EVP on the same
// bytes.
//
// - BM_RawEvpAes256CbcEncryptDecrypt: a new context for each direction per
//   value, the cipher named by EVP_aes_256_cbc().
// - BM_RawEvpPreparedContext: two contexts made once; each value re-keys
//   them with key and vector, naming the cipher again as usual.
// - BM_RawEvpPreparedContextKeyed: the same without naming the cipher again
//   (no fetch): the least EVP does for one value under a fresh vector. It
//   draws no random vector and leaves the key schedule in the contexts.
// - BM_SecureStringOverRawEvp/64: SecureString and the three floors in
//   interleaved batches of the same run; counters give each one's CPU time
//   per value (median of the batches), SecureString's ratio to each, and
//   target: the ratio to the prepared contexts (ratio) that SecureString
//   must stay within.
#include <benchmark/benchmark.h>

#include <openssl/evp.h>

#include <time.h>

#include <algorithm>
#include <cstring>
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

using Context = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

const unsigned char kFloorKey[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                     17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
const unsigned char kFloorVector[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};

// One value through the floors: encrypt then decrypt `secret` into `plain`;
// the plain length, or -1.
enum class Floor { NewContexts, PreparedContexts, PreparedKeyed };

class EvpFloor {
public:
    EvpFloor(Floor floor, size_t length)
        : floor(floor),
          encrypt(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free),
          decrypt(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free),
          cipher(length + 32),
          plain(length + 32) {
        EVP_EncryptInit_ex(encrypt.get(), EVP_aes_256_cbc(), nullptr, kFloorKey, kFloorVector);
        EVP_DecryptInit_ex(decrypt.get(), EVP_aes_256_cbc(), nullptr, kFloorKey, kFloorVector);
    }

    int roundTrip(const std::string& secret) {
        const auto* input = reinterpret_cast<const unsigned char*>(secret.data());
        int length = 0;
        int finalLength = 0;
        if (floor == Floor::NewContexts) {
            Context fresh(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
            EVP_EncryptInit_ex(fresh.get(), EVP_aes_256_cbc(), nullptr, kFloorKey, kFloorVector);
            EVP_EncryptUpdate(fresh.get(), cipher.data(), &length, input, static_cast<int>(secret.size()));
            EVP_EncryptFinal_ex(fresh.get(), cipher.data() + length, &finalLength);
        } else {
            EVP_EncryptInit_ex(encrypt.get(), floor == Floor::PreparedContexts ? EVP_aes_256_cbc() : nullptr,
                               nullptr, kFloorKey, kFloorVector);
            EVP_EncryptUpdate(encrypt.get(), cipher.data(), &length, input, static_cast<int>(secret.size()));
            EVP_EncryptFinal_ex(encrypt.get(), cipher.data() + length, &finalLength);
        }
        const int cipherLength = length + finalLength;
        if (floor == Floor::NewContexts) {
            Context fresh(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
            EVP_DecryptInit_ex(fresh.get(), EVP_aes_256_cbc(), nullptr, kFloorKey, kFloorVector);
            EVP_DecryptUpdate(fresh.get(), plain.data(), &length, cipher.data(), cipherLength);
            if (EVP_DecryptFinal_ex(fresh.get(), plain.data() + length, &finalLength) != 1) {
                return -1;
            }
        } else {
            EVP_DecryptInit_ex(decrypt.get(), floor == Floor::PreparedContexts ? EVP_aes_256_cbc() : nullptr,
                               nullptr, kFloorKey, kFloorVector);
            EVP_DecryptUpdate(decrypt.get(), plain.data(), &length, cipher.data(), cipherLength);
            if (EVP_DecryptFinal_ex(decrypt.get(), plain.data() + length, &finalLength) != 1) {
                return -1;
            }
        }
        return length + finalLength;
    }

    bool gives(const std::string& secret) {
        return roundTrip(secret) == static_cast<int>(secret.size()) &&
               std::memcmp(plain.data(), secret.data(), secret.size()) == 0;
    }
    const unsigned char* plainBytes() const { return plain.data(); }

private:
    Floor floor;
    Context encrypt;
    Context decrypt;
    std::vector<unsigned char> cipher;
    std::vector<unsigned char> plain;
};

void runFloor(benchmark::State& state, Floor floor) {
    const std::string secret = randomText(static_cast<size_t>(state.range(0)));
    EvpFloor evp(floor, secret.size());
    if (!evp.gives(secret)) {
        state.SkipWithError("the floor does not round-trip the secret");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(evp.roundTrip(secret));
        benchmark::DoNotOptimize(evp.plainBytes());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_RawEvpPreparedContext(benchmark::State& state) { runFloor(state, Floor::PreparedContexts); }
void BM_RawEvpPreparedContextKeyed(benchmark::State& state) { runFloor(state, Floor::PreparedKeyed); }

// ---- Interleaved comparison -----------------------------------------------------------

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

bool secureStringGives(zvf::SecureString& value, const std::string& secret) {
    value.setValue(secret.data(), secret.size());
    zvf::SecureStringReader reader;
    value.getUnsecureString(reader);
    return reader.getBufSize() == secret.size() && std::memcmp(reader.c_str(), secret.data(), secret.size()) == 0;
}

constexpr int kValuesPerBatch = 2000;
constexpr double kTargetRatio = 1.5;  // SecureString over the prepared-context floor

// Each iteration times one batch of each of the four, in turn, on the
// thread's CPU clock; the iteration time is SecureString's batch.
void BM_SecureStringOverRawEvp(benchmark::State& state) {
    const std::string secret = randomText(static_cast<size_t>(state.range(0)));
    zvf::SecureString value;
    EvpFloor floors[] = {EvpFloor(Floor::NewContexts, secret.size()), EvpFloor(Floor::PreparedContexts, secret.size()),
                         EvpFloor(Floor::PreparedKeyed, secret.size())};
    bool right = secureStringGives(value, secret);
    for (EvpFloor& floor : floors) {
        right = right && floor.gives(secret);
    }
    if (!right) {
        state.SkipWithError("a round trip does not give the secret back");
        return;
    }
    std::vector<double> ours;
    std::vector<double> floorSamples[3];
    for (auto _ : state) {
        double start = threadCpuSeconds();
        for (int i = 0; i < kValuesPerBatch; ++i) {
            value.setValue(secret.data(), secret.size());
            zvf::SecureStringReader reader;
            value.getUnsecureString(reader);
            benchmark::DoNotOptimize(reader.c_str());
        }
        const double oursBatch = threadCpuSeconds() - start;
        ours.push_back(oursBatch);
        for (int f = 0; f < 3; ++f) {
            start = threadCpuSeconds();
            for (int i = 0; i < kValuesPerBatch; ++i) {
                benchmark::DoNotOptimize(floors[f].roundTrip(secret));
            }
            floorSamples[f].push_back(threadCpuSeconds() - start);
        }
        state.SetIterationTime(oursBatch);
    }
    const double perValue = 1e9 / kValuesPerBatch;
    const double oursNs = median(ours) * perValue;
    const char* names[] = {"evp_new_contexts_ns", "evp_prepared_ns", "evp_prepared_keyed_ns"};
    const char* ratios[] = {"ratio_new_contexts", "ratio", "ratio_prepared_keyed"};
    state.counters["securestring_ns"] = oursNs;
    for (int f = 0; f < 3; ++f) {
        const double floorNs = median(floorSamples[f]) * perValue;
        state.counters[names[f]] = floorNs;
        state.counters[ratios[f]] = floorNs > 0 ? oursNs / floorNs : 0;
    }
    state.counters["target"] = kTargetRatio;
}

}  // namespace

BENCHMARK(BM_SecureStringSetAndRead)->Arg(100 * 1024);
BENCHMARK(BM_RawEvpAes256CbcEncryptDecrypt)->Arg(100 * 1024);
BENCHMARK(BM_SecureStringSetAndRead)->Arg(64);
BENCHMARK(BM_RawEvpAes256CbcEncryptDecrypt)->Arg(64);
BENCHMARK(BM_RawEvpPreparedContext)->Arg(64);
BENCHMARK(BM_RawEvpPreparedContextKeyed)->Arg(64);
BENCHMARK(BM_SecureStringOverRawEvp)->Arg(64)->UseManualTime();

BENCHMARK_MAIN();
