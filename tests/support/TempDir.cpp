#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"
#include "zvf/storage/EncryptFileUtils.h"

namespace nuvrixtest {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/nuvrix-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string plainOf(const zvf::SecureString& value) {
    zvf::SecureStringReader reader;
    value.getUnsecureString(reader);
    return std::string(reader.c_str(), static_cast<std::size_t>(reader.getBufSize()));
}

bool writeEncrypted(const std::string& path, const std::string& text, FileCategoryType::FileCategory category) {
    return zvf::storage::EncryptFileUtils::writeDataToFile(path, zvf::SecureString(text), category);
}

std::optional<std::string> readEncrypted(const std::string& path, FileCategoryType::FileCategory category) {
    zvf::SecureString data;
    if (!zvf::storage::EncryptFileUtils::readDataFromFile(path, data, category)) {
        return std::nullopt;
    }
    return plainOf(data);
}

}  // namespace nuvrixtest
