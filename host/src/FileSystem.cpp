#include "zvf/storage/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>

namespace zvf {
namespace storage {

namespace {

// The system calls, unchanged.
class PosixFileSystem : public FileSystem {
public:
    // FileSystem:
    int open(const char* path, int flags, mode_t mode) override { return ::open(path, flags, mode); }
    ssize_t read(int fd, void* buffer, std::size_t size) override { return ::read(fd, buffer, size); }
    ssize_t write(int fd, const void* data, std::size_t size) override { return ::write(fd, data, size); }
    int fsync(int fd) override { return ::fsync(fd); }
    int close(int fd) override { return ::close(fd); }
    int dup(int fd) override { return ::dup(fd); }
    int fstat(int fd, struct stat* info) override { return ::fstat(fd, info); }
    int stat(const char* path, struct stat* info) override { return ::stat(path, info); }
    int fchmod(int fd, mode_t mode) override { return ::fchmod(fd, mode); }
    int flock(int fd, int operation) override { return ::flock(fd, operation); }
    int rename(const char* from, const char* to) override { return ::rename(from, to); }
    int link(const char* from, const char* to) override { return ::link(from, to); }
    int unlink(const char* path) override { return ::unlink(path); }
    int listDirectory(const char* directory, std::vector<std::string>& names) override {
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory), ::closedir);
        if (!dir) {
            return -1;
        }
        names.clear();
        for (;;) {
            errno = 0;  // readdir reports an error only through errno
            const struct dirent* entry = ::readdir(dir.get());
            if (entry == nullptr) {
                return errno == 0 ? 0 : -1;
            }
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
    }
};

std::atomic<FileSystem*> installed{nullptr};

}  // namespace

FileSystem& FileSystem::real() {
    static PosixFileSystem* posix = new PosixFileSystem;  // never destroyed: used at exit
    return *posix;
}

FileSystem& FileSystem::current() {
    FileSystem* fileSystem = installed.load(std::memory_order_acquire);
    return fileSystem != nullptr ? *fileSystem : real();
}

FileSystem* FileSystem::install(FileSystem* fileSystem) {
    return installed.exchange(fileSystem, std::memory_order_acq_rel);
}

}  // namespace storage
}  // namespace zvf
