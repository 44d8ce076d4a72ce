#ifndef PTKCOREUTILS_FILEUTILS_H
#define PTKCOREUTILS_FILEUTILS_H

#include <cstddef>
#include <string>
#include <vector>

#include "NuvrixHostExport.h"

namespace PTKCoreUtils {

// File-system helpers and the per-user directories of the client.
// Directories: NUVRIX_CONFIG_DIR, NUVRIX_LOCAL_APP_DIR and
// NUVRIX_RESOURCES_DIR when set (read at every call); otherwise the XDG
// conventions ($XDG_CONFIG_HOME/nuvrix or ~/.config/nuvrix,
// $XDG_DATA_HOME/nuvrix or ~/.local/share/nuvrix) and the installed share
// directory for resources. Returned without a trailing separator.
class NUVRIX_HOST_API FileUtils {
public:
    static bool fileExists(const std::string& path);
    // 0 on success, else errno.
    static int removeFile(const std::string& path);
    // 0 on success, else errno. With overwrite false an existing target is
    // replaced all the same (rename semantics); the flag is kept for callers
    // that pass it.
    static int moveFile(const std::string& from, const std::string& to, bool overwrite);
    // Creates the directory and any missing parents (mode 0700); true when it
    // exists afterwards.
    static bool createDirectory(const std::string& path);
    // The last path component ("a/b/c.xml" gives "c.xml").
    static std::string getFileName(const std::string& path);
    static std::wstring getFileName(const std::wstring& path);
    // Everything before the last separator ("a/b/c.xml" gives "a/b"); "" when none.
    static std::string getParentDirectory(const std::string& path);
    static std::string FileSeparator();
    static std::string getConfigDirectory();
    static std::string getUserLocalAppDir();
    static std::string getResourcesDirectory();
    // Appends, in ascending name order, the names (not paths) of the regular
    // files of directory whose name ends with pattern. A pattern holding
    // '*', '?' or '[' is a shell wildcard over the whole name instead
    // ("cached*.dat"); an empty pattern matches every file.
    static void getFilesFromDirectory(const std::string& directory, const std::string& pattern,
                                      std::vector<std::string>& out);
    // Whether path names a regular file (symbolic links followed).
    static bool isRegularFile(const std::string& path);
    // The whole file as bytes; false when it cannot be read. Only regular
    // files are read: anything else (a FIFO, a device, a directory) is
    // refused with a log line and errno EINVAL, without ever waiting on it.
    static bool readFile(const std::string& path, std::string& out);
    // The first maxBytes bytes of the file (all of it when it is shorter),
    // and in fileSize its whole size; refuses what readFile refuses.
    static bool readFile(const std::string& path, std::string& out, std::size_t maxBytes, std::size_t& fileSize);
};

}  // namespace PTKCoreUtils

#endif
