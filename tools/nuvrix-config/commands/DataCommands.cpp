#include "commands/DataCommands.h"

#include <nlohmann/json.hpp>

#include "ConfigStoreConstants.h"
#include "PTKCoreUtils/FileUtils.h"
#include "cli/ExitStatus.h"
#include "commands/Session.h"
#include "host/Host.h"
#include "output/Output.h"
#include "stores/ConfigFiles.h"
#include "stores/InputFile.h"
#include "unified/LifeCycle.h"
#include "unified/SystemService.h"
#include "unified/UnifiedFactory.h"
#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"
#include "zvf/SecureStringUtils.h"
#include "zvf/storage/EncryptFileUtils.h"

namespace nuvrixconfig {

namespace {

// The host keeps its storage key under this name in the local application
// data directory. Reading without it would make the storage create a new
// key, a file written by a command that only reads.
const char* const STORAGE_KEY_FILE = "nuvrix-storage.key";

}  // namespace

DataCommands::DataCommands(Session& sessionIn) : session(sessionIn) {}

int DataCommands::decrypt(const std::string& path) {
    std::string bytes;
    std::string error;
    if (!InputFile::read(path, bytes, error)) {
        session.getOutput().error(error);
        return ExitStatus::Failed;
    }
    const std::string keyDirectory = PTKCoreUtils::FileUtils::getUserLocalAppDir();
    if (!PTKCoreUtils::FileUtils::fileExists(keyDirectory + "/" + STORAGE_KEY_FILE)) {
        session.getOutput().error("no storage key in " + keyDirectory +
                                  ": set NUVRIX_LOCAL_APP_DIR to the directory of the client that wrote " + path);
        return ExitStatus::Failed;
    }
    zvf::SecureString data;
    if (!zvf::storage::EncryptFileUtils::readDataFromFile(path, data,
                                                         ZVFUnified::ConfigStoreConstants::fileCategoryOf(path))) {
        session.getOutput().error("cannot decrypt " + path +
                                  ": not written under this storage key and category, or damaged");
        return ExitStatus::Failed;
    }
    std::string plain;
    {
        zvf::SecureStringReader reader;
        data.getUnsecureString(reader);
        plain.assign(reader.c_str(), static_cast<std::size_t>(reader.getBufSize()));
    }
    session.getOutput().result(nlohmann::json{{"file", path}, {"text", plain}},
                               [](const nlohmann::json& d) { return d["text"].get<std::string>(); });
    zvf::SecureStringUtils::ZVFZeroString(plain);
    return ExitStatus::Ok;
}

int DataCommands::resetData(bool confirmed) {
    if (!confirmed) {
        session.getOutput().error(
            "reset-data deletes the user's settings and the cached configuration; add --yes to go ahead");
        return ExitStatus::Usage;
    }
    if (!session.checkConfigDirectoryWritable()) {
        return ExitStatus::Failed;
    }
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    auto system = host->getFactory()->getService<ZVFUnified::SystemService>();
    if (!system || !system->getLifeCycle()) {
        session.getOutput().error("the host has no system service to reset data through");
        return ExitStatus::Failed;
    }
    const std::vector<std::string> before = ConfigFiles::list();
    system->getLifeCycle()->invokeResetData(ResetDataOptionEnum::ResetAllData);
    host->settle();
    const std::vector<std::string> after = ConfigFiles::list();
    const nlohmann::json doc = {{"removedFiles", ConfigFiles::removed(before, after)}, {"keptFiles", after}};
    session.getOutput().result(doc, [](const nlohmann::json& d) {
        std::string text = "data reset done\n";
        for (const auto& file : d["removedFiles"]) {
            text += "  deleted " + file.get<std::string>() + "\n";
        }
        for (const auto& file : d["keptFiles"]) {
            text += "  kept    " + file.get<std::string>() + "\n";
        }
        return text;
    });
    return ExitStatus::Ok;
}

}  // namespace nuvrixconfig
