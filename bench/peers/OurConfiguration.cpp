#include "OurConfiguration.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "CacheConfigStore.h"
#include "ConfigKeyAliasesMapper.h"
#include "ConfigMap.h"
#include "ConfigServiceImpl.h"
#include "ConfigStoreManager.h"
#include "ConfigStoreManager_Observer.h"
#include "ConfigValue.h"
#include "FloorReader.h"
#include "InMemoryConfigStore.h"
#include "LocalFileConfigStore.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "XmlConfigStore.h"
#include "logging/ZVFLogger.h"
#include "unified/ServicesDispatcher.h"
#include "unified/UnifiedFactory.h"
#include "zvf/storage/EncryptFileUtils.h"

using ZVFUnified::ConfigMap;
using ZVFUnified::ConfigStoreManager;

namespace peers {

void fail(const std::string& message) {
    std::fprintf(stderr, "bench_peers check failed: %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

void check(bool condition, const std::string& message) {
    if (!condition) {
        fail(message);
    }
}

std::wstring widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::vector<std::wstring> widen(const std::vector<std::string>& ascii) {
    std::vector<std::wstring> wide;
    wide.reserve(ascii.size());
    for (const std::string& text : ascii) {
        wide.push_back(widen(text));
    }
    return wide;
}

std::string narrow(const std::wstring& ascii) {
    std::string text;
    text.reserve(ascii.size());
    for (wchar_t c : ascii) {
        text.push_back(static_cast<char>(c));
    }
    return text;
}

// ---- Files ------------------------------------------------------------------------

const char* const kUserStoreName = "LocalFileConfigStore";
const char* const kAdministratorStoreName = "ServerConfigStore";
const char* const kCachedAdministratorStoreName = "cachedServerConfigStore.dat";
const char* const kDefaultsStoreName = "nuvrix-config-defaults.xml";

namespace {

const char* const kSettingsFile = "nuvrixLocalConfig.dat";
constexpr int kUserPriority = 20;
constexpr int kAdministratorPriority = 300;
constexpr int kDefaultsPriority = INT_MAX;

ConfigMap configMap(const std::vector<Entry>& entries) {
    ConfigMap map;
    for (const Entry& entry : entries) {
        map.emplace(widen(entry.key), widen(entry.value));
    }
    return map;
}

}  // namespace

BenchFiles::BenchFiles() {
    std::string pattern = "/var/tmp/nuvrix-peers-bench-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    check(mkdtemp(buffer.data()) != nullptr, "cannot create a directory under /var/tmp");
    root = buffer.data();
    for (const char* sub : {"/config/Cache", "/local", "/resources", "/ini"}) {
        std::filesystem::create_directories(root + sub);
    }
    // The host reads these at every call, so they are set before any store
    // or factory exists.
    setenv("NUVRIX_CONFIG_DIR", configDir().c_str(), 1);
    setenv("NUVRIX_LOCAL_APP_DIR", (root + "/local").c_str(), 1);
    setenv("NUVRIX_RESOURCES_DIR", resourcesDir().c_str(), 1);
    // KConfig looks for no system-wide files of ours.
    setenv("XDG_CONFIG_DIRS", (root + "/ini").c_str(), 1);
    // Production threshold, into a file as the client writes it.
    ZVFLogger_setLevel(4);
    check(ZVFLogger_setLogFile(root + "/nuvrix.log"), "cannot open the log file");
    ini.user = root + "/ini/user.ini";
    ini.administrator = root + "/ini/administrator.ini";
    ini.defaults = root + "/ini/defaults.ini";
}

BenchFiles::~BenchFiles() {
    ZVFLogger_setLogFile("");
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::string BenchFiles::settingsPath() const { return configDir() + "/" + kSettingsFile; }
std::string BenchFiles::cachePath() const { return configDir() + "/Cache/" + kCachedAdministratorStoreName; }
std::string BenchFiles::defaultsPath() const { return resourcesDir() + "/" + kDefaultsStoreName; }

std::vector<std::string> BenchFiles::ourFiles() const { return {settingsPath(), cachePath(), defaultsPath()}; }

void BenchFiles::write(const Workload& workload) {
    // Setting up only: what is timed reads, it never writes.
    zvf::storage::EncryptFileUtils::setDurableWrites(false);
    {
        // The user's settings, written by the store as the client writes them.
        auto user = std::make_shared<ZVFUnified::LocalFileConfigStore>(kUserStoreName, kUserPriority, configDir(),
                                                                       kSettingsFile, true, false, true);
        for (const Entry& entry : workload.user) {
            check(user->storeValue(widen(entry.key), widen(entry.value)), "the settings store refused " + entry.key);
        }
        user->persistValues();
        // The administrator's cached copy, written at once by its store.
        ZVFUnified::CacheConfigStore administrator(kCachedAdministratorStoreName, kAdministratorPriority + 1,
                                                   cachePath(), configMap(workload.administrator));
    }
    zvf::storage::EncryptFileUtils::setDurableWrites(true);
    check(writeDefaultsXml(defaultsPath(), workload.defaults), "cannot write " + defaultsPath());
    check(writeIniFile(ini.user, workload.user) && writeIniFile(ini.administrator, workload.administrator) &&
              writeIniFile(ini.defaults, workload.defaults),
          "cannot write the key files");
    for (const std::string& path : ourFiles()) {
        check(std::filesystem::exists(path), "no file " + path + " after writing the workload");
    }
}

Layer layerOfStore(const std::wstring& storeName) {
    const std::string name = narrow(storeName);
    if (name == kUserStoreName || name == "UserMemoryStore") {
        return Layer::User;
    }
    if (name == kCachedAdministratorStoreName || name == kAdministratorStoreName) {
        return Layer::Administrator;
    }
    if (name == kDefaultsStoreName || name == "DefaultsMemoryStore") {
        return Layer::Defaults;
    }
    return Layer::None;
}

// ---- Store managers -------------------------------------------------------------------

ManagerLookups::ManagerLookups(std::unique_ptr<ConfigStoreManager> manager) : owned(std::move(manager)) {}
ManagerLookups::~ManagerLookups() = default;

std::size_t ManagerLookups::lookupAll(const std::vector<std::wstring>& keys, std::uint64_t& checksum) {
    const std::string noFilter;
    std::size_t found = 0;
    for (const std::wstring& key : keys) {
        bool viaAlias = false;
        if (owned->getValue(key, value, storeName, viaAlias, false, noFilter)) {
            checksum += value.size();
            ++found;
        }
    }
    return found;
}

Answer ManagerLookups::lookup(const std::wstring& key) {
    bool viaAlias = false;
    Answer answer;
    answer.found = owned->getValue(key, value, storeName, viaAlias, false, std::string());
    if (answer.found) {
        answer.value = narrow(value);
        answer.layer = layerOfStore(storeName);
    }
    return answer;
}

ManagerLookups makeInMemoryManager(const Workload& workload) {
    auto manager = std::make_unique<ConfigStoreManager>(nullptr);
    auto user = std::make_shared<ZVFUnified::InMemoryConfigStore>("UserMemoryStore", kUserPriority);
    for (const Entry& entry : workload.user) {
        user->storeValue(widen(entry.key), widen(entry.value));
    }
    // Read-only stores filled in memory: no file behind them.
    auto administrator = std::make_shared<ZVFUnified::XmlConfigStore>(kAdministratorStoreName, kAdministratorPriority,
                                                                      true, false, std::string(), false);
    for (const Entry& entry : workload.administrator) {
        administrator->storeValue(widen(entry.key), widen(entry.value));
    }
    auto defaults = std::make_shared<ZVFUnified::XmlConfigStore>("DefaultsMemoryStore", kDefaultsPriority, true,
                                                                 false, std::string(), false);
    for (const Entry& entry : workload.defaults) {
        defaults->storeValue(widen(entry.key), widen(entry.value));
    }
    check(!user->isReadOnly() && administrator->isReadOnly() && defaults->isReadOnly(),
          "the in-memory layers do not have the access of the real stores");
    manager->addStore(user);
    manager->addStore(administrator);
    manager->addStore(defaults);
    return ManagerLookups(std::move(manager));
}

std::vector<std::shared_ptr<ZVFUnified::ConfigStore>> loadFileStores(const BenchFiles& files) {
    return {
        std::make_shared<ZVFUnified::LocalFileConfigStore>(kUserStoreName, kUserPriority, files.configDir(),
                                                           kSettingsFile, true, false, true),
        std::make_shared<ZVFUnified::CacheConfigStore>(kCachedAdministratorStoreName, kAdministratorPriority + 1,
                                                       files.cachePath()),
        std::make_shared<ZVFUnified::LocalFileConfigStore>(kDefaultsStoreName, kDefaultsPriority,
                                                           files.resourcesDir(), kDefaultsStoreName, true, true,
                                                           false),
    };
}

std::unique_ptr<ConfigStoreManager> loadFileManager(const BenchFiles& files) {
    auto manager = std::make_unique<ConfigStoreManager>(nullptr);
    for (const std::shared_ptr<ZVFUnified::ConfigStore>& store : loadFileStores(files)) {
        manager->addStore(store);
    }
    return manager;
}

// ---- The floor: read, decrypt, parse ------------------------------------------------------

std::size_t readDecryptParse(const BenchFiles& files) {
    using namespace benchfloor;
    const std::size_t user = entryCount(readEncryptedAndParse(files.settingsPath()));
    const std::size_t administrator = entryCount(readEncryptedAndParse(files.cachePath()));
    const std::size_t defaults = entryCount(readPlainAndParse(files.defaultsPath()));
    return user == 0 || administrator == 0 || defaults == 0 ? 0 : user + administrator + defaults;
}

// ---- The service ---------------------------------------------------------------------------

// The feature set's part, reduced: the store manager's reports go to the
// service object. Called on the services thread, where the stores are added.
class ServiceLookups::Bridge : public ZVFUnified::ConfigStoreManager_Observer {
public:
    explicit Bridge(ZVFUnified::ConfigServiceImpl& service) : service(service) {}

    void onFireIfRequired(std::wstring key) override { service.FireIfRequired(std::move(key)); }
    void onSensitiveKeyAddedOrUpdated(std::wstring key) override { service.updateSensitiveKeyList(std::move(key)); }
    void onConfigAddedOrUpdated(std::wstring key, std::wstring value, std::wstring originalValue, bool isOverridden,
                                bool isDefined, std::wstring valueStoreName, std::wstring originalValueStoreName,
                                bool silent) override {
        service.OnConfigChanged(std::move(key), std::move(value), std::move(originalValue), isOverridden, isDefined,
                                std::move(valueStoreName), std::move(originalValueStoreName), silent);
    }

private:
    ZVFUnified::ConfigServiceImpl& service;
};

ServiceLookups::ServiceLookups(const BenchFiles& files) : factory(ZVFUnified::UnifiedFactory::create()) {
    onServicesThread([this, &files]() {
        service = std::make_shared<ZVFUnified::ConfigServiceImpl>(factory);
        ConfigMap aliasToCurrent;
        ConfigMap currentToAlias;
        ZVFUnified::ConfigKeyAliasesMapper::getConfigKeyAliases(aliasToCurrent, currentToAlias);
        service->setupConfigKeyAliases(aliasToCurrent);
        bridge = std::make_unique<Bridge>(*service);
        // The stores are added after the observer, so that every key is reported.
        manager = std::make_unique<ConfigStoreManager>(nullptr);
        manager->AddObserver(bridge.get());
        for (const std::shared_ptr<ZVFUnified::ConfigStore>& store : loadFileStores(files)) {
            manager->addStore(store);
        }
    });
}

ServiceLookups::~ServiceLookups() {
    onServicesThread([this]() {
        manager->RemoveObserver(bridge.get());
        manager.reset();
        bridge.reset();
        service.reset();
    });
    factory->shutdown();
    factory.reset();
}

void ServiceLookups::onServicesThread(std::function<void()> body) {
    factory->getServicesDispatcher()->enqueueBlock(
        std::make_shared<PTKCoreUtils::FunctionTask>(std::move(body), "bench_peers"), false, true);
}

std::size_t ServiceLookups::lookupAll(const std::vector<std::wstring>& keys, std::uint64_t& checksum,
                                      double& seconds) {
    std::size_t found = 0;
    onServicesThread([&]() {
        const double start = threadCpuSeconds();
        for (const std::wstring& key : keys) {
            std::shared_ptr<ZVFUnified::ConfigValue> value = service->getConfig(key);
            if (value->getisDefined()) {
                checksum += value->getValue().size();
                ++found;
            }
        }
        seconds = threadCpuSeconds() - start;
    });
    return found;
}

std::vector<Answer> ServiceLookups::answers(const std::vector<std::wstring>& keys) {
    std::vector<Answer> result;
    onServicesThread([&]() {
        for (const std::wstring& key : keys) {
            std::shared_ptr<ZVFUnified::ConfigValue> value = service->getConfig(key);
            Answer answer;
            answer.found = value->getisDefined();
            if (answer.found) {
                answer.value = narrow(value->getValue());
                answer.layer = layerOfStore(value->getValueStoreName());
            }
            result.push_back(answer);
        }
    });
    return result;
}

// ---- Time ---------------------------------------------------------------------------------

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double median(std::vector<double> samples) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

}  // namespace peers
