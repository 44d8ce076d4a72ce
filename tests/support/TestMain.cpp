// Test main shared by every suite. Besides running the tests it watches the
// host's update-access violation counter: a test during which any code
// touched a business object off the services thread makes the run fail,
// whether or not the test itself uses the host fixture.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "unified/UnifiedBusinessObjectImpl.h"

namespace {

class UpdateAccessWatch : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override {
        before = ZVFUnified::UnifiedBusinessObjectImpl::getUpdateAccessViolationCount();
    }
    void OnTestEnd(const ::testing::TestInfo& info) override {
        long after = ZVFUnified::UnifiedBusinessObjectImpl::getUpdateAccessViolationCount();
        if (after != before) {
            offenders.push_back(std::string(info.test_suite_name()) + "." + info.name());
        }
    }
    std::vector<std::string> offenders;

private:
    long before = 0;
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    auto* watch = new UpdateAccessWatch;  // owned by gtest's listener list
    ::testing::UnitTest::GetInstance()->listeners().Append(watch);
    int result = RUN_ALL_TESTS();
    for (const std::string& name : watch->offenders) {
        std::fprintf(stderr, "update-access violation during %s\n", name.c_str());
    }
    if (!watch->offenders.empty() && result == 0) {
        result = 1;
    }
    return result;
}
