// The discreet codec in caller-sized buffers: exact lengths, no writes past
// them, and decoding of hostile texts.
#include "zvf/Base64DiscreetEncoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace zvftest {
namespace {

using zvf::Base64DiscreetEncoder;

std::string encodeDiscreetly(const std::string& data, bool lineBreaks) {
    const size_t length =
        Base64DiscreetEncoder::computeEncodedMessageLength(static_cast<uint32_t>(data.size()), lineBreaks);
    // Guard bytes behind the computed length must stay untouched.
    std::vector<char> buffer(length + 8, '#');
    Base64DiscreetEncoder::encode(buffer.data(), reinterpret_cast<const unsigned char*>(data.data()),
                                  static_cast<uint32_t>(data.size()), lineBreaks);
    EXPECT_EQ(std::string(8, '#'), std::string(buffer.begin() + static_cast<long>(length), buffer.end()));
    return std::string(buffer.data(), length);
}

TEST(Base64DiscreetEncoderTest, EncodedLengthCountsGroupsAndInnerBreaks) {
    EXPECT_EQ(0u, Base64DiscreetEncoder::computeEncodedMessageLength(0, true));
    EXPECT_EQ(4u, Base64DiscreetEncoder::computeEncodedMessageLength(1, true));
    EXPECT_EQ(72u, Base64DiscreetEncoder::computeEncodedMessageLength(54, true));
    EXPECT_EQ(78u, Base64DiscreetEncoder::computeEncodedMessageLength(55, true));
    EXPECT_EQ(76u, Base64DiscreetEncoder::computeEncodedMessageLength(55, false));
    EXPECT_EQ(146u, Base64DiscreetEncoder::computeEncodedMessageLength(108, true));
}

TEST(Base64DiscreetEncoderTest, EncodesIntoExactlyTheComputedLength) {
    EXPECT_EQ("YQ==", encodeDiscreetly("a", false));
    EXPECT_EQ("YWI=", encodeDiscreetly("ab", true));
    EXPECT_EQ("YWJj", encodeDiscreetly("abc", true));
    const std::string line(72, 'A');  // zero bytes encode to "A"
    EXPECT_EQ(line, encodeDiscreetly(std::string(54, '\0'), true));
    EXPECT_EQ(line + "\r\n" + line, encodeDiscreetly(std::string(108, '\0'), true));
    EXPECT_EQ(line + "\r\nAA==", encodeDiscreetly(std::string(55, '\0'), true));
}

TEST(Base64DiscreetEncoderTest, EncoderIgnoresNullArguments) {
    char buffer[4] = {'#', '#', '#', '#'};
    Base64DiscreetEncoder::encode(buffer, nullptr, 3, false);
    Base64DiscreetEncoder::encode(nullptr, reinterpret_cast<const unsigned char*>("abc"), 3, false);
    Base64DiscreetEncoder::encode(buffer, reinterpret_cast<const unsigned char*>("abc"), 0, false);
    EXPECT_EQ(std::string(4, '#'), std::string(buffer, 4));
}

TEST(Base64DiscreetEncoderTest, DecodedLengthSubtractsTrailingPadding) {
    EXPECT_EQ(0u, Base64DiscreetEncoder::computeDecodedMessageLength(nullptr, 4));
    EXPECT_EQ(0u, Base64DiscreetEncoder::computeDecodedMessageLength("YWJj", 0));
    EXPECT_EQ(3u, Base64DiscreetEncoder::computeDecodedMessageLength("YWJj", 4));
    EXPECT_EQ(2u, Base64DiscreetEncoder::computeDecodedMessageLength("YWI=", 4));
    EXPECT_EQ(1u, Base64DiscreetEncoder::computeDecodedMessageLength("YQ==", 4));
    EXPECT_EQ(4u, Base64DiscreetEncoder::computeDecodedMessageLength("YWJj\r\nYQ==", 10));
    EXPECT_EQ(0u, Base64DiscreetEncoder::computeDecodedMessageLength("YWJjY", 5));
}

int decodeDiscreetly(const std::string& text, std::string& out) {
    const size_t capacity = Base64DiscreetEncoder::computeDecodedMessageLength(text.data(), text.size());
    std::vector<unsigned char> buffer(capacity + 1, 0xEE);
    size_t written = 99;
    const int result = Base64DiscreetEncoder::decode(buffer.data(), text.data(), text.size(), &written);
    EXPECT_LE(written, capacity);
    EXPECT_EQ(0xEE, buffer[capacity]);  // nothing past the computed length
    out.assign(buffer.begin(), buffer.begin() + static_cast<long>(written));
    return result;
}

TEST(Base64DiscreetEncoderTest, DecodesGroupsSkippingLineBreaks) {
    std::string out;
    EXPECT_EQ(0, decodeDiscreetly("YWI=", out));
    EXPECT_EQ("ab", out);
    EXPECT_EQ(0, decodeDiscreetly("YW\r\nJj\nYQ\r==", out));
    EXPECT_EQ("abca", out);
    // Padding inside the text ends its own group only.
    EXPECT_EQ(0, decodeDiscreetly("YQ==YWJj", out));
    EXPECT_EQ("aabc", out);
}

TEST(Base64DiscreetEncoderTest, RejectsIncompleteGroupsAndForeignCharacters) {
    std::string out;
    EXPECT_EQ(-1, decodeDiscreetly("YWJjY", out));
    EXPECT_EQ(-1, decodeDiscreetly("YWJj\r\nY", out));
    // Bytes of the groups before the bad character stay written.
    EXPECT_EQ(-1, decodeDiscreetly("YWJjYW-j", out));
    EXPECT_EQ("abc", out);
    unsigned char buffer[3];
    EXPECT_EQ(-1, Base64DiscreetEncoder::decode(nullptr, "YWJj", 4));
    EXPECT_EQ(-1, Base64DiscreetEncoder::decode(buffer, nullptr, 4));
    EXPECT_EQ(-1, Base64DiscreetEncoder::decode(buffer, "YWJj", 0));
}

TEST(Base64DiscreetEncoderTest, NeverWritesPastTheComputedLengthForPaddingOnlyTexts) {
    const char* texts[] = {"====", "=\r\n===", "A=\r\n==", "AB=A", "==\r\n\r\n==", "AAA=\r\n", "A\r\n=B=="};
    for (const char* text : texts) {
        std::string out;
        const int result = decodeDiscreetly(text, out);
        EXPECT_TRUE(result == 0 || result == -1) << text;
    }
}

}  // namespace
}  // namespace zvftest
