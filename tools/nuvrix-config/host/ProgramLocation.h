#ifndef NUVRIXCONFIG_PROGRAMLOCATION_H
#define NUVRIXCONFIG_PROGRAMLOCATION_H

#include <string>

namespace nuvrixconfig {

// Finds what the program ships with, relative to the running program's own
// directory, so that it works installed (bin/ beside lib/ and share/nuvrix/)
// and straight from a build tree (the plug-in in the service's build
// directory, the resources copied next to the program) without set-up.
class ProgramLocation {
public:
    ProgramLocation() = delete;

    // The directory of the running program; "" when it cannot be told.
    static std::string programDirectory();
    // The first of the installed and the built plug-in that exists; "" when
    // neither does.
    static std::string defaultPluginPath();
    // The first directory holding the bundled defaults file; "" when none.
    static std::string bundledResourcesDirectory();
};

}  // namespace nuvrixconfig

#endif
