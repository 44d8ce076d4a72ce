#ifndef NUVRIXCONFIG_COMMANDLINE_H
#define NUVRIXCONFIG_COMMANDLINE_H

namespace nuvrixconfig {

// The program: parses the command line (CLI11), puts the directories, the
// log and FIPS mode in place as the options say, runs the one command and
// returns the exit status. Command-line errors are one line on standard
// error and status 2; no exception leaves run().
class CommandLine {
public:
    CommandLine() = delete;

    static int run(int argc, char** argv);
};

}  // namespace nuvrixconfig

#endif
