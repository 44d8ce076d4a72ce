// The cost of the storage's file-system seam when nothing is installed:
// fstat and a one-byte write to /dev/null, called directly and through
// FileSystem::current(). The difference is the seam's atomic load and
// virtual call beside a system call.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "zvf/storage/FileSystem.h"

namespace {

using zvf::storage::FileSystem;

// /dev/null, open for the whole run.
int devNull() {
    static const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    return fd;
}

void BM_FstatDirect(benchmark::State& state) {
    struct stat info;
    for (auto _ : state) {
        benchmark::DoNotOptimize(::fstat(devNull(), &info));
    }
}
BENCHMARK(BM_FstatDirect);

void BM_FstatThroughSeam(benchmark::State& state) {
    struct stat info;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FileSystem::current().fstat(devNull(), &info));
    }
}
BENCHMARK(BM_FstatThroughSeam);

void BM_WriteDirect(benchmark::State& state) {
    const char byte = 'x';
    for (auto _ : state) {
        benchmark::DoNotOptimize(::write(devNull(), &byte, 1));
    }
}
BENCHMARK(BM_WriteDirect);

void BM_WriteThroughSeam(benchmark::State& state) {
    const char byte = 'x';
    for (auto _ : state) {
        benchmark::DoNotOptimize(FileSystem::current().write(devNull(), &byte, 1));
    }
}
BENCHMARK(BM_WriteThroughSeam);

}  // namespace

BENCHMARK_MAIN();
