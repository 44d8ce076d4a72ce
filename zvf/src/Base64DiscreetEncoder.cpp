#include "zvf/Base64DiscreetEncoder.h"

#include <stdexcept>

#include "zvf/Base64Encoding.h"
#include "zvf/Base64FamilyEncoder.h"
#include "zvf/SecureStringUtils.h"

namespace zvf {

namespace {

constexpr size_t kLineLength = Base64FamilyEncoder::kLineLength;

bool isLineBreakChar(char c) {
    return c == '\r' || c == '\n';
}

// Zeros a work buffer on every way out of the function, the consistency
// exceptions included.
template <size_t N, typename T>
class BufferWiper {
public:
    explicit BufferWiper(T (&buffer)[N]) : buffer(buffer) {}
    ~BufferWiper() { SecureStringUtils::ZVFZeroMemory(static_cast<const void*>(buffer), sizeof(buffer)); }

    BufferWiper(const BufferWiper&) = delete;
    BufferWiper& operator=(const BufferWiper&) = delete;

private:
    T (&buffer)[N];
};

}  // namespace

size_t Base64DiscreetEncoder::computeEncodedMessageLength(uint32_t length, bool lineBreaks) {
    if (length == 0) {
        return 0;
    }
    const size_t characters = (static_cast<size_t>(length) + 2) / 3 * 4;
    return lineBreaks ? characters + 2 * ((characters - 1) / kLineLength) : characters;
}

size_t Base64DiscreetEncoder::computeDecodedMessageLength(const char* text, size_t length) {
    if (text == nullptr || length == 0) {
        return 0;
    }
    size_t characters = 0;
    for (size_t i = 0; i < length; ++i) {
        if (!isLineBreakChar(text[i])) {
            ++characters;
        }
    }
    if (characters % 4 != 0) {
        return 0;
    }
    size_t decoded = characters / 4 * 3;
    if (length >= 4) {
        if (text[length - 1] == '=') {
            --decoded;
        }
        if (text[length - 2] == '=') {
            --decoded;
        }
    }
    return decoded;
}

void Base64DiscreetEncoder::encode(char* out, const unsigned char* data, uint32_t length, bool lineBreaks) {
    if (out == nullptr || data == nullptr || length == 0) {
        return;
    }
    const char* table = Base64Encoding::getInstance().getEncodingTable();
    char quad[4] = {};
    BufferWiper<4, char> quadWiper(quad);

    size_t written = 0;  // encoded characters, separators not counted
    char* cursor = out;
    const unsigned char* group = data;
    const unsigned char* const end = data + length;
    for (; end - group >= 3; group += 3) {
        if (lineBreaks && written > 0 && written % kLineLength == 0) {
            *cursor++ = '\r';
            *cursor++ = '\n';
        }
        if (Base64FamilyEncoder::encodeGroup(table, group, 3, quad) != 4) {
            throw std::logic_error("Encoding to Base64, three-octet group must yield four characters");
        }
        for (size_t i = 0; i < 4; ++i) {
            *cursor++ = quad[i];
        }
        written += 4;
    }

    const size_t rest = static_cast<size_t>(end - group);
    if (rest == 0) {
        return;
    }
    if (lineBreaks && written > 0 && written % kLineLength == 0) {
        *cursor++ = '\r';
        *cursor++ = '\n';
    }
    const size_t produced = Base64FamilyEncoder::encodeGroup(table, group, rest, quad);
    if (produced != 2 && produced != 3) {
        throw std::logic_error("Encoding Base64, expected 2 or 3 characters from final encoded group");
    }
    for (size_t i = 0; i < produced; ++i) {
        *cursor++ = quad[i];
    }
    for (size_t i = produced; i < 4; ++i) {
        *cursor++ = '=';
    }
}

int Base64DiscreetEncoder::decode(unsigned char* out, const char* text, size_t length, size_t* written) {
    if (written != nullptr) {
        *written = 0;
    }
    if (out == nullptr || text == nullptr || length == 0) {
        return -1;
    }
    // The caller sized `out` with computeDecodedMessageLength; never write
    // past that, whatever the text holds.
    const size_t capacity = computeDecodedMessageLength(text, length);
    size_t characters = 0;
    for (size_t i = 0; i < length; ++i) {
        if (!isLineBreakChar(text[i])) {
            ++characters;
        }
    }
    if (characters % 4 != 0) {
        return -1;
    }

    const unsigned char* table = Base64Encoding::getInstance().getDecodingTable();
    char group[4] = {};
    unsigned char bytes[3] = {};
    BufferWiper<4, char> groupWiper(group);
    BufferWiper<3, unsigned char> bytesWiper(bytes);

    size_t produced = 0;
    size_t filled = 0;
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (isLineBreakChar(c)) {
            continue;
        }
        if (table[static_cast<unsigned char>(c)] == 255) {
            return -1;
        }
        group[filled++] = c;
        if (filled < 4) {
            continue;
        }
        filled = 0;
        const unsigned char v0 = table[static_cast<unsigned char>(group[0])];
        const unsigned char v1 = table[static_cast<unsigned char>(group[1])];
        const unsigned char v2 = table[static_cast<unsigned char>(group[2])];
        const unsigned char v3 = table[static_cast<unsigned char>(group[3])];
        bytes[0] = static_cast<unsigned char>((v0 << 2) | (v1 >> 4));
        bytes[1] = static_cast<unsigned char>((v1 << 4) | (v2 >> 2));
        bytes[2] = static_cast<unsigned char>((v2 << 6) | v3);
        size_t count = 3;
        if (group[3] == '=') {
            --count;
        }
        if (group[2] == '=') {
            --count;
        }
        if (count > capacity - produced) {
            return -1;
        }
        for (size_t k = 0; k < count; ++k) {
            out[produced++] = bytes[k];
        }
        if (written != nullptr) {
            *written = produced;
        }
    }
    return 0;
}

}  // namespace zvf
