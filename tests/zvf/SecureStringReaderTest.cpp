// The reader that owns plain bytes handed out by a SecureString.
#include "zvf/SecureStringReader.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zvftest {
namespace {

char* newBuffer(const char* text) {
    const size_t length = std::strlen(text);
    char* buffer = new char[length + 1];
    std::memcpy(buffer, text, length + 1);
    return buffer;
}

TEST(SecureStringReaderTest, FreshReaderGivesEmptyText) {
    const zvf::SecureStringReader reader;
    ASSERT_NE(nullptr, reader.c_str());
    EXPECT_STREQ("", reader.c_str());
    EXPECT_EQ(0u, reader.getBufSize());
}

TEST(SecureStringReaderTest, AdoptsBufferAndReplacesItOnSetValue) {
    zvf::SecureStringReader reader(newBuffer("first"), 5);
    EXPECT_STREQ("first", reader.c_str());
    EXPECT_EQ(5u, reader.getBufSize());

    char* second = newBuffer("second");
    EXPECT_TRUE(reader.setValue(second, 6));
    EXPECT_EQ(second, reader.c_str());
    EXPECT_EQ(6u, reader.getBufSize());
}

TEST(SecureStringReaderTest, NullOrZeroSizedBufferLeavesReaderEmpty) {
    zvf::SecureStringReader reader(newBuffer("value"), 5);
    EXPECT_FALSE(reader.setValue(nullptr, 5));
    EXPECT_STREQ("", reader.c_str());
    EXPECT_EQ(0u, reader.getBufSize());

    // A buffer with size 0 is taken and freed (the leak checker watches).
    EXPECT_FALSE(reader.setValue(newBuffer("ignored"), 0));
    EXPECT_STREQ("", reader.c_str());
    EXPECT_EQ(0u, reader.getBufSize());

    const zvf::SecureStringReader empty(nullptr, 0);
    EXPECT_STREQ("", empty.c_str());
}

}  // namespace
}  // namespace zvftest
