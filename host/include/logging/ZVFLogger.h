#ifndef LOGGING_ZVFLOGGER_H
#define LOGGING_ZVFLOGGER_H

#include <string>

#include "NuvrixHostExport.h"

// The host logger. Levels: 1 fatal, 2 failures, 3 misuse and bad input,
// 4 life cycle and decisions, 5 debug detail. Records at or below the
// threshold are written; the threshold comes from NUVRIX_LOG_LEVEL
// (default 4). The sink is standard error, or the file named by
// NUVRIX_LOG_FILE; one line per record with time, level, logger, source
// location and message, written with one call under the sink's lock so that
// lines of concurrent records never interleave. Line breaks inside a message
// are written as a backslash followed by "n" (or "r"). Thread-safe.
//
// Personal-data masking (ZVFLogger_replacePIIData) replaces e-mail addresses
// with "<email>", IPv4 addresses with "<ipv4>", IPv6 addresses with "<ipv6>"
// and the user's home directory ($HOME), where it stands as a whole path
// prefix, with "~".

// A named logger; obtained once per source file and kept for the process.
class NUVRIX_HOST_API ZVFLogger {
public:
    explicit ZVFLogger(const std::string& name) : name(name) {}
    const std::string& getName() const { return name; }

private:
    std::string name;
};

NUVRIX_HOST_API ZVFLogger* ZVFLogger_getLogger(const std::string& name);

NUVRIX_HOST_API void ZVFLog(ZVFLogger* logger, int level, const char* sourceFile, int line,
                            const char* functionName, const std::string& message);
NUVRIX_HOST_API void ZVFLog(ZVFLogger* logger, int level, const char* sourceFile, int line,
                            const char* functionName, const std::wstring& message);

// True when level-5 records are written: build debug text only then.
NUVRIX_HOST_API bool ZVFLog_isDebugEnabled(ZVFLogger* logger);
// True when records of this level are written.
NUVRIX_HOST_API bool ZVFLog_isLevelEnabled(ZVFLogger* logger, int level);

// The text with personal data masked: e-mail addresses, IPv4 and IPv6
// addresses and the user's home directory in paths.
NUVRIX_HOST_API std::string ZVFLogger_replacePIIData(const std::string& text);

// Threshold control for the host program and tests.
NUVRIX_HOST_API void ZVFLogger_setLevel(int level);
NUVRIX_HOST_API int ZVFLogger_getLevel();
// Reopens the sink: appends to the file at path, or writes to standard error
// again when path is empty. False (and standard error kept) when the file
// cannot be opened.
NUVRIX_HOST_API bool ZVFLogger_setLogFile(const std::string& path);

// Writes a record from the calling function. The level is tested before the
// message expression is evaluated: a record whose level is off costs no
// formatting at all, so callers need no guard of their own.
#define ZVF_LOG(logger, level, message)                                                  \
    do {                                                                                 \
        ZVFLogger* const zvfLogLogger_ = (logger);                                       \
        const int zvfLogLevel_ = (level);                                                \
        if (ZVFLog_isLevelEnabled(zvfLogLogger_, zvfLogLevel_)) {                        \
            ZVFLog(zvfLogLogger_, zvfLogLevel_, __FILE__, __LINE__, __func__, (message)); \
        }                                                                                \
    } while (false)

#endif
