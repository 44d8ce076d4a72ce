#pragma once

#include <string>

namespace zvf {

// One Base64-family alphabet: its tables and how its padding is written.
class Encoding {
public:
    virtual ~Encoding() = default;
    // 64 characters, indexed by 6-bit value.
    virtual const char* getEncodingTable() const = 0;
    // 256 entries, indexed by character code: 0 to 63, or 255 for a character
    // outside the alphabet. The decoded padding character maps to 0.
    virtual const unsigned char* getDecodingTable() const = 0;
    // The padding as it stands in encoded text.
    virtual const std::string& getEncodedPaddingChars() const = 0;
    // The padding the group decoder understands.
    virtual const std::string& getDecodedPaddingChars() const = 0;
    virtual bool isPaddingCharEncoded() const = 0;
};

}  // namespace zvf
