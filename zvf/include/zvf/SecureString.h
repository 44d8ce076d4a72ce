#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "zvf/SecureStringData.h"

namespace zvf {

class SecureStringReader;

// A secret kept in memory only in encrypted form: AES-256-CBC under the
// library's built-in key with a fresh random initialisation vector per value.
// The plain bytes are obtained only through a SecureStringReader. Copies share
// one encrypted value: a later setValue on either copy is seen by both. No
// locking: values that share data must not be changed on one thread while
// another reads them.
class SecureString {
public:
    SecureString();
    SecureString(const char* data, size_t length);
    SecureString(const std::string& value);
    // Rebuilds a value from its encrypted form, the 16-byte initialisation
    // vector followed by the cipher text.
    explicit SecureString(const std::vector<unsigned char>& encrypted);

    // Empty unless `text` is Base64 (standard alphabet, padded) of at least
    // one byte.
    static SecureString createFromBase64(const std::string& text);

    // Encrypts and stores the bytes; a length of 0 makes the value empty and a
    // null pointer changes nothing. A failed encryption leaves it empty.
    void setValue(const char* data, size_t length);
    // Empty when the value is empty, else initialisation vector + cipher text.
    std::vector<unsigned char> getEncryptedValue() const;
    // Base64 of the encrypted form, "" when it is empty.
    std::string serializeToBase64() const;
    // Decrypts into `reader`; leaves it unchanged when there is no cipher
    // text or decryption fails.
    void getUnsecureString(SecureStringReader& reader) const;
    bool empty() const;

    // Compares the plain values.
    bool operator==(const SecureString& other) const;
    bool operator!=(const SecureString& other) const;

private:
    std::shared_ptr<SecureStringData> data;  // null only in a moved-from value
};

}  // namespace zvf
