#include "PTKCoreUtils/StringUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace PTKCoreUtils;

TEST(StringUtilsTest, NonAsciiTextRoundTripsBetweenUtf8AndWide) {
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80 \xE6\x97\xA5\xE6\x9C\xAC";
    const std::wstring wide = toWideString(utf8);
    EXPECT_EQ((std::wstring{L'G', L'r', 0xFC, 0xDF, L'e', L' ', 0x20AC, L' ', 0x1F600, L' ', 0x65E5, 0x672C}), wide);
    EXPECT_EQ(utf8, toString(wide));
    EXPECT_EQ(L"plain", toWideString("plain"));
    EXPECT_EQ(L"", toWideString(static_cast<const char*>(nullptr)));
}

TEST(StringUtilsTest, InvalidUtf8BecomesReplacementCharacters) {
    const wchar_t r = 0xFFFD;
    EXPECT_EQ((std::wstring{L'a', r, L'b'}), toWideString(std::string("a\x80" "b")));      // stray continuation
    EXPECT_EQ((std::wstring{L'a', r, L'b'}), toWideString(std::string("a\xE2\x82" "b")));  // truncated sequence
    EXPECT_EQ((std::wstring{r}), toWideString(std::string("\xF0\x9F\x98")));              // truncated at the end
    EXPECT_EQ((std::wstring{r, L'/'}), toWideString(std::string("\xC0\xAF/")));             // overlong
    EXPECT_EQ((std::wstring{r}), toWideString(std::string("\xED\xA0\x80")));              // surrogate
    EXPECT_EQ((std::wstring{r, r}), toWideString(std::string("\xFF\xFE")));
    EXPECT_EQ((std::wstring{L'x', 0, L'y'}), toWideString(std::string("x\0y", 3)));
    // Wide values that are no code points come out as U+FFFD.
    EXPECT_EQ("\xEF\xBF\xBD\xEF\xBF\xBD" "a",
              toString(std::wstring{static_cast<wchar_t>(0x110000), static_cast<wchar_t>(0xD800), L'a'}));
}

TEST(StringUtilsTest, WideningAgreesCharacterForCharacterAtEveryLengthAndLowerCasesInTheSamePass) {
    // Lengths on both sides of the sixteen-byte steps, all ASCII and with one
    // two-byte character at each position; the characters around 'A'-'Z'
    // and 'a'-'z' stay as they are.
    const std::string ascii = "Az@[`{Key_Setting_VALUE-0123456789/URL?x=";
    for (std::size_t length = 0; length <= 40; ++length) {
        const std::string text = ascii.substr(0, length);
        const std::wstring wide(text.begin(), text.end());
        EXPECT_EQ(wide, toWideString(text.data(), text.size())) << length;
        EXPECT_EQ(toLowercase(wide), toLowercaseWideString(text.data(), text.size())) << length;
        for (std::size_t at = 0; at < length; ++at) {
            std::string mixed = text;
            mixed.replace(at, 1, "\xC3\x84");
            std::wstring mixedWide = wide;
            mixedWide[at] = 0xC4;
            EXPECT_EQ(mixedWide, toWideString(mixed.data(), mixed.size())) << length << " " << at;
            EXPECT_EQ(toLowercase(mixedWide), toLowercaseWideString(mixed.data(), mixed.size())) << length << " " << at;
        }
    }
}

TEST(StringUtilsTest, CaseInsensitiveOperationsFoldAsciiOnly) {
    EXPECT_EQ(0, caseInsensitiveStringCompare(L"Telephony_P2P_Enabled", L"telephony_p2p_ENABLED"));
    EXPECT_GT(0, caseInsensitiveStringCompare(L"apple", L"BANANA"));
    EXPECT_LT(0, caseInsensitiveStringCompare(L"Zebra", L"apple"));
    EXPECT_GT(0, caseInsensitiveStringCompare(L"abc", L"ABCD"));
    EXPECT_EQ(0, caseInsensitiveStringCompare(std::string("MiXeD"), std::string("mixed")));
    // '_' sits between upper and lower case letters: folding decides the order.
    EXPECT_LT(0, caseInsensitiveStringCompare(L"A", L"_"));
    EXPECT_TRUE(caseInsensitiveStringEquals(L"ConfigKey", L"CONFIGKEY"));
    EXPECT_TRUE(caseInsensitiveStringEquals(std::string("ConfigKey"), std::string("configkey")));
    EXPECT_FALSE(caseInsensitiveStringEquals(std::string("ConfigKey"), std::string("configkey2")));
    EXPECT_FALSE(caseInsensitiveStringEquals(std::wstring{0xC4}, std::wstring{0xE4}));  // not ASCII
    EXPECT_EQ(L"mixed \x00C4", toLowercase(std::wstring(L"MiXeD \x00C4")));
    EXPECT_EQ("mixed-123", toLowercase(std::string("MiXeD-123")));
}

TEST(StringUtilsTest, CaseInsensitiveFindReportsTheFirstPosition) {
    EXPECT_EQ(0u, caseInsensitiveFind(L"HmxServerConfig", L"hmx"));
    EXPECT_EQ(3u, caseInsensitiveFind(L"HmxServerConfig", L"SERVER"));
    EXPECT_EQ(0u, caseInsensitiveFind(L"abc", L""));
    EXPECT_EQ(static_cast<uint64_t>(std::wstring::npos), caseInsensitiveFind(L"abc", L"abcd"));
    EXPECT_EQ(static_cast<uint64_t>(std::wstring::npos), caseInsensitiveFind(L"PresenceStore", L"tftp"));
    EXPECT_EQ(2u, caseInsensitiveFind(L"aaAAb", L"aab"));
}

TEST(StringUtilsTest, SplitKeepsEmptyPieces) {
    std::vector<std::string> out{"kept"};
    split(std::string("a,,b,"), out, std::string(","));
    EXPECT_EQ((std::vector<std::string>{"kept", "a", "", "b", ""}), out);
    std::vector<std::wstring> wide;
    split(std::wstring(L""), wide, std::wstring(L";"));
    EXPECT_EQ((std::vector<std::wstring>{L""}), wide);
    wide.clear();
    split(std::wstring(L"k1::k2"), wide, std::wstring(L"::"));
    EXPECT_EQ((std::vector<std::wstring>{L"k1", L"k2"}), wide);
    wide.clear();
    split(std::wstring(L"whole"), wide, std::wstring());
    EXPECT_EQ((std::vector<std::wstring>{L"whole"}), wide);
}

TEST(StringUtilsTest, ToIntAcceptsOnlyAWholeNumberInRange) {
    const std::pair<std::string, int> cases[] = {
        {"42", 42},      {" -17 ", -17},        {"+5", 5},   {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
        {"007", 7},      {"2147483648", -1},    {"-2147483649", -1}, {"99999999999999999999999", -1},
        {"12abc", -1},   {"1 2", -1},           {"", -1},    {"-", -1},               {"0x10", -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, toInt(toWideString(c.first), -1)) << "\"" << c.first << "\"";
        EXPECT_EQ(c.second, toInt(c.first, -1)) << "\"" << c.first << "\"";
    }
}

TEST(StringUtilsTest, ToBoolAcceptsTheTrueWordsInAnyCase) {
    for (const char* yes : {"true", "TRUE", "1", "yes", "Yes", "on", " On\t"}) {
        EXPECT_TRUE(toBool(std::string(yes))) << yes;
        EXPECT_TRUE(toBool(toWideString(yes))) << yes;
    }
    for (const char* no : {"false", "0", "no", "off", "", "2", "truee", "y", "t rue"}) {
        EXPECT_FALSE(toBool(std::string(no))) << no;
        EXPECT_FALSE(toBool(toWideString(no))) << no;
    }
}

TEST(StringUtilsTest, NumbersBooleansAndTrimming) {
    EXPECT_EQ(L"true", toWideString(true));
    EXPECT_EQ(L"false", toWideString(false));
    EXPECT_EQ(L"-12", toWideString(-12));
    EXPECT_EQ("1300", toString(1300));
    EXPECT_EQ("a b", trim(std::string(" \t\r\na b\v\f ")));
    EXPECT_EQ(L"a b ", trimleft(std::wstring(L"  a b ")));
    EXPECT_EQ(L"", trim(std::wstring(L"   ")));
}
