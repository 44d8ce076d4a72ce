#include "stores/InputFile.h"

#include <cerrno>
#include <cstring>

#include "PTKCoreUtils/FileUtils.h"

namespace nuvrixconfig {

bool InputFile::read(const std::string& path, std::string& content, std::string& error) {
    errno = 0;
    if (PTKCoreUtils::FileUtils::readFile(path, content)) {
        return true;
    }
    const int cause = errno;
    error = "cannot read " + path + ": " +
            (cause == EINVAL ? std::string("not a regular file") : std::string(std::strerror(cause != 0 ? cause : EIO)));
    return false;
}

}  // namespace nuvrixconfig
