// The three-layer configuration and the lookups that bench_peers times on
// every implementation: defaults 2,000 keys, administrator 1,000, user 100;
// mixed-case ASCII keys of 22 to 30 characters built from shared prefixes
// ("Security.Timeouts.Interval1999"); 100,000 lookups of which 90% hit, the
// user's value winning over the administrator's and the administrator's over
// the defaults.
//
// Every value names its layer ("https://admin-server3.example.com/..."), so
// that an answer also tells which layer it came from where an
// implementation cannot say so itself. Built once, deterministically, then
// only read.
#ifndef BENCH_PEERS_WORKLOAD_H
#define BENCH_PEERS_WORKLOAD_H

#include <cstddef>
#include <string>
#include <vector>

namespace peers {

enum class Layer { None, User, Administrator, Defaults };

const char* layerName(Layer layer);
// The layer a value names, None for the empty text.
Layer layerOfValue(const std::string& value);

struct Entry {
    std::string key;  // as stored
    std::string value;
};

// One implementation's answer to one lookup.
struct Answer {
    bool found = false;
    Layer layer = Layer::None;
    std::string value;  // empty on a miss

    bool operator==(const Answer& other) const {
        return found == other.found && layer == other.layer && value == other.value;
    }
};

struct Workload {
    static constexpr std::size_t kDefaultsKeys = 2000;
    static constexpr std::size_t kAdministratorKeys = 1000;
    static constexpr std::size_t kUserKeys = 100;
    static constexpr std::size_t kLookups = 100000;
    static constexpr std::size_t kHitPercent = 90;

    std::vector<Entry> user;
    std::vector<Entry> administrator;
    std::vector<Entry> defaults;
    std::vector<std::string> queries;           // keys in stored letter case
    std::vector<std::string> otherCaseQueries;  // the same keys, other letter case
    std::vector<Answer> expected;               // one per query, from the layers directly

    // The one workload of the program.
    static const Workload& get();
    // An empty text when the workload is what the header promises, else
    // what is wrong with it.
    std::string describeFault() const;
};

// "[Nuvrix]" and one "key=value" line per entry: the key-file format that
// GKeyFile and KConfig read.
constexpr const char* kIniGroup = "Nuvrix";
bool writeIniFile(const std::string& path, const std::vector<Entry>& entries);
// The plain defaults document of the configuration service:
// <Nuvrix><userConfig name="key" value="value"/>...</Nuvrix>.
bool writeDefaultsXml(const std::string& path, const std::vector<Entry>& entries);

}  // namespace peers

#endif
