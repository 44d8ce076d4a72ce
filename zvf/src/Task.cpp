#include "zvf/Task.h"

#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

namespace zvf {

Task::Task() : timePoint() {}

Task::~Task() = default;

std::string Task::name() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    if (status != 0 || demangled == nullptr) {
        std::free(demangled);
        return mangled;
    }
    std::string result(demangled);
    std::free(demangled);
    return result;
}

Task::TimePoint Task::getTimePoint() const {
    return timePoint;
}

void Task::setTimePoint(TimePoint timePoint) {
    this->timePoint = timePoint;
}

}  // namespace zvf
