#include "zvf/common/FipsUtils.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

using zvf::common::FipsUtils;

TEST(FipsUtilsTest, FollowsOpenSslDefaultPropertiesUnlessOverridden) {
    FipsUtils::setFipsOverrideForTesting(-1);
    const bool fromOpenSsl = EVP_default_properties_is_fips_enabled(nullptr) == 1;
    EXPECT_EQ(fromOpenSsl, FipsUtils::isFipsEnabled());
    FipsUtils::setFipsOverrideForTesting(1);
    EXPECT_TRUE(FipsUtils::isFipsEnabled());
    FipsUtils::setFipsOverrideForTesting(0);
    EXPECT_FALSE(FipsUtils::isFipsEnabled());
    FipsUtils::setFipsOverrideForTesting(-1);
    EXPECT_EQ(fromOpenSsl, FipsUtils::isFipsEnabled());
}
