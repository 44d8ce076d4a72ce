#ifndef ZVF_STORAGE_FILESYSTEM_H
#define ZVF_STORAGE_FILESYSTEM_H

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

#include "NuvrixHostExport.h"

namespace zvf {
namespace storage {

// The file operations of the encrypted storage as one replaceable object, in
// the manner of LevelDB's Env: the real system calls unless a test installs
// a wrapper around them that injects faults. Every operation keeps the
// contract of the POSIX call it is named after (-1 with errno set on
// failure); close releases the descriptor even when it reports an error, as
// Linux does. The storage itself retries a call interrupted by a signal
// (EINTR) and continues a short write, so a wrapper may produce both.
//
// The storage asks current() once per operation: that costs one atomic load
// and a virtual call beside each system call. install() is not synchronised
// with operations in flight; a test installs before it writes and restores
// the previous file system after. Thread-safe otherwise.
class NUVRIX_HOST_API FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual int open(const char* path, int flags, mode_t mode) = 0;
    virtual ssize_t read(int fd, void* buffer, std::size_t size) = 0;
    virtual ssize_t write(int fd, const void* data, std::size_t size) = 0;
    virtual int fsync(int fd) = 0;
    virtual int close(int fd) = 0;
    virtual int dup(int fd) = 0;
    virtual int fstat(int fd, struct stat* info) = 0;
    virtual int stat(const char* path, struct stat* info) = 0;
    virtual int fchmod(int fd, mode_t mode) = 0;
    virtual int flock(int fd, int operation) = 0;
    virtual int rename(const char* from, const char* to) = 0;
    virtual int link(const char* from, const char* to) = 0;
    virtual int unlink(const char* path) = 0;
    // The entry names of directory, "." and ".." left out.
    virtual int listDirectory(const char* directory, std::vector<std::string>& names) = 0;

    // The real system calls.
    static FileSystem& real();
    // What the storage uses now: the installed file system, else real().
    static FileSystem& current();
    // Makes fileSystem (not owned; nullptr for the real one) what the storage
    // uses and returns what it used before (nullptr for the real one).
    static FileSystem* install(FileSystem* fileSystem);
};

}  // namespace storage
}  // namespace zvf

#endif
