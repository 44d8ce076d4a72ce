#include "demo/Demo.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <utility>

#include "CacheConfigStore.h"
#include "ConfigService.h"
#include "ConfigStoreConstants.h"
#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/StringUtils.h"
#include "cli/ExitStatus.h"
#include "commands/DataCommands.h"
#include "commands/ReportCommands.h"
#include "commands/Session.h"
#include "commands/StoreCommands.h"
#include "commands/ValueCommands.h"
#include "demo/TemporaryDirectory.h"
#include "host/Host.h"

namespace nuvrixconfig {

namespace constants = ZVFUnified::ConfigStoreConstants;

namespace {

const std::string SERVER_STORE = "ServerConfigStore";
const int SERVER_PRIORITY = 300;
const std::string PROVISIONING_URL = "https://x/?ServicesDomain=example.com&Telephony_Enabled=true";
// The directory password of the sample server configuration.
const std::string SAMPLE_SECRET = "Dir3ctory-S3cret!";

bool holds(const nlohmann::json& view, const std::string& value, const std::string& store) {
    return view["defined"].get<bool>() && view["value"] == value && view["valueStore"] == store;
}

}  // namespace

Demo::Demo(GlobalOptions optionsIn) : options(std::move(optionsIn)), output(std::cout, std::cerr, false) {}

void Demo::step(const std::string& title, const std::string& explanation) {
    output.text("\n== " + std::to_string(++steps) + ". " + title + "\n" + explanation);
}

void Demo::typed(const std::string& arguments) { output.text("\n$ nuvrix-config " + arguments); }

void Demo::check(bool isTrue, const std::string& fact) {
    output.text(std::string(isTrue ? "[ok] " : "[UNEXPECTED] ") + fact);
    if (!isTrue) {
        failed.push_back(fact);
    }
}

nlohmann::json Demo::view(Session& session, const std::string& key) {
    nlohmann::json result = {{"defined", false}};
    Host* host = session.host();
    if (host) {
        session.onServicesThread([&] { result = ValueCommands::describe(*host->getService(), key, false); },
                                 "nuvrix-config demo");
    }
    return result;
}

int Demo::run() {
    TemporaryDirectory temp("nuvrix-demo");
    if (temp.path().empty()) {
        output.error("cannot create a temporary directory for the demo");
        return ExitStatus::Failed;
    }
    // The demo's client keeps its settings, cache and storage key in the
    // temporary directory, never in the user's own.
    const std::string configDir = temp.path() + "/config";
    const std::string localDir = temp.path() + "/local";
    std::filesystem::create_directories(configDir);
    std::filesystem::create_directories(localDir);
    setenv("NUVRIX_CONFIG_DIR", configDir.c_str(), 1);
    setenv("NUVRIX_LOCAL_APP_DIR", localDir.c_str(), 1);
    const std::string samples = PTKCoreUtils::FileUtils::getResourcesDirectory() + "/samples";
    if (!PTKCoreUtils::FileUtils::fileExists(samples + "/server-config.xml")) {
        output.error("the sample configuration is missing from " + samples + "; name the resources with --resources-dir");
        return ExitStatus::Failed;
    }
    output.text("Nuvrix configuration service demo\nconfiguration directory: " + configDir +
                "\nresources: " + PTKCoreUtils::FileUtils::getResourcesDirectory());
    if (!firstRun(samples) || !secondRun()) {
        return ExitStatus::Usage;  // no plug-in: reported already
    }
    if (!failed.empty()) {
        output.error("demo finished, but " + std::to_string(failed.size()) + " check(s) did not hold: " + failed.front());
        return ExitStatus::Failed;
    }
    output.text("\ndemo finished: every check held");
    return ExitStatus::Ok;
}

bool Demo::firstRun(const std::string& samples) {
    Session session(options, output);
    step("A fresh client: installed defaults only",
         "The host creates its factory, loads libconfigservice.so with dlopen, calls InjectConfigService and\n"
         "starts feature set 1300. Only the client's own stores exist; the defaults file answers.");
    if (!session.host()) {
        return false;
    }
    typed("stores");
    StoreCommands(session).stores();
    typed("get Meetings_Enabled");
    ValueCommands(session).get({"Meetings_Enabled"}, false);
    check(holds(view(session, "Meetings_Enabled"), "true", constants::DEFAULTS_CONFIG_STORE),
          "Meetings_Enabled comes from the installed defaults");

    step("The configuration server answers, and its configuration is cached",
         "Another service of the client adds the server's configuration as a store that asks to be cached;\n"
         "the feature set writes an encrypted copy and records it in \"PrimaryConfigStores\".");
    const std::string serverFile = samples + "/server-config.xml";
    typed("add-store " + SERVER_STORE + " " + std::to_string(SERVER_PRIORITY) + " " + serverFile + " --cache");
    StoreCommands(session).addStore(SERVER_STORE, SERVER_PRIORITY, serverFile, true);
    check(PTKCoreUtils::FileUtils::fileExists(ZVFUnified::CacheConfigStore::cacheDirectory() + "/" +
                                              ZVFUnified::CacheConfigStore::cachedStoreName(SERVER_STORE)),
          "the server configuration has an encrypted cache file");
    check(holds(view(session, "Meetings_Enabled"), "false", SERVER_STORE),
          "the server's Meetings_Enabled outranks the defaults");

    step("The user overrides an administrator's choice",
         "The user's write goes to the first writable store, the encrypted settings file. The value object\n"
         "keeps the administrator's value beside the effective one.");
    typed("set ShowContactPictures true");
    ValueCommands(session).set("ShowContactPictures", "true", false);
    typed("explain ShowContactPictures");
    ValueCommands(session).explain("ShowContactPictures", false);
    const nlohmann::json overridden = view(session, "ShowContactPictures");
    check(holds(overridden, "true", constants::LOCAL_FILE_CONFIG_STORE) && overridden["originalValue"] == "false" &&
              overridden["originalValueStore"] == SERVER_STORE && overridden["overridden"] == true,
          "the user's value wins and the administrator's value is kept as the original");

    step("An old key name still resolves",
         "Clients written against a key's old name reach the value through it.");
    typed("get TftpServer1");
    ValueCommands(session).get({"TftpServer1"}, false);
    const nlohmann::json renamed = view(session, "TftpServer1");
    check(PTKCoreUtils::caseInsensitiveStringEquals(renamed["key"].get<std::string>(), "TFTPPrimaryServer") && holds(renamed, "tftp1.corp.example.com", SERVER_STORE),
          "TftpServer1 resolves to TFTPPrimaryServer");
    output.text("\n(the client exits: feature set stopped, queued writes done, factory shut down)");
    return true;
}

bool Demo::secondRun() {
    Session session(options, output);
    const std::string cachedServer = ZVFUnified::CacheConfigStore::cachedStoreName(SERVER_STORE);
    step("The client starts again, before any server answers",
         "A new factory, the plug-in injected again. The server's configuration comes from its cache file,\n"
         "the user's value from the settings file.");
    if (!session.host()) {
        return false;
    }
    typed("get TFTPPrimaryServer ShowContactPictures");
    ValueCommands(session).get({"TFTPPrimaryServer", "ShowContactPictures"}, false);
    check(holds(view(session, "TFTPPrimaryServer"), "tftp1.corp.example.com", cachedServer),
          "TFTPPrimaryServer is served from " + cachedServer);
    check(holds(view(session, "ShowContactPictures"), "true", constants::LOCAL_FILE_CONFIG_STORE),
          "the user's value survived the restart");

    step("URL provisioning",
         "A provisioning link sets the keys it is allowed to set, in a store of its own (cached too).");
    typed("provision \"" + PROVISIONING_URL + "\"");
    StoreCommands(session).provision(PROVISIONING_URL);
    check(holds(view(session, "Telephony_Enabled"), "true", constants::URL_PROVISIONING_CONFIG_STORE),
          "Telephony_Enabled comes from the provisioning URL");
    typed("explain ServicesDomain");
    ValueCommands(session).explain("ServicesDomain", false);
    check(holds(view(session, "ServicesDomain"), "corp.example.com", cachedServer),
          "the server's cached ServicesDomain still outranks URL provisioning");

    step("A problem report", "Support receives every store's values except the secrets, which are left out.");
    typed("report");
    std::wstring report;
    session.onServicesThread([&] { report = session.host()->getService()->getAllConfigForPRT(); },
                             "nuvrix-config demo report");
    ReportCommands(session).report("");
    const std::string reportText = PTKCoreUtils::toString(report);
    check(reportText.find(SAMPLE_SECRET) == std::string::npos &&
              reportText.find("<ConnectionPassword>") == std::string::npos,
          "the directory password is absent from the report");

    step("A data reset", "The host asks its data providers to reset: the feature set drops the user's settings and the\nserver-provided stores and deletes its settings file.");
    typed("reset-data --yes");
    DataCommands(session).resetData(true);
    typed("get ShowContactPictures Meetings_Enabled");
    ValueCommands(session).get({"ShowContactPictures", "Meetings_Enabled"}, false);
    check(holds(view(session, "ShowContactPictures"), "true", constants::DEFAULTS_CONFIG_STORE) &&
              holds(view(session, "Meetings_Enabled"), "true", constants::DEFAULTS_CONFIG_STORE),
          "after the reset the defaults answer again");
    return true;
}

}  // namespace nuvrixconfig
