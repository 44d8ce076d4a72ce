#include "demo/TemporaryDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace nuvrixconfig {

TemporaryDirectory::TemporaryDirectory(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr) {
        root = buffer.data();
    }
}

TemporaryDirectory::~TemporaryDirectory() {
    if (!root.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
}

}  // namespace nuvrixconfig
