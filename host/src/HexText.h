#ifndef HOST_SRC_HEXTEXT_H
#define HOST_SRC_HEXTEXT_H

#include <cstddef>
#include <string>

namespace zvf {
namespace storage {

// The bytes as lower-case hexadecimal digits, two per byte: how the storage
// names key ids and the random part of file names.
inline std::string hexText(const unsigned char* bytes, std::size_t size) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace storage
}  // namespace zvf

#endif
