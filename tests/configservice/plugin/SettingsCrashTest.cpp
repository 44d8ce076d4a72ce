// Crash safety through the real plug-in: a writer process (crash/CrashWriter.cc)
// writes the user settings, their backup copy and a cache file in a loop and
// is killed with SIGKILL at random moments; the next writer, a fresh
// process, first reports what it finds on disk and what the plug-in reads.
// Every file must hold the last state acknowledged as on disk or the one
// being written when the kill came, whole; the leftovers of a killed write
// must be gone once the next process has written each file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"

extern char** environ;

namespace {

// How many times the writer is killed; NUVRIX_CRASH_KILLS overrides it.
// Under a sanitizer, where each writer starts several times slower, a third
// as many: there the run looks for memory errors and races on the paths that
// read what a killed writer left, while the default build makes the
// thousand.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define NUVRIX_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define NUVRIX_UNDER_SANITIZER 1
#endif
#endif
#ifdef NUVRIX_UNDER_SANITIZER
constexpr int kKills = 300;
#else
constexpr int kKills = 1000;
#endif

int killsToRun() {
    const char* text = std::getenv("NUVRIX_CRASH_KILLS");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : kKills;
}

unsigned seedToUse() {
    const char* text = std::getenv("NUVRIX_CRASH_SEED");
    return text != nullptr ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 20261206u;
}

// One writer process: started with its report pipe on descriptor 3 and its
// standard error in a log file, killed and reaped when the object goes away.
class WriterProcess {
public:
    WriterProcess(std::vector<std::string> environment, const std::string& logFile, unsigned seed) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        std::string seedText = std::to_string(seed);
        char* argv[] = {const_cast<char*>(NUVRIX_CRASH_WRITER_PATH),
                        const_cast<char*>(NUVRIX_CONFIGSERVICE_PLUGIN_PATH), const_cast<char*>("3"), seedText.data(),
                        nullptr};
        std::vector<char*> envp;
        for (std::string& variable : environment) {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        ::posix_spawn_file_actions_addopen(&actions, 2, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data()) != 0) {
            pid = -1;
        }
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        reportFd = fds[0];
    }
    ~WriterProcess() {
        kill();
        if (reportFd >= 0) {
            ::close(reportFd);
        }
    }
    WriterProcess(const WriterProcess&) = delete;
    WriterProcess& operator=(const WriterProcess&) = delete;

    bool started() const { return pid > 0 && reportFd >= 0; }

    // Reads report lines for up to milliseconds, or until a line starting
    // with stopAt arrives (when given), there are atLeast lines or the pipe
    // closes.
    void readFor(int milliseconds, const char* stopAt = nullptr, std::size_t atLeast = SIZE_MAX) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() < 0 || closed) {
                return;
            }
            struct pollfd ready = {reportFd, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
                return;
            }
            const std::size_t before = lines.size();
            readAvailable();
            const auto startsWithStopAt = [&](const std::string& line) { return line.rfind(stopAt, 0) == 0; };
            if (lines.size() >= atLeast ||
                (stopAt != nullptr &&
                 std::any_of(lines.begin() + static_cast<long>(before), lines.end(), startsWithStopAt))) {
                return;
            }
        }
    }

    // SIGKILL, reaped; then every line written before the death is read.
    // The exit status: -1 when the process had already ended by itself.
    int kill() {
        if (pid <= 0) {
            return 0;
        }
        int status = 0;
        const bool alive = ::waitpid(pid, &status, WNOHANG) == 0;
        if (alive) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        pid = -1;
        while (!closed) {
            readAvailable();
        }
        return alive ? 0 : -1;
    }

    std::vector<std::string> lines;

private:
    void readAvailable() {
        char buffer[4096];
        const ssize_t got = ::read(reportFd, buffer, sizeof(buffer));
        if (got <= 0) {
            closed = got == 0 || errno != EINTR;
            return;
        }
        partial.append(buffer, static_cast<std::size_t>(got));
        std::string::size_type end;
        while ((end = partial.find('\n')) != std::string::npos) {
            lines.push_back(partial.substr(0, end));
            partial.erase(0, end + 1);
        }
    }

    pid_t pid = -1;
    int reportFd = -1;
    bool closed = false;
    std::string partial;
};

// What may be on disk for one file: the last state acknowledged, and the
// state being written when the writer died, if any.
struct FileStates {
    long acknowledged = -1;  // -1: no file yet
    long pending = 0;        // 0: nothing being written
    bool allows(long found) const { return found == acknowledged || (pending != 0 && found == pending); }
    std::string text() const {
        return std::to_string(acknowledged) + (pending != 0 ? " or " + std::to_string(pending) : "");
    }
};

std::size_t temporariesIn(const std::string& directory) {
    std::size_t count = 0;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
        count += entry.path().filename().string().find(".tmp-") != std::string::npos ? 1 : 0;
    }
    return count;
}

}  // namespace

TEST(SettingsCrashTest, KilledWriterLeavesEveryFileAtTheAcknowledgedOrThePendingStateAndNoLeftovers) {
    nuvrixtest::TempDir temp;
    const std::string configDir = temp.file("config");
    const std::string localDir = temp.file("local");
    const std::string resourcesDir = temp.file("resources");
    for (const std::string& directory : {configDir, localDir, resourcesDir}) {
        std::filesystem::create_directories(directory);
    }
    std::vector<std::string> environment{"NUVRIX_CONFIG_DIR=" + configDir, "NUVRIX_LOCAL_APP_DIR=" + localDir,
                                         "NUVRIX_RESOURCES_DIR=" + resourcesDir, "NUVRIX_LOG_LEVEL=2"};
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, "NUVRIX_", 7) != 0) {
            environment.push_back(*variable);
        }
    }
    const unsigned seed = seedToUse();
    const int kills = killsToRun();
    std::mt19937 random(seed);
    std::map<char, FileStates> files{{'S', {}}, {'B', {}}, {'C', {}}};
    bool cacheListed = false;  // a cache write was acknowledged: the settings list the store
    int badStates = 0;
    int pendingAtKill = 0;
    int leftoversAtKill = 0;
    int acknowledged = 0;
    SCOPED_TRACE("seed " + std::to_string(seed) + " (NUVRIX_CRASH_SEED), log " + temp.file("writer.log"));

    for (int run = 0; run <= kills; ++run) {
        SCOPED_TRACE("writer run " + std::to_string(run));
        WriterProcess writer(environment, temp.file("writer.log"), random());
        ASSERT_TRUE(writer.started());
        const bool last = run == kills;
        if (last) {
            writer.readFor(60000, "T ");  // the last run only checks and writes one round
        } else if (random() % 5 == 0) {
            writer.readFor(static_cast<int>(random() % 40));  // any moment, start-up included
        } else {
            // While writing: after a few reports, somewhere in the write that
            // follows them.
            writer.readFor(60000, "P ");
            writer.readFor(60000, nullptr, writer.lines.size() + random() % 8);
            writer.readFor(static_cast<int>(random() % 8));
        }
        ASSERT_EQ(0, writer.kill()) << "the writer ended by itself; see its log";

        // What the writer found and did, in order.
        long foundSettings = 0;
        long foundCache = 0;
        for (const std::string& line : writer.lines) {
            std::istringstream in(line);
            std::string tag;
            in >> tag;
            if (tag == "F") {
                std::map<char, long> found;
                in >> found['S'] >> found['B'] >> found['C'];
                for (auto& file : files) {
                    if (!file.second.allows(found[file.first])) {
                        ++badStates;
                        ADD_FAILURE() << "file " << file.first << " holds " << found[file.first] << ", expected "
                                      << file.second.text() << " (-1 none, -2 undecryptable, -3 incomplete)";
                    }
                    file.second = FileStates{found[file.first], 0};
                }
                foundSettings = found['S'];
                foundCache = found['C'];
            } else if (tag == "P") {
                long settings = 0;
                long cache = 0;
                in >> settings >> cache;
                EXPECT_EQ(foundSettings, settings) << "the plug-in reads other settings than the file holds";
                // Before a cache write was acknowledged the settings may not
                // list the store yet, and the copy is then not restored.
                if (cacheListed || cache != -1) {
                    EXPECT_EQ(foundCache, cache) << "the plug-in reads another cache than the file holds";
                }
            } else if (tag == "W" || tag == "A") {
                char file = 0;
                long state = 0;
                in >> file >> state;
                ASSERT_EQ(1u, files.count(file)) << line;
                if (tag == "W") {
                    files[file].pending = state;
                } else {
                    files[file] = FileStates{state, 0};
                    cacheListed = cacheListed || file == 'C';
                    ++acknowledged;
                }
            } else if (tag == "T") {
                std::size_t count = 0;
                in >> count;
                EXPECT_EQ(0u, count) << "temporaries survived the next write of their files";
            } else {
                ADD_FAILURE() << "unexpected report: " << line;
            }
        }
        bool pending = false;
        for (const auto& file : files) {
            pending = pending || file.second.pending != 0;
        }
        pendingAtKill += pending ? 1 : 0;
        leftoversAtKill += temporariesIn(configDir) + temporariesIn(configDir + "/Cache") > 0 ? 1 : 0;
        if (badStates > 10) {
            FAIL() << "stopped after " << badStates << " bad states";
        }
    }
    EXPECT_EQ(0, badStates);
    // The kills must have come during writes, not only between them.
    EXPECT_GT(pendingAtKill, kills / 4);
    // And the writers must have got on with their writes between kills.
    EXPECT_GT(acknowledged, kills / 2);
    RecordProperty("kills", kills);
    RecordProperty("killsWithAWritePending", pendingAtKill);
    RecordProperty("killsLeavingATemporary", leftoversAtKill);
    RecordProperty("acknowledgedWrites", acknowledged);
    std::printf("%d kills: %d with a write pending, %d leaving a temporary, %d writes acknowledged, %d bad files\n",
                kills, pendingAtKill, leftoversAtKill, acknowledged, badStates);
}
