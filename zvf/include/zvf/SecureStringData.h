#pragma once

#include "zvf/ByteBlob.h"

namespace zvf {

// The encrypted state of one secret, shared by every SecureString copied from
// the same value.
class SecureStringData {
public:
    bool empty = true;
    ByteBlob initVector;  // 16 bytes once a value is set
    ByteBlob cipherText;  // AES-256-CBC, PKCS#7 padded
};

}  // namespace zvf
