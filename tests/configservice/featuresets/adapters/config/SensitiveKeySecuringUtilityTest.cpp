#include "SensitiveKeySecuringUtility.h"

#include <gtest/gtest.h>

#include <string>

#include "PTKCoreUtils/StringUtils.h"
#include "TempDir.h"
#include "zvf/StringEncryptionFacility.h"

using ZVFUnified::ConfigMap;
using ZVFUnified::SensitiveKeySecuringUtility;

namespace {

std::string decrypt(const std::wstring& secured) {
    return nuvrixtest::plainOf(zvf::StringEncryptionFacility::decodeEncryptedString(PTKCoreUtils::toString(secured)));
}

TEST(SensitiveKeySecuringUtilityTest, PasswordValuesBecomeEncryptedBase64AndOtherValuesStay) {
    ConfigMap values{{L"connectionpassword", L"p\u00e4ss 1"}, {L"BDICONNECTIONPASSWORD", L"second"},
                     {L"ConnectionUsername", L"user"}};
    SensitiveKeySecuringUtility::secureWellKnownSensitiveKeys(values);
    EXPECT_NE(L"p\u00e4ss 1", values[L"ConnectionPassword"]);
    EXPECT_EQ("p\xc3\xa4ss 1", decrypt(values[L"ConnectionPassword"]));
    EXPECT_EQ("second", decrypt(values[L"BDIConnectionPassword"]));
    EXPECT_EQ(L"user", values[L"ConnectionUsername"]);
    EXPECT_EQ(3u, values.size());

    // Securing again encrypts the secured text once more.
    const std::wstring once = values[L"ConnectionPassword"];
    SensitiveKeySecuringUtility::secureWellKnownSensitiveKeys(values);
    EXPECT_EQ(PTKCoreUtils::toString(once), decrypt(values[L"ConnectionPassword"]));
}

TEST(SensitiveKeySecuringUtilityTest, OnlyTheTwoPasswordKeysAreWellKnownInAnyLetterCase) {
    EXPECT_TRUE(SensitiveKeySecuringUtility::isWellKnownSensitiveKey(L"bdiconnectionPASSWORD"));
    EXPECT_FALSE(SensitiveKeySecuringUtility::isWellKnownSensitiveKey(L"ConnectionPasswordX"));
    EXPECT_FALSE(SensitiveKeySecuringUtility::isWellKnownSensitiveKey(L"ConnectionUsername"));
}

}  // namespace
