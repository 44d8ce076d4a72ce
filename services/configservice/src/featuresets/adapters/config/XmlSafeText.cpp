#include "XmlSafeText.h"

#include <cstdint>

#include "PTKCoreUtils/StringUtils.h"
#include "XmlLibrary.h"

namespace ZVFUnified {

namespace {

int64_t codeOf(wchar_t c) { return static_cast<int64_t>(c); }

// NameStartChar of XML 1.0 (fifth edition, as libxml2 parses it) without ':'.
bool isNameStartChar(int64_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(int64_t c) {
    return isNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

std::size_t utf8Bytes(int64_t c) {
    if (c < 0x80) {
        return 1;
    }
    if (c < 0x800) {
        return 2;
    }
    return c < 0x10000 ? 3 : 4;
}

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    return -1;
}

// The value of the digits hex digits at text[at], or false when one is not
// a hexadecimal digit or the text ends first.
bool readHex(const std::wstring& text, std::size_t at, std::size_t digits, uint32_t& value) {
    if (text.size() < at + digits) {
        return false;
    }
    value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const int digit = hexValue(text[at + i]);
        if (digit < 0) {
            return false;
        }
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return true;
}

}  // namespace

bool XmlSafeText::isXmlChar(wchar_t c) {
    const int64_t code = codeOf(c);
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

bool XmlSafeText::isCarried(const std::wstring& text) {
    for (wchar_t c : text) {
        if (!isXmlChar(c)) {
            return false;
        }
    }
    return true;
}

bool XmlSafeText::isElementName(const std::wstring& key) {
    if (key.empty() || !isNameStartChar(codeOf(key[0]))) {
        return false;
    }
    std::size_t bytes = 0;
    for (wchar_t c : key) {
        if (!isNameChar(codeOf(c))) {
            return false;
        }
        bytes += utf8Bytes(codeOf(c));
    }
    return bytes <= MAX_NAME_BYTES;
}

std::wstring XmlSafeText::escape(const std::wstring& text) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring escaped;
    escaped.reserve(text.size() + 16);
    for (wchar_t c : text) {
        if (c == L'\\') {
            escaped += L"\\\\";
        } else if (!isXmlChar(c)) {
            const uint32_t code = static_cast<uint32_t>(c);
            const int width = code <= 0xFFFF ? 4 : 8;
            escaped += L'\\';
            escaped += width == 4 ? L'u' : L'U';
            for (int shift = (width - 1) * 4; shift >= 0; shift -= 4) {
                escaped += digits[(code >> shift) & 0xF];
            }
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::wstring XmlSafeText::unescape(const std::wstring& text) {
    std::wstring plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' || i + 1 == text.size()) {
            plain += text[i];
            continue;
        }
        const wchar_t kind = text[i + 1];
        uint32_t code = 0;
        if (kind == L'\\') {
            plain += L'\\';
            i += 1;
        } else if (kind == L'u' && readHex(text, i + 2, 4, code)) {
            plain += static_cast<wchar_t>(code);
            i += 5;
        } else if (kind == L'U' && readHex(text, i + 2, 8, code)) {
            plain += static_cast<wchar_t>(static_cast<int32_t>(code));
            i += 9;
        } else {
            plain += L'\\';
        }
    }
    return plain;
}

std::size_t XmlSafeText::documentBytes(const std::wstring& text, bool escaped) {
    std::size_t bytes = 0;
    for (wchar_t c : text) {
        const int64_t code = codeOf(c);
        if (!isXmlChar(c)) {
            // Unescaped, the narrow conversion writes U+FFFD.
            bytes += escaped ? (static_cast<uint32_t>(c) <= 0xFFFF ? 6 : 10) : 3;
            continue;
        }
        switch (code) {
            case '\\':
                bytes += escaped ? 2 : 1;
                break;
            case '"':
                bytes += 6;  // &quot;
                break;
            case '&':
            case '\n':
            case '\r':
                bytes += 5;  // &amp; &#10; &#13;
                break;
            case '<':
            case '>':
            case '\t':
                bytes += 4;  // &lt; &gt; &#9;
                break;
            default:
                bytes += utf8Bytes(code);
        }
    }
    return bytes;
}

bool XmlSafeText::isEscapedEntry(xmlNodePtr element) {
    return element != nullptr && element->type == XML_ELEMENT_NODE &&
           XmlLibrary::attributeIsTrue(element, ESCAPED_ATTRIBUTE);
}

}  // namespace ZVFUnified
