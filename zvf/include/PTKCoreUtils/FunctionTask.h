#pragma once

#include <functional>
#include <memory>
#include <string>

#include "zvf/Task.h"

namespace PTKCoreUtils {

// A task that runs a stored function object under a given name. The optional
// keep-alive reference holds another object (typically the one the function
// is bound to) until the task itself is destroyed.
class FunctionTask : public zvf::Task {
public:
    FunctionTask(std::function<void()> function, std::string name);
    FunctionTask(std::function<void()> function, std::string name, std::shared_ptr<void> keepAlive);

    // zvf::Task:
    void execute() override;
    ~FunctionTask() override;
    std::string name() const override;

private:
    std::function<void()> function;
    std::string taskName;
    std::shared_ptr<void> keepAlive;  // empty unless given
};

}  // namespace PTKCoreUtils
