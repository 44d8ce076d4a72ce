#include "ProgramRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <utility>

#include "TempDir.h"

extern char** environ;

namespace nuvrixtest {

namespace {

// A pipe whose ends close when it goes.
class Pipe {
public:
    Pipe() {
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            ends[0] = ends[1] = -1;
        }
    }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int end(int which) const { return ends[which]; }
    void closeEnd(int which) {
        if (ends[which] >= 0) {
            ::close(ends[which]);
            ends[which] = -1;
        }
    }

private:
    int ends[2];
};

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
    std::vector<char*> argvPointers;
    std::vector<char*> envPointers;
    for (std::string& arg : argv) {
        argvPointers.push_back(arg.data());
    }
    for (std::string& entry : environment) {
        envPointers.push_back(entry.data());
    }
    argvPointers.push_back(nullptr);
    envPointers.push_back(nullptr);

    Pipe in;
    Pipe out;
    Pipe err;
    ProgramResult result;
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(in.end(0), STDIN_FILENO);
        ::dup2(out.end(1), STDOUT_FILENO);
        ::dup2(err.end(1), STDERR_FILENO);
        ::execve(argvPointers[0], argvPointers.data(), envPointers.data());
        ::_exit(127);
    }
    in.closeEnd(0);
    out.closeEnd(1);
    err.closeEnd(1);
    if (child < 0) {
        return result;
    }
    // Standard input is small: written whole, then closed, before reading.
    std::size_t written = 0;
    while (written < input.size()) {
        const ssize_t n = ::write(in.end(1), input.data() + written, input.size() - written);
        if (n <= 0) {
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    in.closeEnd(1);
    struct pollfd fds[2] = {{out.end(0), POLLIN, 0}, {err.end(0), POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0 && ::poll(fds, 2, 60000) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof(buffer));
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int waitStatus = 0;
    ::waitpid(child, &waitStatus, 0);
    result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
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
