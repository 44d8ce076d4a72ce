#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "HostTest.h"
#include "PropertyNotifier.h"
#include "UnifiedServiceImpl.h"
#include "unified/UnifiedServiceNotifiers.h"
#include "unified/UnifiedServiceObserver.h"

using ZVFUnified::UnifiedServiceImpl;

namespace {

class UnifiedServiceImplTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        onServicesThread([this]() { service = std::make_shared<UnifiedServiceImpl>(factory, "TestService"); });
    }
    void TearDown() override {
        onServicesThread([this]() { service.reset(); });
        HostTest::TearDown();
    }

    std::shared_ptr<UnifiedServiceImpl> service;
};

TEST_F(UnifiedServiceImplTest, NotifiersObjectObservesTheServiceAndFiresOnlyItsOwnNotifierOnInfoChange) {
    std::vector<std::string> log;
    onServicesThread([this, &log]() {
        auto notifiers = service->getUnifiedServiceNotifiers();
        ASSERT_NE(nullptr, notifiers);
        EXPECT_EQ(notifiers, service->getUnifiedServiceNotifiers());
        notifiers->getBulkUpdateInProgressNotifier()->connect([&log]() { log.push_back("BulkUpdateInProgress"); });
        notifiers->getGuidNotifier()->connect([&log]() { log.push_back("Guid"); });

        service->commitToServicesDispatcher();
    });
    EXPECT_EQ((std::vector<std::string>{"BulkUpdateInProgress"}), log);
}

}  // namespace
