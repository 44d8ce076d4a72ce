#include "FuzzEnvironment.h"

#include <openssl/crypto.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "logging/ZVFLogger.h"
#include "zvf/storage/EncryptFileUtils.h"

namespace nuvrixfuzz {

namespace {

// The storage key of every fuzz run. Not a secret: it only has to be the
// same in every run, so that the encrypted seed files stay readable.
const unsigned char kFuzzStorageKey[32] = {
    0x6e, 0x75, 0x76, 0x72, 0x69, 0x78, 0x2d, 0x66, 0x75, 0x7a, 0x7a, 0x2d, 0x73, 0x65, 0x65, 0x64,
    0x2d, 0x6b, 0x65, 0x79, 0x2d, 0x30, 0x31, 0x2d, 0x6e, 0x6f, 0x74, 0x2d, 0x73, 0x65, 0x63, 0x72,
};

class Environment : public FuzzEnvironment {
public:
    Environment() {
        // OpenSSL registers its exit-time clean-up on first use. Made first,
        // it runs after every harness object made later (a host whose
        // threads encrypt is shut down at exit), so those threads' OpenSSL
        // state is released when they end rather than reported as a leak.
        OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS, nullptr);
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/nuvrix-fuzz-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr) {
            fail("cannot create the temporary directory");
        }
        root = buffer.data();
        configDir = root + "/config";
        localAppDir = root + "/local";
        resourcesDir = root + "/resources";
        for (const std::string* directory : {&configDir, &localAppDir, &resourcesDir}) {
            std::filesystem::create_directories(*directory);
        }
        setenv("NUVRIX_CONFIG_DIR", configDir.c_str(), 1);
        setenv("NUVRIX_LOCAL_APP_DIR", localAppDir.c_str(), 1);
        setenv("NUVRIX_RESOURCES_DIR", resourcesDir.c_str(), 1);

        const std::string keyFile = localAppDir + "/nuvrix-storage.key";
        writeFile(keyFile, kFuzzStorageKey, sizeof(kFuzzStorageKey));
        if (::chmod(keyFile.c_str(), 0600) != 0) {
            fail("cannot make the storage key file private");
        }
        ZVFLogger_setLevel(1);
        zvf::storage::EncryptFileUtils::setDurableWrites(false);
    }
    ~Environment() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
};

}  // namespace

const FuzzEnvironment& environment() {
    static Environment instance;
    return instance;
}

void writeFile(const std::string& path, const uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        fail("cannot write " + path);
    }
}

void writeFile(const std::string& path, const std::string& bytes) {
    writeFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void clearDirectory(const std::string& directory) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

void fail(const std::string& what) {
    std::fprintf(stderr, "fuzz property violated: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace nuvrixfuzz
