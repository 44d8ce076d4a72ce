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

// The peer-to-peer key in any letter case reads false in FIPS mode, whatever
// it held; other keys, and every key outside FIPS mode, are left alone.
TEST_F(DisableP2PCallOnFipsTextTest, PeerToPeerKeyInAnyCaseReadsFalseInFipsModeOnly) {
    const struct {
        int fips;
        const wchar_t* key;
        const wchar_t* before;
        const wchar_t* after;
    } cases[] = {{1, L"telephony_p2p_enabled", L"true", L"false"}, {1, L"Telephony_P2P_Enabled", L"", L"false"},
                 {1, L"Telephony_P2P_Enabled_", L"true", L"true"}, {1, L"Telephony_P2Q_Enabled", L"true", L"true"},
                 {0, L"Telephony_P2P_Enabled", L"true", L"true"}};
    for (const auto& c : cases) {
        zvf::common::FipsUtils::setFipsOverrideForTesting(c.fips);
        std::wstring value = c.before;
        DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(c.key, value);
        EXPECT_EQ(c.after, value) << c.fips << " " << ::testing::PrintToString(std::wstring(c.key));
    }
}

}  // namespace
