#ifndef CONFIG_XMLLIBRARY_H
#define CONFIG_XMLLIBRARY_H

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include <libxml/parser.h>
#include <libxml/xmlwriter.h>

#include "XmlErrorScope.h"

class ZVFLogger;

namespace zvf {
class SecureString;
}

namespace ZVFUnified {

// The one place where configuration XML is handed to libxml2 for parsing.
// Initialises the library once per process before the first parse on any
// thread, and parses with options that keep hostile documents harmless:
// nothing is fetched from the network, external entities and DTDs are never
// loaded, entities are not substituted (so entity expansion cannot blow up),
// libxml2's own depth, entity-amplification and node-size limits stay on
// (no XML_PARSE_HUGE), and documents above MAX_DOCUMENT_BYTES are refused
// before parsing. Errors go to the caller's logger (XmlErrorScope).
//
// Parse time must stay bounded for any document up to that size, and
// libxml2 (2.9) is not linear in every shape of input: the attributes of one
// element cost time quadratic in their number (uniqueness check, appending
// to the attribute list), and so do many distinct names (its dictionary).
// So a linear scan refuses, before libxml2 sees them, documents with an
// element of more than MAX_ATTRIBUTES_PER_ELEMENT attributes (those a DTD
// defaults included), with more than MAX_MARKUP_ITEMS elements, attributes
// and other markup items, or with an internal DTD subset that is large
// (MAX_INTERNAL_SUBSET_BYTES, which bounds what entities can hide) or uses
// parameter entities (which could hide attribute defaults).
// Stateless apart from the one-time initialisation; thread-safe.
class XmlLibrary {
public:
    XmlLibrary() = delete;

    // Largest document accepted by the read operations. Configuration
    // documents are a few hundred kilobytes at most; the bound keeps memory
    // and time of a parse proportional to sane input.
    static constexpr std::size_t MAX_DOCUMENT_BYTES = 32u * 1024u * 1024u;
    // Attributes one element may carry, explicit and defaulted.
    static constexpr std::size_t MAX_ATTRIBUTES_PER_ELEMENT = 256;
    // Start tags, attributes, comments, processing instructions, CDATA
    // sections and entity references one document may hold.
    static constexpr std::size_t MAX_MARKUP_ITEMS = 100000;
    // Size of the internal DTD subset.
    static constexpr std::size_t MAX_INTERNAL_SUBSET_BYTES = 16 * 1024;
    // Parser options of every read.
    static constexpr int PARSE_OPTIONS = XML_PARSE_NONET;

    // xmlInitParser, once per process; every read and XmlErrorScope call it.
    static void initialize();

    // Parses length bytes at data (like xmlReadMemory with the safe
    // options); url names the document in libxml2's messages. Null when the
    // bytes do not form a document, are too many or have a shape refused
    // above; the reason is logged at level 3 to logger.
    static xmlDocPtr readMemory(ZVFLogger* logger, const char* data, std::size_t length, const char* url);
    // Parses the plain text of data up to its first NUL byte (like
    // xmlParseDoc with the safe options), where the reader that decrypts it
    // holds it and wipes it afterwards: no copy of the text is made for the
    // parse.
    static xmlDocPtr readSecure(ZVFLogger* logger, const zvf::SecureString& data);
    // Parses the file at path, which is read as bytes first (like
    // xmlReadFile with the safe options, but never decompressing it). Only a
    // regular file is read; a FIFO is never waited on.
    static xmlDocPtr readFile(ZVFLogger* logger, const std::string& path);

    // The attribute's own text, from its text nodes, as wide text
    // (lower-cased as toLowercase does when lowerCase is true). Entity
    // references in it are not expanded, so that a document cannot make us
    // build text far larger than itself. Text in one piece, the usual case,
    // is converted where it lies; several pieces are joined first, in a
    // temporary that is wiped, since the text may be a secret.
    static std::wstring attributeText(xmlAttrPtr attribute, bool lowerCase = false);
    // Whether the element's first attribute of that name (compared ignoring
    // ASCII case) has text that reads as true (PTKCoreUtils::toBool); false
    // without one.
    static bool attributeIsTrue(xmlNodePtr element, const char* name);

    // Zeroes the buffer's whole allocation: serialised configuration holds
    // values, secrets included.
    static void wipeBuffer(xmlBufferPtr buffer);
};

// Writes one document with libxml2's text writer into a memory buffer,
// indented by one space a level: the owner writes the content through get(),
// then finish() ends the open elements and the document and flushes it, and
// text() holds the result until the writer goes. A buffer made with wipe
// is zeroed before it is freed, for documents that hold secrets. With a
// logger, libxml2's complaints go to it while the writer exists. Not
// copyable; one thread.
class XmlDocumentWriter {
public:
    XmlDocumentWriter(ZVFLogger* logger, bool wipe);
    XmlDocumentWriter(const XmlDocumentWriter&) = delete;
    XmlDocumentWriter& operator=(const XmlDocumentWriter&) = delete;

    // False when libxml2 could not make the buffer (then hasWriter() is
    // false as well).
    bool hasBuffer() const { return buffer != nullptr; }
    // False when the buffer or the writer could not be made: nothing is
    // written then.
    bool hasWriter() const { return writer != nullptr; }
    xmlTextWriterPtr get() const { return writer.get(); }
    void finish();
    std::string text() const;
    std::size_t size() const;
    const char* data() const;

private:
    struct BufferFreer {
        bool wipe;
        void operator()(xmlBufferPtr buffer) const;
    };
    struct WriterFreer {
        void operator()(xmlTextWriterPtr writer) const { xmlFreeTextWriter(writer); }
    };

    std::optional<XmlErrorScope> errors;
    std::unique_ptr<xmlBuffer, BufferFreer> buffer;  // declared before writer, which flushes into it when freed
    std::unique_ptr<xmlTextWriter, WriterFreer> writer;
};

}  // namespace ZVFUnified

#endif
