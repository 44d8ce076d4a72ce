#include "PTKCoreUtils/FileUtils.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

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
    std::error_code error;
    return !path.empty() && std::filesystem::exists(path, error);
}

int FileUtils::removeFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0) {
        return 0;
    }
    return errno;
}

int FileUtils::moveFile(const std::string& from, const std::string& to, bool /*overwrite*/) {
    std::error_code error;
    std::filesystem::rename(from, to, error);
    if (error == std::errc::cross_device_link) {
        return copyAndRemove(from, to);
    }
    return error.value();
}

bool FileUtils::createDirectory(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::error_code error;
    // Each directory of the path from the top down. std::filesystem cannot
    // create a directory with a mode, and making one private after creating
    // it would leave it open to others for a moment: mkdir makes it 0700 at
    // once.
    std::filesystem::path prefix;
    for (const std::filesystem::path& part : std::filesystem::path(path)) {
        prefix /= part;
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            ZVFLog(logger, 3, __FILE__, __LINE__, __func__,
                   "cannot create directory " + ZVFLogger_replacePIIData(prefix.string()));
            return false;
        }
    }
    return std::filesystem::is_directory(path, error);
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
    const bool glob = pattern.find_first_of("*?[") != std::string::npos;
    std::vector<std::string> found;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const bool matches = glob ? ::fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD) == 0
                                  : (name.size() >= pattern.size() &&
                                     name.compare(name.size() - pattern.size(), pattern.size(), pattern) == 0);
        std::error_code typeError;
        if (matches && entry->is_regular_file(typeError)) {  // symbolic links followed
            found.push_back(name);
        }
    }
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
}

bool FileUtils::isRegularFile(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
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
