// Secrets encrypted in memory: round trips, encrypted-form layout, sharing,
// Base64 serialisation and refusal of damaged input.
#include "zvf/SecureString.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "TempDir.h"
#include "zvf/Base64.h"
#include "zvf/SecureStringReader.h"

namespace zvftest {
namespace {

using nuvrixtest::plainOf;
using zvf::SecureString;
using Bytes = std::vector<unsigned char>;

// Reads `value` into a reader that holds "keep" and describes the reader
// afterwards as "<text up to its NUL>:<size>".
std::string readOverKeep(const SecureString& value) {
    zvf::SecureStringReader reader;
    EXPECT_TRUE(reader.setValue(new char[5]{'k', 'e', 'e', 'p', '\0'}, 4));
    value.getUnsecureString(reader);
    return std::string(reader.c_str()) + ":" + std::to_string(reader.getBufSize());
}

TEST(SecureStringTest, RoundTripsSecretsOfManyLengths) {
    const SecureString fresh;
    EXPECT_TRUE(fresh.empty());
    EXPECT_EQ("", fresh.serializeToBase64());
    EXPECT_TRUE(fresh.getEncryptedValue().empty());
    EXPECT_EQ("", plainOf(fresh));
    EXPECT_TRUE(SecureString(std::string("")).empty());
    EXPECT_EQ("", plainOf(SecureString(std::string(""))));

    std::mt19937 random(17);
    for (size_t length : {1u, 15u, 16u, 17u, 100000u}) {
        std::string secret(length, '\0');
        for (char& c : secret) {
            c = static_cast<char>(random());
        }
        const SecureString value(secret);
        EXPECT_FALSE(value.empty());
        EXPECT_EQ(secret, plainOf(value)) << length;
    }
    // The reader's buffer is NUL-terminated behind the secret.
    zvf::SecureStringReader reader;
    SecureString("secret").getUnsecureString(reader);
    EXPECT_STREQ("secret", reader.c_str());
    EXPECT_EQ(6u, reader.getBufSize());
}

TEST(SecureStringTest, EncryptedFormIsVectorThenPaddedCipherText) {
    const std::pair<size_t, size_t> cases[] = {{1, 16 + 16}, {15, 16 + 16}, {16, 16 + 32}, {17, 16 + 32}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, SecureString(std::string(c.first, 'x')).getEncryptedValue().size()) << c.first;
    }
}

TEST(SecureStringTest, SameTextEncryptsDifferentlyButComparesEqualUpToTheFirstNul) {
    const SecureString first("password");
    const SecureString second("password");
    EXPECT_NE(first.getEncryptedValue(), second.getEncryptedValue());
    EXPECT_TRUE(first == second);
    EXPECT_FALSE(first != second);
    EXPECT_TRUE(first != SecureString("passwore"));
    EXPECT_TRUE(first != SecureString("password!"));
    EXPECT_TRUE(first != SecureString());
    EXPECT_TRUE(SecureString() == SecureString());
    EXPECT_TRUE(SecureString(std::string("ab\0cd", 5)) == SecureString(std::string("ab\0xy", 5)));
}

TEST(SecureStringTest, EveryValueGetsAVectorOfItsOwn) {
    std::vector<Bytes> vectors;
    SecureString reused;
    for (int i = 0; i < 200; ++i) {  // more than one batch of random vectors
        reused.setValue("same", 4);
        const Bytes encrypted = reused.getEncryptedValue();
        vectors.emplace_back(encrypted.begin(), encrypted.begin() + 16);
    }
    std::sort(vectors.begin(), vectors.end());
    EXPECT_EQ(vectors.end(), std::adjacent_find(vectors.begin(), vectors.end()));
}

TEST(SecureStringTest, ParentAndForkedChildNeverShareAVector) {
    SecureString("before the fork");  // the thread's vectors are drawn
    int pipeEnds[2];
    ASSERT_EQ(0, pipe(pipeEnds));
    const pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        const Bytes encrypted = SecureString("in the child").getEncryptedValue();
        const bool written = write(pipeEnds[1], encrypted.data(), 16) == 16;
        _exit(written ? 0 : 1);
    }
    close(pipeEnds[1]);
    const Bytes parentEncrypted = SecureString("in the parent").getEncryptedValue();
    Bytes childVector(16);
    EXPECT_EQ(16, read(pipeEnds[0], childVector.data(), 16));
    close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(Bytes(parentEncrypted.begin(), parentEncrypted.begin() + 16), childVector);
}

TEST(SecureStringTest, EncryptedFormRebuildsTheValueAndShortFormsGiveNothing) {
    const SecureString original("rebuild me");
    const SecureString rebuilt(original.getEncryptedValue());
    EXPECT_FALSE(rebuilt.empty());
    EXPECT_EQ("rebuild me", plainOf(rebuilt));
    EXPECT_EQ(original.getEncryptedValue(), rebuilt.getEncryptedValue());

    for (size_t length : {0u, 1u, 15u}) {
        EXPECT_TRUE(SecureString(Bytes(length, 7)).empty()) << length;
    }
    // A bare vector is a value without cipher text: it yields nothing.
    const SecureString bare(Bytes(16, 7));
    EXPECT_FALSE(bare.empty());
    EXPECT_EQ("keep:4", readOverKeep(bare));
}

TEST(SecureStringTest, Base64FormRoundTrips) {
    const SecureString original("to Base64 and back");
    const std::string text = original.serializeToBase64();
    Bytes decoded;
    ASSERT_EQ(0, zvf::base64_decode(text, decoded));
    EXPECT_EQ(original.getEncryptedValue(), decoded);
    EXPECT_EQ(std::string::npos, text.find("\r\n"));
    const SecureString restored = SecureString::createFromBase64(text);
    EXPECT_TRUE(restored == original);
    EXPECT_EQ("to Base64 and back", plainOf(restored));
}

TEST(SecureStringTest, InvalidOrShortBase64GivesAnEmptyValue) {
    for (const char* text : {"", "not base64!", "YWI"}) {
        EXPECT_TRUE(SecureString::createFromBase64(text).empty()) << text;
    }
    for (uint32_t length = 1; length < 16; ++length) {
        const Bytes bytes(length, 0x41);
        EXPECT_TRUE(SecureString::createFromBase64(zvf::base64_encode(bytes.data(), length, false)).empty())
            << length;
    }
}

TEST(SecureStringTest, DamagedPaddingLeavesTheReaderUnchanged) {
    // In CBC the last plain block is the decrypted last cipher block XOR the
    // block before it, so flipping bits of the preceding block flips the same
    // bits of the padding. These flips turn the padding bytes (0x0F for one
    // byte of secret, 0x10 for sixteen) into 0x00, which is never valid.
    const struct {
        std::string secret;
        size_t flippedByte;
        unsigned char mask;
    } cases[] = {{"x", 15, 0x0F}, {std::string(16, 'y'), 31, 0x10}};
    for (const auto& c : cases) {
        Bytes encrypted = SecureString(c.secret).getEncryptedValue();
        encrypted[c.flippedByte] ^= c.mask;
        const SecureString damaged(encrypted);
        EXPECT_FALSE(damaged.empty());
        EXPECT_EQ("keep:4", readOverKeep(damaged));
    }
}

TEST(SecureStringTest, CopiesShareOneEncryptedValueAndNullDataChangesNothing) {
    SecureString original("first");
    SecureString copy(original);
    SecureString assigned;
    assigned = original;
    original.setValue("second", 6);
    EXPECT_EQ("second", plainOf(copy));
    EXPECT_EQ("second", plainOf(assigned));
    EXPECT_EQ(original.getEncryptedValue(), copy.getEncryptedValue());
    original.setValue(nullptr, 10);
    EXPECT_EQ("second", plainOf(original));

    copy.setValue("x", 0);
    EXPECT_TRUE(original.empty());
    EXPECT_TRUE(assigned.getEncryptedValue().empty());
}

TEST(SecureStringTest, MovedFromValueIsEmptyAndReusable) {
    SecureString source("moved");
    SecureString target(std::move(source));
    EXPECT_EQ("moved", plainOf(target));
    EXPECT_TRUE(source.empty());  // NOLINT(bugprone-use-after-move): documented state
    EXPECT_TRUE(source.getEncryptedValue().empty());
    source.setValue("again", 5);
    EXPECT_EQ("again", plainOf(source));
    EXPECT_EQ("moved", plainOf(target));
}

}  // namespace
}  // namespace zvftest
