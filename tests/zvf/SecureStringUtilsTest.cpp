// Wiping helpers: every byte that held a secret becomes zero, and nothing
// beyond it is touched.
#include "zvf/SecureStringUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zvftest {
namespace {

TEST(SecureStringUtilsTest, ZeroMemoryWipesExactlyTheGivenBytes) {
    std::vector<char> buffer(16, 'S');
    zvf::SecureStringUtils::ZVFZeroMemory(buffer.data() + 2, 10);
    EXPECT_EQ(std::string("SS") + std::string(10, '\0') + "SSSS", std::string(buffer.begin(), buffer.end()));

    std::vector<unsigned char> bytes(8, 0x77);
    zvf::SecureStringUtils::ZVFZeroMemory(static_cast<const void*>(bytes.data()), 8);
    EXPECT_EQ(std::vector<unsigned char>(8, 0), bytes);

    zvf::SecureStringUtils::guaranteed_memset(bytes.data(), 0xAB, 3);
    EXPECT_EQ((std::vector<unsigned char>{0xAB, 0xAB, 0xAB, 0, 0, 0, 0, 0}), bytes);
    zvf::SecureStringUtils::ZVFZeroMemory(static_cast<const void*>(nullptr), 8);  // no effect, no crash
}

TEST(SecureStringUtilsTest, ZeroStringWipesCharactersBeforeClearing) {
    std::string secret(100, 'p');  // longer than any in-place buffer
    const char* characters = secret.data();
    const size_t capacity = secret.capacity();
    zvf::SecureStringUtils::ZVFZeroString(secret);
    EXPECT_TRUE(secret.empty());
    // clear() keeps the allocation, so the old characters can be inspected.
    ASSERT_EQ(capacity, secret.capacity());
    ASSERT_EQ(characters, secret.data());
    EXPECT_EQ(std::string(100, '\0'), std::string(characters, 100));
}

TEST(SecureStringUtilsTest, ZeroStringOfEmptyStringLeavesItEmpty) {
    std::string empty;
    zvf::SecureStringUtils::ZVFZeroString(empty);
    EXPECT_TRUE(empty.empty());
    EXPECT_STREQ("", empty.c_str());
}

TEST(SecureStringUtilsTest, ZeroWstringWipesFourBytesPerCharacter) {
    std::wstring secret(50, L'\x1F600');
    const wchar_t* characters = secret.data();
    zvf::SecureStringUtils::ZVFZeroWstring(secret);
    EXPECT_TRUE(secret.empty());
    ASSERT_EQ(characters, secret.data());
    EXPECT_EQ(std::wstring(50, L'\0'), std::wstring(characters, 50));

    std::wstring empty;
    zvf::SecureStringUtils::ZVFZeroWstring(empty);
    EXPECT_TRUE(empty.empty());
}

}  // namespace
}  // namespace zvftest
