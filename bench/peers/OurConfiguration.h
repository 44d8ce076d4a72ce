// The configuration service's side of bench_peers: the workload's three
// layers as the client holds them, built only through the public operations
// of the stores, the store manager and the service object.
//
// - InMemoryManager: a ConfigStoreManager over a writable InMemoryConfigStore
//   (user, 20) and two read-only XmlConfigStores filled in memory
//   (administrator, 300; defaults, 2147483647).
// - FileManager: the stores as a client run loads them from their files: the
//   user's LocalFileConfigStore from its encrypted settings file (20), the
//   administrator's CacheConfigStore restored from its encrypted cache file
//   (301, the cached copy of a server store of 300) and the read-only
//   LocalFileConfigStore of the plain defaults file (2147483647).
// - ServiceLookups: a ConfigServiceImpl with the real alias table whose value
//   objects the store manager's change reports made, as the feature set
//   makes them, touched only on the host's services thread.
//
// The files live in a private directory under /var/tmp (a disk rather than
// a memory file system) that is also the configuration, local-data (storage
// key) and resources directory of the host; it goes with its content.
#ifndef BENCH_PEERS_OURCONFIGURATION_H
#define BENCH_PEERS_OURCONFIGURATION_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LookupPeer.h"
#include "Workload.h"

namespace ZVFUnified {
class ConfigServiceImpl;
class ConfigStore;
class ConfigStoreManager;
class UnifiedFactory;
}  // namespace ZVFUnified

namespace peers {

[[noreturn]] void fail(const std::string& message);
void check(bool condition, const std::string& message);

std::wstring widen(const std::string& ascii);
std::vector<std::wstring> widen(const std::vector<std::string>& ascii);
std::string narrow(const std::wstring& ascii);

// The private directory and every file of the workload in it.
class BenchFiles {
public:
    BenchFiles();
    ~BenchFiles();
    BenchFiles(const BenchFiles&) = delete;
    BenchFiles& operator=(const BenchFiles&) = delete;

    // Writes the encrypted settings and cache files through the stores
    // themselves, the plain defaults file and the three key files of the
    // peers.
    void write(const Workload& workload);

    std::string configDir() const { return root + "/config"; }
    std::string resourcesDir() const { return root + "/resources"; }
    std::string settingsPath() const;
    std::string cachePath() const;
    std::string defaultsPath() const;
    const IniFiles& iniFiles() const { return ini; }
    // The three files of our stores, for the checks that nothing rewrote them.
    std::vector<std::string> ourFiles() const;

private:
    std::string root;
    IniFiles ini;
};

// Store names, and the layer each answers for.
extern const char* const kUserStoreName;
extern const char* const kAdministratorStoreName;
extern const char* const kCachedAdministratorStoreName;
extern const char* const kDefaultsStoreName;
Layer layerOfStore(const std::wstring& storeName);

// A store manager and the lookups bench_peers makes through it.
class ManagerLookups {
public:
    explicit ManagerLookups(std::unique_ptr<ZVFUnified::ConfigStoreManager> manager);
    ~ManagerLookups();
    ManagerLookups(ManagerLookups&&) = default;
    ManagerLookups& operator=(ManagerLookups&&) = default;

    // getValue(key, value, storeName, viaAlias, false, "") for every key, as
    // LookupPeer::lookupAll.
    std::size_t lookupAll(const std::vector<std::wstring>& keys, std::uint64_t& checksum);
    Answer lookup(const std::wstring& key);
    ZVFUnified::ConfigStoreManager& manager() { return *owned; }

private:
    std::unique_ptr<ZVFUnified::ConfigStoreManager> owned;
    std::wstring value;      // reused by every lookup, as a client's buffer
    std::wstring storeName;
};

ManagerLookups makeInMemoryManager(const Workload& workload);
// The three stores read from their files (user, administrator, defaults).
std::vector<std::shared_ptr<ZVFUnified::ConfigStore>> loadFileStores(const BenchFiles& files);
// The three stores read from their files and added to a fresh manager: what
// the cold start times.
std::unique_ptr<ZVFUnified::ConfigStoreManager> loadFileManager(const BenchFiles& files);

// Reading, decrypting and parsing the three files with libxml2 and nothing
// else. Returns the number of entries read (0 when a file fails).
std::size_t readDecryptParse(const BenchFiles& files);

// A host (factory and dispatcher threads) with a ConfigServiceImpl whose
// value objects a file-loaded store manager reported, as in a client.
class ServiceLookups {
public:
    explicit ServiceLookups(const BenchFiles& files);
    ~ServiceLookups();
    ServiceLookups(const ServiceLookups&) = delete;
    ServiceLookups& operator=(const ServiceLookups&) = delete;

    // getConfig(key) for every key on the services thread, reading each
    // defined value as a client does. Returns the number defined; seconds
    // receives the services thread's CPU time for the pass.
    std::size_t lookupAll(const std::vector<std::wstring>& keys, std::uint64_t& checksum, double& seconds);
    // Every key's answer (value, value store), read on the services thread.
    std::vector<Answer> answers(const std::vector<std::wstring>& keys);

private:
    void onServicesThread(std::function<void()> body);

    std::shared_ptr<ZVFUnified::UnifiedFactory> factory;
    std::shared_ptr<ZVFUnified::ConfigServiceImpl> service;  // services thread only
    std::unique_ptr<ZVFUnified::ConfigStoreManager> manager;
    class Bridge;
    std::unique_ptr<Bridge> bridge;
};

// ---- Time ---------------------------------------------------------------------------

// CPU time consumed so far by the calling thread.
double threadCpuSeconds();
// The median of samples; 0 for none.
double median(std::vector<double> samples);

}  // namespace peers

#endif
