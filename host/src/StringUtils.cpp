#include "PTKCoreUtils/StringUtils.h"

#include <climits>
#include <cstring>

namespace PTKCoreUtils {

namespace {

const char32_t kReplacement = 0xFFFD;

bool isSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The bounds [begin, end) of what trimming keeps of s[0, size).
template <class Char>
void trimBoundsImpl(const Char* s, std::size_t size, bool right, std::size_t& begin, std::size_t& end) {
    begin = 0;
    end = size;
    while (begin < end && isSpace(s[begin])) {
        ++begin;
    }
    if (right) {
        while (end > begin && isSpace(s[end - 1])) {
            --end;
        }
    }
}

template <class String>
String trimImpl(const String& s, bool right) {
    std::size_t begin = 0;
    std::size_t end = 0;
    trimBoundsImpl(s.data(), s.size(), right, begin, end);
    return s.substr(begin, end - begin);
}

template <class String>
String toLowercaseImpl(const String& s) {
    String result(s);
    for (auto& c : result) {
        c = foldAscii(c);
    }
    return result;
}

template <class String>
bool equalsImpl(const String& a, const String& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && foldAscii(a[i]) != foldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

template <class String>
void splitImpl(const String& s, std::vector<String>& out, const String& delimiter) {
    if (delimiter.empty()) {
        out.push_back(s);
        return;
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t found = s.find(delimiter, start);
        if (found == String::npos) {
            out.push_back(s.substr(start));
            return;
        }
        out.push_back(s.substr(start, found - start));
        start = found + delimiter.size();
    }
}

// Parses an optionally signed decimal number that fills the whole (trimmed)
// text. Accumulates negatively so that INT_MIN parses without overflow.
template <class String>
int toIntImpl(const String& text, int defaultValue) {
    const String s = trimImpl(text, true);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i == s.size()) {
        return defaultValue;
    }
    long long value = 0;  // kept <= 0
    for (; i < s.size(); ++i) {
        const auto c = s[i];
        if (c < '0' || c > '9') {
            return defaultValue;
        }
        value = value * 10 - static_cast<long long>(c - '0');
        if (value < static_cast<long long>(INT_MIN)) {
            return defaultValue;
        }
    }
    if (!negative) {
        value = -value;
        if (value > INT_MAX) {
            return defaultValue;
        }
    }
    return static_cast<int>(value);
}

template <class String>
bool toBoolImpl(const String& text) {
    const String s = toLowercaseImpl(trimImpl(text, true));
    static const char* const kTrue[] = {"true", "1", "yes", "on"};
    for (const char* word : kTrue) {
        const std::size_t length = std::strlen(word);
        if (s.size() != length) {
            continue;
        }
        bool same = true;
        for (std::size_t i = 0; i < length && same; ++i) {
            same = s[i] == static_cast<typename String::value_type>(word[i]);
        }
        if (same) {
            return true;
        }
    }
    return false;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

#if defined(__SSE2__) && (__WCHAR_MAX__ > 0xFFFF)
// Widens the sixteen bytes at bytes into out when none has its high bit set
// (each is zero-extended to a wide character, and with Fold an ASCII capital
// becomes small); false, writing nothing, otherwise.
template <bool Fold>
bool widenSixteenAscii(const unsigned char* bytes, wchar_t* out) {
    __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    if (_mm_movemask_epi8(chunk) != 0) {
        return false;
    }
    if (Fold) {
        // Bytes below 0x80 compare correctly as signed ones.
        const __m128i capital = _mm_and_si128(_mm_cmpgt_epi8(chunk, _mm_set1_epi8('A' - 1)),
                                              _mm_cmplt_epi8(chunk, _mm_set1_epi8('Z' + 1)));
        chunk = _mm_add_epi8(chunk, _mm_and_si128(capital, _mm_set1_epi8(32)));
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_unpacklo_epi8(chunk, zero);
    const __m128i high = _mm_unpackhi_epi8(chunk, zero);
    auto* target = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(target, _mm_unpacklo_epi16(low, zero));
    _mm_storeu_si128(target + 1, _mm_unpackhi_epi16(low, zero));
    _mm_storeu_si128(target + 2, _mm_unpacklo_epi16(high, zero));
    _mm_storeu_si128(target + 3, _mm_unpackhi_epi16(high, zero));
    return true;
}
#endif

// Widens the ASCII bytes that start bytes[0, size) into out, which holds
// size characters (with Fold, lower-cased); returns how many there were.
template <bool Fold>
std::size_t widenAscii(const unsigned char* bytes, std::size_t size, wchar_t* out) {
    std::size_t i = 0;
#if defined(__SSE2__) && (__WCHAR_MAX__ > 0xFFFF)
    while (i + 16 <= size && widenSixteenAscii<Fold>(bytes + i, out + i)) {
        i += 16;
    }
    // The rest of a text of sixteen bytes or more as the last sixteen bytes,
    // some of them widened again.
    if (i < size && size >= 16 && i + 16 > size && widenSixteenAscii<Fold>(bytes + size - 16, out + size - 16)) {
        return size;
    }
#endif
    for (; i < size && bytes[i] < 0x80; ++i) {
        out[i] = Fold ? foldAscii(static_cast<wchar_t>(bytes[i])) : static_cast<wchar_t>(bytes[i]);
    }
    return i;
}

// UTF-8 to UTF-32, with Fold lower-cased as toLowercase does.
template <bool Fold>
std::wstring decodeUtf8(const char* data, std::size_t size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    // Configuration text is nearly always ASCII: widened in one pass that
    // stops at the first byte of any other character, from where the full
    // decoder goes on.
    std::wstring out(size, L'\0');
    const std::size_t ascii = widenAscii<Fold>(bytes, size, &out[0]);
    if (ascii == size) {
        return out;
    }
    out.resize(ascii);
    std::size_t i = ascii;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            cp = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            cp = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            cp = lead & 0x07;
            minimum = 0x10000;
        } else {
            // A stray continuation byte or an impossible lead byte.
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
            continue;
        }
        std::size_t taken = 1;
        while (taken < length && i + taken < size && (bytes[i + taken] & 0xC0) == 0x80) {
            cp = (cp << 6) | (bytes[i + taken] & 0x3F);
            ++taken;
        }
        if (taken < length || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            // Truncated, overlong, out of range or a surrogate: one
            // replacement for the bytes consumed, then resynchronise.
            out.push_back(static_cast<wchar_t>(kReplacement));
            i += taken;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += length;
    }
    if (Fold) {
        for (wchar_t& c : out) {
            c = foldAscii(c);
        }
    }
    return out;
}

}  // namespace

int caseInsensitiveStringCompare(const std::string& a, const std::string& b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(foldAscii(a[i]));
        const auto cb = static_cast<unsigned char>(foldAscii(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string toLowercase(const std::string& s) { return toLowercaseImpl(s); }
std::wstring toLowercase(const std::wstring& s) { return toLowercaseImpl(s); }

std::wstring toWideString(const std::string& s) { return decodeUtf8<false>(s.data(), s.size()); }

std::wstring toWideString(const char* data, std::size_t size) { return decodeUtf8<false>(data, size); }

std::wstring toLowercaseWideString(const char* data, std::size_t size) { return decodeUtf8<true>(data, size); }

std::wstring toWideString(const char* s) {
    if (s == nullptr) {
        return std::wstring();
    }
    return decodeUtf8<false>(s, std::strlen(s));
}

std::wstring toWideString(bool b) { return b ? L"true" : L"false"; }

std::wstring toWideString(int i) { return toWideString(std::to_string(i)); }

std::string toString(const std::wstring& w) {
    std::string out;
    out.reserve(w.size());
    for (wchar_t c : w) {
        // wchar_t is signed on this platform: negative values are invalid too.
        const auto value = static_cast<int64_t>(c);
        char32_t cp = kReplacement;
        if (value >= 0 && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF)) {
            cp = static_cast<char32_t>(value);
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string toString(int i) { return std::to_string(i); }

bool caseInsensitiveStringEquals(const std::string& a, const std::string& b) { return equalsImpl(a, b); }
bool caseInsensitiveStringEquals(const std::wstring& a, const std::wstring& b) { return equalsImpl(a, b); }

uint64_t caseInsensitiveFind(const std::wstring& haystack, const std::wstring& needle) {
    if (needle.empty()) {
        return 0;
    }
    if (needle.size() > haystack.size()) {
        return std::wstring::npos;
    }
    const std::size_t last = haystack.size() - needle.size();
    for (std::size_t start = 0; start <= last; ++start) {
        std::size_t i = 0;
        while (i < needle.size() && foldAscii(haystack[start + i]) == foldAscii(needle[i])) {
            ++i;
        }
        if (i == needle.size()) {
            return start;
        }
    }
    return std::wstring::npos;
}

void split(const std::string& s, std::vector<std::string>& out, const std::string& delimiter) {
    splitImpl(s, out, delimiter);
}

void split(const std::wstring& s, std::vector<std::wstring>& out, const std::wstring& delimiter) {
    splitImpl(s, out, delimiter);
}

int toInt(const std::wstring& w, int defaultValue) { return toIntImpl(w, defaultValue); }
int toInt(const std::string& s, int defaultValue) { return toIntImpl(s, defaultValue); }

bool toBool(const std::string& s) { return toBoolImpl(s); }
bool toBool(const std::wstring& s) { return toBoolImpl(s); }

std::string trim(const std::string& s) { return trimImpl(s, true); }
void trimBounds(const char* data, std::size_t size, std::size_t& begin, std::size_t& end) {
    trimBoundsImpl(data, size, true, begin, end);
}
std::wstring trim(const std::wstring& s) { return trimImpl(s, true); }
std::string trimleft(const std::string& s) { return trimImpl(s, false); }
std::wstring trimleft(const std::wstring& s) { return trimImpl(s, false); }

}  // namespace PTKCoreUtils
