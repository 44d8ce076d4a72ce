#ifndef NUVRIXCONFIG_SHELL_H
#define NUVRIXCONFIG_SHELL_H

#include <iosfwd>
#include <string>

namespace nuvrixconfig {

class Session;

// The interactive mode: the program's commands, one per line, over one
// running host, so that stores added, values written and watches set stay
// in force from line to line. Blank lines and lines starting with '#' are
// skipped; "help" lists the commands, "quit" or "exit" (or end of input)
// leaves. After each command both dispatchers are drained, so the watch
// notifications it caused are printed before the next line is read. Main
// thread.
class Shell {
public:
    Shell(Session& session, std::istream& input);

    // The highest status any command returned (0 when all succeeded).
    int run();

private:
    int runLine(const std::string& line);

    Session& session;
    std::istream& input;
};

}  // namespace nuvrixconfig

#endif
