#include "FaultInjectingFileSystem.h"

#include <cerrno>

namespace nuvrixtest {

FaultInjectingFileSystem::FaultInjectingFileSystem()
    : real(zvf::storage::FileSystem::real()), previous(zvf::storage::FileSystem::install(this)) {}

FaultInjectingFileSystem::~FaultInjectingFileSystem() { zvf::storage::FileSystem::install(previous); }

void FaultInjectingFileSystem::failCall(std::size_t number, Fault faultIn) {
    std::lock_guard<std::mutex> guard(lock);
    failing = calls.size() + number;
    failingOperation.clear();
    fault = faultIn;
    fired = false;
}

void FaultInjectingFileSystem::failNext(const std::string& operation, Fault faultIn) {
    std::lock_guard<std::mutex> guard(lock);
    failing = 0;
    failingOperation = operation;
    fault = faultIn;
    fired = false;
}

std::vector<FaultInjectingFileSystem::Call> FaultInjectingFileSystem::getCalls() const {
    std::lock_guard<std::mutex> guard(lock);
    return calls;
}

bool FaultInjectingFileSystem::hasFired() const {
    std::lock_guard<std::mutex> guard(lock);
    return fired;
}

const char* FaultInjectingFileSystem::nameOf(Fault fault) {
    switch (fault) {
        case Fault::Eio:
            return "EIO";
        case Fault::Enospc:
            return "ENOSPC";
        case Fault::Eintr:
            return "EINTR";
        case Fault::ShortWrite:
            return "short write";
    }
    return "?";
}

bool FaultInjectingFileSystem::fails(const char* operation, const std::string& path, bool* shortWrite) {
    std::lock_guard<std::mutex> guard(lock);
    calls.push_back(Call{operation, path});
    if (!failingOperation.empty() && failingOperation == operation && !fired) {
        failing = calls.size();
    }
    if (calls.size() != failing) {
        return false;
    }
    switch (fault) {
        case Fault::ShortWrite:
            fired = shortWrite != nullptr;
            if (shortWrite != nullptr) {
                *shortWrite = true;
            }
            return false;
        case Fault::Eio:
            errno = EIO;
            break;
        case Fault::Enospc:
            errno = ENOSPC;
            break;
        case Fault::Eintr:
            errno = EINTR;
            break;
    }
    fired = true;
    return true;
}

std::string FaultInjectingFileSystem::pathOf(int fd) const {
    std::lock_guard<std::mutex> guard(lock);
    auto found = openPaths.find(fd);
    return found == openPaths.end() ? std::string() : found->second;
}

int FaultInjectingFileSystem::open(const char* path, int flags, mode_t mode) {
    if (fails("open", path)) {
        return -1;
    }
    const int fd = real.open(path, flags, mode);
    if (fd >= 0) {
        std::lock_guard<std::mutex> guard(lock);
        openPaths[fd] = path;
    }
    return fd;
}

ssize_t FaultInjectingFileSystem::read(int fd, void* buffer, std::size_t size) {
    if (fails("read", pathOf(fd))) {
        return -1;
    }
    return real.read(fd, buffer, size);
}

ssize_t FaultInjectingFileSystem::write(int fd, const void* data, std::size_t size) {
    bool shortWrite = false;
    if (fails("write", pathOf(fd), &shortWrite)) {
        return -1;
    }
    return real.write(fd, data, shortWrite && size > 1 ? size / 2 : size);
}

int FaultInjectingFileSystem::fsync(int fd) { return fails("fsync", pathOf(fd)) ? -1 : real.fsync(fd); }

int FaultInjectingFileSystem::close(int fd) {
    const bool failed = fails("close", pathOf(fd));
    {
        std::lock_guard<std::mutex> guard(lock);
        openPaths.erase(fd);
    }
    // The descriptor is released whatever close reports.
    const int error = errno;
    const int result = real.close(fd);
    if (failed) {
        errno = error;
        return -1;
    }
    return result;
}

int FaultInjectingFileSystem::dup(int fd) {
    const std::string path = pathOf(fd);
    if (fails("dup", path)) {
        return -1;
    }
    const int copy = real.dup(fd);
    if (copy >= 0) {
        std::lock_guard<std::mutex> guard(lock);
        openPaths[copy] = path;
    }
    return copy;
}

int FaultInjectingFileSystem::fstat(int fd, struct stat* info) {
    return fails("fstat", pathOf(fd)) ? -1 : real.fstat(fd, info);
}

int FaultInjectingFileSystem::stat(const char* path, struct stat* info) {
    return fails("stat", path) ? -1 : real.stat(path, info);
}

int FaultInjectingFileSystem::fchmod(int fd, mode_t mode) {
    return fails("fchmod", pathOf(fd)) ? -1 : real.fchmod(fd, mode);
}

int FaultInjectingFileSystem::flock(int fd, int operation) {
    return fails("flock", pathOf(fd)) ? -1 : real.flock(fd, operation);
}

int FaultInjectingFileSystem::rename(const char* from, const char* to) {
    return fails("rename", from) ? -1 : real.rename(from, to);
}

int FaultInjectingFileSystem::link(const char* from, const char* to) {
    return fails("link", from) ? -1 : real.link(from, to);
}

int FaultInjectingFileSystem::unlink(const char* path) { return fails("unlink", path) ? -1 : real.unlink(path); }

int FaultInjectingFileSystem::listDirectory(const char* directory, std::vector<std::string>& names) {
    return fails("listDirectory", directory) ? -1 : real.listDirectory(directory, names);
}

}  // namespace nuvrixtest
