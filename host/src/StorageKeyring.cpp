#include "StorageKeyring.h"

#include <fcntl.h>
#include <openssl/rand.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <string>

#include "AtomicFileWriter.h"
#include "FileDescriptor.h"
#include "HexText.h"
#include "PTKCoreUtils/FileUtils.h"
#include "RetryOnInterrupt.h"
#include "StorageLog.h"
#include "TemporaryFile.h"
#include "zvf/storage/FileSystem.h"

namespace zvf {
namespace storage {

namespace {

const char kKeyFileName[] = "nuvrix-storage.key";
// Beside the key file: keys retired by a re-keying, and unusable key files
// moved out of the way.
const char kRetiredMarker[] = ".retired-";
const char kUnusableMarker[] = ".unusable-";

// Keys by key-file path, and the key the host program handed over.
struct KeyCache {
    std::mutex lock;  // guards everything below
    std::map<std::string, StorageKey> byPath;
    bool overridden = false;
    StorageKey override;
};

KeyCache& keyCache() {
    static KeyCache* cache = new KeyCache;  // never destroyed: used at exit
    return *cache;
}

// An exclusive flock on a directory, held while the key file in it is
// examined, created or replaced, so that two processes never replace each
// other's new key. Released when the object goes away.
class DirectoryLock {
public:
    DirectoryLock(FileSystem& fileSystem, const std::string& directory)
        : descriptor(fileSystem, retryOnInterrupt([&] {
                         return fileSystem.open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
                     })) {
        if (descriptor.isOpen()) {
            // Where directories cannot be locked, key handling goes on
            // unlocked, as it did before.
            descriptor.lockExclusively(true);
        }
    }

private:
    FileDescriptor descriptor;
};

// Where a retired key with that id is kept: it still reads the files written
// under it, while new files are written under the current key.
std::string retiredKeyPath(const std::string& directory, const unsigned char* id) {
    return directory + "/" + kKeyFileName + kRetiredMarker + hexText(id, StorageKey::kIdSize);
}

// Creates a fresh key file and publishes it with link(), which never
// replaces a key file created meanwhile. The key exists under a temporary
// name only while this writer holds the temporary's lock.
bool createKeyFile(FileSystem& fileSystem, const std::string& keyPath) {
    StorageKey fresh;
    if (RAND_bytes(fresh.bytes(), StorageKey::kSize) != 1) {
        logFailure(2, "no random bytes for the storage key", keyPath);
        return false;
    }
    TemporaryFile temporary(fileSystem, keyPath);
    if (!temporary.create(0600)) {
        logFailure(2, "cannot create a temporary file for", keyPath, errno);
        return false;
    }
    if (!temporary.setMode(0600) || !temporary.write(fresh.bytes(), StorageKey::kSize) || !temporary.flush()) {
        logFailure(2, "cannot write the storage key file", keyPath, errno);
        return false;
    }
    if (!temporary.linkToTarget()) {
        if (errno == EEXIST) {
            return true;  // another writer's key; it is read back by the caller
        }
        logFailure(2, "cannot create the storage key file", keyPath, errno);
        return false;
    }
    // Files are about to be written under this key: its name must last as
    // long as they do.
    if (!AtomicFileWriter::syncDirectory(AtomicFileWriter::directoryOf(keyPath))) {
        logFailure(2, "cannot flush the directory of the storage key file", keyPath, errno);
        return false;
    }
    logFailure(4, "created the storage key file", keyPath);
    return true;
}

// Moves the key file at keyPath (open as fd) aside to target, first making
// it readable by its owner only.
bool moveKeyAside(FileSystem& fileSystem, int fd, const std::string& keyPath, const std::string& target) {
    if (retryOnInterrupt([&] { return fileSystem.fchmod(fd, 0600); }) != 0 ||
        retryOnInterrupt([&] { return fileSystem.rename(keyPath.c_str(), target.c_str()); }) != 0) {
        logFailure(2, "cannot move the storage key file aside", keyPath, errno);
        return false;
    }
    AtomicFileWriter::syncDirectory(AtomicFileWriter::directoryOf(keyPath));
    return true;
}

// Reads the key file, or creates it when it does not exist, recovering from
// a key file that cannot be trusted as it is (see the class comment). Stray
// temporaries of an interrupted key creation are removed first.
bool loadKeyFile(FileSystem& fileSystem, const std::string& keyPath, StorageKey& key) {
    const std::string directory = AtomicFileWriter::directoryOf(keyPath);
    struct stat directoryInfo;
    if (retryOnInterrupt([&] { return fileSystem.stat(directory.c_str(), &directoryInfo); }) != 0 &&
        !PTKCoreUtils::FileUtils::createDirectory(directory)) {
        logFailure(2, "cannot create the directory of the storage key", keyPath);
        return false;
    }
    DirectoryLock lock(fileSystem, directory);
    TemporaryFile::removeLeftovers(fileSystem, keyPath);
    for (int attempt = 0; attempt < 4; ++attempt) {
        FileDescriptor keyFile(fileSystem, retryOnInterrupt([&] {
                                   return fileSystem.open(keyPath.c_str(),
                                                          O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0);
                               }));
        if (!keyFile.isOpen() && errno == ENOENT) {
            if (!createKeyFile(fileSystem, keyPath)) {
                return false;
            }
            continue;  // read it back through the checks below
        }
        if (!keyFile.isOpen()) {
            logFailure(2, "cannot open the storage key file", keyPath, errno);
            return false;
        }
        struct stat info;
        const char* refusal = nullptr;
        const char* unusable = nullptr;
        if (retryOnInterrupt([&] { return fileSystem.fstat(keyFile.get(), &info); }) != 0) {
            refusal = "cannot examine the storage key file";
        } else if (!S_ISREG(info.st_mode)) {
            refusal = "refused the storage key file (not a regular file)";
        } else if (info.st_uid != ::geteuid()) {
            refusal = "refused the storage key file (owned by another user)";
        } else if (info.st_size != static_cast<off_t>(StorageKey::kSize)) {
            unusable = "wrong size";
        } else if ((info.st_mode & 022) != 0) {
            unusable = "writable by others";
        }
        std::size_t got = 0;
        if (refusal == nullptr && unusable == nullptr &&
            (!keyFile.readFully(key.bytes(), StorageKey::kSize, got) || got != StorageKey::kSize)) {
            refusal = "cannot read the storage key file";
        }
        if (refusal == nullptr && unusable == nullptr && !key.computeId()) {
            refusal = "cannot compute the id of the storage key";
        }
        if (refusal != nullptr) {
            key.clear();
            logFailure(2, refusal, keyPath);
            return false;
        }
        if (unusable != nullptr) {
            unsigned char random[8];
            if (RAND_bytes(random, sizeof(random)) != 1) {
                logFailure(2, "no random bytes to move the unusable storage key file aside", keyPath);
                return false;
            }
            const std::string aside = keyPath + kUnusableMarker + hexText(random, sizeof(random));
            if (!moveKeyAside(fileSystem, keyFile.get(), keyPath, aside)) {
                return false;
            }
            logFailure(2,
                       std::string("replaced the unusable storage key file (") + unusable +
                           "); files written under it can no longer be read; it is kept as " +
                           PTKCoreUtils::FileUtils::getFileName(aside) + ":",
                       keyPath);
            continue;
        }
        if ((info.st_mode & 077) != 0) {
            const std::string retired = retiredKeyPath(directory, key.id());
            key.clear();
            if (!moveKeyAside(fileSystem, keyFile.get(), keyPath, retired)) {
                return false;
            }
            logFailure(2,
                       "re-keyed the storage: the key file was readable by others (mode looser than 0600); new files "
                       "are written under a fresh key, and the old key, kept as " +
                           PTKCoreUtils::FileUtils::getFileName(retired) + ", reads what was written under it:",
                       keyPath);
            continue;
        }
        return true;
    }
    logFailure(2, "cannot establish the storage key file", keyPath);
    return false;
}

// Reads the retired key with that id, kept by a re-keying, under the same
// checks as the key file; false when there is none.
bool loadRetiredKey(FileSystem& fileSystem, const std::string& path, const unsigned char* id, StorageKey& key) {
    FileDescriptor keyFile(fileSystem, retryOnInterrupt([&] {
                               return fileSystem.open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                                                      0);
                           }));
    if (!keyFile.isOpen()) {
        return false;
    }
    struct stat info;
    std::size_t got = 0;
    const bool usable = retryOnInterrupt([&] { return fileSystem.fstat(keyFile.get(), &info); }) == 0 &&
                        S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0 &&
                        info.st_size == static_cast<off_t>(StorageKey::kSize) &&
                        keyFile.readFully(key.bytes(), StorageKey::kSize, got) && got == StorageKey::kSize &&
                        key.computeId() && std::equal(id, id + StorageKey::kIdSize, key.id());
    if (!usable) {
        key.clear();
        logFailure(3, "refused the retired storage key file", path);
    }
    return usable;
}

}  // namespace

bool StorageKeyring::currentKey(StorageKey& key) {
    KeyCache& cache = keyCache();
    std::lock_guard<std::mutex> guard(cache.lock);
    if (cache.overridden) {
        key = cache.override;
        return true;
    }
    const std::string keyPath = PTKCoreUtils::FileUtils::getUserLocalAppDir() + "/" + kKeyFileName;
    auto found = cache.byPath.find(keyPath);
    if (found != cache.byPath.end()) {
        key = found->second;
        return true;
    }
    StorageKey loaded;
    if (!loadKeyFile(FileSystem::current(), keyPath, loaded)) {
        return false;
    }
    cache.byPath[keyPath] = loaded;
    key = loaded;
    return true;
}

bool StorageKeyring::retiredKey(const unsigned char* id, StorageKey& key) {
    KeyCache& cache = keyCache();
    std::lock_guard<std::mutex> guard(cache.lock);
    if (cache.overridden) {
        return false;
    }
    const std::string path = retiredKeyPath(PTKCoreUtils::FileUtils::getUserLocalAppDir(), id);
    auto found = cache.byPath.find(path);
    if (found != cache.byPath.end()) {
        key = found->second;
        return true;
    }
    if (!loadRetiredKey(FileSystem::current(), path, id, key)) {
        return false;
    }
    cache.byPath[path] = key;
    return true;
}

bool StorageKeyring::handOver(const unsigned char* key, std::size_t length) {
    KeyCache& cache = keyCache();
    std::lock_guard<std::mutex> guard(cache.lock);
    if (key == nullptr || length == 0) {
        cache.overridden = false;
        cache.override.clear();
        return true;
    }
    if (length != StorageKey::kSize) {
        logFailure(3, "storage key refused: it must be 32 bytes");
        return false;
    }
    cache.overridden = cache.override.assign(key);
    return cache.overridden;
}

}  // namespace storage
}  // namespace zvf
