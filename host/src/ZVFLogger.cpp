#include "logging/ZVFLogger.h"

#include <arpa/inet.h>
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

// --- personal-data masking -------------------------------------------------

bool isAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isWordChar(char c) { return isAlnum(c) || c == '_'; }

bool isEmailLocalChar(char c) {
    return isAlnum(c) || c == '.' || c == '_' || c == '%' || c == '+' || c == '-';
}
bool isDomainChar(char c) { return isAlnum(c) || c == '.' || c == '-'; }

// Replaces every local@domain.tld with "<email>".
std::string maskEmails(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    std::size_t at = text.find('@');
    while (at != std::string::npos) {
        std::size_t begin = at;
        while (begin > copied && isEmailLocalChar(text[begin - 1])) {
            --begin;
        }
        std::size_t end = at + 1;
        while (end < text.size() && isDomainChar(text[end])) {
            ++end;
        }
        // Trailing dots and hyphens belong to the sentence, not the domain.
        while (end > at + 1 && (text[end - 1] == '.' || text[end - 1] == '-')) {
            --end;
        }
        const std::string domain = text.substr(at + 1, end - at - 1);
        const std::size_t dot = domain.rfind('.');
        const bool valid = begin < at && dot != std::string::npos && dot > 0 && dot + 1 < domain.size();
        if (valid) {
            out.append(text, copied, begin - copied);
            out += "<email>";
            copied = end;
            at = text.find('@', end);
        } else {
            at = text.find('@', at + 1);
        }
    }
    out.append(text, copied, std::string::npos);
    return out;
}

// Replaces every IPv6 address (as inet_pton accepts it, with at least two
// colons and one hex digit, standing alone as a word) with "<ipv6>".
std::string maskIpv6(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!(isHex(text[i]) || text[i] == ':')) {
            ++i;
            continue;
        }
        std::size_t end = i;
        int colons = 0;
        bool hexDigit = false;
        while (end < text.size() && (isHex(text[end]) || text[end] == ':' || text[end] == '.')) {
            colons += text[end] == ':';
            hexDigit = hexDigit || isHex(text[end]);
            ++end;
        }
        std::size_t tokenEnd = end;
        while (tokenEnd > i && text[tokenEnd - 1] == '.') {  // a sentence's full stop
            --tokenEnd;
        }
        const bool standsAlone = (i == 0 || !isWordChar(text[i - 1])) &&
                                 (end == text.size() || !isWordChar(text[end]));
        bool masked = false;
        if (standsAlone && colons >= 2 && hexDigit && tokenEnd - i <= 45) {
            const std::string candidate = text.substr(i, tokenEnd - i);
            unsigned char address[16];
            if (inet_pton(AF_INET6, candidate.c_str(), address) == 1) {
                out.append(text, copied, i - copied);
                out += "<ipv6>";
                copied = tokenEnd;
                masked = true;
            }
        }
        i = masked ? tokenEnd : end;
        // Skip the rest of a word so that a hex run inside a word is never
        // taken for the start of an address.
        while (!masked && i < text.size() && isWordChar(text[i])) {
            ++i;
        }
    }
    out.append(text, copied, std::string::npos);
    return out;
}

// Replaces every dotted-quad IPv4 address with "<ipv4>".
std::string maskIpv4(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!isDigit(text[i]) || (i > 0 && (isWordChar(text[i - 1]) || text[i - 1] == '.'))) {
            ++i;
            continue;
        }
        std::size_t pos = i;
        bool valid = true;
        for (int group = 0; group < 4 && valid; ++group) {
            if (group > 0) {
                if (pos < text.size() && text[pos] == '.') {
                    ++pos;
                } else {
                    valid = false;
                    break;
                }
            }
            std::size_t digits = 0;
            int value = 0;
            while (pos < text.size() && isDigit(text[pos]) && digits < 4) {
                value = value * 10 + (text[pos] - '0');
                ++pos;
                ++digits;
            }
            valid = digits >= 1 && digits <= 3 && value <= 255;
        }
        // Not followed by more of a number ("1.2.3.4.5" or "1.2.3.4x").
        if (valid && pos < text.size() &&
            (isWordChar(text[pos]) || (text[pos] == '.' && pos + 1 < text.size() && isDigit(text[pos + 1])))) {
            valid = false;
        }
        if (valid) {
            out.append(text, copied, i - copied);
            out += "<ipv4>";
            copied = pos;
            i = pos;
        } else {
            while (i < text.size() && (isWordChar(text[i]) || text[i] == '.')) {
                ++i;
            }
        }
    }
    out.append(text, copied, std::string::npos);
    return out;
}

// Replaces the home directory, where it stands as a whole path prefix, with "~".
std::string maskHome(const std::string& text) {
    const char* homeValue = std::getenv("HOME");
    std::string home = homeValue ? homeValue : "";
    while (home.size() > 1 && home.back() == '/') {
        home.pop_back();
    }
    if (home.size() < 2) {  // "" or "/": nothing personal to hide
        return text;
    }
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    std::size_t found = text.find(home);
    while (found != std::string::npos) {
        const std::size_t end = found + home.size();
        const bool wholeComponent = end == text.size() || !(isWordChar(text[end]) || text[end] == '-' ||
                                                            text[end] == '.');
        if (wholeComponent) {
            out.append(text, copied, found - copied);
            out += '~';
            copied = end;
            found = text.find(home, end);
        } else {
            found = text.find(home, found + 1);
        }
    }
    out.append(text, copied, std::string::npos);
    return out;
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

std::string ZVFLogger_replacePIIData(const std::string& text) {
    return maskIpv4(maskIpv6(maskEmails(maskHome(text))));
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
