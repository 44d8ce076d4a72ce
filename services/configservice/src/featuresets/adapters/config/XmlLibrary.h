#ifndef CONFIG_XMLLIBRARY_H
#define CONFIG_XMLLIBRARY_H

#include <cstddef>
#include <string>

#include <libxml/parser.h>

class ZVFLogger;

namespace ZVFUnified {

// The one place where configuration XML is handed to libxml2 for parsing.
// Initialises the library once per process before the first parse on any
// thread, and parses with options that keep hostile documents harmless:
// nothing is fetched from the network, external entities and DTDs are never
// loaded, entities are not substituted (so entity expansion cannot blow up),
// libxml2's own depth, entity-amplification and node-size limits stay on
// (no XML_PARSE_HUGE), and documents above MAX_DOCUMENT_BYTES are refused
// before parsing. Errors go to the caller's logger (XmlErrorScope).
// Stateless apart from the one-time initialisation; thread-safe.
class XmlLibrary {
public:
    XmlLibrary() = delete;

    // Largest document accepted by the read operations. Configuration
    // documents are a few hundred kilobytes at most; the bound keeps memory
    // and time of a parse proportional to sane input.
    static constexpr std::size_t MAX_DOCUMENT_BYTES = 32u * 1024u * 1024u;
    // Parser options of every read.
    static constexpr int PARSE_OPTIONS = XML_PARSE_NONET;

    // xmlInitParser, once per process; every read and XmlErrorScope call it.
    static void initialize();

    // Parses length bytes at data (like xmlReadMemory with the safe
    // options); url names the document in libxml2's messages. Null when the
    // bytes do not form a document or are too many; the reason is logged at
    // level 3 to logger.
    static xmlDocPtr readMemory(ZVFLogger* logger, const char* data, std::size_t length, const char* url);
    // Parses the text up to its first NUL byte (like xmlParseDoc with the
    // safe options).
    static xmlDocPtr readDoc(ZVFLogger* logger, const char* text);
    // Parses the file at path, which is read as bytes first (like
    // xmlReadFile with the safe options, but never decompressing it).
    static xmlDocPtr readFile(ZVFLogger* logger, const std::string& path);
};

}  // namespace ZVFUnified

#endif
