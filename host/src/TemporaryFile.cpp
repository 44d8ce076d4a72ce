#include "TemporaryFile.h"

#include <fcntl.h>
#include <openssl/rand.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "AtomicFileWriter.h"
#include "HexText.h"
#include "PTKCoreUtils/FileUtils.h"
#include "RetryOnInterrupt.h"
#include "StorageLog.h"
#include "zvf/storage/FileSystem.h"

namespace zvf {
namespace storage {

namespace {

const char kTempMarker[] = ".tmp-";

// ".<name>.tmp-" beside target: every temporary of target starts so.
std::string temporaryPrefix(const std::string& target) {
    return "." + PTKCoreUtils::FileUtils::getFileName(target) + kTempMarker;
}

}  // namespace

TemporaryFile::TemporaryFile(FileSystem& fileSystemIn, std::string targetIn)
    : fileSystem(fileSystemIn), target(std::move(targetIn)), descriptor(fileSystemIn, -1) {}

TemporaryFile::~TemporaryFile() {
    // Removed while still locked, so that no cleaner takes it for a leftover
    // in between; the descriptor closes after.
    if (descriptor.isOpen() && !renamed) {
        const int error = errno;
        retryOnInterrupt([&] { return fileSystem.unlink(path.c_str()); });
        errno = error;
    }
}

// A cleaner in another process may remove the file between its creation and
// the lock; then it is unlinked by the time the lock is held, and another
// name is tried.
bool TemporaryFile::create(mode_t mode) {
    const std::string prefix = AtomicFileWriter::directoryOf(target) + "/" + temporaryPrefix(target);
    for (int attempt = 0; attempt < 3; ++attempt) {
        unsigned char random[8];
        if (RAND_bytes(random, sizeof(random)) != 1) {
            errno = EIO;
            return false;
        }
        path = prefix + hexText(random, sizeof(random));
        descriptor.reset(retryOnInterrupt([&] {
            return fileSystem.open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        }));
        if (!descriptor.isOpen()) {
            return false;
        }
        // Where file locks are not supported the file goes unlocked, and no
        // cleaner there can lock and remove it either.
        descriptor.lockExclusively(true);
        struct stat info;
        if (retryOnInterrupt([&] { return fileSystem.fstat(descriptor.get(), &info); }) != 0) {
            const int error = errno;
            retryOnInterrupt([&] { return fileSystem.unlink(path.c_str()); });
            descriptor.reset(-1);
            errno = error;
            return false;
        }
        if (info.st_nlink > 0) {
            return true;
        }
        descriptor.reset(-1);
    }
    errno = EAGAIN;
    return false;
}

bool TemporaryFile::setMode(mode_t mode) {
    return retryOnInterrupt([&] { return fileSystem.fchmod(descriptor.get(), mode); }) == 0;
}

bool TemporaryFile::write(const unsigned char* data, std::size_t size) { return descriptor.writeFully(data, size); }

// Never repeated after a failure: the kernel may have dropped the dirty
// pages by then, and a second fsync could report success for data that
// never reached the disk. An interrupted fsync has reported nothing yet.
bool TemporaryFile::flush() {
    return retryOnInterrupt([&] { return fileSystem.fsync(descriptor.get()); }) == 0;
}

bool TemporaryFile::closeKeepingLock() {
    const int lockHolder = retryOnInterrupt([&] { return fileSystem.dup(descriptor.get()); });
    if (lockHolder < 0) {
        return false;
    }
    const int closed = descriptor.close();
    const int closeError = errno;
    descriptor.reset(lockHolder);
    errno = closeError;
    return closed == 0;
}

bool TemporaryFile::renameOverTarget() {
    if (retryOnInterrupt([&] { return fileSystem.rename(path.c_str(), target.c_str()); }) != 0) {
        return false;
    }
    renamed = true;
    return true;
}

bool TemporaryFile::linkToTarget() {
    return retryOnInterrupt([&] { return fileSystem.link(path.c_str(), target.c_str()); }) == 0;
}

void TemporaryFile::removeLeftovers(FileSystem& fileSystem, const std::string& target) {
    const std::string directory = AtomicFileWriter::directoryOf(target);
    const std::string prefix = temporaryPrefix(target);
    std::vector<std::string> names;
    if (retryOnInterrupt([&] { return fileSystem.listDirectory(directory.c_str(), names); }) != 0) {
        return;
    }
    for (const std::string& name : names) {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string path = directory + "/" + name;
        // Read-write: over NFS an exclusive lock needs a descriptor open
        // for writing.
        FileDescriptor leftover(fileSystem, retryOnInterrupt([&] {
                                    return fileSystem.open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                                                           0);
                                }));
        if (!leftover.isOpen()) {
            continue;
        }
        if (leftover.lockExclusively(false) == 0 &&
            retryOnInterrupt([&] { return fileSystem.unlink(path.c_str()); }) == 0) {
            logFailure(4, "removed the leftover of an interrupted write:", path);
        }
    }
}

}  // namespace storage
}  // namespace zvf
