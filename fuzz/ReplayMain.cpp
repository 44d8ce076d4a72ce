// Replays a harness on files instead of fuzzing it: every regular file named
// on the command line, and every regular file inside a directory named
// there (in name order), is fed once to LLVMFuzzerTestOneInput. Built in
// every build, so that the seed corpora and the reproducers of faults found
// earlier run with the ordinary tests. Fails when it found no input at all,
// so that a mistyped corpus path cannot pass silently.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

void collect(const std::filesystem::path& path, std::vector<std::filesystem::path>& files) {
    if (std::filesystem::is_directory(path)) {
        std::vector<std::filesystem::path> entries;
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            if (entry.is_regular_file()) {
                entries.push_back(entry.path());
            }
        }
        std::sort(entries.begin(), entries.end());
        files.insert(files.end(), entries.begin(), entries.end());
    } else if (std::filesystem::is_regular_file(path)) {
        files.push_back(path);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        collect(argv[i], files);
    }
    if (files.empty()) {
        std::fprintf(stderr, "no input files found\n");
        return 1;
    }
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::printf("replaying %s (%zu bytes)\n", file.c_str(), bytes.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
