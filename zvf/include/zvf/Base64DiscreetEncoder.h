#pragma once

#include <cstddef>
#include <cstdint>

namespace zvf {

// Base64 (standard alphabet, "=" padding) that works only in buffers the
// caller sizes beforehand with the compute...Length functions, and wipes its
// group buffers, so that secret text never lands in a standard string or
// vector. Encoded lines are 72 characters, separated by "\r\n", with no break
// after the last line. Stateless.
class Base64DiscreetEncoder {
public:
    // Characters encode() writes for `length` bytes.
    static size_t computeEncodedMessageLength(uint32_t length, bool lineBreaks);
    // Bytes decode() may write for `length` characters of `text`; 0 when the
    // characters other than CR and LF do not form whole groups of four.
    static size_t computeDecodedMessageLength(const char* text, size_t length);

    // Writes exactly computeEncodedMessageLength(length, lineBreaks)
    // characters, without a terminating NUL. Does nothing when a pointer is
    // null or the length is 0.
    static void encode(char* out, const unsigned char* data, uint32_t length, bool lineBreaks);
    // Decodes into `out`, which holds computeDecodedMessageLength(text, length)
    // bytes, skipping CR and LF. Returns 0, or -1 for null or empty arguments,
    // a character count that is not a multiple of four or a character outside
    // the alphabet (bytes already written stay written). `written`, when
    // given, receives the number of bytes written.
    static int decode(unsigned char* out, const char* text, size_t length, size_t* written = nullptr);
};

}  // namespace zvf
