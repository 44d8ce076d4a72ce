// Benchmarks of the service object's lookups and change notification.
//
// Business objects may only be touched on the host's services thread, so
// every timed loop runs inside one task on that thread and is timed there
// (manual timing); the benchmark thread only queues the task and waits.
//
// Log level 3 is set for the run: the alias lookup otherwise writes one
// level-4 log line per lookup, and the figure would be that of the log sink.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ConfigKeyAliasesMapper.h"
#include "ConfigMap.h"
#include "ConfigServiceImpl.h"
#include "ConfigValueImpl.h"
#include "ConfigValueNotifiers.h"
#include "ConfigValueObserver.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "PropertyNotifier.h"
#include "caseInsensitiveMapComparator.h"
#include "logging/ZVFLogger.h"
#include "unified/ServicesDispatcher.h"
#include "unified/UnifiedFactory.h"

using namespace ZVFUnified;

namespace {

std::shared_ptr<UnifiedFactory> factory;

// Runs body on the services thread, waits for it, returns its duration in seconds.
double timedOnServicesThread(const std::function<void()>& body) {
    double seconds = 0;
    auto task = std::make_shared<PTKCoreUtils::FunctionTask>(
        [&body, &seconds]() {
            const auto start = std::chrono::steady_clock::now();
            body();
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        },
        "benchmark body");
    factory->getServicesDispatcher()->enqueueBlock(task, false, true);
    return seconds;
}

void onServicesThread(const std::function<void()>& body) { timedOnServicesThread(body); }

std::wstring keyName(int i) {
    wchar_t text[40];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"Feature_Setting_%05d", i);
    return text;
}

// ---- Lookups ------------------------------------------------------------------

constexpr int kCachedKeys = 1000;   // keys in the cache besides the one looked up
constexpr int kLookupsPerTask = 20000;

// A service with kCachedKeys defined keys, "TFTPPrimaryServer" among them, and
// the real alias table; beside it a bare map holding the same keys.
struct LookupFixture {
    std::shared_ptr<ConfigServiceImpl> service;
    std::map<std::wstring, std::shared_ptr<ConfigValueImpl>, caseInsensitiveMapComparator> bare;

    LookupFixture() {
        onServicesThread([this]() {
            service = std::make_shared<ConfigServiceImpl>(factory);
            ConfigMap aliasToCurrent;
            ConfigMap currentToAlias;
            ConfigKeyAliasesMapper::getConfigKeyAliases(aliasToCurrent, currentToAlias);
            service->setupConfigKeyAliases(aliasToCurrent);
            for (int i = 0; i < kCachedKeys; ++i) {
                service->OnConfigChanged(keyName(i), L"value", L"", false, true, L"Store", L"", false);
            }
            service->OnConfigChanged(L"TFTPPrimaryServer", L"tftp-host", L"", false, true, L"Store", L"", false);
            const auto all = service->getAllConfig();
            for (const auto& value : *all) {
                bare.emplace(value->getKey(), std::dynamic_pointer_cast<ConfigValueImpl>(value));
            }
        });
    }
    ~LookupFixture() {
        onServicesThread([this]() {
            bare.clear();
            service.reset();
        });
    }
};

void reportPerLookup(benchmark::State& state, double totalSeconds) {
    const double lookups = static_cast<double>(state.iterations()) * kLookupsPerTask;
    state.counters["ns_per_lookup"] = benchmark::Counter(totalSeconds * 1e9 / lookups);
}

void BM_BareMapLookup(benchmark::State& state) {
    LookupFixture fixture;
    const std::wstring key = L"TFTPPrimaryServer";
    double total = 0;
    for (auto _ : state) {
        const double seconds = timedOnServicesThread([&]() {
            for (int i = 0; i < kLookupsPerTask; ++i) {
                auto found = fixture.bare.find(key);
                benchmark::DoNotOptimize(found);
            }
        });
        state.SetIterationTime(seconds);
        total += seconds;
    }
    reportPerLookup(state, total);
}

void BM_GetConfigCachedKey(benchmark::State& state) {
    LookupFixture fixture;
    const std::wstring key = L"TFTPPrimaryServer";
    double total = 0;
    for (auto _ : state) {
        const double seconds = timedOnServicesThread([&]() {
            for (int i = 0; i < kLookupsPerTask; ++i) {
                std::shared_ptr<ConfigValue> value = fixture.service->getConfig(key);
                benchmark::DoNotOptimize(value);
            }
        });
        state.SetIterationTime(seconds);
        total += seconds;
    }
    reportPerLookup(state, total);
}

void BM_GetConfigAliasedKey(benchmark::State& state) {
    LookupFixture fixture;
    const std::wstring key = L"tftpserver1";  // old name of TFTPPrimaryServer
    double total = 0;
    for (auto _ : state) {
        const double seconds = timedOnServicesThread([&]() {
            for (int i = 0; i < kLookupsPerTask; ++i) {
                std::shared_ptr<ConfigValue> value = fixture.service->getConfig(key);
                benchmark::DoNotOptimize(value);
            }
        });
        state.SetIterationTime(seconds);
        total += seconds;
    }
    reportPerLookup(state, total);
}

// ---- Batched change notification ------------------------------------------------

class CountingObserver : public ConfigValueObserver {
public:
    void OnInfoChanged() override {}
    void OnGuidChanged() override {}
    void OnKeyChanged() override {}
    void OnValueChanged() override { ++calls; }
    void OnOriginalValueChanged() override {}
    void OnisOverriddenChanged() override {}
    void OnisDefinedChanged() override {}
    void OnValueStoreNameChanged() override {}
    void OnOriginalValueStoreNameChanged() override {}
    long calls = 0;
};

// N keys, each value object with one observer and one function connected to
// its Value notifier. One iteration: N silent reports that change every
// value, then N FireIfRequired, as the store manager sends them for a store
// added with N keys.
void BM_SilentBatchThenFireIfRequired(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    std::shared_ptr<ConfigServiceImpl> service;
    std::vector<std::shared_ptr<CountingObserver>> observers;
    std::vector<std::wstring> names;
    long functionCalls = 0;
    onServicesThread([&]() {
        service = std::make_shared<ConfigServiceImpl>(factory);
        for (int i = 0; i < keys; ++i) {
            names.push_back(keyName(i));
            service->OnConfigChanged(names.back(), L"initial", L"", false, true, L"Store", L"", false);
            std::shared_ptr<ConfigValue> value = service->getConfig(names.back());
            auto observer = std::make_shared<CountingObserver>();
            value->addObserver(std::weak_ptr<ConfigValueObserver>(observer));
            value->getConfigValueNotifiers()->getValueNotifier()->connect([&functionCalls]() { ++functionCalls; });
            observers.push_back(observer);
        }
    });

    double total = 0;
    long rounds = 0;
    for (auto _ : state) {
        const std::wstring value = (rounds % 2 == 0) ? L"even" : L"odd";
        const double seconds = timedOnServicesThread([&]() {
            for (const std::wstring& name : names) {
                service->OnConfigChanged(name, value, L"", false, true, L"Store", L"", true);
            }
            for (const std::wstring& name : names) {
                service->FireIfRequired(name);
            }
        });
        state.SetIterationTime(seconds);
        total += seconds;
        ++rounds;
    }

    long observerCalls = 0;
    for (const auto& observer : observers) {
        observerCalls += observer->calls;
    }
    if (observerCalls != rounds * keys || functionCalls != rounds * keys) {
        state.SkipWithError("every key must notify its observer and its function once per round");
    }
    state.counters["ns_per_key"] = benchmark::Counter(total * 1e9 / (static_cast<double>(rounds) * keys));
    onServicesThread([&]() {
        observers.clear();
        service.reset();
    });
}

}  // namespace

BENCHMARK(BM_BareMapLookup)->UseManualTime();
BENCHMARK(BM_GetConfigCachedKey)->UseManualTime();
BENCHMARK(BM_GetConfigAliasedKey)->UseManualTime();
// Key counts for the plot of notification cost against keys (bench/run).
BENCHMARK(BM_SilentBatchThenFireIfRequired)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    ZVFLogger_setLevel(3);
    factory = UnifiedFactory::create();
    benchmark::RunSpecifiedBenchmarks();
    factory->shutdown();
    factory.reset();
    benchmark::Shutdown();
    return 0;
}
