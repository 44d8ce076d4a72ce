#include "XmlLibrary.h"

#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>

#include "XmlErrorScope.h"
#include "logging/ZVFLogger.h"
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
    // A context of our own, so that nothing of one parse (options, state)
    // leaks into the next.
    std::unique_ptr<xmlParserCtxt, ParserContextFreer> context(xmlNewParserCtxt());
    if (!context) {
        ZVF_LOG(logger, 2, std::string("Unable to create an XML parser context"));
        return nullptr;
    }
    return xmlCtxtReadMemory(context.get(), data, static_cast<int>(length), url, nullptr, PARSE_OPTIONS);
}

xmlDocPtr XmlLibrary::readDoc(ZVFLogger* logger, const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    return readMemory(logger, text, std::strlen(text), nullptr);
}

xmlDocPtr XmlLibrary::readFile(ZVFLogger* logger, const std::string& path) {
    std::ifstream stream(path, std::ios::in | std::ios::binary);
    if (!stream.is_open()) {
        XmlErrorScope errors(logger);
        ZVF_LOG(logger, 3, "Unable to open XML file " + ZVFLogger_replacePIIData(path));
        return nullptr;
    }
    stream.seekg(0, std::ios::end);
    const std::streamoff size = stream.tellg();
    if (size < 0) {
        return nullptr;
    }
    if (static_cast<std::size_t>(size) > MAX_DOCUMENT_BYTES) {
        logTooLarge(logger, static_cast<std::size_t>(size));
        return nullptr;
    }
    stream.seekg(0, std::ios::beg);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !stream.read(&text[0], size)) {
        zvf::SecureStringUtils::ZVFZeroString(text);
        return nullptr;
    }
    xmlDocPtr doc = readMemory(logger, text.data(), text.size(), path.c_str());
    // Configuration files can hold secrets.
    zvf::SecureStringUtils::ZVFZeroString(text);
    return doc;
}

}  // namespace ZVFUnified
