// Cold start of the configuration service plug-in beside its floor.
//
// The files, written once before timing (the encrypted ones by the plug-in
// itself, as a client run leaves them): the defaults file with 1,000 keys
// (plain XML), the user's settings with 200 keys (encrypted) and the cached
// copies of three server stores with 2,000 keys each (encrypted), listed in
// the settings' "PrimaryConfigStores" so that a start restores them. The
// presence copy is restored last.
//
// - ColdStart/service_current:0: InjectConfigService into a fresh host
//   factory and the start of feature set 1300, until the feature set answers
//   a key that only the last restored copy holds. The library itself is
//   opened once for the process (its first dlopen is reported as
//   first_dlopen_ms); creating and ending the host are not timed.
// - ColdStart/service_current:1: the same, until the services thread has
//   also applied every change report of the start, so that the service's
//   value objects are current.
// - ReadAndParseFloor: the same five files read the way the plug-in reads
//   them (the defaults file as bytes, the others through encrypted storage)
//   and parsed by libxml2 with the plug-in's options; nothing else.
//
// Each ColdStart run first times 31 floor passes of its own, so that the two
// are compared under the machine load of that moment: floor_ms is their
// median, ratio the median cold start over it, and parse_decrypt_share the
// floor's share of the median cold start. cold_cpu_ms, floor_cpu_ms and
// cpu_ratio are the same on the starting thread's CPU time, which waiting
// for a busy machine does not inflate; services_cpu_ms is the CPU time the
// services thread spent within the timed span. Run with
// --benchmark_repetitions=N for medians across runs.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <libxml/parser.h>

#include "ConfigFeatureSet.h"
#include "ConfigService.h"
#include "ConfigStore.h"
#include "ConfigValue.h"
#include "FloorReader.h"
#include "PTKCoreUtils/StringUtils.h"
#include "PluginBench.h"
#include "zvf/storage/EncryptFileUtils.h"

using namespace benchfloor;
using namespace pluginbench;
using ZVFUnified::ConfigFeatureSet;
using ZVFUnified::UnifiedFactory;

namespace {

constexpr int kDefaultsKeys = 1000;
constexpr int kUserKeys = 200;
constexpr int kCachedKeys = 2000;

const char* const kDefaultsFile = "nuvrix-config-defaults.xml";
const char* const kSettingsFile = "nuvrixLocalConfig.dat";
const std::wstring kDefaultsPrefix = L"Defaults";
const std::wstring kUserPrefix = L"User";

// The server stores whose copies a start restores. The plug-in restores the
// presence copy after the others, so it is the last one.
struct ServerStore {
    std::string name;
    std::wstring keyPrefix;
    int priority;
};
const std::vector<ServerStore>& serverStores() {
    static const std::vector<ServerStore> stores = {
        {"TFTPConfigStore", L"Tftp", 300},
        {"MevraOrgOrGrpAdminConfigStore", L"Mevra", 310},
        {"PresenceConfigStore", L"Presence", 320},
    };
    return stores;
}
const ServerStore& lastRestored() { return serverStores().back(); }

std::wstring cachedName(const ServerStore& store) {
    return L"cached" + PTKCoreUtils::toWideString(store.name) + L".dat";
}

BenchDirectory& directory() {
    static BenchDirectory instance;
    return instance;
}

std::string defaultsPath() { return directory().resourcesDir() + "/" + kDefaultsFile; }
std::string settingsPath() { return directory().configDir() + "/" + kSettingsFile; }
std::string cachePath(const ServerStore& store) {
    return directory().configDir() + "/Cache/" + PTKCoreUtils::toString(cachedName(store));
}

// The key asked for to know that the start is complete, and its value.
const std::wstring& probeKey() {
    static const std::wstring key = keyName(lastRestored().keyPrefix, kCachedKeys - 1);
    return key;
}
const std::wstring& probeValue() {
    static const std::wstring value = valueText(lastRestored().keyPrefix, kCachedKeys - 1);
    return value;
}

// ---- The files ------------------------------------------------------------------

void writeDefaultsFile() {
    std::ofstream out(defaultsPath(), std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Nuvrix>\n";
    for (int i = 0; i < kDefaultsKeys; ++i) {
        out << " <userConfig name=\"" << PTKCoreUtils::toString(keyName(kDefaultsPrefix, i)) << "\" value=\""
            << PTKCoreUtils::toString(valueText(kDefaultsPrefix, i)) << "\"/>\n";
    }
    out << "</Nuvrix>\n";
    check(static_cast<bool>(out), "cannot write the defaults file");
}

// One client run writes the settings and the cached copies: 200 user values,
// then the three cacheable server stores; the shutdown runs the queued
// persistence of the settings, "PrimaryConfigStores" included.
void writeEncryptedFilesThroughPlugin() {
    // Setting-up only: the timed part reads, it never writes.
    zvf::storage::EncryptFileUtils::setDurableWrites(false);
    std::shared_ptr<UnifiedFactory> factory = startedHost();
    std::shared_ptr<ConfigFeatureSet> featureSet = configFeatureSet(factory);
    for (int i = 0; i < kUserKeys; ++i) {
        check(featureSet->setConfig(keyName(kUserPrefix, i), valueText(kUserPrefix, i)), "setConfig failed");
    }
    for (const ServerStore& store : serverStores()) {
        featureSet->addConfigStore(std::make_shared<CacheableServerStore>(
            store.name, store.priority, storeValues(store.keyPrefix, store.keyPrefix, kCachedKeys)));
    }
    featureSet.reset();
    endHost(factory);
    zvf::storage::EncryptFileUtils::setDurableWrites(true);
    check(std::filesystem::exists(settingsPath()), "the plug-in wrote no settings file");
    for (const ServerStore& store : serverStores()) {
        check(std::filesystem::exists(cachePath(store)), "the plug-in wrote no cache file " + cachePath(store));
    }
}

// ---- The floor ------------------------------------------------------------------

std::vector<std::string> encryptedPaths() {
    std::vector<std::string> paths = {settingsPath()};
    for (const ServerStore& store : serverStores()) {
        paths.push_back(cachePath(store));
    }
    return paths;
}

// One floor pass over the five files; false when one does not read or parse.
bool floorPass() {
    bool ok = readPlainAndParse(defaultsPath()) != nullptr;
    for (const std::string& path : encryptedPaths()) {
        ok = readEncryptedAndParse(path) != nullptr && ok;
    }
    return ok;
}

Span timedFloorPass() {
    const SpanTimer timer;
    const bool ok = floorPass();
    const Span span = timer.elapsed();
    check(ok, "the floor could not read a file");
    return span;
}

// ---- Checks before timing -----------------------------------------------------------

void checkAnswer(ConfigFeatureSet& featureSet, const std::wstring& key, const std::wstring& value,
                 const std::wstring& storeName) {
    std::wstring gotValue;
    std::wstring gotStore;
    bool viaAlias = false;
    const bool found = featureSet.getConfig(key, gotValue, gotStore, viaAlias, false);
    check(found && gotValue == value && gotStore == storeName,
          "feature set answers " + PTKCoreUtils::toString(key) + " = [" + PTKCoreUtils::toString(gotValue) +
              "] from [" + PTKCoreUtils::toString(gotStore) + "], expected [" + PTKCoreUtils::toString(value) +
              "] from [" + PTKCoreUtils::toString(storeName) + "]");
}

void checkStoreSize(ConfigFeatureSet& featureSet, const std::string& name, std::size_t expected) {
    std::shared_ptr<ZVFUnified::ConfigStore> store = featureSet.getConfigStoreByName(name);
    check(store != nullptr, "no store " + name + " after the start");
    const std::size_t keys = store->getKeys().size();
    check(keys == expected,
          "store " + name + " holds " + std::to_string(keys) + " keys, expected " + std::to_string(expected));
}

// One cold start, checked from every side: each source answers with its own
// store name and holds all its keys; after the queues drain the service's
// value object of the probe key, read on the services thread, agrees with
// the feature set. The floor reads every entry of every file. A cold start
// must not rewrite any file, or the iterations would not start alike.
void checkColdStart() {
    std::vector<std::filesystem::file_time_type> before;
    const std::vector<std::string> files = [] {
        std::vector<std::string> all = encryptedPaths();
        all.push_back(defaultsPath());
        return all;
    }();
    for (const std::string& file : files) {
        before.push_back(std::filesystem::last_write_time(file));
    }

    std::shared_ptr<UnifiedFactory> factory = startedHost();
    std::shared_ptr<ConfigFeatureSet> featureSet = configFeatureSet(factory);
    checkAnswer(*featureSet, probeKey(), probeValue(), cachedName(lastRestored()));
    for (const ServerStore& store : serverStores()) {
        checkAnswer(*featureSet, keyName(store.keyPrefix, 7), valueText(store.keyPrefix, 7), cachedName(store));
        checkStoreSize(*featureSet, PTKCoreUtils::toString(cachedName(store)), kCachedKeys);
    }
    checkAnswer(*featureSet, keyName(kDefaultsPrefix, 3), valueText(kDefaultsPrefix, 3),
                PTKCoreUtils::toWideString(std::string(kDefaultsFile)));
    checkStoreSize(*featureSet, kDefaultsFile, kDefaultsKeys);
    checkAnswer(*featureSet, keyName(kUserPrefix, 5), valueText(kUserPrefix, 5), L"LocalFileConfigStore");
    // The user's 200 values and the list of cached copies.
    checkStoreSize(*featureSet, "LocalFileConfigStore", kUserKeys + 1);

    drainDispatchers(factory);
    std::wstring serviceValue;
    std::wstring serviceStore;
    bool defined = false;
    onServicesThread(factory, [&]() {
        std::shared_ptr<ZVFUnified::ConfigService> service = factory->getService<ZVFUnified::ConfigService>();
        check(service != nullptr, "the factory has no ConfigService");
        std::shared_ptr<ZVFUnified::ConfigValue> value = service->getConfig(probeKey());
        serviceValue = value->getValue();
        serviceStore = value->getValueStoreName();
        defined = value->getisDefined();
    });
    check(defined && serviceValue == probeValue() && serviceStore == cachedName(lastRestored()),
          "the service answers [" + PTKCoreUtils::toString(serviceValue) + "] from [" +
              PTKCoreUtils::toString(serviceStore) + "] where the feature set answers [" +
              PTKCoreUtils::toString(probeValue()) + "]");
    featureSet.reset();
    endHost(factory);

    for (std::size_t i = 0; i < files.size(); ++i) {
        check(std::filesystem::last_write_time(files[i]) == before[i], "a cold start rewrote " + files[i]);
    }

    check(entryCount(readPlainAndParse(defaultsPath())) == static_cast<std::size_t>(kDefaultsKeys),
          "the floor does not read every entry of the defaults file");
    check(entryCount(readEncryptedAndParse(settingsPath())) == static_cast<std::size_t>(kUserKeys + 1),
          "the floor does not read every entry of the settings file");
    for (const ServerStore& store : serverStores()) {
        check(entryCount(readEncryptedAndParse(cachePath(store))) == static_cast<std::size_t>(kCachedKeys),
              "the floor does not read every entry of " + cachePath(store));
    }
}

// ---- Benchmarks -------------------------------------------------------------------

double firstDlopenSeconds = 0;
constexpr int kFloorPassesPerRun = 31;

// One timed cold start: inject, start, the probe answered (and, when asked,
// the services thread through with the start's reports).
Span timedColdStart(bool untilServiceCurrent) {
    std::shared_ptr<UnifiedFactory> factory = UnifiedFactory::create();
    const clockid_t servicesClock = servicesThreadClock(factory);
    std::wstring value;
    std::wstring storeName;
    bool viaAlias = false;

    const SpanTimer timer(servicesClock);
    injectAndStart(factory);
    const bool found = factory->getFeatureSet<ConfigFeatureSet>()->getConfig(probeKey(), value, storeName,
                                                                               viaAlias, false);
    if (untilServiceCurrent) {
        onServicesThread(factory, [] {});
    }
    const Span span = timer.elapsed();

    check(found && value == probeValue() && storeName == cachedName(lastRestored()),
          "a timed cold start gave a wrong answer");
    endHost(factory);
    return span;
}

void ColdStart(benchmark::State& state) {
    const bool untilServiceCurrent = state.range(0) != 0;
    // The floor this run is compared with, timed just before it.
    SpanSamples floorSamples;
    for (int pass = 0; pass < kFloorPassesPerRun; ++pass) {
        floorSamples.add(timedFloorPass());
    }
    SpanSamples coldSamples;
    for (auto _ : state) {
        const Span span = timedColdStart(untilServiceCurrent);
        state.SetIterationTime(span.wall);
        coldSamples.add(span);
    }
    const double cold = median(coldSamples.wall);
    const double floor = median(floorSamples.wall);
    state.counters["cold_ms"] = cold * 1e3;
    state.counters["floor_ms"] = floor * 1e3;
    state.counters["ratio"] = floor > 0 ? cold / floor : 0;
    state.counters["parse_decrypt_share"] = cold > 0 ? floor / cold : 0;
    // The same on CPU time: the starting thread's, and the services thread's
    // work within the span beside it.
    const double coldCpu = median(coldSamples.callerCpu);
    const double floorCpu = median(floorSamples.callerCpu);
    state.counters["cold_cpu_ms"] = coldCpu * 1e3;
    state.counters["floor_cpu_ms"] = floorCpu * 1e3;
    state.counters["cpu_ratio"] = floorCpu > 0 ? coldCpu / floorCpu : 0;
    state.counters["services_cpu_ms"] = median(coldSamples.servicesCpu) * 1e3;
    state.counters["first_dlopen_ms"] = firstDlopenSeconds * 1e3;
}
BENCHMARK(ColdStart)->ArgName("service_current")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void ReadAndParseFloor(benchmark::State& state) {
    for (auto _ : state) {
        if (!floorPass()) {
            state.SkipWithError("the floor could not read a file");
            break;
        }
    }
}
BENCHMARK(ReadAndParseFloor)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    directory();
    xmlInitParser();

    std::string error;
    const Clock::time_point start = Clock::now();
    if (!pluginLoader().load(error)) {
        fail(error);
    }
    firstDlopenSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    writeDefaultsFile();
    writeEncryptedFilesThroughPlugin();
    checkColdStart();

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
