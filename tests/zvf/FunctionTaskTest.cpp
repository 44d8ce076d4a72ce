// The task that runs a stored function under a given name.
#include "PTKCoreUtils/FunctionTask.h"

#include <gtest/gtest.h>

#include <memory>

namespace zvftest {
namespace {

TEST(FunctionTaskTest, ExecuteCallsTheFunctionEachTime) {
    int calls = 0;
    PTKCoreUtils::FunctionTask task([&calls] { ++calls; }, "counter");
    task.execute();
    task.execute();
    EXPECT_EQ(2, calls);
}

TEST(FunctionTaskTest, KeepAliveLastsUntilTheTaskIsDestroyed) {
    auto owner = std::make_shared<int>(42);
    std::weak_ptr<int> watch = owner;
    int seen = 0;
    auto task = std::make_shared<PTKCoreUtils::FunctionTask>(
        [raw = owner.get(), &seen] { seen = *raw; }, "keeps owner", owner);
    owner.reset();
    EXPECT_FALSE(watch.expired());
    task->execute();
    EXPECT_EQ(42, seen);
    task.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(FunctionTaskTest, EmptyFunctionIsNotCalledAndNameIsTheStoredName) {
    const std::shared_ptr<zvf::Task> task =
        std::make_shared<PTKCoreUtils::FunctionTask>(std::function<void()>(), "ConfigStore::persistValues");
    task->execute();  // must not throw std::bad_function_call
    EXPECT_EQ("ConfigStore::persistValues", task->name());
}

}  // namespace
}  // namespace zvftest
