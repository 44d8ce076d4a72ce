#ifndef NUVRIXCONFIG_VALUECOMMANDS_H
#define NUVRIXCONFIG_VALUECOMMANDS_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace ZVFUnified {
class ConfigService;
}

namespace nuvrixconfig {

class Session;

// The commands about single keys: what a key resolves to (get), why
// (explain), the user's own writes (set, unset, set-in-memory) and the
// shell's live view of changes (watch). Reads
// go through the service's value objects on the services thread, as a
// client's do; explain also asks every store. Main thread.
class ValueCommands {
public:
    explicit ValueCommands(Session& session);

    int get(const std::vector<std::string>& keys, bool showSecrets);
    int explain(const std::string& key, bool showSecrets);
    // Refuses a key no store defines unless allowNew, so that a mistyped
    // name does not become a setting of its own.
    int set(const std::string& key, const std::string& value, bool allowNew);
    int unset(const std::string& key);
    int setInMemory(const std::string& key, const std::string& value);
    // Shell only: print every property change of the key's value object as
    // its observers are told; with no key, list the watched keys.
    int watch(const std::string& key);
    int unwatch(const std::string& key);

    // The state of a key's value object as a document (services thread):
    // requested, key, defined, value, valueStore, originalValue,
    // originalValueStore, overridden, local, sensitive. Secret values read
    // "VALUE_HIDDEN" unless showSecrets.
    static nlohmann::json describe(ZVFUnified::ConfigService& service, const std::string& requested,
                                   bool showSecrets);
    // describe's document as text.
    static std::string render(const nlohmann::json& view);

private:
    // The key's current name and an old name that a store still holds ("" if
    // none); services thread. Old names are found by asking the service for
    // the current name of every key the stores hold.
    bool resolveNames(const std::string& requested, std::string& current, std::string& oldName);
    // Reads, prints and settles the key after a write.
    int showAfterWrite(const std::string& key);

    Session& session;
};

}  // namespace nuvrixconfig

#endif
