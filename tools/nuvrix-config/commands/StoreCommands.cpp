#include "commands/StoreCommands.h"

#include <algorithm>

#include "CacheConfigStore.h"
#include "ConfigFeatureSet.h"
#include "ConfigService.h"
#include "ConfigStore.h"
#include "ConfigStoreConstants.h"
#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/StringUtils.h"
#include "cli/ExitStatus.h"
#include "commands/Session.h"
#include "host/Host.h"
#include "output/Output.h"
#include "output/TextTable.h"
#include "stores/BootstrapDocument.h"
#include "stores/ConfigDocument.h"
#include "stores/ConfigFiles.h"
#include "stores/InputFile.h"
#include "stores/MapConfigStore.h"
#include "stores/StoreCatalogue.h"

namespace nuvrixconfig {

using PTKCoreUtils::toString;
using PTKCoreUtils::toWideString;
namespace constants = ZVFUnified::ConfigStoreConstants;

namespace {

// The stores of the feature set itself, which only it may take away.
bool isOwnStoreOfFeatureSet(const std::string& name) {
    for (const std::string& own :
         {constants::LOCAL_FILE_CONFIG_STORE, constants::IN_MEMORY_CONFIG_STORE, constants::DEFAULTS_CONFIG_STORE}) {
        if (PTKCoreUtils::caseInsensitiveStringEquals(name, own)) {
            return true;
        }
    }
    return false;
}

// Reads file and parses it into document; false, with the reason shown,
// when either fails.
template <class Document>
bool readInput(Session& session, const std::string& file, std::string& content, Document& document) {
    std::string error;
    if (!InputFile::read(file, content, error) || !document.parse(content, file, error)) {
        session.getOutput().error(error);
        return false;
    }
    return true;
}

std::string listDecided(const nlohmann::json& decided) {
    std::string text;
    for (const auto& entry : decided) {
        text += "  " + entry["key"].get<std::string>() + " = " + entry["value"].get<std::string>() + '\n';
    }
    return text;
}

}  // namespace

StoreCommands::StoreCommands(Session& sessionIn) : session(sessionIn) {}

int StoreCommands::stores() {
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& store : StoreCatalogue::list(*host->getFeatureSet(), session.getAddedStores())) {
        const std::string cacheFile = StoreCatalogue::cacheFileOf(*store);
        rows.push_back({{"name", store->getName()},
                        {"priority", store->getPriority()},
                        {"readOnly", store->isReadOnly()},
                        {"local", store->isLocal()},
                        {"keys", store->getKeys().size()},
                        {"cacheFile", !cacheFile.empty() && PTKCoreUtils::FileUtils::fileExists(cacheFile)
                                          ? nlohmann::json(cacheFile)
                                          : nlohmann::json(nullptr)}});
    }
    session.getOutput().result(rows, [](const nlohmann::json& all) {
        TextTable table({"PRIORITY", "STORE", "ACCESS", "LOCAL", "KEYS", "CACHE FILE"},
                        {true, false, false, false, true});
        for (const auto& row : all) {
            table.addRow({std::to_string(row["priority"].get<int>()), row["name"].get<std::string>(),
                          row["readOnly"].get<bool>() ? "read-only" : "writable",
                          row["local"].get<bool>() ? "yes" : "no", std::to_string(row["keys"].get<std::size_t>()),
                          row["cacheFile"].is_string() ? row["cacheFile"].get<std::string>() : "-"});
        }
        return table.render();
    });
    return ExitStatus::Ok;
}

nlohmann::json StoreCommands::decidedBy(const std::string& storeName) {
    auto featureSet = session.host()->getFeatureSet();
    nlohmann::json decided = nlohmann::json::array();
    std::shared_ptr<ZVFUnified::ConfigStore> store = featureSet->getConfigStoreByName(storeName);
    if (!store) {
        return decided;
    }
    for (const std::wstring& key : store->getKeys()) {
        std::wstring value;
        std::wstring from;
        bool viaAlias = false;
        if (featureSet->getConfig(key, value, from, viaAlias, false) &&
            PTKCoreUtils::caseInsensitiveStringEquals(toString(from), storeName)) {
            decided.push_back({{"key", toString(key)},
                               {"value", featureSet->isKeySensitive(key) ? toString(constants::VALUE_HIDDEN)
                                                                         : toString(value)}});
        }
    }
    return decided;
}

int StoreCommands::reportAdded(const std::string& storeName, nlohmann::json doc, const std::string& headline) {
    session.host()->settle();
    doc["decides"] = decidedBy(storeName);
    session.getOutput().result(doc, [&headline, &storeName](const nlohmann::json& d) {
        std::string text = headline;
        const std::size_t count = d["decides"].size();
        text += storeName + " now decides " + std::to_string(count) + (count == 1 ? " key" : " keys") +
                (count ? ":\n" : "\n");
        return text + listDecided(d["decides"]);
    });
    return ExitStatus::Ok;
}

int StoreCommands::addStore(const std::string& name, int priority, const std::string& file, bool cache) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        session.getOutput().error("store name \"" + name + "\" is not usable: it names a file of the cache");
        return ExitStatus::Failed;
    }
    if (StoreCatalogue::isReservedName(name)) {
        session.getOutput().error("store name \"" + name + "\" belongs to the client itself; choose another");
        return ExitStatus::Failed;
    }
    std::string content;
    ConfigDocument document;
    if (!readInput(session, file, content, document)) {
        return ExitStatus::Failed;
    }
    if (cache && !session.checkConfigDirectoryWritable()) {
        return ExitStatus::Failed;
    }
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    auto featureSet = host->getFeatureSet();
    for (const std::wstring& key : document.getSensitiveKeys()) {
        featureSet->setKeySensitive(key);
    }
    auto store = std::make_shared<MapConfigStore>(name, priority, document.getValues(), false, cache);
    featureSet->addConfigStore(store);
    session.noteAddedStore(name);
    const std::string cacheFile = StoreCatalogue::cacheFileOf(*store);
    nlohmann::json doc = {{"store", name},
                          {"priority", priority},
                          {"keys", document.getValues().size()},
                          {"cacheFile", cache ? nlohmann::json(cacheFile) : nlohmann::json(nullptr)}};
    std::string headline = "added store " + name + " (priority " + std::to_string(priority) + ", " +
                           std::to_string(document.getValues().size()) + " keys)\n";
    headline += cache ? "cached in " + cacheFile + "\n"
                      : (session.isShell() ? std::string() : "not cached: the store lasts for this run only\n");
    return reportAdded(name, doc, headline);
}

int StoreCommands::removeStore(const std::string& requested) {
    std::string name = requested;
    std::string original;
    if (StoreCatalogue::isCachedStoreName(requested, original)) {
        name = original;  // the copy goes with its store
    }
    if (isOwnStoreOfFeatureSet(name)) {
        session.getOutput().error("store " + name + " belongs to the feature set and cannot be removed");
        return ExitStatus::Failed;
    }
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    auto featureSet = host->getFeatureSet();
    const std::vector<std::string> recorded = StoreCatalogue::recordedCachedStores(*featureSet);
    const bool present = featureSet->getConfigStoreByName(name) ||
                         featureSet->getConfigStoreByName(ZVFUnified::CacheConfigStore::cachedStoreName(name)) ||
                         std::any_of(recorded.begin(), recorded.end(), [&name](const std::string& entry) {
                             return PTKCoreUtils::caseInsensitiveStringEquals(entry, name);
                         });
    if (!present) {
        session.getOutput().error("no store named \"" + requested + "\"");
        return ExitStatus::Failed;
    }
    if (!session.checkConfigDirectoryWritable()) {
        return ExitStatus::Failed;
    }
    const std::vector<std::string> filesBefore = ConfigFiles::list();
    bool removed = false;
    if (!session.onServicesThread([&] { removed = host->getService()->removeConfigStoreAndCache(toWideString(name)); },
                                  "nuvrix-config remove-store")) {
        return ExitStatus::Failed;
    }
    host->settle();
    const std::vector<std::string> gone = ConfigFiles::removed(filesBefore, ConfigFiles::list());
    const nlohmann::json doc = {{"store", name}, {"removed", removed}, {"removedFiles", gone}};
    session.getOutput().result(doc, [](const nlohmann::json& d) {
        std::string text = std::string(d["removed"].get<bool>() ? "removed store " : "forgot the cached record of ") +
                           d["store"].get<std::string>() + "\n";
        for (const auto& file : d["removedFiles"]) {
            text += "  deleted " + file.get<std::string>() + "\n";
        }
        return text;
    });
    return ExitStatus::Ok;
}

int StoreCommands::removeCachedStores() {
    if (!session.checkConfigDirectoryWritable()) {
        return ExitStatus::Failed;
    }
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    const std::vector<std::string> filesBefore = ConfigFiles::list();
    if (!session.onServicesThread([&] { host->getService()->removeAllCachedConfigStores(); },
                                  "nuvrix-config remove-cached-stores")) {
        return ExitStatus::Failed;
    }
    host->settle();
    const std::vector<std::string> gone = ConfigFiles::removed(filesBefore, ConfigFiles::list());
    session.getOutput().result(nlohmann::json{{"removedFiles", gone}}, [](const nlohmann::json& d) {
        if (d["removedFiles"].empty()) {
            return std::string("no cached store to remove\n");
        }
        std::string text;
        for (const auto& file : d["removedFiles"]) {
            text += "deleted " + file.get<std::string>() + "\n";
        }
        return text;
    });
    return ExitStatus::Ok;
}

int StoreCommands::provision(const std::string& url) {
    if (!session.checkConfigDirectoryWritable()) {
        return ExitStatus::Failed;
    }
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    std::wstring allowed;
    std::wstring from;
    bool viaAlias = false;
    host->getFeatureSet()->getConfig(constants::ALLOW_URL_PROVISIONING, allowed, from, viaAlias, false);
    if (PTKCoreUtils::caseInsensitiveStringEquals(allowed, L"false")) {
        session.getOutput().error("URL provisioning is not allowed here (AllowUrlProvisioning is false, from " +
                                  toString(from) + ")");
        return ExitStatus::Failed;
    }
    bool applied = false;
    if (!session.onServicesThread([&] { applied = host->getService()->setUrlProvisioningData(toWideString(url)); },
                                  "nuvrix-config provision")) {
        return ExitStatus::Failed;
    }
    if (!applied) {
        session.getOutput().error("the URL carries none of the settings provisioning may set: " + url);
        return ExitStatus::Failed;
    }
    const std::string& name = constants::URL_PROVISIONING_CONFIG_STORE;
    return reportAdded(name, {{"store", name}}, "applied URL provisioning data\n");
}

int StoreCommands::mdm(const std::string& file) {
    std::string content;
    ConfigDocument document;
    if (!readInput(session, file, content, document)) {
        return ExitStatus::Failed;
    }
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    if (!session.onServicesThread([&] { host->getService()->setMdmConfig(content); }, "nuvrix-config mdm")) {
        return ExitStatus::Failed;
    }
    const std::string& name = constants::MDM_CONFIG_STORE;
    std::string headline = "applied device management configuration (" + std::to_string(document.getValues().size()) +
                           " keys)\n";
    if (!session.isShell()) {
        headline += "device management settings are held in memory: they last for this run only\n";
    }
    return reportAdded(name, {{"store", name}, {"keys", document.getValues().size()}}, headline);
}

int StoreCommands::bootstrap(const std::string& file, int priority) {
    std::string content;
    BootstrapDocument document;
    if (!readInput(session, file, content, document)) {
        return ExitStatus::Failed;
    }
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    const std::string& name = constants::BOOTSTRAP_CONFIG_STORE;
    host->getFeatureSet()->addConfigStore(
        std::make_shared<MapConfigStore>(name, priority, document.getValues(), true, false));
    session.noteAddedStore(name);
    std::string headline = "added bootstrap settings as " + name + " (priority " + std::to_string(priority) + ", " +
                           std::to_string(document.getValues().size()) + " keys)\n";
    return reportAdded(name, {{"store", name}, {"priority", priority}, {"keys", document.getValues().size()}},
                       headline);
}

}  // namespace nuvrixconfig
