#ifndef NUVRIXCONFIG_COMMANDSET_H
#define NUVRIXCONFIG_COMMANDSET_H

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace nuvrixconfig {

class Session;

// The program's commands, declared once for both places they are typed: the
// program's own command line and a line of the shell. Registers each command
// with its arguments on a CLI11 application; after a successful parse, run()
// performs the one that was chosen. The shell leaves out the commands that
// start a host of their own (shell, demo) and adds watch and unwatch.
class CommandSet {
public:
    enum class Mode { Program, Shell };

    CommandSet(CLI::App& app, Mode mode);
    CommandSet(const CommandSet&) = delete;
    CommandSet& operator=(const CommandSet&) = delete;

    // The chosen command's exit status.
    int run(Session& session);

    // The one-line complaint for a line that app (set up with a CommandSet)
    // did not accept.
    static std::string describeParseError(const std::exception& error, const CLI::App& app);

private:
    // Where CLI11 puts each command's arguments.
    struct Arguments {
        std::vector<std::string> keys;
        std::string key;
        std::string value;
        std::string name;
        std::string file;
        std::string url;
        std::string output;
        int priority = 0;
        bool cache = false;
        bool showSecrets = false;
        bool allowNew = false;
        bool confirmed = false;
    };

    void addValueCommands(CLI::App& app, Mode mode);
    void addStoreCommands(CLI::App& app);
    void addOtherCommands(CLI::App& app, Mode mode);

    Arguments args;
    std::function<int(Session&)> action;  // set by the chosen command's callback
};

}  // namespace nuvrixconfig

#endif
