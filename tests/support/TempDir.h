#ifndef TESTS_SUPPORT_TEMPDIR_H
#define TESTS_SUPPORT_TEMPDIR_H

#include <optional>
#include <string>

#include "zvf/storage/FileCategoryType.h"

namespace zvf {
class SecureString;
}

namespace nuvrixtest {

// A fresh directory under $TMPDIR (or /tmp), removed with its content when
// the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return root; }
    // root + "/" + name
    std::string file(const std::string& name) const { return root + "/" + name; }

private:
    std::string root;
};

// Whole-file helpers for tests.
std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);

// The plain text of a secret.
std::string plainOf(const zvf::SecureString& value);
// A file of the host's encrypted storage, written with text or read back as
// text (nothing when it does not read under that category).
bool writeEncrypted(const std::string& path, const std::string& text,
                    FileCategoryType::FileCategory category = FileCategoryType::Configuration);
std::optional<std::string> readEncrypted(const std::string& path,
                                         FileCategoryType::FileCategory category = FileCategoryType::Configuration);

}  // namespace nuvrixtest

#endif
