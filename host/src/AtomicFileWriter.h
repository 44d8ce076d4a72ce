#ifndef HOST_SRC_ATOMICFILEWRITER_H
#define HOST_SRC_ATOMICFILEWRITER_H

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace zvf {
namespace storage {

// Replaces files so that a crash or a kill at any moment leaves the old file
// or the new one, whole, never a torn one: the bytes go into a temporary
// file beside the target (TemporaryFile), are written whole, flushed,
// closed, renamed over the target, and the directory is flushed. Before the
// rename any failure removes the temporary and leaves the target as it was;
// a failure to flush the directory after it leaves the new file in place
// with only its durability in doubt. Each failure is logged once, at level
// 2. Writes in this process are serialised, so that the removal of leftover
// temporaries never races with another thread's write. Every file operation
// goes through FileSystem::current(). Thread-safe.
class AtomicFileWriter {
public:
    // Writes data to path as described above, creating path's directory
    // when it is missing. durable false skips the two fsyncs (the write
    // stays atomic, not durable).
    static bool replace(const std::string& path, const unsigned char* data, std::size_t size, mode_t mode,
                        bool durable);

    // Flushes a directory entry change (a rename or a new name) to disk.
    // False with errno.
    static bool syncDirectory(const std::string& directory);
    // The directory of path; "." for a bare name.
    static std::string directoryOf(const std::string& path);
};

}  // namespace storage
}  // namespace zvf

#endif
