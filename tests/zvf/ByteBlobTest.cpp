// The owned byte buffer under secure strings.
#include "zvf/ByteBlob.h"

#include <gtest/gtest.h>

#include <string>

namespace zvftest {
namespace {

TEST(ByteBlobTest, NewBytesAreFilledWithFF) {
    zvf::ByteBlob blob(5);
    ASSERT_NE(nullptr, blob.getData());
    EXPECT_EQ(5u, blob.getSize());
    EXPECT_EQ(std::string(5, '\xFF'), std::string(reinterpret_cast<const char*>(blob.getData()), 5));

    blob.getData()[0] = 1;
    blob.reallocateSize(3);
    EXPECT_EQ(3u, blob.getSize());
    EXPECT_EQ(std::string(3, '\xFF'), std::string(reinterpret_cast<const char*>(blob.getData()), 3));
}

TEST(ByteBlobTest, DestroyDataForgetsTheBytes) {
    const zvf::ByteBlob fresh;  // a default blob starts in the destroyed state
    EXPECT_EQ(nullptr, fresh.getData());
    EXPECT_EQ(0u, fresh.getSize());

    zvf::ByteBlob blob(16);
    blob.destroyData();
    EXPECT_EQ(nullptr, blob.getData());
    EXPECT_EQ(0u, blob.getSize());
    blob.destroyData();  // a second call is harmless

    blob.reallocateSize(0);  // an empty allocation, freed again
    EXPECT_NE(nullptr, blob.getData());
    EXPECT_EQ(0u, blob.getSize());
    blob.destroyData();
    EXPECT_EQ(nullptr, blob.getData());
}

TEST(ByteBlobTest, RefillKeepsAnAllocationOfAboutTheSizeAndFillsItWithFF) {
    zvf::ByteBlob blob(48);
    blob.getData()[0] = 1;
    const unsigned char* first = blob.getData();
    blob.refill(40);
    EXPECT_EQ(first, blob.getData());
    EXPECT_EQ(40u, blob.getSize());
    EXPECT_EQ(std::string(40, '\xFF'), std::string(reinterpret_cast<const char*>(blob.getData()), 40));

    blob.refill(64);  // larger than the allocation
    EXPECT_EQ(64u, blob.getSize());
    EXPECT_EQ(std::string(64, '\xFF'), std::string(reinterpret_cast<const char*>(blob.getData()), 64));

    zvf::ByteBlob large(4096);
    const unsigned char* big = large.getData();
    large.refill(16);  // far smaller: the large allocation is given back
    EXPECT_NE(big, large.getData());
    EXPECT_EQ(16u, large.getSize());

    zvf::ByteBlob empty;
    empty.refill(8);
    ASSERT_NE(nullptr, empty.getData());
    EXPECT_EQ(8u, empty.getSize());
}

TEST(ByteBlobTest, SizeCanOnlyShrink) {
    zvf::ByteBlob blob(48);
    blob.shrinkSize(32);
    EXPECT_EQ(32u, blob.getSize());
    blob.shrinkSize(64);
    EXPECT_EQ(32u, blob.getSize());
}

}  // namespace
}  // namespace zvftest
