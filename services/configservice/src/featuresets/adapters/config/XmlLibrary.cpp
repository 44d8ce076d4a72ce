#include "XmlLibrary.h"

#include <cstring>
#include <memory>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/StringUtils.h"
#include "PTKCoreUtils/XmlUtils.h"
#include "XmlErrorScope.h"
#include "logging/ZVFLogger.h"
#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"
#include "zvf/SecureStringUtils.h"

namespace ZVFUnified {

namespace {

struct ParserContextFreer {
    void operator()(xmlParserCtxtPtr context) const {
        if (context != nullptr) {
            xmlFreeParserCtxt(context);
        }
    }
};

bool startsWith(const char* at, const char* end, const char* prefix) {
    const std::size_t length = std::strlen(prefix);
    return static_cast<std::size_t>(end - at) >= length && std::memcmp(at, prefix, length) == 0;
}

// The first c in [from, to), or to.
const char* find(const char* from, const char* to, char c) {
    if (from >= to) {
        return to;
    }
    const void* found = std::memchr(from, c, static_cast<std::size_t>(to - from));
    return found == nullptr ? to : static_cast<const char*>(found);
}

// The first byte in [from, end) that is one of Bytes, or end. The scan
// looks at every byte of every document, mostly over short distances (a
// tag, a value): sixteen bytes are compared per step, without the set-up
// cost of a library call.
template <char... Bytes>
const char* findAny(const char* from, const char* end) {
#if defined(__SSE2__)
    for (; end - from >= 16; from += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        __m128i hits = _mm_setzero_si128();
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, _mm_set1_epi8(Bytes)))), ...);
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0) {
            return from + __builtin_ctz(static_cast<unsigned>(mask));
        }
    }
#endif
    for (; from != end; ++from) {
        if (((*from == Bytes) || ...)) {
            return from;
        }
    }
    return end;
}

// Just past the first '>' at or after from, or end.
const char* pastTagEnd(const char* from, const char* end) {
    const char* close = findAny<'>'>(from, end);
    return close == end ? end : close + 1;
}

// Just past the first occurrence of terminator at or after from, or end.
const char* pastNext(const char* from, const char* end, const char* terminator) {
    const std::size_t length = std::strlen(terminator);
    for (const char* at = from; at != end; ++at) {
        at = static_cast<const char*>(std::memchr(at, terminator[0], static_cast<std::size_t>(end - at)));
        if (at == nullptr) {
            break;
        }
        if (startsWith(at, end, terminator)) {
            return at + length;
        }
    }
    return end;
}

// Whether the '&' at amp starts a reference to a declared entity (which
// becomes a node of its own), rather than a character reference or one of
// the five predefined entities.
bool isEntityReference(const char* amp, const char* end) {
    const char* name = amp + 1;
    if (name == end || *name == '#') {
        return false;
    }
    for (const char* predefined : {"lt;", "gt;", "amp;", "apos;", "quot;"}) {
        if (startsWith(name, end, predefined)) {
            return false;
        }
    }
    return true;
}

// Reads the markup construct that starts at from (just past its '<') up to
// its closing '>', skipping quoted values; counts the quoted values and the
// entity references inside them. Returns the position past the '>'.
const char* scanTag(const char* from, const char* end, std::size_t& quoted, std::size_t& references) {
    for (const char* at = findAny<'>', '"', '\''>(from, end); at != end; at = findAny<'>', '"', '\''>(at, end)) {
        if (*at == '>') {
            return at + 1;
        }
        // A quoted value: its end, and the references before it, if any.
        const char* valueEnd = *at == '"' ? findAny<'"', '&'>(at + 1, end) : findAny<'\'', '&'>(at + 1, end);
        if (valueEnd != end && *valueEnd == '&') {
            const char* amp = valueEnd;
            valueEnd = find(amp, end, *at);
            for (; amp != valueEnd; amp = find(amp + 1, valueEnd, '&')) {
                if (isEntityReference(amp, valueEnd)) {
                    ++references;
                }
            }
        }
        ++quoted;
        if (valueEnd == end) {
            return end;
        }
        at = valueEnd + 1;
    }
    return end;
}

// Reads a DOCTYPE declaration from just past "<!DOCTYPE". Adds the default
// values its ATTLIST declarations give to defaults. Returns the position
// past the declaration, or null with the reason of a refusal.
const char* scanDoctype(const char* from, const char* end, std::size_t& defaults, std::string& refusal) {
    const char* at = from;
    // The name and external identifier, up to the subset or the end.
    for (; at != end && *at != '[' && *at != '>'; ++at) {
        if (*at == '"' || *at == '\'') {
            const char* close =
                static_cast<const char*>(std::memchr(at + 1, *at, static_cast<std::size_t>(end - at - 1)));
            if (close == nullptr) {
                return end;
            }
            at = close;
        }
    }
    if (at == end || *at == '>') {
        return at == end ? end : at + 1;
    }
    const char* subset = ++at;
    while (at != end && *at != ']') {
        if (static_cast<std::size_t>(at - subset) > XmlLibrary::MAX_INTERNAL_SUBSET_BYTES) {
            refusal = "its internal DTD subset is larger than " +
                      std::to_string(XmlLibrary::MAX_INTERNAL_SUBSET_BYTES) + " bytes";
            return nullptr;
        }
        if (startsWith(at, end, "<!--")) {
            at = pastNext(at + 4, end, "-->");
        } else if (startsWith(at, end, "<?")) {
            at = pastNext(at + 2, end, "?>");
        } else if (*at == '<') {
            const bool attributeList = startsWith(at, end, "<!ATTLIST");
            std::size_t quoted = 0;
            std::size_t references = 0;
            const char* declarationEnd = scanTag(at + 1, end, quoted, references);
            if (std::memchr(at, '%', static_cast<std::size_t>(declarationEnd - at)) != nullptr) {
                refusal = "its internal DTD subset uses parameter entities";
                return nullptr;
            }
            if (attributeList) {
                defaults += quoted;
            }
            at = declarationEnd;
        } else if (*at == '%') {
            refusal = "its internal DTD subset uses parameter entities";
            return nullptr;
        } else {
            ++at;
        }
    }
    if (at != end && static_cast<std::size_t>(at - subset) > XmlLibrary::MAX_INTERNAL_SUBSET_BYTES) {
        refusal = "its internal DTD subset is larger than " + std::to_string(XmlLibrary::MAX_INTERNAL_SUBSET_BYTES) +
                  " bytes";
        return nullptr;
    }
    return pastTagEnd(at, end);
}

// One linear pass over the document, counting what makes libxml2 slow
// (see XmlLibrary). Empty when the document may be parsed, else the reason
// of the refusal. Errs on the side of counting too much: the parser
// refuses a malformed document anyway.
std::string checkShape(const char* data, std::size_t length) {
    const char* at = data;
    const char* const end = data + length;
    std::size_t items = 0;
    std::size_t defaults = 0;  // attribute defaults a DTD may add to any element
    std::string refusal;
    while (at != end) {
        const char* next = findAny<'<', '&'>(at, end);
        if (next == end) {
            break;
        }
        at = next;
        const char kind = at + 1 != end ? at[1] : '\0';
        if (*at == '&') {
            items += isEntityReference(at, end) ? 1 : 0;
            ++at;
        } else if (kind == '!' && startsWith(at, end, "<!--")) {
            at = pastNext(at + 4, end, "-->");
            ++items;
        } else if (kind == '!' && startsWith(at, end, "<![CDATA[")) {
            at = pastNext(at + 9, end, "]]>");
            ++items;
        } else if (kind == '?') {
            at = pastNext(at + 2, end, "?>");
            ++items;
        } else if (kind == '!' && startsWith(at, end, "<!DOCTYPE")) {
            at = scanDoctype(at + 9, end, defaults, refusal);
            if (at == nullptr) {
                return refusal;
            }
        } else if (kind == '/') {
            at = pastTagEnd(at + 2, end);
        } else {
            std::size_t attributes = 0;
            std::size_t references = 0;
            at = scanTag(at + 1, end, attributes, references);
            if (attributes + defaults > XmlLibrary::MAX_ATTRIBUTES_PER_ELEMENT) {
                return "an element carries more than " + std::to_string(XmlLibrary::MAX_ATTRIBUTES_PER_ELEMENT) +
                       " attributes";
            }
            items += 1 + attributes + defaults + references;
        }
        if (items > XmlLibrary::MAX_MARKUP_ITEMS) {
            return "it holds more than " + std::to_string(XmlLibrary::MAX_MARKUP_ITEMS) +
                   " elements, attributes and other markup items";
        }
    }
    return std::string();
}

void logTooLarge(ZVFLogger* logger, std::size_t length) {
    ZVF_LOG(logger, 3,
            "XML document of " + std::to_string(length) + " bytes exceeds the limit of " +
                std::to_string(XmlLibrary::MAX_DOCUMENT_BYTES) + " bytes and is not parsed");
}

}  // namespace

void XmlLibrary::initialize() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

xmlDocPtr XmlLibrary::readMemory(ZVFLogger* logger, const char* data, std::size_t length, const char* url) {
    XmlErrorScope errors(logger);
    if (data == nullptr) {
        return nullptr;
    }
    if (length > MAX_DOCUMENT_BYTES) {
        logTooLarge(logger, length);
        return nullptr;
    }
    const std::string refusal = checkShape(data, length);
    if (!refusal.empty()) {
        ZVF_LOG(logger, 3, "XML document refused before parsing: " + refusal);
        return nullptr;
    }
    // A context of our own, so that nothing of one parse (options, state)
    // leaks into the next.
    std::unique_ptr<xmlParserCtxt, ParserContextFreer> context(xmlNewParserCtxt());
    if (!context) {
        ZVF_LOG(logger, 2, std::string("Unable to create an XML parser context"));
        return nullptr;
    }
    return xmlCtxtReadMemory(context.get(), data, static_cast<int>(length), url, nullptr, PARSE_OPTIONS);
}

xmlDocPtr XmlLibrary::readSecure(ZVFLogger* logger, const zvf::SecureString& data) {
    zvf::SecureStringReader reader;
    data.getUnsecureString(reader);
    const char* text = reader.c_str();
    const std::size_t size = static_cast<std::size_t>(reader.getBufSize());
    // The document ends at its first NUL byte, as a C string would.
    return readMemory(logger, text, static_cast<std::size_t>(find(text, text + size, '\0') - text), nullptr);
}

xmlDocPtr XmlLibrary::readFile(ZVFLogger* logger, const std::string& path) {
    std::string text;
    std::size_t size = 0;
    // Reads regular files only, and never waits on a FIFO.
    if (!PTKCoreUtils::FileUtils::readFile(path, text, MAX_DOCUMENT_BYTES, size)) {
        XmlErrorScope errors(logger);
        ZVF_LOG(logger, 3, "Unable to open XML file " + ZVFLogger_replacePIIData(path));
        return nullptr;
    }
    xmlDocPtr doc = nullptr;
    if (size > MAX_DOCUMENT_BYTES) {
        logTooLarge(logger, size);
    } else {
        doc = readMemory(logger, text.data(), text.size(), path.c_str());
    }
    // Configuration files can hold secrets.
    zvf::SecureStringUtils::ZVFZeroString(text);
    return doc;
}

std::wstring XmlLibrary::attributeText(xmlAttrPtr attribute, bool lowerCase) {
    const auto widen = [lowerCase](const char* data, std::size_t length) {
        return lowerCase ? PTKCoreUtils::toLowercaseWideString(data, length)
                         : PTKCoreUtils::toWideString(data, length);
    };
    xmlNodePtr child = attribute->children;
    if (child != nullptr && child->next == nullptr && child->type == XML_TEXT_NODE && child->content != nullptr) {
        const char* text = reinterpret_cast<const char*>(child->content);
        return widen(text, std::strlen(text));
    }
    std::string narrow;
    for (; child != nullptr; child = child->next) {
        if (child->type == XML_TEXT_NODE && child->content != nullptr) {
            narrow += reinterpret_cast<const char*>(child->content);
        }
    }
    std::wstring wide = widen(narrow.data(), narrow.size());
    zvf::SecureStringUtils::ZVFZeroString(narrow);
    return wide;
}

bool XmlLibrary::attributeIsTrue(xmlNodePtr element, const char* name) {
    for (xmlAttrPtr attribute = element->properties; attribute != nullptr; attribute = attribute->next) {
        if (attribute->name != nullptr && xmlStrcasecmp(attribute->name, BAD_CAST name) == 0) {
            return PTKCoreUtils::toBool(attributeText(attribute));
        }
    }
    return false;
}

void XmlLibrary::wipeBuffer(xmlBufferPtr buffer) {
    if (buffer != nullptr && buffer->content != nullptr) {
        zvf::SecureStringUtils::ZVFZeroMemory(buffer->content, buffer->size);
    }
}

XmlDocumentWriter::XmlDocumentWriter(ZVFLogger* logger, bool wipe) : buffer(nullptr, BufferFreer{wipe}) {
    if (logger != nullptr) {
        errors.emplace(logger);
    }
    buffer.reset(xmlBufferCreate());
    if (buffer) {
        writer.reset(xmlNewTextWriterMemory(buffer.get(), 0));
    }
    if (writer) {
        xmlTextWriterSetIndent(writer.get(), 1);
    }
}

void XmlDocumentWriter::finish() {
    if (writer) {
        xmlTextWriterEndDocument(writer.get());
        writer.reset();  // flushes what is left into the buffer
    }
}

std::size_t XmlDocumentWriter::size() const {
    return buffer ? static_cast<std::size_t>(xmlBufferLength(buffer.get())) : 0;
}

const char* XmlDocumentWriter::data() const {
    return buffer ? reinterpret_cast<const char*>(xmlBufferContent(buffer.get())) : "";
}

std::string XmlDocumentWriter::text() const { return std::string(data(), size()); }

void XmlDocumentWriter::BufferFreer::operator()(xmlBufferPtr buffer) const {
    if (wipe) {
        XmlLibrary::wipeBuffer(buffer);
    }
    PTKCoreUtils::XmlUtils::xmlBufferFreer(buffer);
}

}  // namespace ZVFUnified
