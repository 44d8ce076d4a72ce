#ifndef TESTS_SUPPORT_FAULTINJECTINGFILESYSTEM_H
#define TESTS_SUPPORT_FAULTINJECTINGFILESYSTEM_H

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "zvf/storage/FileSystem.h"

namespace nuvrixtest {

// Wraps the real file system, records every call the storage makes through
// it and makes one chosen call misbehave: fail with EIO or ENOSPC, be
// interrupted (EINTR) or, for a write, write only half of what it was given.
// A failing close still releases its descriptor, as Linux does; every other
// failing call does nothing. Installed as the storage's file system while the
// object exists. Thread-safe.
class FaultInjectingFileSystem : public zvf::storage::FileSystem {
public:
    enum class Fault { Eio, Enospc, Eintr, ShortWrite };

    struct Call {
        std::string operation;  // "open", "write", ...
        std::string path;       // the path, or the path the descriptor was opened with
    };

    FaultInjectingFileSystem();
    ~FaultInjectingFileSystem() override;
    FaultInjectingFileSystem(const FaultInjectingFileSystem&) = delete;
    FaultInjectingFileSystem& operator=(const FaultInjectingFileSystem&) = delete;

    // The number-th call from now on (1 is the next) misbehaves with fault.
    void failCall(std::size_t number, Fault fault);
    // The next call of operation ("write", "rename", ...) misbehaves.
    void failNext(const std::string& operation, Fault fault);
    // The calls made so far.
    std::vector<Call> getCalls() const;
    // Whether the chosen call was made and misbehaved.
    bool hasFired() const;

    static const char* nameOf(Fault fault);

    // FileSystem:
    int open(const char* path, int flags, mode_t mode) override;
    ssize_t read(int fd, void* buffer, std::size_t size) override;
    ssize_t write(int fd, const void* data, std::size_t size) override;
    int fsync(int fd) override;
    int close(int fd) override;
    int dup(int fd) override;
    int fstat(int fd, struct stat* info) override;
    int stat(const char* path, struct stat* info) override;
    int fchmod(int fd, mode_t mode) override;
    int flock(int fd, int operation) override;
    int rename(const char* from, const char* to) override;
    int link(const char* from, const char* to) override;
    int unlink(const char* path) override;
    int listDirectory(const char* directory, std::vector<std::string>& names) override;

private:
    // Records the call; true (errno set) when it is to fail. A short write is
    // reported through shortWrite instead.
    bool fails(const char* operation, const std::string& path, bool* shortWrite = nullptr);
    std::string pathOf(int fd) const;

    zvf::storage::FileSystem& real;
    zvf::storage::FileSystem* previous;
    mutable std::mutex lock;  // guards everything below
    std::vector<Call> calls;
    std::map<int, std::string> openPaths;
    std::size_t failing = 0;  // 1-based index into calls; 0: none
    std::string failingOperation;  // or the next call of this operation
    Fault fault = Fault::Eio;
    bool fired = false;
};

}  // namespace nuvrixtest

#endif
