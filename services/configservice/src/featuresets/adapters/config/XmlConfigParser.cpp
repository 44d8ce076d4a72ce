#include "XmlConfigParser.h"

#include <cstring>
#include <iterator>
#include <utility>

#include <libxml/xmlwriter.h>

#include "DisableP2PCallOnFips.h"
#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/StringUtils.h"
#include "PTKCoreUtils/XmlUtils.h"
#include "SensitiveKeySecuringUtility.h"
#include "XmlDocFreer.h"
#include "XmlErrorScope.h"
#include "XmlLibrary.h"
#include "logging/ZVFLogger.h"
#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"
#include "zvf/SecureStringUtils.h"
#include "zvf/storage/EncryptFileUtils.h"

namespace ZVFUnified {

namespace {

ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-XmlConfigParser");

const char* const URL_PROVISIONING_STORE_NAME = "UrlProvisioningConfigStore";

const caseInsensitiveMapComparator less;

struct TextWriterFreer {
    void operator()(xmlTextWriterPtr writer) const {
        if (writer != nullptr) {
            xmlFreeTextWriter(writer);
        }
    }
};

// The URL-provisioning cache is stored under its own category; every other
// configuration file under the configuration category.
FileCategoryType::FileCategory fileCategoryFor(const std::string& path) {
    return path.find(URL_PROVISIONING_STORE_NAME) != std::string::npos ? FileCategoryType::General
                                                                        : FileCategoryType::Configuration;
}

// "name or name.dat", the two names a file may be stored under, for logs.
std::wstring bothFileNames(const std::string& path) {
    return PTKCoreUtils::toWideString(PTKCoreUtils::FileUtils::getFileName(path)) + L" or " +
           PTKCoreUtils::toWideString(PTKCoreUtils::FileUtils::getFileName(getEncryptedFileName(path)));
}

const char* text(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

// UTF-8 to wide text. Configuration keys and most values are ASCII, which
// widens byte for byte; anything else goes through the host's conversion,
// which gives the same result for ASCII.
std::wstring widen(const char* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(data[i]) >= 0x80) {
            std::string copy(data, length);
            std::wstring wide = PTKCoreUtils::toWideString(copy);
            zvf::SecureStringUtils::ZVFZeroString(copy);  // the text may be a secret
            return wide;
        }
    }
    return std::wstring(data, data + length);
}

// Whether the entry is named by one of the two password keys (any letter
// case). Asked for every entry, so it compares the narrow name and rejects
// on length before converting anything.
bool isWellKnownSensitiveEntry(xmlNodePtr node) {
    if (node->name == nullptr) {
        return false;
    }
    const std::size_t length = static_cast<std::size_t>(xmlStrlen(node->name));
    for (const std::wstring& key : SensitiveKeySecuringUtility::WELL_KNOWN_SENSITIVE_KEYS) {
        if (key.size() == length &&
            SensitiveKeySecuringUtility::isWellKnownSensitiveKey(PTKCoreUtils::toWideString(text(node->name)))) {
            return true;
        }
    }
    return false;
}

// Overwrites the buffer's whole allocation before it is freed: it held a
// serialised configuration, values included.
void wipeBuffer(xmlBufferPtr buffer) {
    if (buffer != nullptr && buffer->content != nullptr) {
        zvf::SecureStringUtils::ZVFZeroMemory(buffer->content, buffer->size);
    }
}

void wipeBufferAndFree(xmlBufferPtr buffer) {
    wipeBuffer(buffer);
    PTKCoreUtils::XmlUtils::xmlBufferFreer(buffer);
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

bool XmlConfigParser::writeToMemory(std::string& out, const ConfigMap& configMap) {
    XmlErrorScope errors(logger);
    std::shared_ptr<xmlBuffer> buffer(xmlBufferCreate(), wipeBufferAndFree);
    if (!buffer) {
        return false;
    }
    std::unique_ptr<xmlTextWriter, TextWriterFreer> writer(xmlNewTextWriterMemory(buffer.get(), 0));
    if (!writer) {
        return false;
    }
    xmlTextWriterSetIndent(writer.get(), 1);
    xmlTextWriterStartDocument(writer.get(), nullptr, "utf-8", nullptr);
    xmlTextWriterStartElement(writer.get(), BAD_CAST "Nuvrix");
    xmlTextWriterStartElement(writer.get(), BAD_CAST "CachedConfig");
    for (const auto& entry : configMap) {
        std::string name = PTKCoreUtils::toString(entry.first);
        std::string value = PTKCoreUtils::toString(entry.second);
        xmlTextWriterWriteElement(writer.get(), BAD_CAST name.c_str(), BAD_CAST value.c_str());
        zvf::SecureStringUtils::ZVFZeroString(value);
    }
    xmlTextWriterEndElement(writer.get());
    xmlTextWriterEndElement(writer.get());
    xmlTextWriterEndDocument(writer.get());
    writer.reset();  // flushes what is left into the buffer
    out.assign(text(xmlBufferContent(buffer.get())), static_cast<std::size_t>(xmlBufferLength(buffer.get())));
    return true;
}

bool XmlConfigParser::writeToFile(const std::string& path, const ConfigMap& configMap) {
    ensureParentDirectory(path);
    const FileCategoryType::FileCategory category = fileCategoryFor(path);
    std::string document;
    writeToMemory(document, configMap);
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
    const FileCategoryType::FileCategory category = fileCategoryFor(path);
    zvf::SecureString data;
    if (!zvf::storage::EncryptFileUtils::readDataFromFile(path, data, category)) {
        ZVF_LOG(logger, 3, L"Failed to read XML document: " + bothFileNames(path));
        return false;
    }
    std::string document;
    {
        zvf::SecureStringReader reader;
        data.getUnsecureString(reader);
        document.assign(reader.c_str(), static_cast<std::size_t>(reader.getBufSize()));
    }
    bool result = false;
    std::shared_ptr<xmlDoc> doc(XmlLibrary::readDoc(logger, document.c_str()), XmlDocFreer());
    if (!doc) {
        ZVF_LOG(logger, 3, L"XML in file did not exist or is an invalid XML document: " + bothFileNames(path));
    } else {
        result = parseXmlConfig(doc, configMap, sensitiveKeys);
    }
    zvf::SecureStringUtils::ZVFZeroString(document);
    return result;
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
        // Lower-cased in place with the host's case folding (what
        // toLowercase does), saving a copy per entry.
        std::wstring key = widen(text(entry->name), static_cast<std::size_t>(xmlStrlen(entry->name)));
        for (wchar_t& c : key) {
            c = PTKCoreUtils::foldAscii(c);
        }
        // The first occurrence wins, so that a later duplicate in a server
        // document cannot override an earlier one. Documents we wrote list
        // their keys in map order, so a key after the last one held is
        // checked with a single comparison and appended at the end.
        ConfigMap::iterator position = configMap.end();
        if (!configMap.empty() && !less(std::prev(configMap.end())->first, key)) {
            position = configMap.lower_bound(key);
            if (position != configMap.end() && !less(key, position->first)) {
                continue;
            }
        }
        bool structured = false;
        for (xmlNodePtr child = entry->children; child != nullptr; child = child->next) {
            if (child->type != XML_TEXT_NODE && child->type != XML_CDATA_SECTION_NODE) {
                structured = true;
                break;
            }
        }
        std::string narrow = structured ? extractXmlStringFromXmlNode(doc, entry) : extractStringFromXmlNode(entry);
        std::wstring value = widen(narrow.data(), narrow.size());
        zvf::SecureStringUtils::ZVFZeroString(narrow);
        DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(key, value);
        const bool sensitive = parseSensitiveAttribute(entry);
        if (sensitive) {
            sensitiveKeys.insert(key);
        }
        // The value moves into the map: no copy of it is left behind.
        configMap.emplace_hint(position, std::move(key), std::move(value));
        zvf::SecureStringUtils::ZVFZeroWstring(value);
    }
}

bool XmlConfigParser::parseSensitiveAttribute(xmlNodePtr node) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE) {
        return false;
    }
    for (xmlAttrPtr attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
        if (attribute->name == nullptr || PTKCoreUtils::toLowercase(std::string(text(attribute->name))) != "sensitive") {
            continue;
        }
        // Only the attribute's own text counts: entity references in it are
        // not expanded.
        std::string value;
        for (xmlNodePtr child = attribute->children; child != nullptr; child = child->next) {
            if (child->type == XML_TEXT_NODE && child->content != nullptr) {
                value += text(child->content);
            }
        }
        return PTKCoreUtils::toBool(value);
    }
    return false;
}

std::string XmlConfigParser::extractStringFromXmlNode(xmlNodePtr node) {
    std::string joined;
    if (node == nullptr || node->children == nullptr || node->children->content == nullptr) {
        return joined;
    }
    const bool secret = isWellKnownSensitiveEntry(node);
    for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
        if ((child->type != XML_TEXT_NODE && child->type != XML_CDATA_SECTION_NODE) || child->content == nullptr) {
            continue;
        }
        joined += text(child->content);
        if (secret) {
            zvf::SecureStringUtils::ZVFZeroMemory(child->content, static_cast<std::size_t>(xmlStrlen(child->content)));
        }
    }
    std::string trimmed = PTKCoreUtils::trim(joined);
    zvf::SecureStringUtils::ZVFZeroString(joined);
    return trimmed;
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
        wipeBuffer(buffer.get());
    }
    return dump;
}

}  // namespace ZVFUnified
