#include "zvf/Base64urlEncoding.h"

#include <cstring>

namespace zvf {

namespace {

const char kBase64urlAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

}  // namespace

const Base64urlEncoding& Base64urlEncoding::getInstance() {
    static const Base64urlEncoding instance;
    return instance;
}

Base64urlEncoding::Base64urlEncoding() : encodedPadding("%3D"), decodedPadding("=") {
    std::memset(decodingTable, 255, sizeof(decodingTable));
    for (unsigned char value = 0; value < 64; ++value) {
        decodingTable[static_cast<unsigned char>(kBase64urlAlphabet[value])] = value;
    }
    // "%3D" is turned into "=" before groups are decoded, and "=" reads as 0.
    decodingTable[static_cast<unsigned char>('=')] = 0;
}

Base64urlEncoding::~Base64urlEncoding() = default;

const char* Base64urlEncoding::getEncodingTable() const {
    return kBase64urlAlphabet;
}

const unsigned char* Base64urlEncoding::getDecodingTable() const {
    return decodingTable;
}

const std::string& Base64urlEncoding::getEncodedPaddingChars() const {
    return encodedPadding;
}

const std::string& Base64urlEncoding::getDecodedPaddingChars() const {
    return decodedPadding;
}

bool Base64urlEncoding::isPaddingCharEncoded() const {
    return true;
}

}  // namespace zvf
