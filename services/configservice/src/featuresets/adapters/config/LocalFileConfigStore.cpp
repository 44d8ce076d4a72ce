#include "LocalFileConfigStore.h"

#include <algorithm>
#include <utility>

#include <libxml/xmlwriter.h>

#include "ConfigMapLookup.h"
#include "ConfigStoreConstants.h"
#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/StringUtils.h"
#include "XmlDocFreer.h"
#include "XmlLibrary.h"
#include "XmlSafeText.h"
#include "logging/ZVFLogger.h"
#include "zvf/ScopedLock.h"
#include "zvf/SecureStringUtils.h"
#include "zvf/storage/EncryptFileUtils.h"

namespace ZVFUnified {

namespace {

ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-LocalFileConfigStore");

// At most this much of an invalid file is copied into the log; its length
// is always logged in full.
constexpr std::size_t MAX_LOGGED_INVALID_BYTES = 1024 * 1024;

// "name<tag>.ext" for "name.ext": the tag goes before the first '.'; a name
// without '.' gets it appended.
std::string taggedName(const std::string& fileName, const char* tag) {
    std::string tagged = fileName;
    const std::string::size_type dot = tagged.find('.');
    tagged.insert(dot == std::string::npos ? tagged.size() : dot, tag);
    return tagged;
}

// "name_backup.ext" for "name.ext".
std::string backupNameFor(const std::string& fileName) { return taggedName(fileName, "_backup"); }

// "name-backup.xml" for "name.ext": where an invalid plain file is moved.
std::string invalidNameFor(const std::string& fileName) {
    const std::string::size_type dot = fileName.rfind('.');
    return (dot == std::string::npos ? fileName : fileName.substr(0, dot)) + "-backup.xml";
}

// The first limit bytes of the file and its whole size.
std::string readForLog(const std::string& path, std::size_t limit, std::size_t& size) {
    size = 0;
    std::string content;
    if (!PTKCoreUtils::FileUtils::readFile(path, content, limit, size)) {
        return std::string();
    }
    return content;
}

bool sameValues(const ConfigMap& a, const ConfigMap& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// Whether the entry has to be written in escaped form (XmlSafeText).
bool needsEscaping(const std::wstring& key, const std::wstring& value) {
    return !XmlSafeText::isCarried(key) || !XmlSafeText::isCarried(value);
}

// The largest settings document the store writes. libxml2 (2.9) refuses an
// attribute value longer than a few hundred bytes that starts beyond the
// first 10,000,000 bytes of a document held in memory ("Huge input lookup"),
// and a document made of attributes below that size also stays clear of the
// parser's limits on one attribute value and on a whole document.
constexpr std::size_t MAX_SETTINGS_DOCUMENT_BYTES = 10000000;
static_assert(MAX_SETTINGS_DOCUMENT_BYTES <= XmlLibrary::MAX_DOCUMENT_BYTES, "the settings document must be readable");
// Each entry is one element with up to three attributes, beside the
// declaration and the root element: at most this many entries stay within
// the markup items the parser reads.
constexpr std::size_t MAX_ENTRIES = (XmlLibrary::MAX_MARKUP_ITEMS - 2) / 4;
// The declaration and the root element of the settings document.
constexpr std::size_t DOCUMENT_OVERHEAD_BYTES = 128;
// One entry line without its key and value:
// ' <userConfig name="" value="" escaped="true"/>' and a line end.
constexpr std::size_t ENTRY_OVERHEAD_BYTES = 48;

// At most how many bytes the entry takes in the settings document.
std::size_t entryBytes(const std::wstring& key, const std::wstring& value) {
    const bool escaped = needsEscaping(key, value);
    return ENTRY_OVERHEAD_BYTES + XmlSafeText::documentBytes(key, escaped) +
           XmlSafeText::documentBytes(value, escaped);
}

// Whether an element or attribute name equals lowerName ignoring ASCII
// case; asked for every element and attribute of a file, so it allocates
// nothing.
bool namedIgnoringCase(const xmlChar* name, const char* lowerName) {
    for (; *name != 0 && *lowerName != 0; ++name, ++lowerName) {
        if (PTKCoreUtils::foldAscii(static_cast<char>(*name)) != *lowerName) {
            return false;
        }
    }
    return *name == 0 && *lowerName == 0;
}

// A key as shown in a refusal: long keys are cut short.
std::string keyForLog(const std::wstring& key) {
    constexpr std::size_t shown = 100;
    return PTKCoreUtils::toString(key.size() > shown ? key.substr(0, shown) + L"..." : key);
}

}  // namespace

LocalFileConfigStore::LocalFileConfigStore(const std::string& name, int priority, bool isLocal)
    : name(name),
      priority(priority),
      local(isLocal),
      readOnly(false),
      directory(PTKCoreUtils::FileUtils::getConfigDirectory() + PTKCoreUtils::FileUtils::FileSeparator()),
      fileName(ConfigStoreConstants::LOCAL_CONFIG_FILE),
      backupFileName(ConfigStoreConstants::LOCAL_CONFIG_BACKUP_FILE) {
    readFromEncryptedFile();
}

LocalFileConfigStore::LocalFileConfigStore(const std::string& name, int priority, const std::string& directory,
                                           const std::string& fileName, bool isLocal, bool isReadOnly,
                                           bool encrypted)
    : name(name),
      priority(priority),
      local(isLocal),
      readOnly(isReadOnly),
      directory(directory.empty() ? directory : directory + PTKCoreUtils::FileUtils::FileSeparator()),
      fileName(fileName),
      backupFileName(backupNameFor(fileName)) {
    // A file that cannot be read leaves the store empty; construction goes on.
    if (encrypted) {
        readFromEncryptedFile();
    } else {
        readFromFile();
    }
}

// Writes nothing: persistence happens only when the manager asks for it.
LocalFileConfigStore::~LocalFileConfigStore() = default;

bool LocalFileConfigStore::getValue(const std::wstring& key, std::wstring& value) {
    return getValueHashed(key, ConfigKeyHash::hashOf(key.data(), key.size()), value);
}

bool LocalFileConfigStore::getValueHashed(const std::wstring& key, std::size_t hash, std::wstring& value) {
    zvf::ScopedLock lock(valuesLock);
    return lookupValue(values, key, hash, value);
}

bool LocalFileConfigStore::storeValue(const std::wstring& key, const std::wstring& value) {
    zvf::ScopedLock lock(valuesLock);
    const std::wstring& target =
        PTKCoreUtils::caseInsensitiveStringEquals(key, ConfigStoreConstants::Keys::VVM_Mailstore_Server_0)
            ? ConfigStoreConstants::Keys::VoicemailPrimaryServer
            : key;
    return putValue(target, value);
}

std::vector<std::wstring> LocalFileConfigStore::getKeys() {
    zvf::ScopedLock lock(valuesLock);
    return configMapKeys(values.entries());
}

bool LocalFileConfigStore::removeValue(const std::wstring& key) {
    zvf::ScopedLock lock(valuesLock);
    auto found = values.find(key);
    if (found == values.end()) {
        return false;
    }
    if (valuesDocumentBytesKnown) {
        valuesDocumentBytes -= entryBytes(found->first, found->second);
    }
    values.erase(key);
    return true;
}

void LocalFileConfigStore::removeAllValues() {
    zvf::ScopedLock lock(valuesLock);
    values.clear();
    valuesDocumentBytes = 0;
    valuesDocumentBytesKnown = true;
}

bool LocalFileConfigStore::isReadOnly() { return readOnly; }

std::string LocalFileConfigStore::getName() { return name; }

int LocalFileConfigStore::getPriority() { return priority; }

void LocalFileConfigStore::persistValues() {
    // The file lock first: when another thread is still writing this very
    // content, "saved" must mean on disk, so the caller waits for that write.
    zvf::ScopedLock files(fileLock);
    {
        zvf::ScopedLock lock(valuesLock);
        if (!lastWriteFailed && sameValues(values.entries(), lastPersistedValues)) {
            ZVF_LOG(logger, 5, std::string("Same content has been saved."));
            return;
        }
    }
    zvf::SecureString data;
    {
        zvf::ScopedLock lock(valuesLock);
        // Recorded before the write; a write that fails is retried by the
        // next call, even with the same content, so that a value the user
        // set is not lost to one failed write.
        lastPersistedValues = values.entries();
        getDataString(data);
    }
    // A read-only or destroyed store serialises nothing; it must not empty
    // the settings file.
    if (data.empty()) {
        return;
    }
    lastWriteFailed = !writeFile(fileName, data);
}

void LocalFileConfigStore::destroy() {
    zvf::ScopedLock lock(valuesLock);
    destroyed = true;
}

bool LocalFileConfigStore::isLocal() { return local; }

bool LocalFileConfigStore::waitForStoreReady() { return true; }

bool LocalFileConfigStore::shouldCacheConfigStore() { return false; }

void LocalFileConfigStore::setTimer(std::shared_ptr<ConfigFileCacheTimer> timer) {
    zvf::ScopedLock lock(valuesLock);
    this->timer = std::move(timer);
}

void LocalFileConfigStore::backupConfigFile() { persistValuesImpl(backupFileName); }

bool LocalFileConfigStore::readFromFile() {
    zvf::ScopedLock files(fileLock);
    const std::string path = directory + fileName;
    if (!PTKCoreUtils::FileUtils::fileExists(path)) {
        ZVF_LOG(logger, 3,
                L"Read config FAILED, config file doesn't exist: " +
                    PTKCoreUtils::toWideString(ZVFLogger_replacePIIData(path)));
        return false;
    }
    // A FIFO or device in place of the file is neither read nor moved aside.
    if (!PTKCoreUtils::FileUtils::isRegularFile(path)) {
        ZVF_LOG(logger, 3, "Read config FAILED, config file is not a regular file: " + ZVFLogger_replacePIIData(path));
        return false;
    }
    std::shared_ptr<xmlDoc> doc(XmlLibrary::readFile(logger, path), XmlDocFreer());
    if (doc) {
        readValues.clear();
        processXml(xmlDocGetRootElement(doc.get()));
        adoptReadValues();
        return true;
    }

    // Move the broken file aside so that it is not parsed again; the next
    // persist of a writable store writes a fresh one.
    const std::string invalidName = invalidNameFor(fileName);
    ZVF_LOG(logger, 2,
            "Error Invalid XML syntax detected - Unable to read localFileConfigStore configuration\n"
            "renaming invalid file to: " +
                ZVFLogger_replacePIIData(invalidName) + " and creating new blank XML document");
    std::size_t size = 0;
    std::string content = readForLog(path, MAX_LOGGED_INVALID_BYTES, size);
    ZVF_LOG(logger, 2,
            "contents of invalid xml with string length: " + std::to_string(size) + "\n" +
                ZVFLogger_replacePIIData(content));
    zvf::SecureStringUtils::ZVFZeroString(content);
    const std::string target = directory + invalidName;
    if (PTKCoreUtils::FileUtils::moveFile(path, target, false) != 0) {
        ZVF_LOG(logger, 2,
                L"error creating backup file: " + PTKCoreUtils::toWideString(ZVFLogger_replacePIIData(target)));
    }
    return true;
}

bool LocalFileConfigStore::readFromEncryptedFile() {
    zvf::ScopedLock files(fileLock);
    const std::string path = directory + fileName;
    zvf::SecureString data;
    if (!zvf::storage::EncryptFileUtils::readDataFromFile(path, data, FileCategoryType::Configuration)) {
        ZVF_LOG(logger, 2, "Failed to read config file " + ZVFLogger_replacePIIData(path));
        keepUnreadableFile = PTKCoreUtils::FileUtils::fileExists(path);
        return false;
    }
    std::shared_ptr<xmlDoc> doc(XmlLibrary::readSecure(logger, data), XmlDocFreer());
    keepUnreadableFile = !doc;
    if (!doc) {
        ZVF_LOG(logger, 2,
                std::string("Error Invalid XML syntax detected - Unable to read localFileConfigStore configuration"));
    } else {
        readValues.clear();
        processXml(xmlDocGetRootElement(doc.get()));
        adoptReadValues();
        // The file holds exactly this content: a persist with nothing
        // changed since has nothing to write.
        zvf::ScopedLock lock(valuesLock);
        lastPersistedValues = values.entries();
    }
    return true;
}

void LocalFileConfigStore::getDataString(zvf::SecureString& out) {
    zvf::ScopedLock lock(valuesLock);
    if (readOnly || destroyed) {
        return;
    }
    XmlDocumentWriter document(logger, true);  // the buffer holds the values
    xmlTextWriterPtr writer = document.get();
    if (writer == nullptr) {
        return;
    }
    xmlTextWriterStartDocument(writer, nullptr, "utf-8", nullptr);
    xmlTextWriterStartElement(writer, BAD_CAST "Nuvrix");
    for (const auto& entry : values) {
        const bool escaped = needsEscaping(entry.first, entry.second);
        std::string key = PTKCoreUtils::toString(escaped ? XmlSafeText::escape(entry.first) : entry.first);
        std::string value;
        if (escaped) {
            std::wstring wide = XmlSafeText::escape(entry.second);
            value = PTKCoreUtils::toString(wide);
            zvf::SecureStringUtils::ZVFZeroWstring(wide);
        } else {
            value = PTKCoreUtils::toString(entry.second);
        }
        xmlTextWriterStartElement(writer, BAD_CAST "userConfig");
        xmlTextWriterWriteAttribute(writer, BAD_CAST "name", BAD_CAST key.c_str());
        xmlTextWriterWriteAttribute(writer, BAD_CAST "value", BAD_CAST value.c_str());
        if (escaped) {
            xmlTextWriterWriteAttribute(writer, BAD_CAST XmlSafeText::ESCAPED_ATTRIBUTE, BAD_CAST "true");
        }
        xmlTextWriterEndElement(writer);
        zvf::SecureStringUtils::ZVFZeroString(value);
    }
    xmlTextWriterEndElement(writer);
    document.finish();
    out = zvf::SecureString(document.data(), document.size());
}

void LocalFileConfigStore::processXml(xmlNodePtr node) {
    for (; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE) {
            processUserConfigXml(node);
        }
        // An entity reference's children are the entity's own nodes, shared
        // by every reference: walking them would expand the document. The
        // depth of the rest is bounded by the parser's nesting limit.
        if (node->type != XML_ENTITY_REF_NODE) {
            processXml(node->children);
        }
    }
}

void LocalFileConfigStore::processUserConfigXml(xmlNodePtr node) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE || node->name == nullptr ||
        !namedIgnoringCase(node->name, "userconfig")) {
        return;
    }
    // The key in lower case, as the host's toLowercase gives it; an escaped
    // one once it is unescaped.
    const bool escaped = XmlSafeText::isEscapedEntry(node);
    std::wstring key;
    std::wstring value;
    for (xmlAttrPtr attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
        if (attribute->name == nullptr) {
            continue;
        }
        if (namedIgnoringCase(attribute->name, "name")) {
            key = XmlLibrary::attributeText(attribute, !escaped);
        } else if (namedIgnoringCase(attribute->name, "value")) {
            zvf::SecureStringUtils::ZVFZeroWstring(value);
            value = XmlLibrary::attributeText(attribute);
        }
    }
    if (escaped) {
        key = XmlSafeText::unescape(key);
        for (wchar_t& c : key) {
            c = PTKCoreUtils::foldAscii(c);
        }
        std::wstring plain = XmlSafeText::unescape(value);
        zvf::SecureStringUtils::ZVFZeroWstring(value);
        value.swap(plain);
    }
    // The defaults file keeps the old voicemail key as it is written.
    if (PTKCoreUtils::caseInsensitiveStringEquals(key, ConfigStoreConstants::Keys::VVM_Mailstore_Server_0) &&
        !PTKCoreUtils::caseInsensitiveStringEquals(name, ConfigStoreConstants::DEFAULTS_CONFIG_STORE)) {
        key = ConfigStoreConstants::Keys::VoicemailPrimaryServer;
    }
    // The first occurrence of a key wins.
    ConfigMap::iterator position;
    if (!key.empty() && positionForNewKey(readValues, key, position)) {
        insertNewValue(readValues, position, std::move(key), value);
    }
    zvf::SecureStringUtils::ZVFZeroWstring(value);
}

void LocalFileConfigStore::adoptReadValues() {
    zvf::ScopedLock lock(valuesLock);
    if (values.empty()) {
        values = std::move(readValues);
    } else {
        for (const auto& entry : readValues) {
            values.insert(entry.first, entry.second);
        }
    }
    readValues = ConfigMap();
    valuesDocumentBytesKnown = false;
}

std::size_t LocalFileConfigStore::documentBytesOfValues() {
    if (!valuesDocumentBytesKnown) {
        valuesDocumentBytes = 0;
        for (const auto& entry : values) {
            valuesDocumentBytes += entryBytes(entry.first, entry.second);
        }
        valuesDocumentBytesKnown = true;
    }
    return valuesDocumentBytes;
}

bool LocalFileConfigStore::putValue(const std::wstring& key, const std::wstring& value) {
    zvf::ScopedLock lock(valuesLock);
    std::string refusal;
    auto found = values.find(key);
    const std::size_t replaced = found == values.end() ? 0 : entryBytes(found->first, found->second);
    const std::size_t added = entryBytes(found == values.end() ? key : found->first, value);
    if (key.empty()) {
        refusal = "the key is empty";
    } else if (found == values.end() && values.size() >= MAX_ENTRIES) {
        refusal = "the settings file holds the " + std::to_string(MAX_ENTRIES) + " entries it can be read back with";
    } else if (DOCUMENT_OVERHEAD_BYTES + documentBytesOfValues() - replaced + added > MAX_SETTINGS_DOCUMENT_BYTES) {
        refusal = "the settings file would grow beyond the " + std::to_string(MAX_SETTINGS_DOCUMENT_BYTES) +
                  " bytes it can be read back from";
    }
    if (!refusal.empty()) {
        ZVF_LOG(logger, 2, "Refused to store the value of key [" + keyForLog(key) + "]: " + refusal);
        return false;
    }
    values.assign(key, value);
    valuesDocumentBytes = valuesDocumentBytes - replaced + added;
    return true;
}

void LocalFileConfigStore::createConfigDirectory() {
    if (directory.empty()) {
        return;
    }
    std::string path = directory;
    const std::string separator = PTKCoreUtils::FileUtils::FileSeparator();
    if (path.find_last_of(separator) == path.size() - 1) {
        path.erase(path.size() - 1);
    }
    PTKCoreUtils::FileUtils::createDirectory(path);
}

void LocalFileConfigStore::persistValuesImpl(const std::string& targetFileName) {
    zvf::ScopedLock files(fileLock);
    if (checkIfGoodToWrite(targetFileName, false)) {
        writeTarget(targetFileName);
    } else if (!checkIfGoodToWrite(targetFileName, true)) {
        ZVF_LOG(logger, 2, "Both files are broken, write to " + targetFileName);
        writeTarget(targetFileName);
    } else {
        ZVF_LOG(logger, 2,
                "Failed to read nuvrixLocalConfig/backup file, so don't write to " + targetFileName +
                    " to keep file good.");
    }
}

void LocalFileConfigStore::writeTarget(const std::string& targetFileName) {
    zvf::SecureString data;
    {
        zvf::ScopedLock lock(valuesLock);
        getDataString(data);
        if (targetFileName == fileName) {
            lastPersistedValues = values.entries();
        }
    }
    if (data.empty()) {
        return;
    }
    const bool written = writeFile(targetFileName, data);
    if (targetFileName == fileName) {
        lastWriteFailed = !written;
    }
}

bool LocalFileConfigStore::writeFile(const std::string& targetFileName, const zvf::SecureString& data) {
    zvf::ScopedLock files(fileLock);
    createConfigDirectory();
    // Settings that could not be read (written under a key that was lost,
    // damaged, or by another program) are moved aside rather than
    // overwritten, so that they can still be recovered.
    if (targetFileName == fileName && keepUnreadableFile) {
        keepUnreadableFile = false;
        const std::string keptName = taggedName(fileName, "_unreadable");
        if (PTKCoreUtils::FileUtils::moveFile(directory + fileName, directory + keptName, false) == 0) {
            ZVF_LOG(logger, 2,
                    "Kept the settings file that could not be read as " + ZVFLogger_replacePIIData(keptName));
        } else {
            ZVF_LOG(logger, 2,
                    "Failed to keep the settings file that could not be read as " +
                        ZVFLogger_replacePIIData(directory + keptName));
        }
    }
    return zvf::storage::EncryptFileUtils::writeDataToFile(directory + targetFileName, data,
                                                           FileCategoryType::Configuration);
}

bool LocalFileConfigStore::checkIfGoodToWrite(const std::string& targetFileName, bool checkTargetItself) {
    zvf::ScopedLock files(fileLock);
    std::string examined = targetFileName;
    if (!checkTargetItself) {
        examined = targetFileName == fileName ? backupFileName : fileName;
    }
    const std::string path = directory + examined;
    if (!PTKCoreUtils::FileUtils::fileExists(path)) {
        return true;
    }
    zvf::SecureString scratch;
    return zvf::storage::EncryptFileUtils::readDataFromFile(path, scratch, FileCategoryType::Configuration);
}

}  // namespace ZVFUnified
