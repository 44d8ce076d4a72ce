#ifndef CONFIG_CONFIGKEYHASH_H
#define CONFIG_CONFIGKEYHASH_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "PTKCoreUtils/StringUtils.h"

namespace ZVFUnified {

// Hash of a configuration key consistent with caseInsensitiveMapComparator:
// ASCII letters are folded to lower case, every other character is hashed as
// it is, so keys that compare equal hash equal. Four characters at a time;
// a 25-character key costs a few nanoseconds. Stateless.
struct ConfigKeyHash {
    static std::size_t hashOf(const wchar_t* text, std::size_t length) {
        uint64_t state = 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(length) * 0xC2B2AE3D27D4EB4Full);
        std::size_t i = 0;
#if defined(__SSE2__) && (__WCHAR_MAX__ > 0xFFFF)
        for (; i + 4 <= length; i += 4) {
            const __m128i block =
                PTKCoreUtils::foldAscii4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)));
            uint64_t lanes[2];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), block);
            state = mix(state ^ lanes[0]) + lanes[1];
        }
#endif
        for (; i < length; ++i) {
            state = mix(state ^ static_cast<uint32_t>(PTKCoreUtils::foldAscii(text[i])));
        }
        return static_cast<std::size_t>(mix(state));
    }

    std::size_t operator()(std::wstring_view key) const { return hashOf(key.data(), key.size()); }
    std::size_t operator()(const std::wstring& key) const { return hashOf(key.data(), key.size()); }

private:
    static uint64_t mix(uint64_t value) {
        value ^= value >> 32;
        value *= 0xD6E8FEB86659FD93ull;
        value ^= value >> 29;
        return value;
    }
};

}  // namespace ZVFUnified

#endif
