#include "PTKCoreUtils/FunctionTask.h"

#include <utility>

namespace PTKCoreUtils {

FunctionTask::FunctionTask(std::function<void()> function, std::string name)
    : function(std::move(function)), taskName(std::move(name)) {}

FunctionTask::FunctionTask(std::function<void()> function, std::string name,
                           std::shared_ptr<void> keepAlive)
    : function(std::move(function)), taskName(std::move(name)), keepAlive(std::move(keepAlive)) {}

FunctionTask::~FunctionTask() = default;

void FunctionTask::execute() {
    if (function) {
        function();
    }
}

std::string FunctionTask::name() const {
    return taskName;
}

}  // namespace PTKCoreUtils
