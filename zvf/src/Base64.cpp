#include "zvf/Base64.h"

#include <memory>

#include "zvf/Base64DiscreetEncoder.h"
#include "zvf/Base64Encoding.h"
#include "zvf/Base64FamilyEncoder.h"
#include "zvf/Base64urlEncoding.h"
#include "zvf/SecureStringReader.h"
#include "zvf/SecureStringUtils.h"

namespace zvf {

namespace {

// Built on first use, which makes them safe to use from other static
// initialisers; never modified afterwards.
const Base64FamilyEncoder& base64Encoder() {
    static const Base64FamilyEncoder encoder(Base64Encoding::getInstance());
    return encoder;
}

const Base64FamilyEncoder& base64urlEncoder() {
    static const Base64FamilyEncoder encoder(Base64urlEncoding::getInstance());
    return encoder;
}

// Owns a work buffer of secret bytes and zeros it before freeing it.
template <typename T>
class WipedBuffer {
public:
    explicit WipedBuffer(size_t size) : bytes(new T[size]), size(size) {}
    ~WipedBuffer() {
        SecureStringUtils::ZVFZeroMemory(static_cast<const void*>(bytes.get()), size * sizeof(T));
    }

    WipedBuffer(const WipedBuffer&) = delete;
    WipedBuffer& operator=(const WipedBuffer&) = delete;

    T* get() const { return bytes.get(); }

private:
    std::unique_ptr<T[]> bytes;
    size_t size;
};

}  // namespace

std::string base64_encode(const unsigned char* data, uint32_t length, bool lineBreaks) {
    return base64Encoder().encode(data, length, lineBreaks);
}

std::string base64_encode_without_padding(const unsigned char* data, uint32_t length, bool lineBreaks) {
    return base64Encoder().encodeWithoutPadding(data, length, lineBreaks);
}

int base64_decode(const std::string& text, std::vector<unsigned char>& out) {
    return base64Encoder().decode(text, out);
}

int base64_decode_without_padding(const std::string& text, std::vector<unsigned char>& out) {
    return base64Encoder().decodeWithoutPadding(text, out);
}

std::string base64url_encode(const unsigned char* data, uint32_t length, bool lineBreaks) {
    return base64urlEncoder().encode(data, length, lineBreaks);
}

std::string base64url_encode_without_padding(const unsigned char* data, uint32_t length, bool lineBreaks) {
    return base64urlEncoder().encodeWithoutPadding(data, length, lineBreaks);
}

int base64url_decode(const std::string& text, std::vector<unsigned char>& out) {
    return base64urlEncoder().decode(text, out);
}

int base64url_decode_without_padding(const std::string& text, std::vector<unsigned char>& out) {
    return base64urlEncoder().decodeWithoutPadding(text, out);
}

SecureString base64_discreet_encode(const unsigned char* data, uint32_t length, bool lineBreaks) {
    if (data == nullptr || length == 0) {
        return SecureString();
    }
    const size_t size = Base64DiscreetEncoder::computeEncodedMessageLength(length, lineBreaks);
    WipedBuffer<char> buffer(size);
    Base64DiscreetEncoder::encode(buffer.get(), data, length, lineBreaks);
    return SecureString(buffer.get(), size);
}

int base64_discreet_decode(const SecureString& encoded, SecureString& out) {
    SecureStringReader reader;
    encoded.getUnsecureString(reader);
    const size_t length = static_cast<size_t>(reader.getBufSize());
    if (length == 0) {
        return -1;
    }
    const size_t size = Base64DiscreetEncoder::computeDecodedMessageLength(reader.c_str(), length);
    if (size == 0) {
        return -1;
    }
    WipedBuffer<unsigned char> buffer(size);
    size_t written = 0;
    const int result = Base64DiscreetEncoder::decode(buffer.get(), reader.c_str(), length, &written);
    if (result == 0) {
        out = SecureString(reinterpret_cast<const char*>(buffer.get()), written);
    }
    return result;
}

}  // namespace zvf
