#ifndef NUVRIXCONFIG_GLOBALOPTIONS_H
#define NUVRIXCONFIG_GLOBALOPTIONS_H

#include <string>

namespace nuvrixconfig {

// The options that apply to every command. Empty texts and a level of -1
// mean "not given": the environment or the built-in default applies.
struct GlobalOptions {
    std::string configDir;
    std::string resourcesDir;
    std::string pluginPath;
    std::string logFile;
    int logLevel = -1;
    bool fips = false;
    bool json = false;
};

}  // namespace nuvrixconfig

#endif
