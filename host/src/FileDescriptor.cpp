#include "FileDescriptor.h"

#include <sys/file.h>

#include <cerrno>

#include "RetryOnInterrupt.h"
#include "zvf/storage/FileSystem.h"

namespace zvf {
namespace storage {

FileDescriptor::FileDescriptor(FileSystem& fileSystemIn, int fdIn) : fileSystem(fileSystemIn), fd(fdIn) {}

FileDescriptor::~FileDescriptor() {
    if (fd >= 0) {
        const int error = errno;  // a failure being reported stays readable
        fileSystem.close(fd);
        errno = error;
    }
}

int FileDescriptor::close() {
    if (fd < 0) {
        return 0;
    }
    const int result = fileSystem.close(fd);
    fd = -1;
    if (result != 0 && errno == EINTR) {
        return 0;
    }
    return result;
}

void FileDescriptor::reset(int fdIn) {
    if (fd >= 0) {
        const int error = errno;
        fileSystem.close(fd);
        errno = error;
    }
    fd = fdIn;
}

int FileDescriptor::lockExclusively(bool wait) {
    return retryOnInterrupt([&] { return fileSystem.flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)); });
}

bool FileDescriptor::writeFully(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written =
            retryOnInterrupt([&] { return fileSystem.write(fd, bytes + done, size - done); });
        if (written < 0) {
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

bool FileDescriptor::readFully(void* buffer, std::size_t size, std::size_t& got) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    got = 0;
    while (got < size) {
        const ssize_t count = retryOnInterrupt([&] { return fileSystem.read(fd, bytes + got, size - got); });
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            break;
        }
        got += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace storage
}  // namespace zvf
