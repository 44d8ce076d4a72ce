#include "zvf/storage/EncryptFileUtils.h"

#include <dirent.h>
#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "PTKCoreUtils/FileUtils.h"
#include "logging/ZVFLogger.h"
#include "zvf/SecureStringReader.h"

namespace zvf {
namespace storage {

namespace {

ZVFLogger* logger = ZVFLogger_getLogger("Host-EncryptFileUtils");

// File layout. All multi-byte numbers are big-endian.
const unsigned char kMagic[4] = {'N', 'V', 'R', 'X'};
const unsigned char kVersion = 1;
const unsigned char kAlgorithmAes256Gcm = 1;
const std::size_t kKeyIdSize = 8;
const std::size_t kNonceSize = 12;
const std::size_t kTagSize = 16;
const std::size_t kHeaderSize = sizeof(kMagic) + 1 + 1 + kKeyIdSize + 4 + kNonceSize;  // 30
const std::size_t kKeySize = 32;
// Larger files are refused unread: nothing the client stores comes near it.
const off_t kMaxFileSize = 256 * 1024 * 1024;
// EVP takes int lengths; bytes go through in pieces of this size.
const std::size_t kChunk = 1 << 20;

const char kKeyFileName[] = "nuvrix-storage.key";
const char kTempMarker[] = ".tmp-";
// Beside the key file: keys retired by a re-keying, and unusable key files
// moved out of the way.
const char kRetiredMarker[] = ".retired-";
const char kUnusableMarker[] = ".unusable-";

std::atomic<bool> durableWrites{true};

// 32 key bytes, cleansed when the object goes away.
struct KeyMaterial {
    unsigned char bytes[kKeySize];
    unsigned char id[kKeyIdSize];
    KeyMaterial() {
        std::memset(bytes, 0, sizeof(bytes));
        std::memset(id, 0, sizeof(id));
    }
    ~KeyMaterial() { OPENSSL_cleanse(bytes, sizeof(bytes)); }
    KeyMaterial(const KeyMaterial& other) {
        std::memcpy(bytes, other.bytes, sizeof(bytes));
        std::memcpy(id, other.id, sizeof(id));
    }
    KeyMaterial& operator=(const KeyMaterial& other) {
        std::memcpy(bytes, other.bytes, sizeof(bytes));
        std::memcpy(id, other.id, sizeof(id));
        return *this;
    }
};

// The key id names the key in every file header without revealing it: the
// first 8 bytes of SHA-256 over a fixed label and the key.
bool computeKeyId(KeyMaterial& key) {
    static const char kLabel[] = "nuvrix storage key id";
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), kLabel, sizeof(kLabel) - 1) != 1 ||
        EVP_DigestUpdate(ctx.get(), key.bytes, sizeof(key.bytes)) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1 || length < kKeyIdSize) {
        return false;
    }
    std::memcpy(key.id, digest, kKeyIdSize);
    OPENSSL_cleanse(digest, sizeof(digest));
    return true;
}

// Keys by key-file path, and the key the host program handed over.
struct KeyStore {
    std::mutex lock;  // guards everything below
    std::map<std::string, KeyMaterial> byPath;
    bool overridden = false;
    KeyMaterial override;
};

KeyStore& keyStore() {
    static KeyStore* store = new KeyStore;  // never destroyed: used at exit
    return *store;
}

// Serialises writes in this process, so that the removal of stray temporary
// files never races with another thread's write in progress.
std::mutex& writeLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::string masked(const std::string& path) { return ZVFLogger_replacePIIData(path); }

void logAt(int line, const char* function, int level, const std::string& what, const std::string& path,
           int error = 0) {
    std::string text = what + " " + masked(path);
    if (error != 0) {
        text += ": " + std::string(std::strerror(error));
    }
    ZVFLog(logger, level, __FILE__, line, function, text);
}

// Logs what failed, the masked path and, when given, the system's reason,
// with the caller's source location.
#define logFailure(...) logAt(__LINE__, __func__, __VA_ARGS__)

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = ::write(fd, data + done, size - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool readAll(int fd, unsigned char* data, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        const ssize_t count = ::read(fd, data + got, size - got);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (count == 0) {
            break;
        }
        got += static_cast<std::size_t>(count);
    }
    return true;
}

// Flushes a directory entry change (a rename or a new file) to disk.
bool syncDirectory(const std::string& directory) {
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

std::string directoryOf(const std::string& path) {
    std::string directory = PTKCoreUtils::FileUtils::getParentDirectory(path);
    return directory.empty() ? std::string(".") : directory;
}

std::string hexOf(const unsigned char* bytes, std::size_t size) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0x0F];
    }
    return text;
}

// Sixteen random hexadecimal digits.
bool randomSuffix(std::string& out) {
    unsigned char random[8];
    if (RAND_bytes(random, sizeof(random)) != 1) {
        return false;
    }
    out = hexOf(random, sizeof(random));
    return true;
}

// A temporary name beside target: ".<name>.tmp-<16 hex digits>".
bool temporaryName(const std::string& target, std::string& out) {
    std::string suffix;
    if (!randomSuffix(suffix)) {
        return false;
    }
    out = directoryOf(target) + "/." + PTKCoreUtils::FileUtils::getFileName(target) + kTempMarker + suffix;
    return true;
}

// A temporary file beside its target: ".<name>.tmp-<16 hex digits>". Its
// writer holds an exclusive flock on it for as long as it exists under that
// name, which is how a writer in another process tells a live temporary
// from the leftover of an interrupted write. The destructor removes the
// file unless it was published, then closes it (releasing the lock).
struct TemporaryFile {
    int fd = -1;
    std::string path;
    bool published = false;

    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (fd >= 0) {
            if (!published) {
                ::unlink(path.c_str());
            }
            ::close(fd);
        }
    }
};

// Closes a file descriptor when it goes away.
struct Descriptor {
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd;
};

int lockExclusively(int fd, bool wait) {
    int result;
    do {
        result = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
    } while (result != 0 && errno == EINTR);
    return result;
}

// Creates and locks a new temporary file for target. A cleaner in another
// process may remove the file between its creation and the lock; then it is
// unlinked by the time the lock is held, and another name is tried.
bool createTemporary(const std::string& target, mode_t mode, TemporaryFile& out) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!temporaryName(target, out.path)) {
            errno = EIO;
            return false;
        }
        out.fd = ::open(out.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (out.fd < 0) {
            return false;
        }
        // Where file locks are not supported the file goes unlocked, and no
        // cleaner there can lock and remove it either.
        lockExclusively(out.fd, true);
        struct stat info;
        if (::fstat(out.fd, &info) == 0 && info.st_nlink > 0) {
            return true;
        }
        ::close(out.fd);
        out.fd = -1;
    }
    errno = EAGAIN;
    return false;
}

// Removes the temporary files of target that no live writer owns: those
// left by a write that was interrupted (a crash, a kill). A temporary whose
// lock is held belongs to a write in progress, here or in another process,
// and is left alone.
void removeStrayTemporaries(const std::string& target) {
    const std::string directory = directoryOf(target);
    const std::string prefix = "." + PTKCoreUtils::FileUtils::getFileName(target) + kTempMarker;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
    if (!dir) {
        return;
    }
    std::vector<std::string> candidates;
    while (struct dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
            candidates.push_back(name);
        }
    }
    for (const std::string& name : candidates) {
        const std::string path = directory + "/" + name;
        // Read-write: over NFS an exclusive lock needs a descriptor open
        // for writing.
        int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        if (lockExclusively(fd, false) == 0 && ::unlink(path.c_str()) == 0) {
            logFailure(4, "removed the leftover of an interrupted write:", path);
        }
        ::close(fd);
    }
}

// Writes bytes to path atomically: a temporary file in the same directory,
// written whole, flushed, closed, renamed over path, then the directory
// flushed. Before the rename any failure removes the temporary file and
// leaves path as it was. The temporary stays locked until it has been
// renamed (through a second descriptor, so that the first can be closed
// and its result checked before the rename). fsync is never retried: after
// a failed fsync the kernel may have dropped the dirty pages, so a retry
// could report success for data that never reached the disk.
bool writeAtomically(const std::string& path, const unsigned char* data, std::size_t size, bool durable,
                     mode_t mode) {
    const std::string directory = directoryOf(path);
    TemporaryFile temporary;
    if (!createTemporary(path, mode, temporary)) {
        logFailure(2, "cannot create a temporary file for", path, errno);
        return false;
    }
    const char* step = nullptr;
    if (::fchmod(temporary.fd, mode) != 0) {
        step = "cannot set the mode of the temporary file for";
    } else if (!writeAll(temporary.fd, data, size)) {
        step = "cannot write the temporary file for";
    } else if (durable && ::fsync(temporary.fd) != 0) {
        step = "cannot flush the temporary file for";
    }
    if (step != nullptr) {
        logFailure(2, step, path, errno);
        return false;
    }
    const int lockHolder = ::dup(temporary.fd);
    if (lockHolder < 0) {
        logFailure(2, "cannot close the temporary file for", path, errno);
        return false;
    }
    const int closed = ::close(temporary.fd);
    const int closeError = errno;
    temporary.fd = lockHolder;
    if (closed != 0) {
        logFailure(2, "cannot close the temporary file for", path, closeError);
        return false;
    }
    if (::rename(temporary.path.c_str(), path.c_str()) != 0) {
        logFailure(2, "cannot move the new file into place:", path, errno);
        return false;
    }
    temporary.published = true;
    if (durable && !syncDirectory(directory)) {
        // The new content is in place; only its durability is in doubt.
        logFailure(2, "cannot flush the directory of", path, errno);
        return false;
    }
    return true;
}

// An exclusive flock on a directory, held while the key file in it is
// examined, created or replaced, so that two processes never replace each
// other's new key. Released when the object goes away.
class DirectoryLock {
public:
    explicit DirectoryLock(const std::string& directory)
        : fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd >= 0) {
            // Where directories cannot be locked, key handling goes on
            // unlocked, as it did before.
            lockExclusively(fd, true);
        }
    }
    ~DirectoryLock() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

private:
    int fd;
};

// Where a retired key with that id is kept: it still reads the files written
// under it, while new files are written under the current key.
std::string retiredKeyPath(const std::string& directory, const unsigned char* id) {
    return directory + "/" + kKeyFileName + kRetiredMarker + hexOf(id, kKeyIdSize);
}

// Creates a fresh key file and publishes it with link(), which never
// replaces a key file created meanwhile. The key exists under a temporary
// name only while this writer holds the temporary's lock.
bool createKeyFile(const std::string& keyPath) {
    KeyMaterial fresh;
    if (RAND_bytes(fresh.bytes, sizeof(fresh.bytes)) != 1) {
        logFailure(2, "no random bytes for the storage key", keyPath);
        return false;
    }
    TemporaryFile temporary;
    if (!createTemporary(keyPath, 0600, temporary)) {
        logFailure(2, "cannot create a temporary file for", keyPath, errno);
        return false;
    }
    if (::fchmod(temporary.fd, 0600) != 0 || !writeAll(temporary.fd, fresh.bytes, sizeof(fresh.bytes)) ||
        ::fsync(temporary.fd) != 0) {
        logFailure(2, "cannot write the storage key file", keyPath, errno);
        return false;
    }
    if (::link(temporary.path.c_str(), keyPath.c_str()) != 0) {
        if (errno == EEXIST) {
            return true;  // another writer's key; it is read back by the caller
        }
        logFailure(2, "cannot create the storage key file", keyPath, errno);
        return false;
    }
    syncDirectory(directoryOf(keyPath));
    logFailure(4, "created the storage key file", keyPath);
    return true;
}

// Moves the key file at keyPath (open as fd) aside to target, first making
// it readable by its owner only.
bool moveKeyAside(int fd, const std::string& keyPath, const std::string& target) {
    if (::fchmod(fd, 0600) != 0 || ::rename(keyPath.c_str(), target.c_str()) != 0) {
        logFailure(2, "cannot move the storage key file aside", keyPath, errno);
        return false;
    }
    syncDirectory(directoryOf(keyPath));
    return true;
}

// Reads the key file, or creates it with fresh random bytes when it does not
// exist. Refuses a key file that is not a regular file (a FIFO is never
// waited on), is a symbolic link or belongs to another user. Recovers, with
// a level-2 log line and without a user's help, from a key file that cannot
// be trusted as it is:
// - readable by others but written by its owner only (restored from a
//   backup as 0644, say): the key may have been read, so new files are
//   written under a fresh key; the old one is kept, mode 0600, as a retired
//   key that still reads the files written under it;
// - of the wrong size, or writable by others (so possibly planted): it is
//   no usable key; it is moved aside, mode 0600, and a fresh key replaces
//   it. Files written under it can no longer be read.
// Stray temporaries of an interrupted key creation are removed first.
bool loadKeyFile(const std::string& keyPath, KeyMaterial& key) {
    const std::string directory = directoryOf(keyPath);
    struct stat directoryInfo;
    if (::stat(directory.c_str(), &directoryInfo) != 0 && !PTKCoreUtils::FileUtils::createDirectory(directory)) {
        logFailure(2, "cannot create the directory of the storage key", keyPath);
        return false;
    }
    DirectoryLock lock(directory);
    removeStrayTemporaries(keyPath);
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = ::open(keyPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0 && errno == ENOENT) {
            if (!createKeyFile(keyPath)) {
                return false;
            }
            continue;  // read it back through the checks below
        }
        if (fd < 0) {
            logFailure(2, "cannot open the storage key file", keyPath, errno);
            return false;
        }
        const Descriptor keyFile(fd);
        struct stat info;
        const char* refusal = nullptr;
        const char* unusable = nullptr;
        if (::fstat(fd, &info) != 0) {
            refusal = "cannot examine the storage key file";
        } else if (!S_ISREG(info.st_mode)) {
            refusal = "refused the storage key file (not a regular file)";
        } else if (info.st_uid != ::geteuid()) {
            refusal = "refused the storage key file (owned by another user)";
        } else if (info.st_size != static_cast<off_t>(kKeySize)) {
            unusable = "wrong size";
        } else if ((info.st_mode & 022) != 0) {
            unusable = "writable by others";
        }
        std::size_t got = 0;
        if (refusal == nullptr && unusable == nullptr &&
            (!readAll(fd, key.bytes, kKeySize, got) || got != kKeySize)) {
            refusal = "cannot read the storage key file";
        }
        if (refusal == nullptr && unusable == nullptr && !computeKeyId(key)) {
            refusal = "cannot compute the id of the storage key";
        }
        if (refusal != nullptr) {
            OPENSSL_cleanse(key.bytes, sizeof(key.bytes));
            logFailure(2, refusal, keyPath);
            return false;
        }
        if (unusable != nullptr) {
            std::string suffix;
            const std::string aside = keyPath + kUnusableMarker;
            if (!randomSuffix(suffix) || !moveKeyAside(fd, keyPath, aside + suffix)) {
                return false;
            }
            logFailure(2,
                       std::string("replaced the unusable storage key file (") + unusable +
                           "); files written under it can no longer be read; it is kept as " +
                           PTKCoreUtils::FileUtils::getFileName(aside + suffix) + ":",
                       keyPath);
            continue;
        }
        if ((info.st_mode & 077) != 0) {
            const std::string retired = retiredKeyPath(directory, key.id);
            OPENSSL_cleanse(key.bytes, sizeof(key.bytes));
            if (!moveKeyAside(fd, keyPath, retired)) {
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
bool loadRetiredKey(const std::string& path, const unsigned char* id, KeyMaterial& key) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat info;
    std::size_t got = 0;
    const bool usable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
                        (info.st_mode & 077) == 0 && info.st_size == static_cast<off_t>(kKeySize) &&
                        readAll(fd, key.bytes, kKeySize, got) && got == kKeySize && computeKeyId(key) &&
                        std::memcmp(key.id, id, kKeyIdSize) == 0;
    ::close(fd);
    if (!usable) {
        OPENSSL_cleanse(key.bytes, sizeof(key.bytes));
        logFailure(3, "refused the retired storage key file", path);
    }
    return usable;
}

// The key to use now: the handed-over key, else the key of the current key
// file (cached per key-file path, since the directory may change).
bool currentKey(KeyMaterial& key) {
    KeyStore& store = keyStore();
    std::lock_guard<std::mutex> guard(store.lock);
    if (store.overridden) {
        key = store.override;
        return true;
    }
    const std::string keyPath = PTKCoreUtils::FileUtils::getUserLocalAppDir() + "/" + kKeyFileName;
    auto found = store.byPath.find(keyPath);
    if (found != store.byPath.end()) {
        key = found->second;
        return true;
    }
    KeyMaterial loaded;
    if (!loadKeyFile(keyPath, loaded)) {
        return false;
    }
    store.byPath[keyPath] = loaded;
    key = loaded;
    return true;
}

// The retired key with that id beside the current key file, when a
// re-keying kept one (cached like the current key). Never with a handed-over
// key.
bool retiredKey(const unsigned char* id, KeyMaterial& key) {
    KeyStore& store = keyStore();
    std::lock_guard<std::mutex> guard(store.lock);
    if (store.overridden) {
        return false;
    }
    const std::string path = retiredKeyPath(PTKCoreUtils::FileUtils::getUserLocalAppDir(), id);
    auto found = store.byPath.find(path);
    if (found != store.byPath.end()) {
        key = found->second;
        return true;
    }
    if (!loadRetiredKey(path, id, key)) {
        return false;
    }
    store.byPath[path] = key;
    return true;
}

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)>;

// Runs the bytes through EVP_EncryptUpdate or EVP_DecryptUpdate in pieces
// small enough for its int lengths.
template <class Update>
bool updateInChunks(Update update, EVP_CIPHER_CTX* ctx, unsigned char* out, const unsigned char* in,
                    std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t piece = size - done < kChunk ? size - done : kChunk;
        int produced = 0;
        if (update(ctx, out + done, &produced, in + done, static_cast<int>(piece)) != 1 ||
            produced != static_cast<int>(piece)) {
            return false;
        }
        done += piece;
    }
    return true;
}

void buildHeader(unsigned char* header, const KeyMaterial& key, FileCategoryType::FileCategory category,
                 const unsigned char* nonce) {
    std::size_t at = 0;
    std::memcpy(header + at, kMagic, sizeof(kMagic));
    at += sizeof(kMagic);
    header[at++] = kVersion;
    header[at++] = kAlgorithmAes256Gcm;
    std::memcpy(header + at, key.id, kKeyIdSize);
    at += kKeyIdSize;
    const uint32_t value = static_cast<uint32_t>(category);
    header[at++] = static_cast<unsigned char>(value >> 24);
    header[at++] = static_cast<unsigned char>(value >> 16);
    header[at++] = static_cast<unsigned char>(value >> 8);
    header[at++] = static_cast<unsigned char>(value);
    std::memcpy(header + at, nonce, kNonceSize);
}

}  // namespace

bool EncryptFileUtils::writeDataToFile(const std::string& path, const zvf::SecureString& data,
                                       FileCategoryType::FileCategory category) {
    if (path.empty()) {
        return false;
    }
    KeyMaterial key;
    if (!currentKey(key)) {
        logFailure(2, "no storage key; not written:", path);
        return false;
    }
    zvf::SecureStringReader plain;
    data.getUnsecureString(plain);
    const std::size_t plainSize = static_cast<std::size_t>(plain.getBufSize());
    const auto* plainBytes = reinterpret_cast<const unsigned char*>(plain.c_str());

    std::vector<unsigned char> file(kHeaderSize + plainSize + kTagSize);
    unsigned char nonce[kNonceSize];
    if (RAND_bytes(nonce, sizeof(nonce)) != 1) {
        logFailure(2, "no random bytes for the nonce; not written:", path);
        return false;
    }
    buildHeader(file.data(), key, category, nonce);

    CipherContext ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int length = 0;
    const bool encrypted =
        ctx && EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonceSize), nullptr) == 1 &&
        EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key.bytes, nonce) == 1 &&
        EVP_EncryptUpdate(ctx.get(), nullptr, &length, file.data(), static_cast<int>(kHeaderSize)) == 1 &&
        updateInChunks(EVP_EncryptUpdate, ctx.get(), file.data() + kHeaderSize, plainBytes, plainSize) &&
        EVP_EncryptFinal_ex(ctx.get(), file.data() + kHeaderSize + plainSize, &length) == 1 && length == 0 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagSize),
                            file.data() + kHeaderSize + plainSize) == 1;
    ctx.reset();
    if (!encrypted) {
        logFailure(2, "encryption failed; not written:", path);
        return false;
    }

    std::lock_guard<std::mutex> guard(writeLock());
    const std::string directory = directoryOf(path);
    struct stat info;
    if (::stat(directory.c_str(), &info) != 0 && !PTKCoreUtils::FileUtils::createDirectory(directory)) {
        logFailure(2, "cannot create the directory of", path);
        return false;
    }
    removeStrayTemporaries(path);
    return writeAtomically(path, file.data(), file.size(), durableWrites.load(), 0600);
}

bool EncryptFileUtils::readDataFromFile(const std::string& path, zvf::SecureString& data,
                                        FileCategoryType::FileCategory category) {
    // Opened without blocking, so that a FIFO in place of the file cannot
    // hang the caller; anything but a regular file is refused below.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        logFailure(errno == ENOENT ? 5 : 3, "cannot open", path, errno);
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        logFailure(3, "not a regular file:", path);
        return false;
    }
    if (info.st_size < static_cast<off_t>(kHeaderSize + kTagSize) || info.st_size > kMaxFileSize) {
        ::close(fd);
        logFailure(3, "not an encrypted file of this client (size):", path);
        return false;
    }
    std::vector<unsigned char> file(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    const bool read = readAll(fd, file.data(), file.size(), got);
    ::close(fd);
    if (!read || got != file.size()) {
        logFailure(3, "cannot read", path);
        return false;
    }

    const unsigned char* header = file.data();
    if (std::memcmp(header, kMagic, sizeof(kMagic)) != 0) {
        logFailure(3, "not an encrypted file of this client:", path);
        return false;
    }
    if (header[4] != kVersion || header[5] != kAlgorithmAes256Gcm) {
        logFailure(3, "unsupported encrypted file version or algorithm:", path);
        return false;
    }
    const uint32_t storedCategory = (static_cast<uint32_t>(header[14]) << 24) |
                                    (static_cast<uint32_t>(header[15]) << 16) |
                                    (static_cast<uint32_t>(header[16]) << 8) | static_cast<uint32_t>(header[17]);
    if (storedCategory != static_cast<uint32_t>(category)) {
        logFailure(3, "encrypted file of another category:", path);
        return false;
    }
    KeyMaterial key;
    if (!currentKey(key)) {
        logFailure(2, "no storage key; not read:", path);
        return false;
    }
    if (std::memcmp(header + 6, key.id, kKeyIdSize) != 0 && !retiredKey(header + 6, key)) {
        logFailure(3, "encrypted file written under another key:", path);
        return false;
    }
    const unsigned char* nonce = header + kHeaderSize - kNonceSize;
    const std::size_t cipherSize = file.size() - kHeaderSize - kTagSize;
    unsigned char tag[kTagSize];
    std::memcpy(tag, file.data() + kHeaderSize + cipherSize, kTagSize);

    // Plain bytes go into a buffer that a SecureStringReader owns, so that
    // they are wiped on every path out of here.
    char* buffer = new char[cipherSize + 1];
    std::memset(buffer, 0, cipherSize + 1);
    zvf::SecureStringReader plain;
    const bool adopted = plain.setValue(buffer, cipherSize);
    if (!adopted) {
        buffer = nullptr;  // freed by setValue when the size is 0
    }
    unsigned char* out = reinterpret_cast<unsigned char*>(const_cast<char*>(plain.c_str()));
    unsigned char scratch[1];

    CipherContext ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int length = 0;
    const bool decrypted =
        ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonceSize), nullptr) == 1 &&
        EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, key.bytes, nonce) == 1 &&
        EVP_DecryptUpdate(ctx.get(), nullptr, &length, header, static_cast<int>(kHeaderSize)) == 1 &&
        updateInChunks(EVP_DecryptUpdate, ctx.get(), adopted ? out : scratch, file.data() + kHeaderSize,
                       cipherSize) &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagSize), tag) == 1 &&
        EVP_DecryptFinal_ex(ctx.get(), adopted ? out + cipherSize : scratch, &length) == 1 && length == 0;
    ctx.reset();
    if (!decrypted) {
        logFailure(3, "encrypted file failed authentication (damaged or tampered):", path);
        return false;
    }
    data = adopted ? zvf::SecureString(plain.c_str(), cipherSize) : zvf::SecureString();
    return true;
}

bool EncryptFileUtils::setStorageKey(const unsigned char* key, std::size_t length) {
    KeyStore& store = keyStore();
    std::lock_guard<std::mutex> guard(store.lock);
    if (key == nullptr || length == 0) {
        store.overridden = false;
        OPENSSL_cleanse(store.override.bytes, sizeof(store.override.bytes));
        return true;
    }
    if (length != kKeySize) {
        ZVFLog(logger, 3, __FILE__, __LINE__, __func__, "storage key refused: it must be 32 bytes");
        return false;
    }
    std::memcpy(store.override.bytes, key, kKeySize);
    if (!computeKeyId(store.override)) {
        OPENSSL_cleanse(store.override.bytes, sizeof(store.override.bytes));
        store.overridden = false;
        return false;
    }
    store.overridden = true;
    return true;
}

void EncryptFileUtils::setDurableWrites(bool durable) { durableWrites.store(durable); }

}  // namespace storage
}  // namespace zvf
