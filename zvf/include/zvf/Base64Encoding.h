#pragma once

#include "zvf/Encoding.h"

namespace zvf {

// The standard Base64 alphabet (RFC 4648 section 4) with "=" padding.
// A singleton, immutable after construction.
class Base64Encoding : public Encoding {
public:
    static const Base64Encoding& getInstance();

    // Encoding:
    ~Base64Encoding() override;
    const char* getEncodingTable() const override;
    const unsigned char* getDecodingTable() const override;
    const std::string& getEncodedPaddingChars() const override;
    const std::string& getDecodedPaddingChars() const override;
    bool isPaddingCharEncoded() const override;

private:
    Base64Encoding();

    unsigned char decodingTable[256];
    std::string encodedPadding;
    std::string decodedPadding;
};

}  // namespace zvf
