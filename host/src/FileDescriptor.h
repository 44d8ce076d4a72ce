#ifndef HOST_SRC_FILEDESCRIPTOR_H
#define HOST_SRC_FILEDESCRIPTOR_H

#include <sys/types.h>

#include <cstddef>

namespace zvf {
namespace storage {

class FileSystem;

// Owns a file descriptor opened through a FileSystem and closes it through
// the same one when it goes away (or at close()). Reads and writes whole
// buffers: interrupted calls are repeated and short writes continued. Not
// copyable; one thread at a time.
class FileDescriptor {
public:
    // Takes fd (may be -1: then there is nothing to close).
    FileDescriptor(FileSystem& fileSystem, int fd);
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd; }
    bool isOpen() const { return fd >= 0; }
    // Closes now; the close result (0, or -1 with errno). The descriptor is
    // released either way. An interrupted close counts as done: Linux has
    // released the descriptor, and retrying could close another one.
    int close();
    // Puts fd in place of the descriptor held, which is closed first
    // (its result ignored).
    void reset(int fd);

    // An exclusive flock, waiting for it or not; 0, or -1 with errno.
    int lockExclusively(bool wait);

    // Writes all size bytes; false with errno when a write fails (a write
    // that writes nothing counts as EIO).
    bool writeFully(const void* data, std::size_t size);
    // Reads until size bytes or the end of the file; got says how many.
    // False with errno when a read fails.
    bool readFully(void* buffer, std::size_t size, std::size_t& got);

private:
    FileSystem& fileSystem;
    int fd;
};

}  // namespace storage
}  // namespace zvf

#endif
