// The Base64 family through its free functions: RFC 4648 vectors for both
// alphabets, line breaks, padding rules, a differential check against
// OpenSSL and a robustness sweep over random and truncated texts.
#include "zvf/Base64.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "zvf/SecureStringReader.h"

namespace zvftest {
namespace {

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

std::string plainOf(const zvf::SecureString& value) {
    zvf::SecureStringReader reader;
    value.getUnsecureString(reader);
    return std::string(reader.c_str(), static_cast<size_t>(reader.getBufSize()));
}

// OpenSSL's encoding of `data`, without line breaks.
std::string opensslEncode(const std::string& data) {
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    out.resize(static_cast<size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]), bytesOf(data),
                                                   static_cast<int>(data.size()))));
    return out;
}

// OpenSSL's decoding of padded text. EVP_DecodeBlock counts the bytes the
// padding stands for, so they are dropped here.
std::string opensslDecode(const std::string& text) {
    std::string out(text.size() / 4 * 3 + 3, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(&out[0]), bytesOf(text),
                                       static_cast<int>(text.size()));
    if (length < 0) {
        return "\xDE\xAD";
    }
    size_t padding = 0;
    for (size_t i = text.size(); i > 0 && text[i - 1] == '=' && padding < 2; --i) {
        ++padding;
    }
    out.resize(static_cast<size_t>(length) - padding);
    return out;
}

std::string toUrlAlphabet(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '+' ? "-" : c == '/' ? "_" : c == '=' ? "%3D" : std::string(1, c);
    }
    return out;
}

std::string withoutNewLines(std::string text) {
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) {
        text.erase(at, 2);
    }
    return text;
}

std::string randomBytes(std::mt19937& random, size_t length) {
    std::string data(length, '\0');
    for (char& c : data) {
        c = static_cast<char>(random());
    }
    return data;
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
        {zvf::base64_encode, "abc", "YWJj"},
        {zvf::base64_encode, "ab", "YWI="},
        {zvf::base64url_encode, "ab", "YWI%3D"},
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

TEST(Base64Test, DecodersNormalisePaddingAndLineBreaksAndAppend) {
    const DecodeCase cases[] = {
        {zvf::base64url_decode, "-_8%3D", "", {0, "\xFB\xFF"}},
        {zvf::base64_decode_without_padding, "YWI", "", {0, "ab"}},
        {zvf::base64url_decode_without_padding, "YQ", "", {0, "a"}},
        {zvf::base64url_decode_without_padding, "YWI%3D", "", {0, "ab"}},  // padding present anyway
        {zvf::base64_decode, "YWI=\r\n", "", {0, "ab"}},
        {zvf::base64_decode, "YWJj=", "", {0, "abc"}},  // surplus padding removed
        {zvf::base64_decode, "YQ==\r\n=\r\n", "", {0, "a"}},
        {zvf::base64url_decode, "YWI%3D", "", {0, "ab"}},
        {zvf::base64url_decode, "YWJj\r\nYWI%3D", "", {0, "abcab"}},  // padding on the break column
        {zvf::base64_decode, "YWJj\r\nYWJj\r\nYQ==", "", {0, "abcabca"}},
        {zvf::base64_decode, "YWI=", "\1\2\3", {0, "\1\2\3ab"}},  // appends to existing bytes
        {zvf::base64url_decode, "Yw%3D%3D", "\1\2\3ab", {0, "\1\2\3abc"}},
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(c.expected, decode(c.decoder, c.text, c.prior)) << c.text;
    }
}

TEST(Base64Test, DecodersRejectMalformedTextsClearingOutputOnlyForBadGroups) {
    const DecodeCase cases[] = {
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

TEST(Base64Test, MatchesOpenSslOnRandomData) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<size_t> lengths(0, 300);
    for (int round = 0; round < 3000; ++round) {
        const std::string data = randomBytes(random, lengths(random));
        SCOPED_TRACE("length " + std::to_string(data.size()));
        const std::string reference = opensslEncode(data);
        const std::string broken = encode(zvf::base64_encode, data, true);
        const std::string unpadded = encode(zvf::base64_encode_without_padding, data, false);
        ASSERT_EQ(reference, encode(zvf::base64_encode, data, false));
        ASSERT_EQ(reference, withoutNewLines(broken));
        ASSERT_EQ(toUrlAlphabet(reference), encode(zvf::base64url_encode, data, false));
        ASSERT_EQ(reference.substr(0, reference.find('=')), unpadded);
        if (data.empty()) {
            continue;
        }
        const Decoded expected(0, data);
        ASSERT_EQ(data, opensslDecode(reference));
        ASSERT_EQ(expected, decode(zvf::base64_decode, reference));
        ASSERT_EQ(expected, decode(zvf::base64_decode, broken));
        ASSERT_EQ(expected, decode(zvf::base64_decode_without_padding, unpadded));
        ASSERT_EQ(expected, decode(zvf::base64url_decode, encode(zvf::base64url_encode, data, true)));
        ASSERT_EQ(expected, decode(zvf::base64url_decode_without_padding,
                                   encode(zvf::base64url_encode_without_padding, data, true)));
    }
}

TEST(Base64Test, DiscreetCodecMatchesTheFamilyCodecOnRandomData) {
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> lengths(1, 300);
    for (int round = 0; round < 500; ++round) {
        const std::string data = randomBytes(random, lengths(random));
        const uint32_t length = static_cast<uint32_t>(data.size());
        for (bool lineBreaks : {false, true}) {
            const zvf::SecureString encoded = zvf::base64_discreet_encode(bytesOf(data), length, lineBreaks);
            std::string expected = encode(zvf::base64_encode, data, lineBreaks);
            // The family encoder also ends a last full line with a break.
            if (lineBreaks && length % 3 == 0 && (length / 3) % 18 == 0) {
                expected.resize(expected.size() - 2);
            }
            ASSERT_EQ(expected, plainOf(encoded)) << "length " << length;
            zvf::SecureString decoded;
            ASSERT_EQ(0, zvf::base64_discreet_decode(encoded, decoded));
            ASSERT_EQ(data, plainOf(decoded));
        }
    }
}

// Hostile texts of three kinds: characters that matter to the decoders in
// any order, valid encodings with a few characters replaced, dropped or
// added, and alphabet runs followed by arbitrary padding and breaks.
std::string randomText(std::mt19937& random, size_t length) {
    static const char kSpecial[] = "ABCDEFabcdef0189+/-_=%3D\r\n\r\n==\r\n%3D\x01\xff ";
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    auto special = [&] { return kSpecial[random() % (sizeof(kSpecial) - 1)]; };
    std::string text;
    switch (random() % 3) {
    case 0:
        for (size_t i = 0; i < length; ++i) {
            text += special();
        }
        break;
    case 1: {
        const std::string data = randomBytes(random, length);
        const FamilyEncoder encoder = random() % 2 == 0 ? zvf::base64_encode : zvf::base64url_encode;
        text = encode(encoder, data, random() % 2 == 0);
        for (int m = static_cast<int>(random() % 4); m > 0 && !text.empty(); --m) {
            const size_t at = random() % text.size();
            switch (random() % 3) {
            case 0:
                text[at] = special();
                break;
            case 1:
                text.erase(at, 1);
                break;
            default:
                text.insert(at, 1, special());
                break;
            }
        }
        break;
    }
    default:
        for (size_t i = 0; i < length; ++i) {
            text += kAlphabet[random() % 64];
        }
        for (int t = static_cast<int>(random() % 5); t > 0; --t) {
            text += std::vector<const char*>{"=", "%3D", "\r\n"}[random() % 3];
        }
        break;
    }
    return text;
}

int expectDocumentedOutcome(FamilyDecoder decoder, const std::string& text) {
    const std::string prior = "\x5A\xA5";
    const Decoded result = decode(decoder, text, prior);
    EXPECT_TRUE(result.first == 0 || result.first == -1 || result.first == -2 || result.first == -3) << result.first;
    if (result.first == 0) {
        EXPECT_EQ(prior, result.second.substr(0, prior.size()));
    } else {
        EXPECT_TRUE(result.second == prior || result.second.empty());
    }
    return result.first;
}

int expectDocumentedDiscreetOutcome(const std::string& text) {
    zvf::SecureString out("sentinel");
    const int result = zvf::base64_discreet_decode(zvf::SecureString(text), out);
    EXPECT_TRUE(result == 0 || result == -1) << result;
    if (result != 0) {
        EXPECT_EQ("sentinel", plainOf(out));
    }
    return result;
}

TEST(Base64Test, DecodersSurviveRandomAndTruncatedTexts) {
    const FamilyDecoder decoders[] = {zvf::base64_decode, zvf::base64_decode_without_padding,
                                      zvf::base64url_decode, zvf::base64url_decode_without_padding};
    std::mt19937 random(99);
    std::uniform_int_distribution<size_t> lengths(0, 200);
    std::map<int, int> outcomes;
    std::map<int, int> discreetOutcomes;
    for (int round = 0; round < 20000 && !HasFailure(); ++round) {
        const std::string text = randomText(random, lengths(random));
        for (FamilyDecoder decoder : decoders) {
            ++outcomes[expectDocumentedOutcome(decoder, text)];
        }
        if (round % 4 == 0) {
            ++discreetOutcomes[expectDocumentedDiscreetOutcome(text)];
        }
    }
    // The texts reach every stage: some decode, some are refused.
    EXPECT_GT(outcomes[0], 1000);
    EXPECT_GT(outcomes[-1], 0);
    EXPECT_GT(outcomes[-2], 1000);
    EXPECT_GT(discreetOutcomes[0], 100);
    EXPECT_GT(discreetOutcomes[-1], 100);

    // Valid encodings with line breaks, cut at every length.
    for (size_t length : {1u, 2u, 55u, 56u, 110u}) {
        const std::string data = randomBytes(random, length);
        for (FamilyEncoder encoder : {zvf::base64_encode, zvf::base64url_encode, zvf::base64_encode_without_padding}) {
            const std::string whole = encode(encoder, data, true);
            for (size_t cut = 0; cut <= whole.size(); ++cut) {
                for (FamilyDecoder decoder : decoders) {
                    expectDocumentedOutcome(decoder, whole.substr(0, cut));
                    expectDocumentedOutcome(decoder, whole.substr(cut));
                }
                expectDocumentedDiscreetOutcome(whole.substr(0, cut));
            }
        }
    }
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
