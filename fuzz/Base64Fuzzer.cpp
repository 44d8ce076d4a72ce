// Fuzzes the support library's Base64 family. The input is fed to every
// decoder as text: the four table-driven ones (Base64 and Base64url, with and
// without padding), the discreet decoder on a secure string, and the
// discreet decoder's buffer-level form into a buffer of exactly the size it
// computes, so that a write beyond it is caught. A decoder that fails leaves
// its output as it was or empty. The same bytes then go through every
// encoder, with and without line breaks, and must decode back to themselves;
// the encoding must be OpenSSL's (in the url alphabet, without padding, with
// a line break after every 72 characters); the discreet encoder must write
// exactly the length it computes and the same text as base64_encode, but for
// the break that one writes after a last full line. For a short input, each
// of its line-broken encodings cut at every length goes through the decoders
// as well (both pieces).
#include <openssl/evp.h>

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

// OpenSSL's encoding of the bytes, without line breaks.
std::string opensslEncode(const uint8_t* data, std::size_t size) {
    std::string out(4 * ((size + 2) / 3) + 1, '\0');
    out.resize(static_cast<std::size_t>(
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]), data, static_cast<int>(size))));
    return out;
}

std::string urlForm(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '+' ? "-" : c == '/' ? "_" : c == '=' ? "%3D" : std::string(1, c);
    }
    return out;
}

std::string withoutBreaks(std::string text) {
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) {
        text.erase(at, 2);
    }
    return text;
}

void decodeAsText(const std::string& text) {
    for (const Codec& codec : kCodecs) {
        // Decoders append: the bytes already in the vector must stay in front.
        std::vector<unsigned char> out{0x5A, 0xA5};
        const int result = codec.decode(text, out);
        FUZZ_CHECK(result == 0 || result == -1 || result == -2 || result == -3,
                   std::string(codec.name) + " decoder returned an undocumented code");
        if (result == 0) {
            FUZZ_CHECK(out.size() >= 2 && out[0] == 0x5A && out[1] == 0xA5,
                       std::string(codec.name) + " decoder did not append");
        } else {
            const std::vector<unsigned char> prior{0x5A, 0xA5};
            FUZZ_CHECK(out.empty() || out == prior,
                       std::string(codec.name) + " decoder left part of a failed decode in its output");
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
    const std::string reference = opensslEncode(data, size);
    FUZZ_CHECK(zvf::base64_encode(data, length, false) == reference, "base64 differs from OpenSSL");
    FUZZ_CHECK(withoutBreaks(zvf::base64_encode(data, length, true)) == reference,
               "base64 with line breaks differs from OpenSSL");
    FUZZ_CHECK(zvf::base64url_encode(data, length, false) == urlForm(reference), "base64url differs from OpenSSL");
    FUZZ_CHECK(zvf::base64_encode_without_padding(data, length, false) == reference.substr(0, reference.find('=')),
               "base64 without padding differs from OpenSSL");
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
        std::string family = zvf::base64_encode(data, length, lineBreaks);
        // The table encoder also ends a last full line with a break.
        if (lineBreaks && size % 54 == 0 && size > 0) {
            family.resize(family.size() - 2);
        }
        FUZZ_CHECK(text == family, "discreet and table encoders disagree");
        if (size == 0) {
            continue;
        }
        zvf::SecureString decoded;
        FUZZ_CHECK(zvf::base64_discreet_decode(encoded, decoded) == 0, "discreet decoder refuses its own encoding");
        FUZZ_CHECK(plainOf(decoded) == bytes, "discreet round trip changed the bytes");
    }
}

// The decoders on every cut of the input's line-broken encodings.
void decodeCuts(const uint8_t* data, std::size_t size) {
    if (size > 112) {
        return;  // quadratic in the size: short inputs cover every position
    }
    const auto length = static_cast<uint32_t>(size);
    for (Encoder encode : {zvf::base64_encode, zvf::base64url_encode, zvf::base64_encode_without_padding}) {
        const std::string whole = encode(data, length, true);
        for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
            decodeAsText(whole.substr(0, cut));
            decodeAsText(whole.substr(cut));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    nuvrixfuzz::environment();
    decodeAsText(std::string(reinterpret_cast<const char*>(data), size));
    roundTrip(data, size);
    decodeCuts(data, size);
    return 0;
}
