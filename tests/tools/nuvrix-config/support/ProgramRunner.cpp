#include "ProgramRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

extern char** environ;

namespace nuvrixtest {

namespace {

// The argument or environment vector of a new process.
std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

nlohmann::json ProgramResult::json() const { return nlohmann::json::parse(out, nullptr, false); }

ProgramRunner::ProgramRunner(std::string configDir, std::string localAppDir, std::string resourcesDir) {
    overrides["NUVRIX_CONFIG_DIR"] = std::move(configDir);
    overrides["NUVRIX_LOCAL_APP_DIR"] = std::move(localAppDir);
    overrides["NUVRIX_RESOURCES_DIR"] = std::move(resourcesDir);
    overrides["NUVRIX_LOG_LEVEL"] = "";
    overrides["NUVRIX_LOG_FILE"] = "";
}

ProgramResult ProgramRunner::run(const std::vector<std::string>& args, const std::string& input) const {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (overrides.count(text.substr(0, text.find('='))) == 0) {
            environment.push_back(text);
        }
    }
    for (const auto& [name, value] : overrides) {
        if (!value.empty()) {
            environment.push_back(name + "=" + value);
        }
    }
    std::vector<std::string> argv{NUVRIX_CONFIG_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());

    // The standard streams are files: the input is whole before the program
    // starts, the outputs are read once it has ended.
    const std::string in = streams.file("in");
    const std::string out = streams.file("out");
    const std::string err = streams.file("err");
    writeFileBytes(in, input);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in.c_str(), O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = -1;
    const bool started = ::posix_spawn(&child, argv[0].c_str(), &actions, nullptr, pointersTo(argv).data(),
                                       pointersTo(environment).data()) == 0;
    ::posix_spawn_file_actions_destroy(&actions);
    ProgramResult result;
    int waitStatus = 0;
    if (started && ::waitpid(child, &waitStatus, 0) == child) {
        result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
        result.out = readFileBytes(out);
        result.err = readFileBytes(err);
    }
    return result;
}

std::map<std::string, std::string> snapshotFiles(const std::string& directory) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(directory, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file()) {
            files[it->path().string()] = readFileBytes(it->path().string());
        }
    }
    return files;
}

}  // namespace nuvrixtest
