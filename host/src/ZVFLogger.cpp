#include "logging/ZVFLogger.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "LogSinks.h"
#include "PTKCoreUtils/StringUtils.h"
#include "logging/LogCapture.h"

namespace {

const int kDefaultLevel = 4;

int levelFromEnvironment() {
    const char* text = std::getenv("NUVRIX_LOG_LEVEL");
    if (text == nullptr || *text == '\0') {
        return kDefaultLevel;
    }
    int level = PTKCoreUtils::toInt(std::string(text), kDefaultLevel);
    if (level < 0) {
        level = 0;
    }
    if (level > 5) {
        level = 5;
    }
    return level;
}

// Everything the logger shares between threads. Created on first use and
// never destroyed, so that objects logging from their destructors at exit
// still find it.
struct LoggerState {
    std::atomic<int> threshold{levelFromEnvironment()};

    std::mutex loggersLock;  // guards loggers
    std::map<std::string, std::unique_ptr<ZVFLogger>> loggers;

    std::mutex sinkLock;  // guards sink and ownSink; one fwrite per line under it
    FILE* sink = stderr;
    bool ownSink = false;

    std::mutex capturesLock;  // guards captures
    std::set<LogCapture*> captures;
    std::atomic<int> captureCount{0};

    LoggerState() {
        const char* path = std::getenv("NUVRIX_LOG_FILE");
        if (path != nullptr && *path != '\0') {
            openFile(path);
        }
    }

    bool openFile(const std::string& path) {
        FILE* file = std::fopen(path.c_str(), "ae");
        if (file == nullptr) {
            std::fprintf(stderr, "nuvrix logger: cannot open log file (errno %d), logging to stderr\n", errno);
            return false;
        }
        std::lock_guard<std::mutex> guard(sinkLock);
        if (ownSink) {
            std::fclose(sink);
        }
        sink = file;
        ownSink = true;
        return true;
    }

    void useStderr() {
        std::lock_guard<std::mutex> guard(sinkLock);
        if (ownSink) {
            std::fclose(sink);
        }
        sink = stderr;
        ownSink = false;
    }
};

LoggerState& state() {
    static LoggerState* instance = new LoggerState;
    return *instance;
}

const char* levelName(int level) {
    switch (level) {
        case 1:
            return "FATAL";
        case 2:
            return "ERROR";
        case 3:
            return "WARN";
        case 4:
            return "INFO";
        case 5:
            return "DEBUG";
        default:
            return "LOG";
    }
}

const char* baseName(const char* path) {
    if (path == nullptr) {
        return "?";
    }
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// The record as one line: control characters of the message are escaped so
// that a message can never break the one-line-per-record rule.
std::string formatLine(int level, const std::string& loggerName, const char* sourceFile, int line,
                       const char* functionName, const std::string& message) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm parts;
    gmtime_r(&now.tv_sec, &parts);
    char stamp[64];
    std::snprintf(stamp, sizeof(stamp), "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  now.tv_nsec / 1000000);
    std::string result;
    result.reserve(message.size() + 128);
    result += stamp;
    result += " [";
    result += std::to_string(level);
    result += ' ';
    result += levelName(level);
    result += "] ";
    result += std::to_string(static_cast<long>(::syscall(SYS_gettid)));
    result += ' ';
    result += loggerName;
    result += ' ';
    result += baseName(sourceFile);
    result += ':';
    result += std::to_string(line);
    result += ' ';
    result += functionName ? functionName : "?";
    result += ": ";
    for (char c : message) {
        if (c == '\n') {
            result += "\\n";
        } else if (c == '\r') {
            result += "\\r";
        } else {
            result += c;
        }
    }
    result += '\n';
    return result;
}

}  // namespace

namespace nuvrixhost {

void addCapture(LogCapture* capture) {
    LoggerState& s = state();
    std::lock_guard<std::mutex> guard(s.capturesLock);
    s.captures.insert(capture);
    s.captureCount.store(static_cast<int>(s.captures.size()));
}

void removeCapture(LogCapture* capture) {
    LoggerState& s = state();
    std::lock_guard<std::mutex> guard(s.capturesLock);
    s.captures.erase(capture);
    s.captureCount.store(static_cast<int>(s.captures.size()));
}

}  // namespace nuvrixhost

ZVFLogger* ZVFLogger_getLogger(const std::string& name) {
    LoggerState& s = state();
    std::lock_guard<std::mutex> guard(s.loggersLock);
    std::unique_ptr<ZVFLogger>& slot = s.loggers[name];
    if (!slot) {
        slot.reset(new ZVFLogger(name));
    }
    return slot.get();
}

void ZVFLog(ZVFLogger* logger, int level, const char* sourceFile, int line, const char* functionName,
            const std::string& message) {
    LoggerState& s = state();
    if (level > s.threshold.load(std::memory_order_relaxed)) {
        return;
    }
    const std::string loggerName = logger ? logger->getName() : std::string("-");
    const std::string text = formatLine(level, loggerName, sourceFile, line, functionName, message);
    {
        std::lock_guard<std::mutex> guard(s.sinkLock);
        std::fwrite(text.data(), 1, text.size(), s.sink);
        std::fflush(s.sink);
    }
    if (s.captureCount.load() > 0) {
        LogCapture::Record record{level, loggerName, sourceFile ? sourceFile : "", line,
                                  functionName ? functionName : "", message};
        std::lock_guard<std::mutex> guard(s.capturesLock);
        for (LogCapture* capture : s.captures) {
            capture->add(record);
        }
    }
}

void ZVFLog(ZVFLogger* logger, int level, const char* sourceFile, int line, const char* functionName,
            const std::wstring& message) {
    if (!ZVFLog_isLevelEnabled(logger, level)) {
        return;
    }
    ZVFLog(logger, level, sourceFile, line, functionName, PTKCoreUtils::toString(message));
}

bool ZVFLog_isDebugEnabled(ZVFLogger* logger) { return ZVFLog_isLevelEnabled(logger, 5); }

bool ZVFLog_isLevelEnabled(ZVFLogger* /*logger*/, int level) {
    return level <= state().threshold.load(std::memory_order_relaxed);
}

void ZVFLogger_setLevel(int level) { state().threshold.store(level); }

int ZVFLogger_getLevel() { return state().threshold.load(); }

bool ZVFLogger_setLogFile(const std::string& path) {
    if (path.empty()) {
        state().useStderr();
        return true;
    }
    return state().openFile(path);
}
