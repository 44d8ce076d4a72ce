// The value-object form of the FIPS rule, on the real services thread.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../support/RecordingObservers.h"
#include "ConfigValueImpl.h"
#include "DisableP2PCallOnFips.h"
#include "HostTest.h"
#include "zvf/common/FipsUtils.h"

using ZVFUnified::ConfigValueBaseImpl;
using ZVFUnified::ConfigValueImpl;
using ZVFUnified::ConfigValueObserver;
using ZVFUnified::DisableP2PCallOnFips;

namespace {

class DisableP2PCallOnFipsConfigValueTest : public nuvrixtest::HostTest {
protected:
    void TearDown() override {
        zvf::common::FipsUtils::setFipsOverrideForTesting(-1);
        HostTest::TearDown();
    }
};

TEST_F(DisableP2PCallOnFipsConfigValueTest, StoresFalseSilentlyForThePeerToPeerKeyOnlyAndOnlyInFipsMode) {
    for (int fips : {1, 0}) {
        SCOPED_TRACE(fips);
        zvf::common::FipsUtils::setFipsOverrideForTesting(fips);
        auto log = std::make_shared<std::vector<std::string>>();
        onServicesThread([this, log, fips]() {
            auto p2p = std::make_shared<ConfigValueImpl>(factory, L"TELEPHONY_p2p_ENABLED", L"true", L"true", false,
                                                         L"Admin", L"Admin");
            auto other = std::make_shared<ConfigValueImpl>(factory, L"Telephony_P2P_Enabled_Extra", L"true", L"",
                                                           false, L"Admin", L"");
            auto observer = std::make_shared<nuvrixtest::RecordingConfigValueObserver>("obs", log);
            p2p->addObserver(std::weak_ptr<ConfigValueObserver>(observer));

            DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(p2p);
            DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(other);
            DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(nullptr);

            EXPECT_EQ(fips ? L"false" : L"true", p2p->ConfigValueBaseImpl::getValue());
            EXPECT_EQ(L"true", p2p->getOriginalValue());
            EXPECT_EQ(L"true", other->ConfigValueBaseImpl::getValue());
            p2p->fireRequired();  // no flag was set
        });
        EXPECT_TRUE(log->empty());
    }
}

}  // namespace
