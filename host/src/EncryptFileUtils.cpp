// The encrypted storage's entry points: they tie together the key ring
// (StorageKeyring), the file format (EncryptedFileFormat) and the atomic
// writer (AtomicFileWriter), all of whose file operations go through
// FileSystem::current().
#include "zvf/storage/EncryptFileUtils.h"

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

#include "AtomicFileWriter.h"
#include "EncryptedFileFormat.h"
#include "FileDescriptor.h"
#include "RetryOnInterrupt.h"
#include "StorageKey.h"
#include "StorageKeyring.h"
#include "StorageLog.h"
#include "zvf/SecureStringReader.h"
#include "zvf/storage/FileSystem.h"

namespace zvf {
namespace storage {

namespace {

std::atomic<bool> durableWrites{true};

}  // namespace

bool EncryptFileUtils::writeDataToFile(const std::string& path, const zvf::SecureString& data,
                                       FileCategoryType::FileCategory category) {
    if (path.empty()) {
        return false;
    }
    StorageKey key;
    if (!StorageKeyring::currentKey(key)) {
        // The key ring has logged the cause, once, as the failure; this
        // line only names the file left unwritten.
        logFailure(3, "no storage key; not written:", path);
        return false;
    }
    std::vector<unsigned char> file;
    EncryptedFileFormat::Sealed sealed;
    {
        zvf::SecureStringReader plain;
        data.getUnsecureString(plain);
        sealed = EncryptedFileFormat::seal(key, category, reinterpret_cast<const unsigned char*>(plain.c_str()),
                                           static_cast<std::size_t>(plain.getBufSize()), file);
    }
    if (sealed == EncryptedFileFormat::Sealed::NoRandomBytes) {
        logFailure(2, "no random bytes for the nonce; not written:", path);
        return false;
    }
    if (sealed != EncryptedFileFormat::Sealed::Done) {
        logFailure(2, "encryption failed; not written:", path);
        return false;
    }
    return AtomicFileWriter::replace(path, file.data(), file.size(), 0600, durableWrites.load());
}

bool EncryptFileUtils::readDataFromFile(const std::string& path, zvf::SecureString& data,
                                        FileCategoryType::FileCategory category) {
    FileSystem& fileSystem = FileSystem::current();
    // Opened without blocking, so that a FIFO in place of the file cannot
    // hang the caller; anything but a regular file is refused below.
    FileDescriptor fd(fileSystem, retryOnInterrupt([&] {
                          return fileSystem.open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0);
                      }));
    if (!fd.isOpen()) {
        logFailure(errno == ENOENT ? 5 : 3, "cannot open", path, errno);
        return false;
    }
    struct stat info;
    if (retryOnInterrupt([&] { return fileSystem.fstat(fd.get(), &info); }) != 0 || !S_ISREG(info.st_mode)) {
        logFailure(3, "not a regular file:", path);
        return false;
    }
    if (!EncryptedFileFormat::isPlausibleSize(info.st_size)) {
        logFailure(3, "not an encrypted file of this client (size):", path);
        return false;
    }
    std::vector<unsigned char> file(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    const bool read = fd.readFully(file.data(), file.size(), got);
    fd.close();
    if (!read || got != file.size()) {
        logFailure(3, "cannot read", path);
        return false;
    }

    switch (EncryptedFileFormat::examine(file.data(), category)) {
        case EncryptedFileFormat::Header::Valid:
            break;
        case EncryptedFileFormat::Header::ForeignMagic:
            logFailure(3, "not an encrypted file of this client:", path);
            return false;
        case EncryptedFileFormat::Header::Unsupported:
            logFailure(3, "unsupported encrypted file version or algorithm:", path);
            return false;
        case EncryptedFileFormat::Header::OtherCategory:
            logFailure(3, "encrypted file of another category:", path);
            return false;
    }
    StorageKey key;
    if (!StorageKeyring::currentKey(key)) {
        logFailure(2, "no storage key; not read:", path);
        return false;
    }
    const unsigned char* keyId = EncryptedFileFormat::keyIdOf(file.data());
    if (!std::equal(keyId, keyId + StorageKey::kIdSize, key.id()) && !StorageKeyring::retiredKey(keyId, key)) {
        logFailure(3, "encrypted file written under another key:", path);
        return false;
    }
    if (!EncryptedFileFormat::open(key, file, data)) {
        logFailure(3, "encrypted file failed authentication (damaged or tampered):", path);
        return false;
    }
    return true;
}

bool EncryptFileUtils::setStorageKey(const unsigned char* key, std::size_t length) {
    return StorageKeyring::handOver(key, length);
}

void EncryptFileUtils::setDurableWrites(bool durable) { durableWrites.store(durable); }

}  // namespace storage
}  // namespace zvf
