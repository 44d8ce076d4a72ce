#include "PTKCoreUtils/FileUtils.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "logging/ZVFLogger.h"

#ifndef NUVRIX_INSTALL_DATADIR
#define NUVRIX_INSTALL_DATADIR "/usr/local/share"
#endif

namespace PTKCoreUtils {

namespace {

ZVFLogger* logger = ZVFLogger_getLogger("Host-FileUtils");

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// The value of an environment variable, or "" when unset or empty.
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string homeDirectory() {
    std::string home = environment("HOME");
    if (!home.empty()) {
        return withoutTrailingSeparators(home);
    }
    struct passwd entry;
    struct passwd* result = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof(buffer), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr) {
        return withoutTrailingSeparators(result->pw_dir);
    }
    return "/tmp";
}

// An XDG base directory: the variable when it holds an absolute path (the
// XDG rules say relative values are to be ignored), else home + fallback.
std::string xdgDirectory(const char* variable, const char* fallback) {
    std::string value = environment(variable);
    if (!value.empty() && value[0] == '/') {
        return withoutTrailingSeparators(value) + "/nuvrix";
    }
    return homeDirectory() + fallback + "/nuvrix";
}

std::string overridable(const char* variable, const std::string& otherwise) {
    std::string value = environment(variable);
    if (!value.empty()) {
        return withoutTrailingSeparators(value);
    }
    return otherwise;
}

// Copy then unlink, for a move across file systems.
int copyAndRemove(const std::string& from, const std::string& to) {
    std::string bytes;
    if (!FileUtils::readFile(from, bytes)) {
        return errno != 0 ? errno : EIO;
    }
    // A FIFO or a symbolic link in place of the target is neither waited on
    // nor written through.
    int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return errno;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            int error = errno;
            ::close(fd);
            return error;
        }
        done += static_cast<std::size_t>(written);
    }
    if (::close(fd) != 0) {
        return errno;
    }
    return ::unlink(from.c_str()) == 0 ? 0 : errno;
}

}  // namespace

bool FileUtils::fileExists(const std::string& path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

int FileUtils::removeFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0) {
        return 0;
    }
    return errno;
}

int FileUtils::moveFile(const std::string& from, const std::string& to, bool /*overwrite*/) {
    if (::rename(from.c_str(), to.c_str()) == 0) {
        return 0;
    }
    int error = errno;
    if (error == EXDEV) {
        return copyAndRemove(from, to);
    }
    return error;
}

bool FileUtils::createDirectory(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    // Each prefix ending before a separator, then the whole path.
    for (std::size_t pos = path.find('/', 1); ; pos = path.find('/', pos + 1)) {
        const std::string prefix = pos == std::string::npos ? path : path.substr(0, pos);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            ZVFLog(logger, 3, __FILE__, __LINE__, __func__,
                   "cannot create directory " + ZVFLogger_replacePIIData(prefix));
            return false;
        }
        if (pos == std::string::npos) {
            break;
        }
    }
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string FileUtils::getFileName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::wstring FileUtils::getFileName(const std::wstring& path) {
    std::size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string FileUtils::getParentDirectory(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return std::string();
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

std::string FileUtils::FileSeparator() { return "/"; }

std::string FileUtils::getConfigDirectory() {
    return overridable("NUVRIX_CONFIG_DIR", xdgDirectory("XDG_CONFIG_HOME", "/.config"));
}

std::string FileUtils::getUserLocalAppDir() {
    return overridable("NUVRIX_LOCAL_APP_DIR", xdgDirectory("XDG_DATA_HOME", "/.local/share"));
}

std::string FileUtils::getResourcesDirectory() {
    return overridable("NUVRIX_RESOURCES_DIR", std::string(NUVRIX_INSTALL_DATADIR) + "/nuvrix");
}

void FileUtils::getFilesFromDirectory(const std::string& directory, const std::string& pattern,
                                      std::vector<std::string>& out) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
    if (!dir) {
        return;
    }
    const bool glob = pattern.find_first_of("*?[") != std::string::npos;
    std::vector<std::string> found;
    while (struct dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const bool matches = glob ? ::fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD) == 0
                                  : (name.size() >= pattern.size() &&
                                     name.compare(name.size() - pattern.size(), pattern.size(), pattern) == 0);
        if (!matches) {
            continue;
        }
        struct stat info;
        const std::string full = directory + "/" + name;
        if (::stat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            found.push_back(name);
        }
    }
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
}

bool FileUtils::isRegularFile(const std::string& path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool FileUtils::readFile(const std::string& path, std::string& out) {
    std::size_t size = 0;
    return readFile(path, out, static_cast<std::size_t>(-1), size);
}

bool FileUtils::readFile(const std::string& path, std::string& out, std::size_t maxBytes, std::size_t& fileSize) {
    // Opened without blocking, so that a FIFO without a writer cannot hang
    // the caller; the descriptor is then checked to be a regular file.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        ZVFLog(logger, 3, __FILE__, __LINE__, __func__,
               "refused to read what is not a regular file: " + ZVFLogger_replacePIIData(path));
        errno = EINVAL;
        return false;
    }
    fileSize = static_cast<std::size_t>(info.st_size);
    std::string bytes;
    char buffer[65536];
    while (bytes.size() < maxBytes) {
        const std::size_t wanted = std::min(sizeof(buffer), maxBytes - bytes.size());
        ssize_t got = ::read(fd, buffer, wanted);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    out.swap(bytes);
    return true;
}

}  // namespace PTKCoreUtils
