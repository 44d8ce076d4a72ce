#ifndef PTKCOREUTILS_STRINGUTILS_H
#define PTKCOREUTILS_STRINGUTILS_H

#include <cstdint>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "NuvrixHostExport.h"

// String helpers of the host. Behaviour does not depend on the process
// locale: narrow strings are UTF-8, wide strings UTF-32; case folding maps
// ASCII letters only, the same way everywhere (so that configuration keys
// compare identically on every machine).
namespace PTKCoreUtils {

// ASCII-only lower-casing of one character.
inline wchar_t foldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }
inline char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

#if defined(__SSE2__) && (__WCHAR_MAX__ > 0xFFFF)
// foldAscii on four UTF-32 characters at once.
inline __m128i foldAscii4(__m128i block) {
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi32(block, _mm_set1_epi32(L'A' - 1)),
                                        _mm_cmplt_epi32(block, _mm_set1_epi32(L'Z' + 1)));
    return _mm_add_epi32(block, _mm_and_si128(upper, _mm_set1_epi32(32)));
}
#endif

// Negative, zero or positive, ignoring ASCII case. Inline because it is the
// comparator of every configuration map: equal characters are skipped
// without folding, so shared key prefixes cost one compare each.
inline int caseInsensitiveStringCompare(const std::wstring& a, const std::wstring& b) {
    const wchar_t* pa = a.data();
    const wchar_t* pb = b.data();
    const std::size_t na = a.size();
    const std::size_t nb = b.size();
    const std::size_t n = na < nb ? na : nb;
    std::size_t i = 0;
#if defined(__SSE2__) && (__WCHAR_MAX__ > 0xFFFF)
    // Four characters at a time: blocks that are equal, or equal once ASCII
    // letters are folded, are skipped; the scalar loop below settles the
    // block that differs.
    for (; i + 4 <= n; i += 4) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pa + i));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pb + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(va, vb)) == 0xFFFF) {
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(foldAscii4(va), foldAscii4(vb))) != 0xFFFF) {
            break;
        }
    }
#endif
    for (; i < n; ++i) {
        wchar_t ca = pa[i];
        wchar_t cb = pb[i];
        if (ca == cb) {
            continue;
        }
        ca = foldAscii(ca);
        cb = foldAscii(cb);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

NUVRIX_HOST_API int caseInsensitiveStringCompare(const std::string& a, const std::string& b);

NUVRIX_HOST_API std::string toLowercase(const std::string& s);
NUVRIX_HOST_API std::wstring toLowercase(const std::wstring& s);

// UTF-8 to UTF-32; invalid bytes become U+FFFD, never a crash.
NUVRIX_HOST_API std::wstring toWideString(const std::string& s);
NUVRIX_HOST_API std::wstring toWideString(const char* s);  // null gives ""
// The size bytes at data, which need not end in a NUL; no copy of them is
// made, so nothing is left to wipe when they are secret.
NUVRIX_HOST_API std::wstring toWideString(const char* data, std::size_t size);
// toLowercase(toWideString(data, size)), in one pass.
NUVRIX_HOST_API std::wstring toLowercaseWideString(const char* data, std::size_t size);
NUVRIX_HOST_API std::wstring toWideString(bool b);         // "true" / "false"
NUVRIX_HOST_API std::wstring toWideString(int i);

// UTF-32 to UTF-8; invalid code points become U+FFFD.
NUVRIX_HOST_API std::string toString(const std::wstring& w);
NUVRIX_HOST_API std::string toString(int i);

NUVRIX_HOST_API bool caseInsensitiveStringEquals(const std::string& a, const std::string& b);
NUVRIX_HOST_API bool caseInsensitiveStringEquals(const std::wstring& a, const std::wstring& b);

// Position of the first occurrence of needle in haystack ignoring case, or
// std::wstring::npos. An empty needle is found at 0.
NUVRIX_HOST_API uint64_t caseInsensitiveFind(const std::wstring& haystack, const std::wstring& needle);

// Appends the pieces of s between delimiters to out, empty pieces included
// ("a,,b" gives "a", "", "b"; "" gives one empty piece). An empty delimiter
// appends s whole.
NUVRIX_HOST_API void split(const std::string& s, std::vector<std::string>& out, const std::string& delimiter);
NUVRIX_HOST_API void split(const std::wstring& s, std::vector<std::wstring>& out, const std::wstring& delimiter);

// The whole text (surrounding white space allowed) must be a decimal number
// in int range, else defaultValue.
NUVRIX_HOST_API int toInt(const std::wstring& w, int defaultValue);
NUVRIX_HOST_API int toInt(const std::string& s, int defaultValue);

// True for "true", "1", "yes", "on" in any case (surrounding white space
// ignored); false otherwise.
NUVRIX_HOST_API bool toBool(const std::string& s);
NUVRIX_HOST_API bool toBool(const std::wstring& s);

// White space: space, tab, CR, LF, vertical tab, form feed.
NUVRIX_HOST_API std::string trim(const std::string& s);
NUVRIX_HOST_API std::wstring trim(const std::wstring& s);
NUVRIX_HOST_API std::string trimleft(const std::string& s);
// The part [begin, end) of the size bytes at data that trim keeps, for
// callers that convert trimmed text without copying it first.
NUVRIX_HOST_API void trimBounds(const char* data, std::size_t size, std::size_t& begin, std::size_t& end);
NUVRIX_HOST_API std::wstring trimleft(const std::wstring& s);

}  // namespace PTKCoreUtils

#endif
