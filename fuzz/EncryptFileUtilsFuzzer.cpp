// Fuzzes the host's encrypted-file reader on arbitrary file contents under
// each category, with the fixed storage key of the fuzz runs (the seed
// files are valid files written under it). A file is authenticated with its
// category, so at most one category reads it, and what it yields is exactly
// the file less header and tag; and a file that reads is authenticated
// whole: with any one bit flipped (one per byte), cut short at any length
// or extended by a byte it reads under no category. The input is also
// stored as the plain content of a file and must read back whole.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzEnvironment.h"
#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"
#include "zvf/storage/EncryptFileUtils.h"

namespace {

// Magic, version, algorithm, key id, category and nonce; then the GCM tag.
constexpr std::size_t kHeaderBytes = 30;
constexpr std::size_t kTagBytes = 16;

std::string plainOf(const zvf::SecureString& value) {
    zvf::SecureStringReader reader;
    value.getUnsecureString(reader);
    return std::string(reader.c_str(), static_cast<std::size_t>(reader.getBufSize()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using zvf::storage::EncryptFileUtils;
    const std::string& directory = nuvrixfuzz::environment().configDir;
    const std::string fuzzed = directory + "/fuzzed.dat";
    nuvrixfuzz::writeFile(fuzzed, data, size);
    int readers = 0;
    for (FileCategoryType::FileCategory category :
         {FileCategoryType::General, FileCategoryType::UserData, FileCategoryType::Configuration}) {
        zvf::SecureString content;
        if (EncryptFileUtils::readDataFromFile(fuzzed, content, category)) {
            ++readers;
            FUZZ_CHECK(plainOf(content).size() == size - kHeaderBytes - kTagBytes,
                       "the plain content is not the file less header and tag");
        }
    }
    FUZZ_CHECK(readers <= 1, "a file reads under more than one category");
    if (readers == 1 && size <= 4096) {
        const std::string whole(reinterpret_cast<const char*>(data), size);
        const auto readsUnderAnyCategory = [&](const std::string& bytes) {
            nuvrixfuzz::writeFile(fuzzed, bytes);
            for (FileCategoryType::FileCategory category :
                 {FileCategoryType::General, FileCategoryType::UserData, FileCategoryType::Configuration}) {
                zvf::SecureString content;
                if (EncryptFileUtils::readDataFromFile(fuzzed, content, category)) {
                    return true;
                }
            }
            return false;
        };
        for (std::size_t i = 0; i < size; ++i) {
            std::string damaged = whole;
            damaged[i] = static_cast<char>(damaged[i] ^ (1 << (i % 8)));
            FUZZ_CHECK(!readsUnderAnyCategory(damaged), "a file with a flipped bit still reads");
            FUZZ_CHECK(!readsUnderAnyCategory(whole.substr(0, i)), "a truncated file still reads");
        }
        FUZZ_CHECK(!readsUnderAnyCategory(whole + "x"), "a file extended by a byte still reads");
    }

    const std::string stored = directory + "/stored.dat";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(EncryptFileUtils::writeDataToFile(stored, zvf::SecureString(bytes), FileCategoryType::UserData),
               "cannot store the input");
    zvf::SecureString back;
    FUZZ_CHECK(EncryptFileUtils::readDataFromFile(stored, back, FileCategoryType::UserData), "cannot read back the input");
    FUZZ_CHECK(plainOf(back) == bytes, "stored bytes came back changed");
    return 0;
}
