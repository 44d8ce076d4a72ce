// The Base64 family through its free functions: RFC 4648 vectors for both
// alphabets, line breaks and padding rules. The comparison with OpenSSL and
// with the discreet codec on any data, and decoding of hostile and truncated
// texts, are properties of fuzz/Base64Fuzzer.cpp.
#include "zvf/Base64.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"

namespace zvftest {
namespace {

using nuvrixtest::plainOf;
using Bytes = std::vector<unsigned char>;
using FamilyEncoder = std::string (*)(const unsigned char*, uint32_t, bool);
using FamilyDecoder = int (*)(const std::string&, Bytes&);
using Decoded = std::pair<int, std::string>;  // result code, then the whole of `out`

const unsigned char* bytesOf(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

std::string encode(FamilyEncoder encoder, const std::string& data, bool lineBreaks) {
    return encoder(bytesOf(data), static_cast<uint32_t>(data.size()), lineBreaks);
}

// Decodes `text` into an output that already holds `prior`.
Decoded decode(FamilyDecoder decoder, const std::string& text, const std::string& prior = "") {
    Bytes out(prior.begin(), prior.end());
    const int result = decoder(text, out);
    return {result, std::string(out.begin(), out.end())};
}

struct Vector {
    const char* plain;
    const char* base64;
    const char* base64url;
};

// RFC 4648, section 10.
const Vector kRfcVectors[] = {
    {"", "", ""},
    {"f", "Zg==", "Zg%3D%3D"},
    {"fo", "Zm8=", "Zm8%3D"},
    {"foo", "Zm9v", "Zm9v"},
    {"foob", "Zm9vYg==", "Zm9vYg%3D%3D"},
    {"fooba", "Zm9vYmE=", "Zm9vYmE%3D"},
    {"foobar", "Zm9vYmFy", "Zm9vYmFy"},
};

TEST(Base64Test, RfcVectorsEncodeAndDecodeInBothAlphabets) {
    for (const Vector& v : kRfcVectors) {
        SCOPED_TRACE(v.plain);
        EXPECT_EQ(v.base64, encode(zvf::base64_encode, v.plain, false));
        EXPECT_EQ(v.base64url, encode(zvf::base64url_encode, v.plain, false));
        if (*v.plain != '\0') {
            EXPECT_EQ(Decoded(0, v.plain), decode(zvf::base64_decode, v.base64));
            EXPECT_EQ(Decoded(0, v.plain), decode(zvf::base64url_decode, v.base64url));
        }
    }
}

TEST(Base64Test, EncodersUseTheirAlphabetAndPaddingAndGiveNothingForNoData) {
    const struct {
        FamilyEncoder encoder;
        std::string data;
        std::string expected;
    } cases[] = {
        {zvf::base64_encode, "\xFB\xFF", "+/8="},
        {zvf::base64url_encode, "\xFB\xFF", "-_8%3D"},  // alphabets differ in the last two characters
        {zvf::base64_encode_without_padding, "ab", "YWI"},
        {zvf::base64url_encode_without_padding, "a", "YQ"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, encode(c.encoder, c.data, false)) << c.data;
    }
    EXPECT_EQ("", zvf::base64_encode(nullptr, 5, true));
    EXPECT_EQ("", zvf::base64_encode(bytesOf("abc"), 0, true));
    EXPECT_EQ("", zvf::base64url_encode_without_padding(nullptr, 3, false));
    EXPECT_TRUE(zvf::base64_discreet_encode(nullptr, 3, false).empty());
    EXPECT_TRUE(zvf::base64_discreet_encode(bytesOf("abc"), 0, false).empty());
}

TEST(Base64Test, LineBreakFollowsEveryFullLineIncludingTheLastButNotInTheDiscreetEncoder) {
    const std::string data54(54, 'x');
    const std::string line54 = encode(zvf::base64_encode, data54, false);
    ASSERT_EQ(72u, line54.size());
    EXPECT_EQ(line54 + "\r\n", encode(zvf::base64_encode, data54, true));
    EXPECT_EQ(line54, plainOf(zvf::base64_discreet_encode(bytesOf(data54), 54, true)));

    const std::string data57(57, 'x');
    const std::string whole57 = encode(zvf::base64_encode, data57, false);
    ASSERT_EQ(76u, whole57.size());
    const std::string broken57 = whole57.substr(0, 72) + "\r\n" + whole57.substr(72);
    EXPECT_EQ(broken57, encode(zvf::base64_encode, data57, true));
    EXPECT_EQ(broken57, plainOf(zvf::base64_discreet_encode(bytesOf(data57), 57, true)));

    // Three full lines of url text, then the padded remainder.
    const std::string data163(163, 'q');
    const std::string url = encode(zvf::base64url_encode, data163, true);
    EXPECT_EQ(3u * 74 + 2 + 2 * 3, url.size());
    EXPECT_EQ("%3D", url.substr(url.size() - 3));
    EXPECT_EQ(Decoded(0, data163), decode(zvf::base64url_decode, url));
}

struct DecodeCase {
    FamilyDecoder decoder;
    std::string text;
    std::string prior;  // what `out` holds before the call
    Decoded expected;
};

TEST(Base64Test, DecodersNormalisePaddingAndLineBreaksAppendAndRejectMalformedTexts) {
    const DecodeCase cases[] = {
        {zvf::base64url_decode, "-_8%3D", "", {0, "\xFB\xFF"}},
        {zvf::base64_decode_without_padding, "YWI", "", {0, "ab"}},
        {zvf::base64url_decode_without_padding, "YQ", "", {0, "a"}},
        {zvf::base64url_decode_without_padding, "YWI%3D", "", {0, "ab"}},  // padding present anyway
        {zvf::base64_decode, "YWI=\r\n", "", {0, "ab"}},
        {zvf::base64_decode, "YWJj=", "", {0, "abc"}},  // surplus padding removed
        {zvf::base64_decode, "YQ==\r\n=\r\n", "", {0, "a"}},
        {zvf::base64url_decode, "YWJj\r\nYWI%3D", "", {0, "abcab"}},  // padding on the break column
        {zvf::base64_decode, "YWJj\r\nYWJj\r\nYQ==", "", {0, "abcabca"}},
        {zvf::base64_decode, "YWI=", "\1\2\3", {0, "\1\2\3ab"}},  // appends to existing bytes
        {zvf::base64url_decode, "Yw%3D%3D", "\1\2\3ab", {0, "\1\2\3abc"}},
        // Failures before the groups leave `out` alone.
        {zvf::base64_decode, "", "\7", {-1, "\7"}},
        {zvf::base64_decode, "YWI", "\7", {-2, "\7"}},   // missing padding
        {zvf::base64_decode, "Y", "\7", {-2, "\7"}},     // impossible length
        {zvf::base64_decode, "YW=I", "\7", {-2, "\7"}},  // padding in the middle
        {zvf::base64_decode, "YQ==YWJj", "\7", {-2, "\7"}},
        {zvf::base64_decode, "YWJj\r\nYWJjYWJj", "\7", {-2, "\7"}},  // longer second line
        {zvf::base64url_decode, "YWI%3", "\7", {-2, "\7"}},
        {zvf::base64_decode_without_padding, "Y", "\7", {-2, "\7"}},
        // A group failure clears it.
        {zvf::base64_decode, "YWJjYW\x01j", "\7\10", {-2, ""}},
        {zvf::base64_decode, "YW*j", "\7", {-2, ""}},  // outside the alphabet
        {zvf::base64url_decode, "+/8%3D", "\7", {-2, ""}},
        {zvf::base64_decode, "-_8=", "\7", {-2, ""}},
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(c.expected, decode(c.decoder, c.text, c.prior)) << c.text;
    }
}

TEST(Base64Test, DiscreetDecoderAcceptsPaddedTextAndRejectsIncompleteGroups) {
    zvf::SecureString out("unchanged");
    for (const char* bad : {"YWJjY", "", "\r\n", "YW*j"}) {
        EXPECT_EQ(-1, zvf::base64_discreet_decode(zvf::SecureString(bad), out)) << bad;
    }
    EXPECT_EQ("unchanged", plainOf(out));
    EXPECT_EQ(0, zvf::base64_discreet_decode(zvf::SecureString("YWI="), out));
    EXPECT_EQ("ab", plainOf(out));
    EXPECT_EQ(0, zvf::base64_discreet_decode(zvf::SecureString("YWJj\r\nYWI="), out));
    EXPECT_EQ("abcab", plainOf(out));
}

TEST(Base64Test, ManyPaddingStringsAreHandledInLinearTime) {
    std::string text = "YWJj\r\n";
    for (int i = 0; i < 200000; ++i) {
        text += "=\r\n";
    }
    EXPECT_EQ(Decoded(0, "abc"), decode(zvf::base64_decode, text));
    std::string url = "YQ";
    for (int i = 0; i < 100000; ++i) {
        url += "%3D";
    }
    EXPECT_EQ(Decoded(0, "a"), decode(zvf::base64url_decode, url));
}

}  // namespace
}  // namespace zvftest
