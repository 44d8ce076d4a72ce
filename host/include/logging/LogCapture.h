#ifndef LOGGING_LOGCAPTURE_H
#define LOGGING_LOGCAPTURE_H

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "NuvrixHostExport.h"

// A sink that collects the records written while it exists (those at or
// below the threshold), beside the normal sink. For tests. Thread-safe.
class NUVRIX_HOST_API LogCapture {
public:
    struct Record {
        int level;
        std::string logger;
        std::string sourceFile;
        int line;
        std::string functionName;
        std::string message;  // UTF-8
    };

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<Record> records() const;
    // Records whose message contains text (and, when level > 0, of that level).
    std::size_t count(const std::string& text, int level = 0) const;
    bool contains(const std::string& text, int level = 0) const { return count(text, level) > 0; }
    // The messages in order, for exact comparisons.
    std::vector<std::string> messages() const;
    void clear();

    // Called by the logger.
    void add(const Record& record);

private:
    mutable std::mutex lock;
    std::vector<Record> collected;
};

#endif
