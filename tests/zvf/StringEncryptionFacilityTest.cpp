// Secret text to Base64 text of its encrypted form and back.
#include "zvf/StringEncryptionFacility.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zvf/Base64.h"
#include "zvf/SecureStringReader.h"

namespace zvftest {
namespace {

TEST(StringEncryptionFacilityTest, EncryptedTextDecodesToTheSecret) {
    const std::string text = zvf::StringEncryptionFacility::encryptEncodeString("hunter2");
    EXPECT_EQ(std::string::npos, text.find("hunter2"));
    std::vector<unsigned char> encrypted;
    ASSERT_EQ(0, zvf::base64_decode(text, encrypted));
    EXPECT_EQ(32u, encrypted.size());  // vector and one block

    const zvf::SecureString secret = zvf::StringEncryptionFacility::decodeEncryptedString(text);
    zvf::SecureStringReader reader;
    secret.getUnsecureString(reader);
    EXPECT_STREQ("hunter2", reader.c_str());
}

TEST(StringEncryptionFacilityTest, EmptyOrInvalidTextGivesAnEmptyValue) {
    EXPECT_EQ("", zvf::StringEncryptionFacility::encryptEncodeString(""));
    EXPECT_TRUE(zvf::StringEncryptionFacility::decodeEncryptedString("").empty());
    EXPECT_TRUE(zvf::StringEncryptionFacility::decodeEncryptedString("%%%").empty());
}

}  // namespace
}  // namespace zvftest
