// Throughput of the Base64 family beside OpenSSL's block codec on the same
// bytes, for small, medium and large messages.
#include <benchmark/benchmark.h>

#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

#include "zvf/Base64.h"

namespace {

std::vector<unsigned char> randomBytes(size_t length) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<unsigned char> data(length);
    for (unsigned char& b : data) {
        b = static_cast<unsigned char>(byte(random));
    }
    return data;
}

void BM_Base64Encode(benchmark::State& state) {
    const std::vector<unsigned char> data = randomBytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        std::string text = zvf::base64_encode(data.data(), static_cast<uint32_t>(data.size()), false);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_OpenSslEncodeBlock(benchmark::State& state) {
    const std::vector<unsigned char> data = randomBytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        // Same work as the codec under test: a fresh output string per call.
        std::string text(4 * ((data.size() + 2) / 3) + 1, '\0');
        const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]), data.data(),
                                           static_cast<int>(data.size()));
        text.resize(static_cast<size_t>(length));
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Base64Decode(benchmark::State& state) {
    const std::vector<unsigned char> data = randomBytes(static_cast<size_t>(state.range(0)));
    const std::string text = zvf::base64_encode(data.data(), static_cast<uint32_t>(data.size()), false);
    for (auto _ : state) {
        std::vector<unsigned char> out;
        const int result = zvf::base64_decode(text, out);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_OpenSslDecodeBlock(benchmark::State& state) {
    const std::vector<unsigned char> data = randomBytes(static_cast<size_t>(state.range(0)));
    const std::string text = zvf::base64_encode(data.data(), static_cast<uint32_t>(data.size()), false);
    for (auto _ : state) {
        std::vector<unsigned char> out(text.size() / 4 * 3);
        const int length = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                           static_cast<int>(text.size()));
        benchmark::DoNotOptimize(length);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Base64DiscreetEncodeDecode(benchmark::State& state) {
    const std::vector<unsigned char> data = randomBytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        const zvf::SecureString encoded =
            zvf::base64_discreet_encode(data.data(), static_cast<uint32_t>(data.size()), false);
        zvf::SecureString decoded;
        const int result = zvf::base64_discreet_decode(encoded, decoded);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(BM_Base64Encode)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_OpenSslEncodeBlock)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_Base64Decode)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_OpenSslDecodeBlock)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_Base64DiscreetEncodeDecode)->Arg(64)->Arg(4096);

BENCHMARK_MAIN();
