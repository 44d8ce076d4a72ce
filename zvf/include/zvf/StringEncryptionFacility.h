#pragma once

#include <string>

#include "zvf/SecureString.h"

namespace zvf {

// Turns secret text into Base64 text of its encrypted form and back.
class StringEncryptionFacility {
public:
    StringEncryptionFacility() = delete;

    static std::string encryptEncodeString(const std::string& plain);
    static SecureString decodeEncryptedString(const std::string& text);
};

}  // namespace zvf
