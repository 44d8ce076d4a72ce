// Secrets encrypted in memory: round trips, encrypted-form layout, sharing,
// Base64 serialisation and refusal of damaged input.
#include "zvf/SecureString.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "zvf/Base64.h"
#include "zvf/SecureStringReader.h"

namespace zvftest {
namespace {

std::string plainOf(const zvf::SecureString& value) {
    zvf::SecureStringReader reader;
    value.getUnsecureString(reader);
    return std::string(reader.c_str(), static_cast<size_t>(reader.getBufSize()));
}

std::string randomText(size_t length, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text(length, '\0');
    for (char& c : text) {
        c = static_cast<char>(byte(random));
    }
    return text;
}

TEST(SecureStringTest, NewValueIsEmpty) {
    const zvf::SecureString value;
    EXPECT_TRUE(value.empty());
    EXPECT_EQ("", value.serializeToBase64());
    EXPECT_TRUE(value.getEncryptedValue().empty());
    zvf::SecureStringReader reader;
    value.getUnsecureString(reader);
    EXPECT_EQ(0u, reader.getBufSize());
}

TEST(SecureStringTest, RoundTripsSecretsOfManyLengths) {
    for (size_t length : {1u, 15u, 16u, 17u, 100000u}) {
        const std::string secret = randomText(length, static_cast<unsigned>(length));
        const zvf::SecureString value(secret);
        EXPECT_FALSE(value.empty());
        EXPECT_EQ(secret, plainOf(value)) << length;
    }
    const zvf::SecureString emptyText(std::string(""));
    EXPECT_TRUE(emptyText.empty());
    EXPECT_EQ("", plainOf(emptyText));
}

TEST(SecureStringTest, ReaderBufferIsNulTerminated) {
    const zvf::SecureString value("secret");
    zvf::SecureStringReader reader;
    value.getUnsecureString(reader);
    EXPECT_STREQ("secret", reader.c_str());
    EXPECT_EQ(6u, reader.getBufSize());
}

TEST(SecureStringTest, EncryptedFormIsVectorThenPaddedCipherText) {
    EXPECT_EQ(32u, zvf::SecureString("x").getEncryptedValue().size());           // 16 + 16
    EXPECT_EQ(16u + 32u, zvf::SecureString(std::string(16, 'x')).getEncryptedValue().size());
    EXPECT_EQ(16u + 32u, zvf::SecureString(std::string(17, 'x')).getEncryptedValue().size());
    EXPECT_EQ(16u + 16u, zvf::SecureString(std::string(15, 'x')).getEncryptedValue().size());
}

TEST(SecureStringTest, SameTextEncryptsDifferentlyButComparesEqual) {
    const zvf::SecureString first("password");
    const zvf::SecureString second("password");
    EXPECT_NE(first.getEncryptedValue(), second.getEncryptedValue());
    EXPECT_TRUE(first == second);
    EXPECT_FALSE(first != second);
    EXPECT_TRUE(first != zvf::SecureString("passwore"));
    EXPECT_TRUE(first != zvf::SecureString("password!"));
    EXPECT_TRUE(first != zvf::SecureString());
    EXPECT_TRUE(zvf::SecureString() == zvf::SecureString());
}

TEST(SecureStringTest, ComparisonStopsAtTheFirstNulByte) {
    const zvf::SecureString first(std::string("ab\0cd", 5));
    const zvf::SecureString second(std::string("ab\0xy", 5));
    EXPECT_TRUE(first == second);
}

TEST(SecureStringTest, EncryptedFormRebuildsTheValue) {
    const zvf::SecureString original("rebuild me");
    const zvf::SecureString rebuilt(original.getEncryptedValue());
    EXPECT_FALSE(rebuilt.empty());
    EXPECT_EQ("rebuild me", plainOf(rebuilt));
    EXPECT_EQ(original.getEncryptedValue(), rebuilt.getEncryptedValue());
}

TEST(SecureStringTest, ShortEncryptedFormsGiveAnEmptyValue) {
    EXPECT_TRUE(zvf::SecureString(std::vector<unsigned char>()).empty());
    EXPECT_TRUE(zvf::SecureString(std::vector<unsigned char>(1, 7)).empty());
    EXPECT_TRUE(zvf::SecureString(std::vector<unsigned char>(15, 7)).empty());
    // A bare vector is a value without cipher text: it yields nothing.
    const zvf::SecureString bare(std::vector<unsigned char>(16, 7));
    EXPECT_FALSE(bare.empty());
    zvf::SecureStringReader reader;
    EXPECT_TRUE(reader.setValue(new char[5]{'k', 'e', 'e', 'p', '\0'}, 4));
    bare.getUnsecureString(reader);
    EXPECT_STREQ("keep", reader.c_str());
}

TEST(SecureStringTest, Base64FormRoundTrips) {
    const zvf::SecureString original("to Base64 and back");
    const std::string text = original.serializeToBase64();
    std::vector<unsigned char> decoded;
    ASSERT_EQ(0, zvf::base64_decode(text, decoded));
    EXPECT_EQ(original.getEncryptedValue(), decoded);
    EXPECT_EQ(std::string::npos, text.find("\r\n"));

    const zvf::SecureString restored = zvf::SecureString::createFromBase64(text);
    EXPECT_TRUE(restored == original);
    EXPECT_EQ("to Base64 and back", plainOf(restored));
}

TEST(SecureStringTest, InvalidOrShortBase64GivesAnEmptyValue) {
    EXPECT_TRUE(zvf::SecureString::createFromBase64("").empty());
    EXPECT_TRUE(zvf::SecureString::createFromBase64("not base64!").empty());
    EXPECT_TRUE(zvf::SecureString::createFromBase64("YWI").empty());
    for (uint32_t length = 1; length < 16; ++length) {
        const std::vector<unsigned char> bytes(length, 0x41);
        EXPECT_TRUE(zvf::SecureString::createFromBase64(zvf::base64_encode(bytes.data(), length, false)).empty())
            << length;
    }
}

TEST(SecureStringTest, DamagedPaddingLeavesTheReaderUnchanged) {
    // In CBC the last plain block is the decrypted last cipher block XOR the
    // block before it, so flipping bits of the preceding block flips the same
    // bits of the padding. These flips turn the padding bytes (0x0F for one
    // byte of secret, 0x10 for sixteen) into 0x00, which is never valid.
    struct Case {
        std::string secret;
        size_t flippedByte;
        unsigned char mask;
    };
    const Case cases[] = {{"x", 15, 0x0F}, {std::string(16, 'y'), 31, 0x10}};
    for (const Case& c : cases) {
        std::vector<unsigned char> encrypted = zvf::SecureString(c.secret).getEncryptedValue();
        encrypted[c.flippedByte] ^= c.mask;
        const zvf::SecureString damaged(encrypted);
        EXPECT_FALSE(damaged.empty());

        zvf::SecureStringReader reader;
        ASSERT_TRUE(reader.setValue(new char[5]{'k', 'e', 'e', 'p', '\0'}, 4));
        damaged.getUnsecureString(reader);
        EXPECT_STREQ("keep", reader.c_str());
        EXPECT_EQ(4u, reader.getBufSize());
    }
}

TEST(SecureStringTest, CopiesShareOneEncryptedValue) {
    zvf::SecureString original("first");
    zvf::SecureString copy(original);
    zvf::SecureString assigned;
    assigned = original;
    original.setValue("second", 6);
    EXPECT_EQ("second", plainOf(copy));
    EXPECT_EQ("second", plainOf(assigned));
    EXPECT_EQ(original.getEncryptedValue(), copy.getEncryptedValue());

    copy.setValue("x", 0);
    EXPECT_TRUE(original.empty());
    EXPECT_TRUE(assigned.getEncryptedValue().empty());
}

TEST(SecureStringTest, NullDataChangesNothing) {
    zvf::SecureString value("kept");
    value.setValue(nullptr, 10);
    EXPECT_EQ("kept", plainOf(value));
}

TEST(SecureStringTest, MovedFromValueIsEmptyAndReusable) {
    zvf::SecureString source("moved");
    zvf::SecureString target(std::move(source));
    EXPECT_EQ("moved", plainOf(target));
    EXPECT_TRUE(source.empty());  // NOLINT(bugprone-use-after-move): documented state
    EXPECT_TRUE(source.getEncryptedValue().empty());
    source.setValue("again", 5);
    EXPECT_EQ("again", plainOf(source));
    EXPECT_EQ("moved", plainOf(target));
}

}  // namespace
}  // namespace zvftest
