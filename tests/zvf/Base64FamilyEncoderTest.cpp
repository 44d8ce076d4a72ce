// The helpers of the table-driven codec, each on the texts it exists for.
#include "zvf/Base64FamilyEncoder.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "zvf/Base64Encoding.h"
#include "zvf/Base64urlEncoding.h"

namespace zvftest {
namespace {

using zvf::Base64FamilyEncoder;

class Base64FamilyEncoderTest : public ::testing::Test {
protected:
    static std::string padded(const Base64FamilyEncoder& encoder, std::string text) {
        encoder.addMissingPaddingChars(text);
        return text;
    }
    // Result code, padding count afterwards.
    static std::pair<int, size_t> paddingOf(const Base64FamilyEncoder& encoder, const std::string& text) {
        size_t count = 99;
        const int result = encoder.getPaddingChars(text, count);
        return {result, count};
    }
    // Result code, text and padding count afterwards.
    static std::tuple<int, std::string, size_t> withoutSurplus(const Base64FamilyEncoder& encoder, std::string text,
                                                               size_t newLines, size_t count) {
        const int result = encoder.removeUnnecessaryEncodedPaddingChars(text, newLines, count);
        return std::make_tuple(result, text, count);
    }
    static std::string erased(std::string text) {
        Base64FamilyEncoder::eraseNewLines(text);
        return text;
    }

    Base64FamilyEncoder base64{zvf::Base64Encoding::getInstance()};
    Base64FamilyEncoder url{zvf::Base64urlEncoding::getInstance()};
};

TEST_F(Base64FamilyEncoderTest, MissingPaddingIsCountedWithoutLineSeparators) {
    EXPECT_EQ("YWJj\r\nYQ==", padded(base64, "YWJj\r\nYQ"));
    EXPECT_EQ("YWJj\r\n", padded(base64, "YWJj\r\n"));
    EXPECT_EQ("YWI%3D", padded(url, "YWI"));
}

TEST_F(Base64FamilyEncoderTest, PaddingMayOnlyEndTheText) {
    using Count = std::pair<int, size_t>;
    EXPECT_EQ(Count(0, 0), paddingOf(base64, "YWJj"));
    EXPECT_EQ(Count(0, 3), paddingOf(base64, "YQ==\r\n=\r\n"));
    EXPECT_EQ(-2, paddingOf(base64, "YQ==YQ==").first);
    EXPECT_EQ(-2, paddingOf(base64, "YQ=\r=").first);
    EXPECT_EQ(Count(0, 2), paddingOf(url, "YQ%3D\r\n%3D"));
    EXPECT_EQ(-2, paddingOf(url, "YQ%3D%3").first);
}

TEST_F(Base64FamilyEncoderTest, EveryLineMustBeAsLongAsTheFirst) {
    EXPECT_EQ(0, base64.weakCheckNewLines("YWJjYWJj"));
    EXPECT_EQ(0, base64.weakCheckNewLines("YWJj\r\nYWJj\r\nYQ=="));
    EXPECT_EQ(0, base64.weakCheckNewLines("YWJj\r\nYW"));
    EXPECT_EQ(-2, base64.weakCheckNewLines("YWJj\r\nYWJjYQ=="));
    EXPECT_EQ(-2, base64.weakCheckNewLines("YWJjYWJj\r\nYQ\r\nYWJjYWJj"));
    // The break column may fall inside "%3D".
    EXPECT_EQ(0, url.weakCheckNewLines("YWJj\r\nYW%3D"));
}

TEST_F(Base64FamilyEncoderTest, DataLengthOfOneModuloFourIsImpossible) {
    EXPECT_EQ(0, base64.checkInputSize("YWJj", 0, 0));
    EXPECT_EQ(-2, base64.checkInputSize("YWJjY", 0, 0));
    EXPECT_EQ(-2, base64.checkInputSize("YWJjY\r\n", 1, 0));
    EXPECT_EQ(0, base64.checkInputSize("YWJjYQ\r\n", 1, 0));
    EXPECT_EQ(0, base64.checkInputSize("YQ==", 0, 2));
    EXPECT_EQ(-2, base64.checkInputSize("Y===", 0, 3));
    EXPECT_EQ(0, url.checkInputSize("YQ%3D%3D", 0, 2));
    EXPECT_EQ(-2, base64.checkInputSize("==", 2, 2));  // more non-data than text
}

TEST_F(Base64FamilyEncoderTest, SurplusPaddingIsRemovedFromTheEnd) {
    using Outcome = std::tuple<int, std::string, size_t>;
    EXPECT_EQ(Outcome(0, "YWJj\r\n", 0), withoutSurplus(base64, "YWJj=\r\n=", 1, 2));
    EXPECT_EQ(Outcome(0, "YQ==", 2), withoutSurplus(base64, "YQ===", 0, 3));
    EXPECT_EQ(-2, std::get<0>(withoutSurplus(base64, "YQ=", 0, 1)));
    EXPECT_EQ(-3, std::get<0>(withoutSurplus(base64, "YWJj", 0, 4)));  // claims padding that is not there
    EXPECT_EQ(Outcome(0, "YWI%3D", 1), withoutSurplus(url, "YWI%3D%3D%3D", 0, 3));
}

TEST_F(Base64FamilyEncoderTest, LineSeparatorsAreErasedButLoneBreakCharactersStay) {
    EXPECT_EQ("YWJjYQ==", erased("YW\r\nJj\r\n\r\nYQ==\r\n"));
    EXPECT_EQ("Y\rW\nI\r=", erased("Y\rW\nI\r\r\n="));
}

TEST_F(Base64FamilyEncoderTest, GroupsOutsideTheAlphabetAreRejected) {
    EXPECT_TRUE(base64.checkCharGroup("Zm9v"));
    EXPECT_TRUE(base64.checkCharGroup("Zg=="));
    EXPECT_FALSE(base64.checkCharGroup("Zm9-"));
    EXPECT_TRUE(url.checkCharGroup("Zm9-"));
    EXPECT_FALSE(url.checkCharGroup("Z\0gg"));

    unsigned char out[3] = {1, 2, 3};
    EXPECT_EQ(0, base64.decodeGroup("Zm9v", out));
    EXPECT_EQ("foo", std::string(out, out + 3));
    unsigned char untouched[3] = {1, 2, 3};
    EXPECT_EQ(-2, base64.decodeGroup("Zm9!", untouched));
    EXPECT_EQ(1, untouched[0]);
}

TEST_F(Base64FamilyEncoderTest, StrayBreakCharacterIsRejectedByTheGroupDecoder) {
    // A stray carriage return counts as data, so the length checks pass and
    // the group decoder refuses it.
    std::vector<unsigned char> out{9};
    EXPECT_EQ(-2, base64.decode("YW\rJ", out));
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace zvftest
