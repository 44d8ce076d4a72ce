#include "zvf/Base64Encoding.h"

#include <cstring>

namespace zvf {

namespace {

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

const Base64Encoding& Base64Encoding::getInstance() {
    static const Base64Encoding instance;
    return instance;
}

Base64Encoding::Base64Encoding() : encodedPadding("="), decodedPadding("=") {
    std::memset(decodingTable, 255, sizeof(decodingTable));
    for (unsigned char value = 0; value < 64; ++value) {
        decodingTable[static_cast<unsigned char>(kBase64Alphabet[value])] = value;
    }
    // The group decoder reads "=" as 0 and drops the surplus bytes afterwards.
    decodingTable[static_cast<unsigned char>('=')] = 0;
}

Base64Encoding::~Base64Encoding() = default;

const char* Base64Encoding::getEncodingTable() const {
    return kBase64Alphabet;
}

const unsigned char* Base64Encoding::getDecodingTable() const {
    return decodingTable;
}

const std::string& Base64Encoding::getEncodedPaddingChars() const {
    return encodedPadding;
}

const std::string& Base64Encoding::getDecodedPaddingChars() const {
    return decodedPadding;
}

bool Base64Encoding::isPaddingCharEncoded() const {
    return false;
}

}  // namespace zvf
