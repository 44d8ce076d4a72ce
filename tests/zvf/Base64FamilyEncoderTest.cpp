// The helpers of the table-driven codec, each on the texts it exists for.
#include "zvf/Base64FamilyEncoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zvf/Base64Encoding.h"
#include "zvf/Base64urlEncoding.h"

namespace zvftest {
namespace {

class Base64FamilyEncoderTest : public ::testing::Test {
protected:
    zvf::Base64FamilyEncoder base64{zvf::Base64Encoding::getInstance()};
    zvf::Base64FamilyEncoder url{zvf::Base64urlEncoding::getInstance()};
};

TEST_F(Base64FamilyEncoderTest, MissingPaddingIsCountedWithoutLineSeparators) {
    std::string text = "YWJj\r\nYQ";
    base64.addMissingPaddingChars(text);
    EXPECT_EQ("YWJj\r\nYQ==", text);
    std::string whole = "YWJj\r\n";
    base64.addMissingPaddingChars(whole);
    EXPECT_EQ("YWJj\r\n", whole);
    std::string urlText = "YWI";
    url.addMissingPaddingChars(urlText);
    EXPECT_EQ("YWI%3D", urlText);
}

TEST_F(Base64FamilyEncoderTest, PaddingMayOnlyEndTheText) {
    size_t count = 99;
    EXPECT_EQ(0, base64.getPaddingChars("YWJj", count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(0, base64.getPaddingChars("YQ==\r\n=\r\n", count));
    EXPECT_EQ(3u, count);
    EXPECT_EQ(-2, base64.getPaddingChars("YQ==YQ==", count));
    EXPECT_EQ(-2, base64.getPaddingChars("YQ=\r=", count));
    EXPECT_EQ(0, url.getPaddingChars("YQ%3D\r\n%3D", count));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(-2, url.getPaddingChars("YQ%3D%3", count));
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
    std::string text = "YWJj=\r\n=";
    size_t count = 2;
    EXPECT_EQ(0, base64.removeUnnecessaryEncodedPaddingChars(text, 1, count));
    EXPECT_EQ("YWJj\r\n", text);
    EXPECT_EQ(0u, count);

    std::string partly = "YQ===";
    count = 3;
    EXPECT_EQ(0, base64.removeUnnecessaryEncodedPaddingChars(partly, 0, count));
    EXPECT_EQ("YQ==", partly);
    EXPECT_EQ(2u, count);

    std::string tooFew = "YQ=";
    count = 1;
    EXPECT_EQ(-2, base64.removeUnnecessaryEncodedPaddingChars(tooFew, 0, count));

    std::string absent = "YWJj";
    count = 4;  // claims padding strings that are not there
    EXPECT_EQ(-3, base64.removeUnnecessaryEncodedPaddingChars(absent, 0, count));

    std::string urlText = "YWI%3D%3D%3D";
    count = 3;
    EXPECT_EQ(0, url.removeUnnecessaryEncodedPaddingChars(urlText, 0, count));
    EXPECT_EQ("YWI%3D", urlText);
    EXPECT_EQ(1u, count);
}

TEST_F(Base64FamilyEncoderTest, LineSeparatorsAreErasedButLoneBreakCharactersStay) {
    std::string text = "YW\r\nJj\r\n\r\nYQ==\r\n";
    zvf::Base64FamilyEncoder::eraseNewLines(text);
    EXPECT_EQ("YWJjYQ==", text);
    std::string lone = "Y\rW\nI\r\r\n=";
    zvf::Base64FamilyEncoder::eraseNewLines(lone);
    EXPECT_EQ("Y\rW\nI\r=", lone);
}

TEST_F(Base64FamilyEncoderTest, GroupsOutsideTheAlphabetAreRejected) {
    EXPECT_TRUE(base64.checkCharGroup("Zm9v"));
    EXPECT_TRUE(base64.checkCharGroup("Zg=="));
    EXPECT_FALSE(base64.checkCharGroup("Zm9-"));
    EXPECT_TRUE(url.checkCharGroup("Zm9-"));
    EXPECT_FALSE(url.checkCharGroup("Z\0gg"));

    unsigned char out[3] = {1, 2, 3};
    EXPECT_EQ(0, base64.decodeGroup("Zm9v", out));
    EXPECT_EQ('f', out[0]);
    EXPECT_EQ('o', out[1]);
    EXPECT_EQ('o', out[2]);
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
