#include "logging/LogCapture.h"

#include "LogSinks.h"

LogCapture::LogCapture() { nuvrixhost::addCapture(this); }

LogCapture::~LogCapture() { nuvrixhost::removeCapture(this); }

std::vector<LogCapture::Record> LogCapture::records() const {
    std::lock_guard<std::mutex> guard(lock);
    return collected;
}

std::size_t LogCapture::count(const std::string& text, int level) const {
    std::lock_guard<std::mutex> guard(lock);
    std::size_t found = 0;
    for (const Record& record : collected) {
        if ((level <= 0 || record.level == level) && record.message.find(text) != std::string::npos) {
            ++found;
        }
    }
    return found;
}

std::vector<std::string> LogCapture::messages() const {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<std::string> result;
    result.reserve(collected.size());
    for (const Record& record : collected) {
        result.push_back(record.message);
    }
    return result;
}

void LogCapture::clear() {
    std::lock_guard<std::mutex> guard(lock);
    collected.clear();
}

void LogCapture::add(const Record& record) {
    std::lock_guard<std::mutex> guard(lock);
    collected.push_back(record);
}
