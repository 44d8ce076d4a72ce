#ifndef NUVRIXCONFIG_INPUTFILE_H
#define NUVRIXCONFIG_INPUTFILE_H

#include <string>

namespace nuvrixconfig {

// Reads a file the user named on the command line, whole, and words the
// failure the one way every command reports it ("cannot read PATH: reason").
class InputFile {
public:
    InputFile() = delete;

    static bool read(const std::string& path, std::string& content, std::string& error);
};

}  // namespace nuvrixconfig

#endif
