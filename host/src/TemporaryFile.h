#ifndef HOST_SRC_TEMPORARYFILE_H
#define HOST_SRC_TEMPORARYFILE_H

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "FileDescriptor.h"

namespace zvf {
namespace storage {

class FileSystem;

// A temporary file beside its target, ".<name>.tmp-<16 hex digits>", in
// which the next version of the target is written before it is published
// under the target's name. Its writer holds an exclusive flock on it for as
// long as it exists under the temporary name: that is how a writer, in this
// process or another, tells a live temporary from the leftover of an
// interrupted write (removeLeftovers). The destructor removes the file
// unless it was renamed into place, then closes it, releasing the lock, so
// that no failure leaves a temporary behind. Not copyable; one thread.
class TemporaryFile {
public:
    TemporaryFile(FileSystem& fileSystem, std::string target);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates and locks a new temporary of the given mode. False with errno.
    bool create(mode_t mode);
    // Sets the mode, whatever the umask made of it. False with errno.
    bool setMode(mode_t mode);
    // Writes all the bytes. False with errno.
    bool write(const unsigned char* data, std::size_t size);
    // fsync, repeated only when interrupted. False with errno.
    bool flush();
    // Closes the descriptor written through and reports its result (where
    // deferred write errors show), keeping the lock through a second
    // descriptor until the file is published or removed. False with errno.
    bool closeKeepingLock();
    // Renames the file over the target. False with errno.
    bool renameOverTarget();
    // Gives the file the target's name too, unless the target exists
    // (EEXIST): it never replaces a file. The temporary name goes with the
    // object. False with errno.
    bool linkToTarget();

    const std::string& getPath() const { return path; }

    // Removes the temporaries of target that no live writer owns: those a
    // write that was interrupted (a crash, a kill) left. A temporary whose
    // lock is held belongs to a write in progress and is left alone.
    static void removeLeftovers(FileSystem& fileSystem, const std::string& target);

private:
    FileSystem& fileSystem;
    const std::string target;
    std::string path;
    FileDescriptor descriptor;
    bool renamed = false;
};

}  // namespace storage
}  // namespace zvf

#endif
