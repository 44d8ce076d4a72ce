#ifndef TESTS_HOST_SCOPEDENVIRONMENT_H
#define TESTS_HOST_SCOPEDENVIRONMENT_H

#include <cstdlib>
#include <map>
#include <string>
#include <utility>

namespace nuvrixtest {

// Sets environment variables for one test and restores them when it goes.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment() {
        for (const auto& entry : saved) {
            if (entry.second.first) {
                setenv(entry.first.c_str(), entry.second.second.c_str(), 1);
            } else {
                unsetenv(entry.first.c_str());
            }
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    // Sets name to value, or removes it when value is null.
    void set(const std::string& name, const char* value) {
        if (saved.find(name) == saved.end()) {
            const char* old = std::getenv(name.c_str());
            saved[name] = {old != nullptr, old ? old : ""};
        }
        if (value) {
            setenv(name.c_str(), value, 1);
        } else {
            unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::pair<bool, std::string>> saved;  // whether it was set, and to what
};

}  // namespace nuvrixtest

#endif
