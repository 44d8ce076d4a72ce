#include "zvf/StringEncryptionFacility.h"

namespace zvf {

std::string StringEncryptionFacility::encryptEncodeString(const std::string& plain) {
    return SecureString(plain).serializeToBase64();
}

SecureString StringEncryptionFacility::decodeEncryptedString(const std::string& text) {
    return SecureString::createFromBase64(text);
}

}  // namespace zvf
