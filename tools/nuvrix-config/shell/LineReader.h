#ifndef NUVRIXCONFIG_LINEREADER_H
#define NUVRIXCONFIG_LINEREADER_H

#include <iosfwd>
#include <string>

namespace nuvrixconfig {

// Reads the shell's input one line at a time: with libedit's line editing,
// history and a prompt when standard input is a terminal, and plainly,
// without a prompt, when it is a pipe or a file (scripts). Main thread.
class LineReader {
public:
    LineReader(std::istream& input, std::string prompt);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // False at end of input.
    bool readLine(std::string& line);
    bool isInteractive() const { return interactive; }

private:
    std::istream& input;
    const std::string prompt;
    const bool interactive;
};

}  // namespace nuvrixconfig

#endif
