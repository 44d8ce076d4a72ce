#ifndef NUVRIXCONFIG_STORECOMMANDS_H
#define NUVRIXCONFIG_STORECOMMANDS_H

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace ZVFUnified {
class ConfigStore;
}

namespace nuvrixconfig {

class Session;

// The commands about stores: listing them, adding configuration as other
// services of the client do (server configuration, bootstrap settings,
// device management, URL provisioning) and removing it again. Every input
// file is read and checked before the host starts, so a bad one changes
// nothing. Main thread.
class StoreCommands {
public:
    explicit StoreCommands(Session& session);

    int stores();
    int addStore(const std::string& name, int priority, const std::string& file, bool cache);
    int removeStore(const std::string& name);
    int removeCachedStores();
    int provision(const std::string& url);
    int mdm(const std::string& file);
    int bootstrap(const std::string& file, int priority);

private:
    // The keys of the named store whose effective value it now supplies.
    nlohmann::json decidedBy(const std::string& storeName);
    // Settles the host and prints what the store decides now, after headline.
    int reportAdded(const std::string& storeName, nlohmann::json doc, const std::string& headline);

    Session& session;
};

}  // namespace nuvrixconfig

#endif
