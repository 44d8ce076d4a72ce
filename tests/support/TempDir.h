#ifndef TESTS_SUPPORT_TEMPDIR_H
#define TESTS_SUPPORT_TEMPDIR_H

#include <string>

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

}  // namespace nuvrixtest

#endif
