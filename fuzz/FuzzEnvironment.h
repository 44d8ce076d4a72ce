#ifndef FUZZ_FUZZENVIRONMENT_H
#define FUZZ_FUZZENVIRONMENT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace nuvrixfuzz {

// The process-wide setting every harness runs in, made on first use and
// kept until exit: a private temporary directory with configuration,
// local-application-data and resources folders, published through
// NUVRIX_CONFIG_DIR, NUVRIX_LOCAL_APP_DIR and NUVRIX_RESOURCES_DIR; a storage
// key file of fixed bytes, so that encrypted seed files written once read
// back in every run; only fatal log records, so that the fuzzer's output is
// not drowned in the parsers' complaints; and writes without fsync, since
// the harnesses exercise parsing, not durability. The directory is removed
// at exit. Not thread-safe: harnesses run one input at a time.
struct FuzzEnvironment {
    std::string root;
    std::string configDir;
    std::string localAppDir;
    std::string resourcesDir;
};

const FuzzEnvironment& environment();

// Replaces the file at path with exactly these bytes; aborts when it cannot.
void writeFile(const std::string& path, const uint8_t* data, std::size_t size);
void writeFile(const std::string& path, const std::string& bytes);
// Removes every entry of directory (not the directory itself).
void clearDirectory(const std::string& directory);

// Reports a broken property of the code under test and aborts, so that
// libFuzzer keeps the input as a crash and the corpus replay fails.
[[noreturn]] void fail(const std::string& what);

}  // namespace nuvrixfuzz

// Checks a property the code under test promises; a violation is a fault.
#define FUZZ_CHECK(condition, what)            \
    do {                                       \
        if (!(condition)) {                    \
            ::nuvrixfuzz::fail(what);          \
        }                                      \
    } while (false)

#endif
