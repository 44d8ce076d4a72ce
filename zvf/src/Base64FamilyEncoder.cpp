#include "zvf/Base64FamilyEncoder.h"

#include <cstring>

namespace zvf {

namespace {

const char kNewLine[] = "\r\n";
constexpr size_t kNewLineLength = 2;
constexpr size_t kGroupsPerLine = Base64FamilyEncoder::kLineLength / 4;

bool isNewLineAt(const std::string& text, size_t position) {
    return position + 1 < text.size() && text[position] == '\r' && text[position + 1] == '\n';
}

bool isStringAt(const std::string& text, size_t position, const std::string& what) {
    return position <= text.size() && text.size() - position >= what.size() &&
           std::memcmp(text.data() + position, what.data(), what.size()) == 0;
}

}  // namespace

Base64FamilyEncoder::Base64FamilyEncoder(const Encoding& encoding)
    : encoding(&encoding),
      encodingTable(encoding.getEncodingTable()),
      decodingTable(encoding.getDecodingTable()),
      encodedPadding(&encoding.getEncodedPaddingChars()) {}

size_t Base64FamilyEncoder::encodeGroup(const char* table, const unsigned char* group, size_t count, char* out) {
    switch (count) {
    case 3:
        out[0] = table[group[0] >> 2];
        out[1] = table[((group[0] & 3) << 4) | (group[1] >> 4)];
        out[2] = table[((group[1] & 15) << 2) | (group[2] >> 6)];
        out[3] = table[group[2] & 63];
        return 4;
    case 2:
        out[0] = table[group[0] >> 2];
        out[1] = table[((group[0] & 3) << 4) | (group[1] >> 4)];
        out[2] = table[(group[1] & 15) << 2];
        return 3;
    case 1:
        out[0] = table[group[0] >> 2];
        out[1] = table[(group[0] & 3) << 4];
        return 2;
    default:
        return 0;
    }
}

std::string Base64FamilyEncoder::encodeUnpadded(const unsigned char* data, uint32_t length, bool lineBreaks,
                                                size_t extraCapacity) const {
    if (data == nullptr || length == 0) {
        return std::string();
    }
    const size_t fullGroups = length / 3;
    const size_t rest = length % 3;
    // A break follows every full line of groups, the last one included.
    const size_t breaks = lineBreaks ? fullGroups / kGroupsPerLine : 0;
    const size_t size = fullGroups * 4 + breaks * kNewLineLength + (rest == 0 ? 0 : rest + 1);

    std::string out;
    out.reserve(size + extraCapacity);
    out.resize(size);
    char* cursor = &out[0];
    const char* table = encodingTable;
    const unsigned char* group = data;

    size_t groupsLeft = fullGroups;
    while (groupsLeft > 0) {
        const size_t lineGroups = lineBreaks && groupsLeft >= kGroupsPerLine ? kGroupsPerLine : groupsLeft;
        for (size_t i = 0; i < lineGroups; ++i) {
            cursor += encodeGroup(table, group, 3, cursor);
            group += 3;
        }
        groupsLeft -= lineGroups;
        if (lineBreaks && lineGroups == kGroupsPerLine) {
            *cursor++ = '\r';
            *cursor++ = '\n';
        }
    }
    encodeGroup(table, group, rest, cursor);
    return out;
}

std::string Base64FamilyEncoder::encodeWithoutPadding(const unsigned char* data, uint32_t length,
                                                      bool lineBreaks) const {
    return encodeUnpadded(data, length, lineBreaks, 0);
}

std::string Base64FamilyEncoder::encode(const unsigned char* data, uint32_t length, bool lineBreaks) const {
    std::string out = encodeUnpadded(data, length, lineBreaks, 2 * encodedPadding->size());
    addMissingPaddingChars(out);
    return out;
}

size_t Base64FamilyEncoder::countNewLines(const std::string& text) {
    size_t count = 0;
    for (size_t position = text.find(kNewLine); position != std::string::npos;
         position = text.find(kNewLine, position + kNewLineLength)) {
        ++count;
    }
    return count;
}

void Base64FamilyEncoder::addMissingPaddingChars(std::string& text) const {
    const size_t dataLength = text.size() - kNewLineLength * countNewLines(text);
    const size_t remainder = dataLength % 4;
    if (remainder == 0) {
        return;
    }
    for (size_t i = remainder; i < 4; ++i) {
        text += *encodedPadding;
    }
}

int Base64FamilyEncoder::getPaddingChars(const std::string& text, size_t& count) const {
    count = 0;
    const std::string& padding = *encodedPadding;
    size_t position = text.find(padding);
    if (position == std::string::npos) {
        return 0;
    }
    count = 1;
    position += padding.size();
    while (position < text.size()) {
        if (isStringAt(text, position, padding)) {
            ++count;
            position += padding.size();
        } else if (isNewLineAt(text, position)) {
            position += kNewLineLength;
        } else {
            return -2;  // padding followed by data
        }
    }
    return 0;
}

bool Base64FamilyEncoder::insidePaddingChars(const std::string& text, size_t position) const {
    const std::string& padding = *encodedPadding;
    for (size_t offset = 0; offset < padding.size() && offset <= position; ++offset) {
        if (isStringAt(text, position - offset, padding)) {
            return true;
        }
    }
    return false;
}

int Base64FamilyEncoder::weakCheckNewLines(const std::string& text) const {
    const size_t first = text.find(kNewLine);
    if (first == std::string::npos) {
        return 0;
    }
    // Lines are as long as the first, so separators stand at a fixed stride.
    const size_t stride = first + kNewLineLength;
    for (size_t position = first; position < text.size(); position += stride) {
        if (!isNewLineAt(text, position) && !insidePaddingChars(text, position)) {
            return -2;
        }
    }
    return 0;
}

int Base64FamilyEncoder::checkInputSize(const std::string& text, size_t newLines, size_t paddingCount) const {
    const size_t nonData = newLines * kNewLineLength + paddingCount * encodedPadding->size();
    if (nonData > text.size()) {
        return -2;
    }
    return (text.size() - nonData) % 4 == 1 ? -2 : 0;
}

int Base64FamilyEncoder::removeUnnecessaryEncodedPaddingChars(std::string& text, size_t newLines,
                                                               size_t& paddingCount) const {
    const std::string& padding = *encodedPadding;
    const size_t nonData = newLines * kNewLineLength + paddingCount * padding.size();
    if (nonData > text.size()) {
        return -2;
    }
    const size_t dataLength = text.size() - nonData;
    const size_t needed = (4 - dataLength % 4) % 4;
    if (paddingCount < needed) {
        return -2;
    }
    size_t surplus = paddingCount - needed;
    if (surplus == 0) {
        return 0;
    }

    // Find the last `surplus` occurrences, then drop them in one pass so that
    // a text with many padding strings costs linear time.
    std::vector<size_t> removed;
    removed.reserve(surplus);
    size_t searchFrom = std::string::npos;
    while (surplus > 0) {
        const size_t position = text.rfind(padding, searchFrom);
        if (position == std::string::npos) {
            return -3;
        }
        removed.push_back(position);
        --surplus;
        if (surplus > 0) {
            if (position < padding.size()) {
                return -3;
            }
            searchFrom = position - padding.size();
        }
    }
    size_t write = removed.back();
    size_t read = removed.back();
    for (auto it = removed.rbegin(); it != removed.rend(); ++it) {
        const size_t keep = *it - read;
        std::memmove(&text[write], text.data() + read, keep);
        write += keep;
        read = *it + padding.size();
    }
    const size_t tail = text.size() - read;
    std::memmove(&text[0] + write, text.data() + read, tail);
    text.resize(write + tail);
    paddingCount = needed;
    return 0;
}

void Base64FamilyEncoder::decodeEndingPaddingChars(std::string& text) const {
    const std::string& encoded = *encodedPadding;
    const std::string& decoded = encoding->getDecodedPaddingChars();
    size_t position = text.find(encoded);
    if (position == std::string::npos || encoded == decoded) {
        return;
    }
    std::string result(text, 0, position);
    while (position < text.size()) {
        if (isStringAt(text, position, encoded)) {
            result += decoded;
            position += encoded.size();
        } else {
            result += text[position];
            ++position;
        }
    }
    text.swap(result);
}

void Base64FamilyEncoder::eraseNewLines(std::string& text) {
    size_t write = text.find(kNewLine);
    if (write == std::string::npos) {
        return;
    }
    char* chars = &text[0];
    const size_t size = text.size();
    size_t read = write;
    while (read < size) {
        if (chars[read] == '\r' && read + 1 < size && chars[read + 1] == '\n') {
            read += kNewLineLength;
        } else {
            chars[write++] = chars[read++];
        }
    }
    text.resize(write);
}

bool Base64FamilyEncoder::checkCharGroup(const char* group) const {
    const unsigned char* table = decodingTable;
    for (size_t i = 0; i < 4; ++i) {
        if (table[static_cast<unsigned char>(group[i])] == 255) {
            return false;
        }
    }
    return true;
}

int Base64FamilyEncoder::decodeGroup(const char* group, unsigned char* out) const {
    const unsigned char* table = decodingTable;
    const unsigned char c0 = table[static_cast<unsigned char>(group[0])];
    const unsigned char c1 = table[static_cast<unsigned char>(group[1])];
    const unsigned char c2 = table[static_cast<unsigned char>(group[2])];
    const unsigned char c3 = table[static_cast<unsigned char>(group[3])];
    // Same test as checkCharGroup on the values already looked up: alphabet
    // values fit in six bits, the 255 of a foreign character does not.
    if (((c0 | c1 | c2 | c3) & 0xC0) != 0) {
        return -2;
    }
    out[0] = static_cast<unsigned char>((c0 << 2) | (c1 >> 4));
    out[1] = static_cast<unsigned char>((c1 << 4) | (c2 >> 2));
    out[2] = static_cast<unsigned char>((c2 << 6) | c3);
    return 0;
}

int Base64FamilyEncoder::decode(const std::string& text, std::vector<unsigned char>& out) const {
    if (text.empty()) {
        return -1;
    }
    size_t paddingCount = 0;
    if (getPaddingChars(text, paddingCount) != 0) {
        return -2;
    }
    if (weakCheckNewLines(text) != 0) {
        return -2;
    }
    const size_t newLines = countNewLines(text);
    if (checkInputSize(text, newLines, paddingCount) != 0) {
        return -2;
    }

    // Most texts need no normalising: no line breaks, exactly the padding the
    // length needs, written as the group decoder reads it. They are decoded
    // in place; the others through a working copy.
    const size_t dataLength = text.size() - newLines * 2 - paddingCount * encodedPadding->size();
    const size_t needed = (4 - dataLength % 4) % 4;
    const bool normalise =
        newLines > 0 || paddingCount != needed || (paddingCount > 0 && encoding->isPaddingCharEncoded());
    std::string work;
    if (normalise) {
        work = text;
        const int normalised = removeUnnecessaryEncodedPaddingChars(work, newLines, paddingCount);
        if (normalised != 0) {
            return normalised;
        }
        if (encoding->isPaddingCharEncoded()) {
            decodeEndingPaddingChars(work);
        }
        eraseNewLines(work);
    }
    const std::string& groupsText = normalise ? work : text;

    if (groupsText.size() % 4 != 0) {
        out.clear();
        return -3;
    }
    const size_t groups = groupsText.size() / 4;
    const size_t start = out.size();
    out.resize(start + groups * 3);
    unsigned char* target = out.data() + start;
    const char* source = groupsText.data();
    for (size_t i = 0; i < groups; ++i) {
        if (decodeGroup(source, target) != 0) {
            out.clear();
            return -2;
        }
        source += 4;
        target += 3;
    }
    // Each "=" was decoded as 0 and produced one byte too many.
    out.resize(out.size() - (paddingCount < groups * 3 ? paddingCount : groups * 3));
    return 0;
}

int Base64FamilyEncoder::decodeWithoutPadding(const std::string& text, std::vector<unsigned char>& out) const {
    std::string padded(text);
    addMissingPaddingChars(padded);
    return decode(padded, out);
}

}  // namespace zvf
