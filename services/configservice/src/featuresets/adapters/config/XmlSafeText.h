#ifndef CONFIG_XMLSAFETEXT_H
#define CONFIG_XMLSAFETEXT_H

#include <cstddef>
#include <string>

#include <libxml/tree.h>

namespace ZVFUnified {

// The one encoding of configuration text that XML 1.0 cannot carry, shared
// by every writer and reader of the documents the system writes itself (the
// user-settings file and the cache files).
//
// XML 1.0 holds no C0 control character other than tab, line feed and
// carriage return (so no NUL), no U+FFFE or U+FFFF, no lone surrogate and
// nothing beyond U+10FFFF, and an element name must be a name. A document
// holding one such character does not parse at all, which would cost every
// other entry of the file. So an entry whose key or value holds one (or, in a
// cache file, whose key cannot be an element name) is written in escaped form
// and marked with the attribute escaped="true": a backslash is written "\\"
// and each character XML cannot carry "\uXXXX" (up to U+FFFF) or
// "\UXXXXXXXX" (any other code unit), upper-case hexadecimal. Every other
// entry is written exactly as it always was, so files without such
// characters keep their format byte for byte, and a backslash outside an
// escaped entry is an ordinary character.
//
// Stateless; thread-safe.
class XmlSafeText {
public:
    XmlSafeText() = delete;

    // The attribute that marks an entry written in escaped form.
    static constexpr const char* ESCAPED_ATTRIBUTE = "escaped";
    // The most document bytes libxml2 accepts in one attribute value or text
    // node (its XML_MAX_TEXT_LENGTH; a longer one fails the whole document).
    static constexpr std::size_t MAX_FIELD_BYTES = 10000000;
    // The longest element name libxml2 accepts, in bytes (XML_MAX_NAME_LENGTH).
    static constexpr std::size_t MAX_NAME_BYTES = 50000;
    // libxml2 (2.9) fails a document held in memory when a name or an
    // attribute value of more than about 490 bytes starts beyond its first
    // LOOKAHEAD_LIMIT_BYTES ("Huge input lookup"); text nodes are not
    // affected. Names and attribute values up to SHORT_TOKEN_BYTES are safe
    // anywhere.
    static constexpr std::size_t LOOKAHEAD_LIMIT_BYTES = 10000000;
    static constexpr std::size_t SHORT_TOKEN_BYTES = 400;

    // Whether XML 1.0 can carry c (its Char production).
    static bool isXmlChar(wchar_t c);
    // Whether XML 1.0 can carry every character of text.
    static bool isCarried(const std::wstring& text);
    // Whether key can be written as an element name and is read back as
    // itself: a non-empty XML name without ':' (which namespace processing
    // would take apart) and not too long for the parser.
    static bool isElementName(const std::wstring& key);

    // The escaped form of text.
    static std::wstring escape(const std::wstring& text);
    // The text an escaped form stands for. A backslash that starts no valid
    // escape is kept as it is.
    static std::wstring unescape(const std::wstring& text);

    // At most how many bytes text takes in a document, as an attribute value
    // or as character data written by the libxml2 text writer (markup
    // characters count as their entity references), in its escaped form when
    // escaped is true.
    static std::size_t documentBytes(const std::wstring& text, bool escaped);

    // Whether the element carries escaped="true" (attribute name in any
    // letter case).
    static bool isEscapedEntry(xmlNodePtr element);
};

}  // namespace ZVFUnified

#endif
