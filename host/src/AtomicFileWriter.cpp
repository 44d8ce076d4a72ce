#include "AtomicFileWriter.h"

#include <fcntl.h>

#include <cerrno>
#include <mutex>

#include "FileDescriptor.h"
#include "PTKCoreUtils/FileUtils.h"
#include "RetryOnInterrupt.h"
#include "StorageLog.h"
#include "TemporaryFile.h"
#include "zvf/storage/FileSystem.h"

namespace zvf {
namespace storage {

namespace {

std::mutex& writeLock() {
    static std::mutex* lock = new std::mutex;  // never destroyed: used at exit
    return *lock;
}

}  // namespace

bool AtomicFileWriter::replace(const std::string& path, const unsigned char* data, std::size_t size, mode_t mode,
                               bool durable) {
    FileSystem& fileSystem = FileSystem::current();
    std::lock_guard<std::mutex> guard(writeLock());
    const std::string directory = directoryOf(path);
    struct stat info;
    if (retryOnInterrupt([&] { return fileSystem.stat(directory.c_str(), &info); }) != 0 &&
        !PTKCoreUtils::FileUtils::createDirectory(directory)) {
        logFailure(2, "cannot create the directory of", path);
        return false;
    }
    TemporaryFile::removeLeftovers(fileSystem, path);

    TemporaryFile temporary(fileSystem, path);
    if (!temporary.create(mode)) {
        logFailure(2, "cannot create a temporary file for", path, errno);
        return false;
    }
    const char* step = nullptr;
    if (!temporary.setMode(mode)) {
        step = "cannot set the mode of the temporary file for";
    } else if (!temporary.write(data, size)) {
        step = "cannot write the temporary file for";
    } else if (durable && !temporary.flush()) {
        step = "cannot flush the temporary file for";
    } else if (!temporary.closeKeepingLock()) {
        step = "cannot close the temporary file for";
    } else if (!temporary.renameOverTarget()) {
        step = "cannot move the new file into place:";
    }
    if (step != nullptr) {
        logFailure(2, step, path, errno);
        return false;
    }
    if (durable && !syncDirectory(directory)) {
        // The new content is in place; only its durability is in doubt.
        logFailure(2, "cannot flush the directory of", path, errno);
        return false;
    }
    return true;
}

bool AtomicFileWriter::syncDirectory(const std::string& directory) {
    FileSystem& fileSystem = FileSystem::current();
    FileDescriptor fd(fileSystem, retryOnInterrupt([&] {
                          return fileSystem.open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
                      }));
    return fd.isOpen() && retryOnInterrupt([&] { return fileSystem.fsync(fd.get()); }) == 0;
}

std::string AtomicFileWriter::directoryOf(const std::string& path) {
    std::string directory = PTKCoreUtils::FileUtils::getParentDirectory(path);
    return directory.empty() ? std::string(".") : directory;
}

}  // namespace storage
}  // namespace zvf
