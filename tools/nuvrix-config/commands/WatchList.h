#ifndef NUVRIXCONFIG_WATCHLIST_H
#define NUVRIXCONFIG_WATCHLIST_H

#include <memory>
#include <string>
#include <vector>

namespace ZVFUnified {
class ConfigService;
class ConfigValue;
class PropertyNotifierConnection;
}  // namespace ZVFUnified

namespace nuvrixconfig {

class Output;

// The shell's watched keys: for each, the service's value object and one
// connection to each of its property notifiers, which prints the property's
// new state as the value's observers are told. Holds the value objects, so
// they stay alive and current. Services thread only, like the value objects
// themselves; the printing goes through the thread-safe Output.
class WatchList {
public:
    explicit WatchList(Output& output);
    ~WatchList();
    WatchList(const WatchList&) = delete;
    WatchList& operator=(const WatchList&) = delete;

    // False when the key (or the key it is an old name of) is watched already.
    bool add(ZVFUnified::ConfigService& service, const std::string& key);
    // False when it was not watched.
    bool remove(ZVFUnified::ConfigService& service, const std::string& key);
    void clear();
    // The watched keys, by their current names.
    std::vector<std::string> keys() const;

private:
    struct Watch {
        std::string key;  // current name
        std::shared_ptr<ZVFUnified::ConfigValue> value;
        std::vector<std::weak_ptr<ZVFUnified::PropertyNotifierConnection>> connections;
    };

    Output& output;
    std::vector<Watch> watches;
};

}  // namespace nuvrixconfig

#endif
