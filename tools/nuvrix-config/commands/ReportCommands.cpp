#include "commands/ReportCommands.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <nlohmann/json.hpp>

#include "ConfigService.h"
#include "PTKCoreUtils/StringUtils.h"
#include "cli/ExitStatus.h"
#include "commands/Session.h"
#include "host/Host.h"
#include "logging/LogCapture.h"
#include "logging/ZVFLogger.h"
#include "output/Output.h"

namespace nuvrixconfig {

namespace {

// The level at which the service writes its dump, and the line it opens with.
constexpr int DUMP_LEVEL = 4;
const char* const DUMP_MARK = "Master Configuration Settings";

// Lets level-4 records through while it exists, and, when the log goes to
// standard error, sends it to /dev/null meanwhile: the dump is asked for on
// standard output and would otherwise be printed twice.
class DumpLogScope {
public:
    explicit DumpLogScope(bool parkSink) : level(ZVFLogger_getLevel()) {
        parked = parkSink && ZVFLogger_setLogFile("/dev/null");
        if (level < DUMP_LEVEL) {
            ZVFLogger_setLevel(DUMP_LEVEL);
        }
    }
    ~DumpLogScope() {
        ZVFLogger_setLevel(level);
        if (parked) {
            ZVFLogger_setLogFile("");
        }
    }
    DumpLogScope(const DumpLogScope&) = delete;
    DumpLogScope& operator=(const DumpLogScope&) = delete;

private:
    const int level;
    bool parked = false;
};

// An open file descriptor, closed when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fdIn) : fd(fdIn) {}
    ~FileDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd; }

private:
    const int fd;
};

// Writes text to a new file of mode 0600 (replacing an existing one); false
// with the reason in error.
bool writePrivateFile(const std::string& path, const std::string& text, std::string& error) {
    const FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (file.get() < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(file.get(), text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

ReportCommands::ReportCommands(Session& sessionIn) : session(sessionIn) {}

int ReportCommands::dump() {
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    std::string text;
    {
        LogCapture capture;
        DumpLogScope scope(session.getOptions().logFile.empty());
        if (!session.onServicesThread([&] { host->getService()->logConfig(); }, "nuvrix-config dump")) {
            return ExitStatus::Failed;
        }
        for (const LogCapture::Record& record : capture.records()) {
            if (record.level == DUMP_LEVEL && record.message.find(DUMP_MARK) != std::string::npos) {
                text = record.message;
            }
        }
    }
    if (text.empty()) {
        session.getOutput().error("the service wrote no configuration dump");
        return ExitStatus::Failed;
    }
    session.getOutput().result(nlohmann::json{{"dump", text}},
                               [](const nlohmann::json& d) { return d["dump"].get<std::string>(); });
    return ExitStatus::Ok;
}

int ReportCommands::report(const std::string& outputPath) {
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    std::wstring document;
    if (!session.onServicesThread([&] { document = host->getService()->getAllConfigForPRT(); },
                                  "nuvrix-config report")) {
        return ExitStatus::Failed;
    }
    const std::string text = PTKCoreUtils::toString(document);
    if (outputPath.empty()) {
        session.getOutput().result(nlohmann::json{{"report", text}},
                                   [](const nlohmann::json& d) { return d["report"].get<std::string>(); });
        return ExitStatus::Ok;
    }
    std::string error;
    if (!writePrivateFile(outputPath, text, error)) {
        session.getOutput().error(error);
        return ExitStatus::Failed;
    }
    session.getOutput().result(nlohmann::json{{"file", outputPath}, {"bytes", text.size()}}, [](const nlohmann::json& d) {
        return "problem report written to " + d["file"].get<std::string>() + " (" +
               std::to_string(d["bytes"].get<std::size_t>()) + " bytes)";
    });
    return ExitStatus::Ok;
}

}  // namespace nuvrixconfig
