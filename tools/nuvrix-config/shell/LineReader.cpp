#include "shell/LineReader.h"

#include <editline/readline.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <utility>

namespace nuvrixconfig {

namespace {

struct LineFreer {
    void operator()(char* line) const { std::free(line); }
};

}  // namespace

LineReader::LineReader(std::istream& inputIn, std::string promptIn)
    : input(inputIn), prompt(std::move(promptIn)), interactive(&inputIn == &std::cin && ::isatty(STDIN_FILENO) == 1) {
    if (interactive) {
        using_history();
    }
}

LineReader::~LineReader() {
    if (interactive) {
        clear_history();
    }
}

bool LineReader::readLine(std::string& line) {
    if (!interactive) {
        return static_cast<bool>(std::getline(input, line));
    }
    std::unique_ptr<char, LineFreer> read(readline(prompt.c_str()));
    if (!read) {
        std::cout << '\n';  // end of input leaves the prompt's line open
        return false;
    }
    line = read.get();
    if (!line.empty()) {
        add_history(read.get());
    }
    return true;
}

}  // namespace nuvrixconfig
