#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zvf/Encoding.h"

namespace zvf {

// Table-driven Base64 codec over one Encoding, on standard strings and byte
// vectors, with or without padding and with optional "\r\n" line breaks after
// every 72 encoded characters. Stateless besides the encoding; every member
// may be called from any thread.
//
// Decoders return 0 on success, -1 for empty input, -2 for malformed input
// (bad padding, bad line breaks, impossible length, a character outside the
// alphabet) and -3 when the padding cannot be normalised or the text does not
// split into groups of four. On success the bytes are appended to `out`.
class Base64FamilyEncoder {
public:
    static constexpr size_t kLineLength = 72;  // encoded characters per line

    explicit Base64FamilyEncoder(const Encoding& encoding);

    std::string encode(const unsigned char* data, uint32_t length, bool lineBreaks) const;
    std::string encodeWithoutPadding(const unsigned char* data, uint32_t length, bool lineBreaks) const;
    int decode(const std::string& text, std::vector<unsigned char>& out) const;
    int decodeWithoutPadding(const std::string& text, std::vector<unsigned char>& out) const;

    // Writes the 4, 3 or 2 characters of a group of `count` bytes (3, 2 or 1;
    // none for 0) through `table` to `out` and returns how many it wrote.
    static size_t encodeGroup(const char* table, const unsigned char* group, size_t count, char* out);

    // Appends the padding strings that make the data length (the length less
    // its line separators) a multiple of four.
    void addMissingPaddingChars(std::string& text) const;
    // Counts the padding strings into `count`. They may stand only at the end,
    // interleaved with line separators; -2 otherwise.
    int getPaddingChars(const std::string& text, size_t& count) const;
    // Every line must be as long as the first; the last may be shorter. -2
    // otherwise.
    int weakCheckNewLines(const std::string& text) const;
    // -2 when the data length leaves a remainder of 1 modulo 4.
    int checkInputSize(const std::string& text, size_t newLines, size_t paddingCount) const;
    // Leaves exactly the padding strings the data length needs, removing the
    // surplus from the end; -2 when too few are present, -3 when a surplus
    // one cannot be found. `paddingCount` becomes the number left.
    int removeUnnecessaryEncodedPaddingChars(std::string& text, size_t newLines, size_t& paddingCount) const;
    // Replaces the encoded padding strings by decoded ones.
    void decodeEndingPaddingChars(std::string& text) const;
    static void eraseNewLines(std::string& text);
    // Writes the three bytes of four characters to `out`; -2, writing
    // nothing, when a character lies outside the alphabet.
    int decodeGroup(const char* group, unsigned char* out) const;
    // True when all four characters belong to the alphabet.
    bool checkCharGroup(const char* group) const;

private:
    static size_t countNewLines(const std::string& text);
    std::string encodeUnpadded(const unsigned char* data, uint32_t length, bool lineBreaks,
                               size_t extraCapacity) const;
    bool insidePaddingChars(const std::string& text, size_t position) const;

    const Encoding* encoding;
    const char* encodingTable;            // cached from the encoding, immutable
    const unsigned char* decodingTable;   // cached from the encoding, immutable
    const std::string* encodedPadding;
};

}  // namespace zvf
