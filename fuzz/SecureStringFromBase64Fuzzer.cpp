// Fuzzes SecureString::createFromBase64, which rebuilds a secret from the
// Base64 text of its encrypted form (initialisation vector and cipher text),
// as stored values and settings hand it back. Any text must give either an
// empty value or exactly the decoded bytes as encrypted form; decrypting a
// forged cipher text must fail quietly; and the value's own Base64 text must
// rebuild the same encrypted form.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzEnvironment.h"
#include "zvf/Base64.h"
#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    nuvrixfuzz::environment();
    const std::string text(reinterpret_cast<const char*>(data), size);
    const zvf::SecureString value = zvf::SecureString::createFromBase64(text);

    std::vector<unsigned char> decoded;
    const bool decodes = !text.empty() && zvf::base64_decode(text, decoded) == 0;
    // Fewer bytes than one initialisation vector make no value.
    const bool expectValue = decodes && decoded.size() >= 16;
    FUZZ_CHECK(value.empty() == !expectValue, "createFromBase64 disagrees with base64_decode about the text");
    if (!expectValue) {
        FUZZ_CHECK(value.getEncryptedValue().empty() && value.serializeToBase64().empty(),
                   "an empty value has an encrypted form");
        return 0;
    }
    FUZZ_CHECK(value.getEncryptedValue() == decoded, "the encrypted form is not the decoded bytes");

    zvf::SecureStringReader reader;
    value.getUnsecureString(reader);  // a forged cipher text: must fail without harm
    const zvf::SecureString again = zvf::SecureString::createFromBase64(value.serializeToBase64());
    FUZZ_CHECK(again.getEncryptedValue() == decoded, "the value's own Base64 text rebuilds another value");
    FUZZ_CHECK(value == again, "a value differs from its own copy");
    return 0;
}
