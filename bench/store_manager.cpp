// Cost of the store manager's hot paths beside their floors.
//
// - ManagerGetValue/N: a lookup through N stores of 2,000 keys, the key held
//   by the middle store. FloorGetValue/N is the same walk over the same maps
//   with no manager, no store interface, no locks and no logging.
//   ManagerGetValueUnlocked/N uses immutable stores without a lock of their
//   own (as the bootstrap and device-management stores are), so that the
//   manager's share is seen apart from the in-memory store's lock.
// - ManagerMiss/10 and FloorMiss/10: a key that no store holds.
// - AddStore/K: adding a store of K keys to a manager that holds three other
//   stores of 2,000 keys, with one observer; the cost should grow linearly.
// - MapLookup*: one store's case-insensitive map beside an exact-case
//   std::map of the same 25-character keys with long shared prefixes,
//   queried in stored case and in mixed case.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ConfigMap.h"
#include "ConfigStore.h"
#include "ConfigStoreManager.h"
#include "ConfigStoreManager_Observer.h"
#include "DisableP2PCallOnFips.h"
#include "InMemoryConfigStore.h"
#include "logging/ZVFLogger.h"

using ZVFUnified::ConfigMap;
using ZVFUnified::ConfigStore;
using ZVFUnified::ConfigStoreManager;
using ZVFUnified::InMemoryConfigStore;

namespace {

constexpr int kKeysPerStore = 2000;
constexpr int kQueryRing = 256;  // queries cycle through this many keys

// 25 characters, all sharing the first 19: "ServicesConfigValue" + "_" + store
// letter + 4 digits.
std::wstring keyName(int store, int index) {
    wchar_t digits[8];
    swprintf(digits, 8, L"%04d", index);
    return std::wstring(L"ServicesConfigValue_") + static_cast<wchar_t>(L'A' + store) + digits;
}

std::wstring mixCase(const std::wstring& key, std::mt19937& random) {
    std::wstring mixed = key;
    for (wchar_t& c : mixed) {
        if (random() % 2 == 0) {
            if (c >= L'a' && c <= L'z') {
                c = static_cast<wchar_t>(c - 32);
            } else if (c >= L'A' && c <= L'Z') {
                c = static_cast<wchar_t>(c + 32);
            }
        }
    }
    return mixed;
}

// An immutable read-only store over a shared map: no lock, the FIPS rule on
// its answers, as the bootstrap and device-management stores behave. The
// floor walks the very same maps.
class FixedConfigStore : public ConfigStore {
public:
    FixedConfigStore(std::string name, int priority, std::shared_ptr<const ConfigMap> values)
        : name(std::move(name)), priority(priority), values(std::move(values)) {}
    bool getValue(const std::wstring& key, std::wstring& value) override {
        auto it = values->find(key);
        if (it == values->end()) {
            value.clear();
            ZVFUnified::DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(key, value);
            return false;
        }
        value = it->second;
        ZVFUnified::DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(key, value);
        return true;
    }
    bool storeValue(const std::wstring&, const std::wstring&) override { return false; }
    std::vector<std::wstring> getKeys() override {
        std::vector<std::wstring> keys;
        keys.reserve(values->size());
        for (const auto& entry : *values) {
            keys.push_back(entry.first);
        }
        return keys;
    }
    bool removeValue(const std::wstring&) override { return false; }
    void removeAllValues() override {}
    bool isReadOnly() override { return true; }
    std::string getName() override { return name; }
    int getPriority() override { return priority; }
    void persistValues() override {}
    void destroy() override {}
    bool isLocal() override { return true; }
    bool waitForStoreReady() override { return true; }

private:
    std::string name;
    int priority;
    std::shared_ptr<const ConfigMap> values;
};

// The feature set's role, reduced to taking the arguments.
class CountingObserver : public ZVFUnified::ConfigStoreManager_Observer {
public:
    void onFireIfRequired(std::wstring key) override { benchmark::DoNotOptimize(key.size()); }
    void onSensitiveKeyAddedOrUpdated(std::wstring) override {}
    void onConfigAddedOrUpdated(std::wstring key, std::wstring value, std::wstring, bool, bool, std::wstring,
                                std::wstring, bool) override {
        benchmark::DoNotOptimize(key.size() + value.size());
        ++reports;
    }
    uint64_t reports = 0;
};

std::shared_ptr<const ConfigMap> storeValues(int store, int keys) {
    auto values = std::make_shared<ConfigMap>();
    for (int i = 0; i < keys; ++i) {
        values->emplace(keyName(store, i), L"value-" + std::to_wstring(store) + L"-" + std::to_wstring(i));
    }
    return values;
}

std::string storeName(int store) { return "BenchConfigStore" + std::to_string(store); }

struct Stores {
    std::vector<std::shared_ptr<const ConfigMap>> maps;  // one per store
    std::vector<std::wstring> queries;
};

Stores makeStores(int count, bool miss) {
    Stores stores;
    for (int s = 0; s < count; ++s) {
        stores.maps.push_back(storeValues(s, kKeysPerStore));
    }
    std::mt19937 random(7);
    const int middle = count / 2;
    for (int q = 0; q < kQueryRing; ++q) {
        // A miss uses a store letter that no store has.
        const int owner = miss ? count + 1 : middle;
        stores.queries.push_back(keyName(owner, static_cast<int>(random() % kKeysPerStore)));
    }
    return stores;
}

std::unique_ptr<ConfigStoreManager> makeManager(const Stores& stores, bool lockedStores) {
    auto manager = std::make_unique<ConfigStoreManager>(nullptr);
    for (std::size_t s = 0; s < stores.maps.size(); ++s) {
        const int priority = 100 + static_cast<int>(s) * 10;
        if (lockedStores) {
            auto store = std::make_shared<InMemoryConfigStore>(storeName(static_cast<int>(s)), priority);
            for (const auto& entry : *stores.maps[s]) {
                store->storeValue(entry.first, entry.second);
            }
            manager->addStore(store);
        } else {
            manager->addStore(
                std::make_shared<FixedConfigStore>(storeName(static_cast<int>(s)), priority, stores.maps[s]));
        }
    }
    return manager;
}

void runManager(benchmark::State& state, bool miss, bool lockedStores) {
    const Stores stores = makeStores(static_cast<int>(state.range(0)), miss);
    std::unique_ptr<ConfigStoreManager> manager = makeManager(stores, lockedStores);
    std::wstring value;
    std::wstring answeringStore;
    const std::string noFilter;
    std::size_t q = 0;
    uint64_t hits = 0;
    for (auto _ : state) {
        bool viaAlias = false;
        hits += manager->getValue(stores.queries[q], value, answeringStore, viaAlias, false, noFilter);
        benchmark::DoNotOptimize(value.data());
        q = (q + 1) % stores.queries.size();
    }
    if (hits != (miss ? 0 : static_cast<uint64_t>(state.iterations()))) {
        state.SkipWithError("unexpected lookup result");
    }
}

void runFloor(benchmark::State& state, bool miss) {
    const Stores stores = makeStores(static_cast<int>(state.range(0)), miss);
    std::wstring value;
    std::size_t q = 0;
    uint64_t hits = 0;
    for (auto _ : state) {
        const std::wstring& key = stores.queries[q];
        bool found = false;
        for (const auto& map : stores.maps) {
            auto it = map->find(key);
            if (it != map->end()) {
                value = it->second;
                found = true;
                break;
            }
        }
        if (!found) {
            value.clear();
        }
        hits += found;
        benchmark::DoNotOptimize(value.data());
        q = (q + 1) % stores.queries.size();
    }
    if (hits != (miss ? 0 : static_cast<uint64_t>(state.iterations()))) {
        state.SkipWithError("unexpected lookup result");
    }
}

void ManagerGetValue(benchmark::State& state) { runManager(state, false, true); }
void ManagerGetValueUnlocked(benchmark::State& state) { runManager(state, false, false); }
void FloorGetValue(benchmark::State& state) { runFloor(state, false); }
void ManagerMiss(benchmark::State& state) { runManager(state, true, true); }
void FloorMiss(benchmark::State& state) { runFloor(state, true); }

// Store counts for the plot of lookup cost against stores (bench/run).
BENCHMARK(FloorGetValue)->Arg(1)->Arg(2)->Arg(3)->Arg(5)->Arg(10)->Arg(20);
BENCHMARK(ManagerGetValue)->Arg(1)->Arg(2)->Arg(3)->Arg(5)->Arg(10)->Arg(20);
BENCHMARK(ManagerGetValueUnlocked)->Arg(1)->Arg(2)->Arg(3)->Arg(5)->Arg(10)->Arg(20);
BENCHMARK(FloorMiss)->Arg(10);
BENCHMARK(ManagerMiss)->Arg(10);

void AddStore(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    // Three stores already listed: a user store ahead of the new one, two
    // administrator stores behind it.
    std::vector<std::shared_ptr<ConfigStore>> background;
    auto user = std::make_shared<InMemoryConfigStore>("LocalFileConfigStore", 20);
    const std::shared_ptr<const ConfigMap> userValues = storeValues(20, kKeysPerStore);
    for (const auto& entry : *userValues) {
        user->storeValue(entry.first, entry.second);
    }
    background.push_back(user);
    background.push_back(std::make_shared<FixedConfigStore>("AdminOne", 600, storeValues(21, kKeysPerStore)));
    background.push_back(std::make_shared<FixedConfigStore>("AdminTwo", 700, storeValues(22, kKeysPerStore)));
    auto added = std::make_shared<FixedConfigStore>("AddedConfigStore", 100, storeValues(1, keys));

    uint64_t reports = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            CountingObserver observer;
            auto manager = std::make_unique<ConfigStoreManager>(nullptr);
            for (const auto& store : background) {
                manager->addStore(store);
            }
            manager->AddObserver(&observer);
            state.ResumeTiming();
            manager->addStore(added);
            state.PauseTiming();
            reports += observer.reports;
            manager.reset();
        }
        state.ResumeTiming();
    }
    if (reports != static_cast<uint64_t>(keys) * state.iterations()) {
        state.SkipWithError("unexpected number of reports");
    }
    state.SetItemsProcessed(static_cast<int64_t>(keys) * state.iterations());
}
BENCHMARK(AddStore)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

// ---- Comparator cost ----------------------------------------------------------

struct MapCase {
    ConfigMap insensitive;
    std::map<std::wstring, std::wstring> exact;
    std::vector<std::wstring> storedCase;
    std::vector<std::wstring> mixedCase;
};

const MapCase& mapCase() {
    static const MapCase instance = [] {
        MapCase c;
        std::mt19937 random(11);
        for (int i = 0; i < kKeysPerStore; ++i) {
            const std::wstring key = keyName(3, i);
            c.insensitive.emplace(key, L"v");
            c.exact.emplace(key, L"v");
        }
        for (int q = 0; q < kQueryRing; ++q) {
            const std::wstring key = keyName(3, static_cast<int>(random() % kKeysPerStore));
            c.storedCase.push_back(key);
            c.mixedCase.push_back(mixCase(key, random));
        }
        return c;
    }();
    return instance;
}

template <class Map>
void runMapLookup(benchmark::State& state, const Map& map, const std::vector<std::wstring>& queries) {
    std::size_t q = 0;
    uint64_t hits = 0;
    for (auto _ : state) {
        auto it = map.find(queries[q]);
        hits += it != map.end();
        benchmark::DoNotOptimize(it);
        q = (q + 1) % queries.size();
    }
    if (hits != static_cast<uint64_t>(state.iterations())) {
        state.SkipWithError("unexpected lookup result");
    }
}

void MapLookupExactCaseStdMap(benchmark::State& state) {
    runMapLookup(state, mapCase().exact, mapCase().storedCase);
}
void MapLookupCaseInsensitiveStoredCase(benchmark::State& state) {
    runMapLookup(state, mapCase().insensitive, mapCase().storedCase);
}
void MapLookupCaseInsensitiveMixedCase(benchmark::State& state) {
    runMapLookup(state, mapCase().insensitive, mapCase().mixedCase);
}
BENCHMARK(MapLookupExactCaseStdMap);
BENCHMARK(MapLookupCaseInsensitiveStoredCase);
BENCHMARK(MapLookupCaseInsensitiveMixedCase);

}  // namespace

int main(int argc, char** argv) {
    // Production threshold: life-cycle records on, debug detail off.
    ZVFLogger_setLevel(4);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
