// Secret text to Base64 text of its encrypted form and back.
#include "zvf/StringEncryptionFacility.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zvf/Base64.h"
#include "TempDir.h"

namespace zvftest {
namespace {

TEST(StringEncryptionFacilityTest, EncryptedTextDecodesToTheSecret) {
    const std::string text = zvf::StringEncryptionFacility::encryptEncodeString("hunter2");
    EXPECT_EQ(std::string::npos, text.find("hunter2"));
    std::vector<unsigned char> encrypted;
    ASSERT_EQ(0, zvf::base64_decode(text, encrypted));
    EXPECT_EQ(32u, encrypted.size());  // vector and one block

    EXPECT_EQ("hunter2", nuvrixtest::plainOf(zvf::StringEncryptionFacility::decodeEncryptedString(text)));
}

TEST(StringEncryptionFacilityTest, EmptyOrInvalidTextGivesAnEmptyValue) {
    EXPECT_EQ("", zvf::StringEncryptionFacility::encryptEncodeString(""));
    EXPECT_TRUE(zvf::StringEncryptionFacility::decodeEncryptedString("").empty());
    EXPECT_TRUE(zvf::StringEncryptionFacility::decodeEncryptedString("%%%").empty());
}

}  // namespace
}  // namespace zvftest
