#include "shell/Shell.h"

#include <algorithm>

#include <CLI/CLI.hpp>

#include "PTKCoreUtils/StringUtils.h"
#include "cli/CommandSet.h"
#include "cli/ExitStatus.h"
#include "commands/Session.h"
#include "host/Host.h"
#include "output/Output.h"
#include "shell/LineReader.h"

namespace nuvrixconfig {

Shell::Shell(Session& sessionIn, std::istream& inputIn) : session(sessionIn), input(inputIn) {}

int Shell::run() {
    session.setShell(true);
    session.getOutput().setCompactJson(true);
    // The host starts at once: a shell without a plug-in is no use.
    if (!session.host()) {
        return ExitStatus::Usage;
    }
    LineReader reader(input, "nuvrix> ");
    if (reader.isInteractive()) {
        session.getOutput().text("nuvrix-config shell: \"help\" lists the commands, \"quit\" leaves");
    }
    int worst = ExitStatus::Ok;
    std::string line;
    while (reader.readLine(line)) {
        const std::string command = PTKCoreUtils::trim(line);
        if (command.empty() || command[0] == '#') {
            continue;
        }
        if (command == "quit" || command == "exit") {
            break;
        }
        worst = std::max(worst, runLine(command));
        if (Host* host = session.host()) {
            host->settle();
        }
    }
    return worst;
}

int Shell::runLine(const std::string& line) {
    CLI::App app("Commands of the nuvrix-config shell (\"COMMAND --help\" for one of them)", "");
    CommandSet commands(app, CommandSet::Mode::Shell);
    if (line == "help") {
        session.getOutput().text(app.help());
        return ExitStatus::Ok;
    }
    try {
        app.parse(line, false);
    } catch (const CLI::CallForHelp&) {
        const auto chosen = app.get_subcommands();
        session.getOutput().text(chosen.empty() ? app.help() : chosen.front()->help());
        return ExitStatus::Ok;
    } catch (const CLI::ParseError& e) {
        session.getOutput().error(CommandSet::describeParseError(e, app) + " (\"help\" lists the commands)");
        return ExitStatus::Usage;
    }
    return commands.run(session);
}

}  // namespace nuvrixconfig
