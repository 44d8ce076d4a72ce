#include "stores/ConfigDocument.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>

#include "PTKCoreUtils/StringUtils.h"

namespace nuvrixconfig {

namespace {

struct ParserContextFreer {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
struct DocumentFreer {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct BufferFreer {
    void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};

const char* text(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

// libxml2's complaint as one line: the message without its line break, and
// the line it was found on.
std::string describeSyntaxError(xmlParserCtxtPtr context, const std::string& source) {
    const xmlError* failure = xmlCtxtGetLastError(context);
    std::string reason = failure && failure->message ? failure->message : "not well-formed";
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) {
        reason.pop_back();
    }
    std::string where = source;
    if (failure && failure->line > 0) {
        where += " line " + std::to_string(failure->line);
    }
    return "malformed XML in " + where + ": " + reason;
}

bool holdsElements(xmlNodePtr node) {
    for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            return true;
        }
    }
    return false;
}

// The entry's value: its joined text, trimmed, or its markup when it holds
// elements of its own.
std::string entryValue(xmlDocPtr doc, xmlNodePtr entry) {
    if (holdsElements(entry)) {
        std::unique_ptr<xmlBuffer, BufferFreer> buffer(xmlBufferCreate());
        if (!buffer) {
            return std::string();
        }
        xmlNodeDump(buffer.get(), doc, entry, 0, 0);
        return std::string(text(xmlBufferContent(buffer.get())), static_cast<std::size_t>(xmlBufferLength(buffer.get())));
    }
    std::string joined;
    for (xmlNodePtr child = entry->children; child != nullptr; child = child->next) {
        if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && child->content != nullptr) {
            joined += text(child->content);
        }
    }
    return PTKCoreUtils::trim(joined);
}

bool markedSensitive(xmlNodePtr entry) {
    for (xmlAttrPtr attribute = entry->properties; attribute != nullptr; attribute = attribute->next) {
        if (attribute->name != nullptr &&
            PTKCoreUtils::caseInsensitiveStringEquals(std::string(text(attribute->name)), "sensitive")) {
            std::unique_ptr<xmlChar, decltype(xmlFree)> value(xmlNodeListGetString(entry->doc, attribute->children, 1),
                                                              xmlFree);
            return value && PTKCoreUtils::toBool(std::string(text(value.get())));
        }
    }
    return false;
}

}  // namespace

bool ConfigDocument::parse(const std::string& content, const std::string& source, std::string& error) {
    values.clear();
    sensitiveKeys.clear();
    std::unique_ptr<xmlParserCtxt, ParserContextFreer> context(xmlNewParserCtxt());
    if (!context) {
        error = "out of memory reading " + source;
        return false;
    }
    // No network, and no complaints printed by the library itself: the
    // failure is reported once, below.
    std::unique_ptr<xmlDoc, DocumentFreer> doc(
        xmlCtxtReadMemory(context.get(), content.data(), static_cast<int>(content.size()), source.c_str(), nullptr,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc) {
        error = describeSyntaxError(context.get(), source);
        return false;
    }
    xmlNodePtr root = xmlDocGetRootElement(doc.get());
    for (xmlNodePtr group = root ? root->children : nullptr; group != nullptr; group = group->next) {
        if (group->type != XML_ELEMENT_NODE) {
            continue;
        }
        for (xmlNodePtr entry = group->children; entry != nullptr; entry = entry->next) {
            if (entry->type != XML_ELEMENT_NODE || entry->name == nullptr) {
                continue;
            }
            const std::wstring key = PTKCoreUtils::toWideString(text(entry->name));
            if (!values.emplace(key, PTKCoreUtils::toWideString(entryValue(doc.get(), entry))).second) {
                continue;
            }
            if (markedSensitive(entry)) {
                sensitiveKeys.push_back(key);
            }
        }
    }
    if (values.empty()) {
        error = source + " holds no configuration entries (expected <root><group><Key>value</Key></group></root>)";
        return false;
    }
    return true;
}

}  // namespace nuvrixconfig
