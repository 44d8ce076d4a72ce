// The abstract task: its name from the dynamic type and its time point.
#include "zvf/Task.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace zvftest {

// Outside an anonymous namespace so that the expected names stay short.
class MyTask : public zvf::Task {
public:
    void execute() override {}
};

template <typename T>
class Wrapper : public zvf::Task {
public:
    void execute() override {}
};

class NamedTask : public MyTask {
public:
    std::string name() const override { return "named"; }
};

namespace {

TEST(TaskTest, NameIsTheDemangledDynamicType) {
    const std::shared_ptr<zvf::Task> task = std::make_shared<MyTask>();
    EXPECT_EQ("zvftest::MyTask", task->name());
    EXPECT_EQ("zvftest::Wrapper<int>", Wrapper<int>().name());
    const std::shared_ptr<zvf::Task> named = std::make_shared<NamedTask>();
    EXPECT_EQ("named", named->name());
}

TEST(TaskTest, TimePointStartsAtZeroAndBelongsToTheDispatcher) {
    MyTask task;
    EXPECT_EQ(0, task.getTimePoint().time_since_epoch().count());
    const zvf::Task::TimePoint now = std::chrono::system_clock::now();
    task.setTimePoint(now);
    EXPECT_EQ(now, task.getTimePoint());
}

}  // namespace
}  // namespace zvftest
