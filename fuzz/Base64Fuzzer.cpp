// Fuzzes the support library's Base64 family. The input is fed to every
// decoder as text: the four table-driven ones (Base64 and Base64url, with and
// without padding), the discreet decoder on a secure string, and the
// discreet decoder's buffer-level form into a buffer of exactly the size it
// computes, so that a write beyond it is caught. The same bytes then go
// through every encoder, with and without line breaks, and must decode back
// to themselves; the discreet encoder must write exactly the length it
// computes and, without line breaks, the same text as base64_encode.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzEnvironment.h"
#include "zvf/Base64.h"
#include "zvf/Base64DiscreetEncoder.h"
#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"

namespace {

using Decoder = int (*)(const std::string&, std::vector<unsigned char>&);
using Encoder = std::string (*)(const unsigned char*, uint32_t, bool);

struct Codec {
    const char* name;
    Encoder encode;
    Decoder decode;
};

const Codec kCodecs[] = {
    {"base64", zvf::base64_encode, zvf::base64_decode},
    {"base64 without padding", zvf::base64_encode_without_padding, zvf::base64_decode_without_padding},
    {"base64url", zvf::base64url_encode, zvf::base64url_decode},
    {"base64url without padding", zvf::base64url_encode_without_padding, zvf::base64url_decode_without_padding},
};

std::string plainOf(const zvf::SecureString& value) {
    zvf::SecureStringReader reader;
    value.getUnsecureString(reader);
    return std::string(reader.c_str(), static_cast<std::size_t>(reader.getBufSize()));
}

void decodeAsText(const std::string& text) {
    for (const Codec& codec : kCodecs) {
        // Decoders append: a byte already in the vector must stay in front.
        std::vector<unsigned char> out{0xA5};
        const int result = codec.decode(text, out);
        FUZZ_CHECK(result == 0 || result == -1 || result == -2 || result == -3,
                   std::string(codec.name) + " decoder returned an undocumented code");
        if (result == 0) {
            FUZZ_CHECK(!out.empty() && out[0] == 0xA5, std::string(codec.name) + " decoder did not append");
        }
    }

    zvf::SecureString decoded("unchanged");
    const int result = zvf::base64_discreet_decode(zvf::SecureString(text), decoded);
    FUZZ_CHECK(result == 0 || result == -1, "discreet decoder returned an undocumented code");
    if (result != 0) {
        FUZZ_CHECK(plainOf(decoded) == "unchanged", "a failed discreet decode changed its output");
    }

    const std::size_t capacity = zvf::Base64DiscreetEncoder::computeDecodedMessageLength(text.data(), text.size());
    if (capacity > 0) {
        // Exactly the computed size on the heap, so that AddressSanitizer
        // sees any byte written past it.
        std::unique_ptr<unsigned char[]> buffer(new unsigned char[capacity]);
        std::size_t written = 0;
        zvf::Base64DiscreetEncoder::decode(buffer.get(), text.data(), text.size(), &written);
        FUZZ_CHECK(written <= capacity, "discreet decoder wrote more than it computed");
    }
}

void roundTrip(const uint8_t* data, std::size_t size) {
    const auto length = static_cast<uint32_t>(size);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (bool lineBreaks : {false, true}) {
        for (const Codec& codec : kCodecs) {
            const std::string text = codec.encode(data, length, lineBreaks);
            std::vector<unsigned char> back;
            const int result = codec.decode(text, back);
            if (size == 0) {
                FUZZ_CHECK(text.empty() && result == -1, std::string(codec.name) + ": no bytes must give no text");
                continue;
            }
            FUZZ_CHECK(result == 0, std::string(codec.name) + " cannot decode its own encoding");
            FUZZ_CHECK(std::string(back.begin(), back.end()) == bytes,
                       std::string(codec.name) + " round trip changed the bytes");
        }

        const zvf::SecureString encoded = zvf::base64_discreet_encode(data, length, lineBreaks);
        const std::string text = plainOf(encoded);
        FUZZ_CHECK(text.size() == zvf::Base64DiscreetEncoder::computeEncodedMessageLength(length, lineBreaks),
                   "discreet encoder wrote another length than it computed");
        if (!lineBreaks) {
            FUZZ_CHECK(text == zvf::base64_encode(data, length, false), "discreet and table encoders disagree");
        }
        if (size == 0) {
            continue;
        }
        zvf::SecureString decoded;
        FUZZ_CHECK(zvf::base64_discreet_decode(encoded, decoded) == 0, "discreet decoder refuses its own encoding");
        FUZZ_CHECK(plainOf(decoded) == bytes, "discreet round trip changed the bytes");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    nuvrixfuzz::environment();
    decodeAsText(std::string(reinterpret_cast<const char*>(data), size));
    roundTrip(data, size);
    return 0;
}
