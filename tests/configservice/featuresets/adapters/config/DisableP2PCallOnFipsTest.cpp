#include "DisableP2PCallOnFips.h"

#include <gtest/gtest.h>

#include <string>

#include "zvf/common/FipsUtils.h"

using ZVFUnified::DisableP2PCallOnFips;

namespace {

class DisableP2PCallOnFipsTextTest : public ::testing::Test {
protected:
    void TearDown() override { zvf::common::FipsUtils::setFipsOverrideForTesting(-1); }
};

TEST_F(DisableP2PCallOnFipsTextTest, PeerToPeerKeyInAnyCaseReadsFalseInFipsMode) {
    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    std::wstring value = L"true";
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(L"telephony_p2p_enabled", value);
    EXPECT_EQ(L"false", value);

    value.clear();
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(L"Telephony_P2P_Enabled", value);
    EXPECT_EQ(L"false", value);
}

TEST_F(DisableP2PCallOnFipsTextTest, OtherKeysAndNonFipsModeAreLeftAlone) {
    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    std::wstring value = L"true";
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(L"Telephony_P2P_Enabled_", value);
    EXPECT_EQ(L"true", value);
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(L"Telephony_P2Q_Enabled", value);
    EXPECT_EQ(L"true", value);

    zvf::common::FipsUtils::setFipsOverrideForTesting(0);
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(L"Telephony_P2P_Enabled", value);
    EXPECT_EQ(L"true", value);
}

}  // namespace
