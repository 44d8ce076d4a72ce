#ifndef NUVRIXCONFIG_CONFIGFILES_H
#define NUVRIXCONFIG_CONFIGFILES_H

#include <string>
#include <vector>

namespace nuvrixconfig {

// The files the client keeps in its configuration directory and the
// directory's cache folder, so that a command can say which ones it deleted.
class ConfigFiles {
public:
    ConfigFiles() = delete;

    // Paths of the regular files, sorted.
    static std::vector<std::string> list();
    // The paths of before that after no longer has.
    static std::vector<std::string> removed(const std::vector<std::string>& before,
                                            const std::vector<std::string>& after);
};

}  // namespace nuvrixconfig

#endif
