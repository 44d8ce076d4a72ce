#ifndef NUVRIXCONFIG_TEMPORARYDIRECTORY_H
#define NUVRIXCONFIG_TEMPORARYDIRECTORY_H

#include <string>

namespace nuvrixconfig {

// A fresh private directory under $TMPDIR (or /tmp), removed with all it
// holds when the object goes away.
class TemporaryDirectory {
public:
    explicit TemporaryDirectory(const std::string& prefix);
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    // "" when it could not be created.
    const std::string& path() const { return root; }

private:
    std::string root;
};

}  // namespace nuvrixconfig

#endif
