#pragma once

#include "zvf/Encoding.h"

namespace zvf {

// The URL- and file-name-safe alphabet (RFC 4648 section 5). Its padding is
// written percent-encoded, "%3D", so that encoded text can stand in a query
// string. A singleton, immutable after construction.
class Base64urlEncoding : public Encoding {
public:
    static const Base64urlEncoding& getInstance();

    // Encoding:
    ~Base64urlEncoding() override;
    const char* getEncodingTable() const override;
    const unsigned char* getDecodingTable() const override;
    const std::string& getEncodedPaddingChars() const override;
    const std::string& getDecodedPaddingChars() const override;
    bool isPaddingCharEncoded() const override;

private:
    Base64urlEncoding();

    unsigned char decodingTable[256];
    std::string encodedPadding;
    std::string decodedPadding;
};

}  // namespace zvf
