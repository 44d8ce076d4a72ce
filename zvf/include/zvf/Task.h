#pragma once

#include <chrono>
#include <string>

namespace zvf {

// A unit of work handed to the host's dispatchers, created on the heap and
// held as std::shared_ptr<Task>. The time point starts at zero; what it means
// is up to the dispatcher that runs the task.
class Task {
public:
    using TimePoint = std::chrono::time_point<std::chrono::system_clock, std::chrono::nanoseconds>;

    Task();

    virtual void execute() = 0;
    virtual ~Task();
    // The demangled name of the dynamic type, or the mangled one when it
    // cannot be demangled.
    virtual std::string name() const;

    TimePoint getTimePoint() const;
    void setTimePoint(TimePoint timePoint);

private:
    TimePoint timePoint;
};

}  // namespace zvf
