#include "XmlConfigParser.h"

#include <cstring>
#include <utility>

#include <libxml/xmlwriter.h>

#include "ConfigStoreConstants.h"
#include "DisableP2PCallOnFips.h"
#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/StringUtils.h"
#include "PTKCoreUtils/XmlUtils.h"
#include "SensitiveKeySecuringUtility.h"
#include "XmlDocFreer.h"
#include "XmlErrorScope.h"
#include "XmlLibrary.h"
#include "XmlSafeText.h"
#include "logging/ZVFLogger.h"
#include "zvf/SecureString.h"
#include "zvf/SecureStringUtils.h"
#include "zvf/storage/EncryptFileUtils.h"

namespace ZVFUnified {

namespace {

ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-XmlConfigParser");

// The attribute that marks an entry sensitive (read in any letter case).
const char* const SENSITIVE_ATTRIBUTE = "sensitive";

// "name or name.dat", the two names a file may be stored under, for logs.
std::wstring bothFileNames(const std::string& path) {
    return PTKCoreUtils::toWideString(PTKCoreUtils::FileUtils::getFileName(path)) + L" or " +
           PTKCoreUtils::toWideString(PTKCoreUtils::FileUtils::getFileName(getEncryptedFileName(path)));
}

const char* text(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

// Whether the entry is named by one of the two password keys (any letter
// case). Asked for every entry, so it compares the narrow name where it lies:
// a byte that is not ASCII matches no character of the keys, as its wide
// form would not.
bool isWellKnownSensitiveEntry(xmlNodePtr node) {
    if (node->name == nullptr) {
        return false;
    }
    const std::size_t length = static_cast<std::size_t>(xmlStrlen(node->name));
    for (const std::wstring& key : SensitiveKeySecuringUtility::WELL_KNOWN_SENSITIVE_KEYS) {
        if (key.size() != length) {
            continue;
        }
        std::size_t i = 0;
        while (i < length &&
               PTKCoreUtils::foldAscii(static_cast<wchar_t>(node->name[i])) == PTKCoreUtils::foldAscii(key[i])) {
            ++i;
        }
        if (i == length) {
            return true;
        }
    }
    return false;
}

// The joined text and CDATA children of element, untrimmed; with wipe, each
// piece is zeroed inside the tree once copied.
std::string joinText(xmlNodePtr element, bool wipe) {
    std::string joined;
    for (xmlNodePtr child = element->children; child != nullptr; child = child->next) {
        if ((child->type != XML_TEXT_NODE && child->type != XML_CDATA_SECTION_NODE) || child->content == nullptr) {
            continue;
        }
        joined += text(child->content);
        if (wipe) {
            zvf::SecureStringUtils::ZVFZeroMemory(child->content, static_cast<std::size_t>(xmlStrlen(child->content)));
        }
    }
    return joined;
}

// Hands the trimmed, joined text and CDATA content of an entry that holds
// nothing else to take(data, length); with wipe, each piece is then zeroed
// inside the tree. An entry whose first child has no content gives "". A
// single piece, the usual case, is handed over where it lies; several are
// joined in a temporary that is wiped.
template <class Take>
void takeEntryText(xmlNodePtr node, bool wipe, Take take) {
    if (node == nullptr || node->children == nullptr || node->children->content == nullptr) {
        take("", 0);
        return;
    }
    std::size_t begin = 0;
    std::size_t end = 0;
    xmlNodePtr only = node->children;
    if (only->next == nullptr && (only->type == XML_TEXT_NODE || only->type == XML_CDATA_SECTION_NODE)) {
        const char* data = text(only->content);
        const std::size_t length = std::strlen(data);
        PTKCoreUtils::trimBounds(data, length, begin, end);
        take(data + begin, end - begin);
        if (wipe) {
            zvf::SecureStringUtils::ZVFZeroMemory(only->content, length);
        }
        return;
    }
    std::string joined = joinText(node, wipe);
    PTKCoreUtils::trimBounds(joined.data(), joined.size(), begin, end);
    take(joined.data() + begin, end - begin);
    zvf::SecureStringUtils::ZVFZeroString(joined);
}

// The first child element of entry with that name (any letter case), or null.
xmlNodePtr childNamed(xmlNodePtr entry, const char* name) {
    for (xmlNodePtr child = entry->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && child->name != nullptr &&
            PTKCoreUtils::caseInsensitiveStringEquals(std::string(text(child->name)), std::string(name))) {
            return child;
        }
    }
    return nullptr;
}

// The unescaped text of the named child of an escaped entry into out; false
// when the entry has no such child.
bool escapedField(xmlNodePtr entry, const char* name, bool wipe, std::wstring& out) {
    xmlNodePtr child = childNamed(entry, name);
    if (child == nullptr) {
        return false;
    }
    std::string narrow = joinText(child, wipe);
    std::wstring escaped = PTKCoreUtils::toWideString(narrow.data(), narrow.size());
    zvf::SecureStringUtils::ZVFZeroString(narrow);
    out = XmlSafeText::unescape(escaped);
    zvf::SecureStringUtils::ZVFZeroWstring(escaped);
    return true;
}

// Upper bounds of what the cached-configuration document spends around its
// entries: declaration and the two outer elements, and per entry the
// indentation, brackets, the sensitive mark and (in escaped form) the entry,
// key and value tags.
constexpr std::size_t DOCUMENT_OVERHEAD_BYTES = 128;
constexpr std::size_t ENTRY_OVERHEAD_BYTES = 96;

// Writes one entry of the cached-configuration document: an element named by
// the key holding the value, or, when the key is no element name or either
// text holds a character XML cannot carry, the escaped form
//   <entry escaped="true"><key>...</key><value>...</value></entry>
// whose texts are in text nodes, which libxml2 reads back at any size. A
// sensitive entry carries sensitive="true" on its outer element.
void writeEntry(xmlTextWriterPtr writer, const std::wstring& key, const std::wstring& value, bool escaped,
                bool sensitive) {
    if (!escaped) {
        const std::string name = PTKCoreUtils::toString(key);
        std::string narrow = PTKCoreUtils::toString(value);
        if (sensitive) {
            xmlTextWriterStartElement(writer, BAD_CAST name.c_str());
            xmlTextWriterWriteAttribute(writer, BAD_CAST SENSITIVE_ATTRIBUTE, BAD_CAST "true");
            xmlTextWriterWriteString(writer, BAD_CAST narrow.c_str());
            xmlTextWriterEndElement(writer);
        } else {
            xmlTextWriterWriteElement(writer, BAD_CAST name.c_str(), BAD_CAST narrow.c_str());
        }
        zvf::SecureStringUtils::ZVFZeroString(narrow);
        return;
    }
    const std::string name = PTKCoreUtils::toString(XmlSafeText::escape(key));
    std::wstring wide = XmlSafeText::escape(value);
    std::string narrow = PTKCoreUtils::toString(wide);
    zvf::SecureStringUtils::ZVFZeroWstring(wide);
    xmlTextWriterStartElement(writer, BAD_CAST "entry");
    xmlTextWriterWriteAttribute(writer, BAD_CAST XmlSafeText::ESCAPED_ATTRIBUTE, BAD_CAST "true");
    if (sensitive) {
        xmlTextWriterWriteAttribute(writer, BAD_CAST SENSITIVE_ATTRIBUTE, BAD_CAST "true");
    }
    xmlTextWriterWriteElement(writer, BAD_CAST "key", BAD_CAST name.c_str());
    xmlTextWriterWriteElement(writer, BAD_CAST "value", BAD_CAST narrow.c_str());
    xmlTextWriterEndElement(writer);
    zvf::SecureStringUtils::ZVFZeroString(narrow);
}

// Whether value begins or ends with white space that reading an entry's
// plain text would trim away. Every such character is at most U+0020, so
// only a value whose ends are that low is trimmed to find out.
bool hasSurroundingSpace(const std::wstring& value) {
    if (value.empty() || (value.front() > L' ' && value.back() > L' ')) {
        return false;
    }
    return PTKCoreUtils::trim(value).size() != value.size();
}

// A key as shown in a log line: long keys are cut short.
std::string keyForLog(const std::wstring& key) {
    constexpr std::size_t shown = 100;
    return PTKCoreUtils::toString(key.size() > shown ? key.substr(0, shown) + L"..." : key);
}

void ensureParentDirectory(const std::string& path) {
    const std::string parent = PTKCoreUtils::FileUtils::getParentDirectory(path);
    if (!parent.empty() && !PTKCoreUtils::FileUtils::fileExists(parent)) {
        PTKCoreUtils::FileUtils::createDirectory(parent);
    }
}

}  // namespace

std::string getEncryptedFileName(const std::string& path) {
    const std::string::size_type dot = path.rfind('.');
    if (dot == std::string::npos) {
        return path + ".dat";
    }
    return path.substr(0, dot) + ".dat";
}

bool XmlConfigParser::writeToMemory(std::string& out, const ConfigMap& configMap, const ConfigKeySet& sensitiveKeys) {
    XmlDocumentWriter document(logger, true);  // the buffer holds the values
    xmlTextWriterPtr writer = document.get();
    if (writer == nullptr) {
        return false;
    }
    xmlTextWriterStartDocument(writer, nullptr, "utf-8", nullptr);
    xmlTextWriterStartElement(writer, BAD_CAST "Nuvrix");
    xmlTextWriterStartElement(writer, BAD_CAST "CachedConfig");
    // At most how far into the document the next entry starts.
    std::size_t offset = DOCUMENT_OVERHEAD_BYTES;
    // Markup items for the parser's limit: the declaration, the two outer
    // elements, then one per entry or four per escaped one.
    std::size_t items = 3;
    for (const auto& entry : configMap) {
        const std::size_t nameBytes = XmlSafeText::documentBytes(entry.first, false);
        std::size_t entryBytes = ENTRY_OVERHEAD_BYTES + 2 * nameBytes + XmlSafeText::documentBytes(entry.second, false);
        // A long name is kept out of element names beyond the parser's
        // look-ahead limit.
        const bool nameFits = nameBytes <= XmlSafeText::SHORT_TOKEN_BYTES ||
                              offset + entryBytes <= XmlSafeText::LOOKAHEAD_LIMIT_BYTES;
        // The escaped form also keeps the white space around a value, which
        // the plain text of an entry loses when it is read.
        const bool escaped = !nameFits || !XmlSafeText::isElementName(entry.first) ||
                             !XmlSafeText::isCarried(entry.second) || hasSurroundingSpace(entry.second);
        const std::size_t keyBytes = XmlSafeText::documentBytes(entry.first, escaped);
        const std::size_t valueBytes = XmlSafeText::documentBytes(entry.second, escaped);
        // An entry that could not be read back is left out, so that it cannot
        // cost the others.
        if (keyBytes > XmlSafeText::MAX_FIELD_BYTES || valueBytes > XmlSafeText::MAX_FIELD_BYTES) {
            ZVF_LOG(logger, 2,
                    "Left the value of key [" + keyForLog(entry.first) +
                        "] out of the cached configuration: it is longer than one XML text can hold");
            continue;
        }
        const bool sensitive = sensitiveKeys.count(entry.first) != 0;
        writeEntry(writer, entry.first, entry.second, escaped, sensitive);
        offset += escaped ? ENTRY_OVERHEAD_BYTES + keyBytes + valueBytes : entryBytes;
        items += (escaped ? 4 : 1) + (sensitive ? 1 : 0);
    }
    xmlTextWriterEndElement(writer);
    xmlTextWriterEndElement(writer);
    document.finish();
    const std::size_t length = document.size();
    if (length > XmlLibrary::MAX_DOCUMENT_BYTES || items > XmlLibrary::MAX_MARKUP_ITEMS) {
        ZVF_LOG(logger, 2,
                "The cached configuration document of " + std::to_string(length) + " bytes and " +
                    std::to_string(items) + " markup items would not be read back and is not written");
        return false;
    }
    out.assign(document.data(), length);
    return true;
}

bool XmlConfigParser::writeToFile(const std::string& path, const ConfigMap& configMap,
                                  const ConfigKeySet& sensitiveKeys) {
    ensureParentDirectory(path);
    const FileCategoryType::FileCategory category = ConfigStoreConstants::fileCategoryOf(path);
    std::string document;
    // A document that could not be read back would replace a good cache file.
    if (!writeToMemory(document, configMap, sensitiveKeys)) {
        return false;
    }
    const zvf::SecureString data(document);
    const bool written = zvf::storage::EncryptFileUtils::writeDataToFile(path, data, category);
    zvf::SecureStringUtils::ZVFZeroString(document);
    ZVF_LOG(logger, 4,
            L"data written to file: " +
                PTKCoreUtils::toWideString(PTKCoreUtils::FileUtils::getFileName(getEncryptedFileName(path))));
    return written;
}

bool XmlConfigParser::writeToFile(const std::string& path, const std::string& xmlText) {
    XmlErrorScope errors(logger);
    // The terminating NUL is part of the input, as the text is a C string.
    std::shared_ptr<xmlDoc> doc(XmlLibrary::readMemory(logger, xmlText.c_str(), xmlText.size() + 1, path.c_str()),
                                XmlDocFreer());
    ensureParentDirectory(path);
    if (!doc) {
        return false;
    }
    return xmlSaveFile(path.c_str(), doc.get()) != -1;
}

bool XmlConfigParser::readFromFile(const std::string& path, ConfigMap& configMap, ConfigKeySet& sensitiveKeys) {
    return readFromEncryptedFile(path, configMap, sensitiveKeys);
}

bool XmlConfigParser::readFromEncryptedFile(const std::string& path, ConfigMap& configMap,
                                            ConfigKeySet& sensitiveKeys) {
    XmlErrorScope errors(logger);
    configMap.clear();
    const FileCategoryType::FileCategory category = ConfigStoreConstants::fileCategoryOf(path);
    zvf::SecureString data;
    if (!zvf::storage::EncryptFileUtils::readDataFromFile(path, data, category)) {
        ZVF_LOG(logger, 3, L"Failed to read XML document: " + bothFileNames(path));
        return false;
    }
    std::shared_ptr<xmlDoc> doc(XmlLibrary::readSecure(logger, data), XmlDocFreer());
    if (!doc) {
        ZVF_LOG(logger, 3, L"XML in file did not exist or is an invalid XML document: " + bothFileNames(path));
        return false;
    }
    return parseXmlConfig(doc, configMap, sensitiveKeys);
}

bool XmlConfigParser::readFromMemory(const std::string& xmlText, ConfigMap& configMap, ConfigKeySet& sensitiveKeys) {
    XmlErrorScope errors(logger);
    configMap.clear();
    if (xmlText.empty()) {
        return false;
    }
    std::shared_ptr<xmlDoc> doc(XmlLibrary::readMemory(logger, xmlText.data(), xmlText.size(), "xmlDocument"),
                                XmlDocFreer());
    return parseXmlConfig(doc, configMap, sensitiveKeys);
}

bool XmlConfigParser::parseXmlConfig(std::shared_ptr<xmlDoc> doc, ConfigMap& configMap,
                                     ConfigKeySet& sensitiveKeys) {
    if (!doc) {
        ZVF_LOG(logger, 2,
                std::string("\n************\nError Invalid XML syntax detected - Unable to read xml "
                            "configuration.\n************"));
        return false;
    }
    xmlNodePtr root = xmlDocGetRootElement(doc.get());
    if (root == nullptr) {
        ZVF_LOG(logger, 3, std::string("XML document root element not available."));
        return false;
    }
    XmlErrorScope errors(logger);
    for (xmlNodePtr group = root->children; group != nullptr; group = group->next) {
        if (group->type == XML_ELEMENT_NODE) {
            parseXmlGroup(doc, group, configMap, sensitiveKeys);
        }
    }
    return true;
}

void XmlConfigParser::parseXmlGroup(std::shared_ptr<xmlDoc> doc, xmlNodePtr groupNode, ConfigMap& configMap,
                                    ConfigKeySet& sensitiveKeys) {
    if (groupNode == nullptr) {
        return;
    }
    for (xmlNodePtr entry = groupNode->children; entry != nullptr; entry = entry->next) {
        if (entry->type != XML_ELEMENT_NODE || entry->name == nullptr) {
            continue;
        }
        // An entry in escaped form carries its key in a child element.
        const bool escaped = XmlSafeText::isEscapedEntry(entry);
        // The key in lower case, as the host's toLowercase gives it.
        std::wstring key;
        if (!escaped) {
            key = PTKCoreUtils::toLowercaseWideString(text(entry->name),
                                                      static_cast<std::size_t>(xmlStrlen(entry->name)));
        } else if (!escapedField(entry, "key", false, key)) {
            continue;
        } else {
            for (wchar_t& c : key) {
                c = PTKCoreUtils::foldAscii(c);
            }
        }
        // The first occurrence wins, so that a later duplicate in a server
        // document cannot override an earlier one.
        ConfigMap::iterator position;
        if (!positionForNewKey(configMap, key, position)) {
            continue;
        }
        std::wstring value;
        if (escaped) {
            escapedField(entry, "value", SensitiveKeySecuringUtility::isWellKnownSensitiveKey(key), value);
        } else {
            bool structured = false;
            for (xmlNodePtr child = entry->children; child != nullptr; child = child->next) {
                if (child->type != XML_TEXT_NODE && child->type != XML_CDATA_SECTION_NODE) {
                    structured = true;
                    break;
                }
            }
            if (structured) {
                std::string narrow = extractXmlStringFromXmlNode(doc, entry);
                value = PTKCoreUtils::toWideString(narrow.data(), narrow.size());
                zvf::SecureStringUtils::ZVFZeroString(narrow);
            } else {
                // Converted straight from the tree: no narrow copy is made.
                takeEntryText(entry, isWellKnownSensitiveEntry(entry),
                              [&value](const char* data, std::size_t length) { value = PTKCoreUtils::toWideString(data, length); });
            }
        }
        DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(key, value);
        const bool sensitive = parseSensitiveAttribute(entry);
        if (sensitive) {
            sensitiveKeys.insert(key);
        }
        insertNewValue(configMap, position, std::move(key), value);
    }
}

bool XmlConfigParser::parseSensitiveAttribute(xmlNodePtr node) {
    return node != nullptr && node->type == XML_ELEMENT_NODE && XmlLibrary::attributeIsTrue(node, SENSITIVE_ATTRIBUTE);
}

std::string XmlConfigParser::extractStringFromXmlNode(xmlNodePtr node) {
    std::string result;
    takeEntryText(node, node != nullptr && isWellKnownSensitiveEntry(node),
                  [&result](const char* data, std::size_t length) { result.assign(data, length); });
    return result;
}

std::string XmlConfigParser::extractXmlStringFromXmlNode(std::shared_ptr<xmlDoc> doc, xmlNodePtr node) {
    std::string dump;
    if (node == nullptr) {
        return dump;
    }
    XmlErrorScope errors(logger);
    std::shared_ptr<xmlBuffer> buffer(xmlBufferCreate(), PTKCoreUtils::XmlUtils::xmlBufferFreer);
    if (!buffer) {
        return dump;
    }
    xmlNodeDump(buffer.get(), doc.get(), node, 0, 0);
    dump.assign(text(xmlBufferContent(buffer.get())), static_cast<std::size_t>(xmlBufferLength(buffer.get())));
    if (isWellKnownSensitiveEntry(node)) {
        if (node->content != nullptr) {
            zvf::SecureStringUtils::ZVFZeroMemory(node->content, static_cast<std::size_t>(xmlStrlen(node->content)));
        }
        XmlLibrary::wipeBuffer(buffer.get());
    }
    return dump;
}

}  // namespace ZVFUnified
