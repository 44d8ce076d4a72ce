// The operations of ConfigStoreManager that take configuration away (dropping
// server-provided stores, removing a store with its cache file, resetting
// user data, deleting every cache file) and the problem-report export.
#include <libxml/tree.h>
#include <libxml/xmlwriter.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "CacheConfigStore.h"
#include "ConfigStoreConstants.h"
#include "ConfigStoreManager.h"
#include "XmlLibrary.h"
#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/StringUtils.h"
#include "logging/ZVFLogger.h"
#include "unified/IDataPersistor.h"
#include "unified/ServiceFactory.h"
#include "unified/ServiceFactoryImpl.h"
#include "unified/UnifiedFactory.h"
#include "zvf/ScopedLock.h"
#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"
#include "zvf/SecureStringUtils.h"
#include "zvf/storage/EncryptFileUtils.h"
#include "zvf/storage/FileCategoryType.h"

namespace ZVFUnified {

namespace {

ZVFLogger* const logger = ZVFLogger_getLogger("ConfigService-ConfigStoreManager");

// The stores that describe the installation rather than the user or the
// server; a reset of user data keeps them. Compared exactly.
bool isKeptOnResetConfigData(const std::string& name) {
    return name == ConfigStoreConstants::URL_PROVISIONING_CONFIG_STORE ||
           name == ConfigStoreConstants::BOOTSTRAP_CONFIG_STORE || name == ConfigStoreConstants::MDM_CONFIG_STORE ||
           name == ConfigStoreConstants::DEFAULTS_CONFIG_STORE ||
           name == ConfigStoreConstants::DEV_OVERRIDE_CONFIG_STORE;
}

// The host files whose content completes the problem-report document.
const char* const PRT_FILES[] = {"home-uds-info.dat", "service-location.dat", "SSOAuthInfoStore.dat"};

// Calls visit(store) for every store from the back of the list to the
// front. visit may change the list (it removes stores, and the observers it
// tells may add or remove others): the walk then goes on from the end of
// what is left.
template <class Visit>
void forEachStoreFromTheBack(std::vector<std::shared_ptr<ConfigStore>>& stores, Visit visit) {
    for (long index = static_cast<long>(stores.size()) - 1; index >= 0; --index) {
        if (index >= static_cast<long>(stores.size())) {
            index = static_cast<long>(stores.size());
            continue;
        }
        visit(std::shared_ptr<ConfigStore>(stores[static_cast<std::size_t>(index)]));
    }
}

const xmlChar* xmlText(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

}  // namespace

// ---- Removal and reset -------------------------------------------------------

void ConfigStoreManager::reset() {
    clearConfigStores();
}

void ConfigStoreManager::clearConfigStores() {
    zvf::ScopedLock guard(storeListLock);
    forEachStoreFromTheBack(stores, [this](std::shared_ptr<ConfigStore> store) {
        if (store->isLocal()) {
            return;
        }
        stores.erase(std::find(stores.begin(), stores.end(), store));
        storesChanged();
        // Observers learn the values that remain without this store.
        notifyObservers(store);
    });
}

bool ConfigStoreManager::removeStoreWithSameName(const std::string& name) {
    zvf::ScopedLock guard(storeListLock);
    std::shared_ptr<ConfigStore> store;
    for (const std::shared_ptr<ConfigStore>& listed : stores) {
        if (PTKCoreUtils::caseInsensitiveStringEquals(listed->getName(), name)) {
            store = listed;
            break;
        }
    }
    if (!store) {
        return false;
    }
    // The URL-provisioning copy does not ask to be cached, but its cache file
    // must not outlive it either.
    if (store->shouldCacheConfigStore() ||
        PTKCoreUtils::caseInsensitiveStringEquals(name, ConfigStoreConstants::URL_PROVISIONING_CONFIG_STORE)) {
        removeCacheFile(CacheConfigStore::cachedStoreName(name));
    }
    ZVF_LOG(logger, 4, "Removing store: " + name);
    for (auto it = stores.begin(); it != stores.end(); ++it) {
        if (*it == store) {
            stores.erase(it);
            storesChanged();
            break;
        }
    }
    notifyObservers(store);
    return true;
}

void ConfigStoreManager::resetConfigData() {
    zvf::ScopedLock guard(storeListLock);
    forEachStoreFromTheBack(stores, [this](std::shared_ptr<ConfigStore> store) {
        const std::string name = store->getName();
        if (isKeptOnResetConfigData(name)) {
            return;
        }
        ZVF_LOG(logger, 4, "Removing store " + name + " from ConfigManager.");
        removeStoreWithSameName(name);
        ZVF_LOG(logger, 4, "Removing all keys for store: " + name);
        // Whoever still holds the store (the feature set keeps the user store)
        // must not see the old values either.
        store->removeAllValues();
    });
}

void ConfigStoreManager::resetConfigData(const std::string& name) {
    zvf::ScopedLock guard(storeListLock);
    for (auto it = stores.rbegin(); it != stores.rend(); ++it) {
        if ((*it)->getName() == name) {
            ZVF_LOG(logger, 4, "Removing all keys for store: " + name);
            (*it)->removeAllValues();
            return;
        }
    }
}

void ConfigStoreManager::removeAllCachedConfigStores() {
    const std::string directory = CacheConfigStore::cacheDirectory();
    std::vector<std::string> names;
    PTKCoreUtils::FileUtils::getFilesFromDirectory(directory, "xml", names);

    // Every cache file is handled under its ".xml" name, whichever form lies
    // on disk; the data persistor removes the ".dat" companion with it.
    const std::string datSuffix = ".dat";
    std::vector<std::string> datNames;
    PTKCoreUtils::FileUtils::getFilesFromDirectory(directory, "dat", datNames);
    for (const std::string& datName : datNames) {
        const std::string::size_type dot = datName.rfind('.');
        if (dot != std::string::npos && datName.compare(dot, std::string::npos, datSuffix) == 0) {
            names.push_back(datName.substr(0, dot) + ".xml");
        }
    }

    for (const std::string& entry : names) {
        const std::string fileName = PTKCoreUtils::FileUtils::getFileName(entry);
        removeStoreWithSameName(fileName);
        removeCacheFile(fileName);
    }
}

bool ConfigStoreManager::removeCacheFile(const std::string& fileName) {
    zvf::ScopedLock guard(storeListLock);
    ZVF_LOG(logger, 4, "storeName: " + fileName);
    auto* serviceFactory = dynamic_cast<ServiceFactoryImpl*>(ServiceFactory::getInstance());
    std::shared_ptr<UnifiedFactory> unifiedFactory = serviceFactory ? serviceFactory->getUnifiedFactory() : nullptr;
    std::shared_ptr<IDataPersistor> persistor = unifiedFactory ? unifiedFactory->getDataPersistor() : nullptr;
    if (!persistor) {
        ZVF_LOG(logger, 2, std::string("no dataPersistor"));
        return true;
    }
    // A file that cannot be removed is the storage's business; the store is
    // gone from the manager either way.
    persistor->removeData("", fileName);
    return true;
}

void ConfigStoreManager::removeFile(const std::string& path) {
    if (PTKCoreUtils::FileUtils::removeFile(path) != 0) {
        ZVF_LOG(logger, 2, "Failed to remove file: " + ZVFLogger_replacePIIData(path));
    } else {
        ZVF_LOG(logger, 4, "Removed file: " + ZVFLogger_replacePIIData(path));
    }
}

// ---- Problem-report export ---------------------------------------------------

void ConfigStoreManager::getAllConfigForPRT(std::wstring& out) {
    out = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<AllConfigs>\n";
    getConfigForPRTFromMemory(out);
    getConfigForPRTFromFile(out);
    out += L"\n</AllConfigs>";
}

void ConfigStoreManager::getConfigForPRTFromMemory(std::wstring& out) {
    // No store may come or go while the document is written.
    zvf::ScopedLock guard(storeListLock);
    // Secrets are left out of the report, so its buffer needs no wiping;
    // libxml2's complaints keep going to its default handler.
    XmlDocumentWriter document(nullptr, false);
    xmlTextWriterPtr writer = document.get();
    if (writer == nullptr) {
        ZVF_LOG(logger, 2,
                std::string(document.hasBuffer() ? "Unable to create the XML writer for the problem report"
                                                 : "Unable to create the XML buffer for the problem report"));
        return;
    }
    xmlTextWriterStartElement(writer, xmlText("AllMemoryConfigs"));
    for (const std::shared_ptr<ConfigStore>& store : stores) {
        const std::vector<std::wstring> keys = store->getKeys();
        const std::string name = store->getName();
        if (name == ConfigStoreConstants::DEFAULTS_CONFIG_STORE || keys.empty()) {
            continue;
        }
        xmlTextWriterStartElement(writer, xmlText("store"));
        xmlTextWriterWriteAttribute(writer, xmlText("name"), xmlText(name));
        xmlTextWriterWriteAttribute(writer, xmlText("priority"), xmlText(std::to_string(store->getPriority())));
        for (const std::wstring& key : keys) {
            // Secrets are left out of the report, not masked.
            if (isKeySensitive(key)) {
                continue;
            }
            std::wstring value;
            store->getValue(key, value);
            const std::string narrowKey = PTKCoreUtils::toString(key);
            const std::string narrowValue = PTKCoreUtils::toString(value);
            xmlTextWriterWriteElement(writer, xmlText(narrowKey), xmlText(narrowValue));
        }
        xmlTextWriterEndElement(writer);
    }
    xmlTextWriterEndElement(writer);
    document.finish();
    out += PTKCoreUtils::toWideString(document.data(), document.size());
}

void ConfigStoreManager::getConfigForPRTFromFile(std::wstring& out) {
    for (const char* fileName : PRT_FILES) {
        const std::string path =
            PTKCoreUtils::FileUtils::getConfigDirectory() + PTKCoreUtils::FileUtils::FileSeparator() + fileName;
        zvf::SecureString data;
        if (!zvf::storage::EncryptFileUtils::readDataFromFile(path, data, FileCategoryType::Configuration)) {
            ZVF_LOG(logger, 2, "Failed to read config file " + ZVFLogger_replacePIIData(path));
            continue;
        }
        zvf::SecureStringReader reader;
        data.getUnsecureString(reader);
        std::string text(reader.c_str(), static_cast<std::size_t>(reader.getBufSize()));
        // The file's own XML declaration would be out of place inside the
        // document.
        const std::string::size_type declarationEnd = text.find("?>");
        std::string body(text, declarationEnd == std::string::npos ? 0 : declarationEnd + 2);
        std::wstring content = PTKCoreUtils::toWideString(body);
        out += content;
        zvf::SecureStringUtils::ZVFZeroString(text);
        zvf::SecureStringUtils::ZVFZeroString(body);
        zvf::SecureStringUtils::ZVFZeroWstring(content);
    }
}

}  // namespace ZVFUnified
