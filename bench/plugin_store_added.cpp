// Cost of adding a cacheable server store of N keys to the running plug-in,
// seen from a client of the service: the store goes in through the feature
// set's addConfigStore on a thread other than the services thread, and the
// time runs until the Value notifier of the last of the N value objects has
// fired on the services thread.
//
// Before timing, the value objects of all N keys are made on the services
// thread through the service (undefined, as a client that asked early holds
// them) and a counting function is connected to each one's Value notifier.
// Every iteration adds the store afresh: between iterations, untimed, it is
// removed again and the queues are drained, so that each add turns N
// undefined values into defined ones.
//
// StoreAdded/keys:N/fsync:1 writes the store's cache file durably, as the
// client does; fsync:0 skips the fsync calls, to show their share.
// Counters (medians of the run): ns_per_key, the time over N, flat when the
// cost is linear; add_returns_ms, the time until addConfigStore returned to
// its caller; caller_cpu_ms and services_cpu_ms, the CPU time of the calling
// thread in addConfigStore and of the services thread until the last
// notification; cpu_ns_per_key, their sum over N, which a busy machine
// disturbs far less than the wall time.
// Run with --benchmark_repetitions=N for medians across runs.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ConfigFeatureSet.h"
#include "ConfigService.h"
#include "ConfigValue.h"
#include "ConfigValueNotifiers.h"
#include "PTKCoreUtils/StringUtils.h"
#include "PluginBench.h"
#include "PropertyNotifier.h"
#include "zvf/storage/EncryptFileUtils.h"

using namespace pluginbench;
using ZVFUnified::ConfigFeatureSet;
using ZVFUnified::ConfigValue;
using ZVFUnified::UnifiedFactory;

namespace {

const std::string kStoreName = "AddedServerConfigStore";
const std::wstring kCachedStoreName = L"cachedAddedServerConfigStore.dat";
const std::wstring kKeyPrefix = L"Added";
constexpr int kPriority = 300;

BenchDirectory& directory() {
    static BenchDirectory instance;
    return instance;
}

// Counts Value notifications (on the services thread) and lets another
// thread wait until a number of them has arrived.
class FireCounter {
public:
    // Called by the notifier: one increment, and the waiter's lock only for
    // the notification that reaches the target.
    void onFire() {
        if (fired.fetch_add(1, std::memory_order_acq_rel) + 1 == target.load(std::memory_order_acquire)) {
            std::lock_guard<std::mutex> guard(lock);
            reached.notify_all();
        }
    }
    // Only while no notification can arrive (queues drained).
    void restart(long newTarget) {
        fired.store(0, std::memory_order_release);
        target.store(newTarget, std::memory_order_release);
    }
    void waitForTarget() {
        std::unique_lock<std::mutex> guard(lock);
        reached.wait(guard, [this] { return fired.load(std::memory_order_acquire) >= target.load(); });
    }
    long count() const { return fired.load(std::memory_order_acquire); }

private:
    std::atomic<long> fired{0};
    std::atomic<long> target{0};
    std::mutex lock;
    std::condition_variable reached;
};

// A started host with N value objects held and counted.
struct Fixture {
    std::shared_ptr<UnifiedFactory> factory;
    std::shared_ptr<ConfigFeatureSet> featureSet;
    std::shared_ptr<const ZVFUnified::ConfigMap> values;
    std::vector<std::shared_ptr<ConfigValue>> objects;  // touched on the services thread only
    FireCounter counter;

    explicit Fixture(int keys)
        : factory(startedHost()),
          featureSet(configFeatureSet(factory)),
          values(storeValues(kKeyPrefix, L"added", keys)) {
        onServicesThread(factory, [this]() {
            std::shared_ptr<ZVFUnified::ConfigService> service = factory->getService<ZVFUnified::ConfigService>();
            check(service != nullptr, "the factory has no ConfigService");
            for (const auto& entry : *values) {
                std::shared_ptr<ConfigValue> object = service->getConfig(entry.first);
                check(!object->getisDefined(), "key " + PTKCoreUtils::toString(entry.first) + " is defined already");
                object->getConfigValueNotifiers()->getValueNotifier()->connect([this]() { counter.onFire(); });
                objects.push_back(std::move(object));
            }
        });
    }
    ~Fixture() {
        onServicesThread(factory, [this]() { objects.clear(); });
        featureSet.reset();
        endHost(factory);
    }

    std::shared_ptr<ZVFUnified::ConfigStore> newStore() const {
        return std::make_shared<CacheableServerStore>(kStoreName, kPriority, values);
    }

    // Takes the store out again and waits until every report of that is
    // through, so that the next add starts from undefined values and no
    // notification is left in flight.
    void removeStore() {
        check(featureSet->removeConfigStore(kStoreName), "the added store could not be removed");
        drainDispatchers(factory);
    }
};

// One untimed round, checked: exactly N Value notifications, every object
// then holds the store's value from the store; after removal every object is
// undefined again and fired once more.
void checkRound(Fixture& fixture) {
    const long keys = static_cast<long>(fixture.values->size());
    fixture.counter.restart(keys);
    fixture.featureSet->addConfigStore(fixture.newStore());
    fixture.counter.waitForTarget();
    drainDispatchers(fixture.factory);
    check(fixture.counter.count() == keys, "the add fired " + std::to_string(fixture.counter.count()) +
                                                " Value notifications for " + std::to_string(keys) + " keys");
    onServicesThread(fixture.factory, [&fixture]() {
        auto expected = fixture.values->begin();
        for (const std::shared_ptr<ConfigValue>& object : fixture.objects) {
            check(object->getisDefined() && object->getValue() == expected->second &&
                      object->getValueStoreName() == PTKCoreUtils::toWideString(kStoreName),
                  "value object " + PTKCoreUtils::toString(object->getKey()) + " holds [" +
                      PTKCoreUtils::toString(object->getValue()) + "] from [" +
                      PTKCoreUtils::toString(object->getValueStoreName()) + "]");
            ++expected;
        }
    });
    check(fixture.featureSet->getConfigStoreByName(kStoreName) != nullptr &&
              fixture.featureSet->getConfigStoreByName(PTKCoreUtils::toString(kCachedStoreName)) == nullptr,
          "after the add the live store is not listed, or its copy is listed beside it");
    check(std::filesystem::exists(directory().configDir() + "/Cache/" + PTKCoreUtils::toString(kCachedStoreName)),
          "the add wrote no cache file");

    fixture.counter.restart(keys);
    fixture.removeStore();
    check(fixture.counter.count() == keys, "the removal fired " + std::to_string(fixture.counter.count()) +
                                               " Value notifications for " + std::to_string(keys) + " keys");
    onServicesThread(fixture.factory, [&fixture]() {
        for (const std::shared_ptr<ConfigValue>& object : fixture.objects) {
            check(!object->getisDefined(), "value object " + PTKCoreUtils::toString(object->getKey()) +
                                               " is still defined after the removal");
        }
    });
}

void StoreAdded(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    zvf::storage::EncryptFileUtils::setDurableWrites(state.range(1) != 0);
    {
        Fixture fixture(keys);
        checkRound(fixture);

        const clockid_t servicesClock = servicesThreadClock(fixture.factory);
        SpanSamples untilFired;
        SpanSamples untilReturned;
        for (auto _ : state) {
            fixture.counter.restart(keys);
            std::shared_ptr<ZVFUnified::ConfigStore> store = fixture.newStore();

            const SpanTimer timer(servicesClock);
            fixture.featureSet->addConfigStore(std::move(store));
            const Span returned = timer.elapsed();
            fixture.counter.waitForTarget();
            const Span fired = timer.elapsed();

            state.SetIterationTime(fired.wall);
            untilFired.add(fired);
            untilReturned.add(returned);
            drainDispatchers(fixture.factory);
            if (fixture.counter.count() != keys) {
                state.SkipWithError("an add fired more Value notifications than it has keys");
                break;
            }
            fixture.removeStore();
        }
        state.counters["ns_per_key"] = median(untilFired.wall) * 1e9 / keys;
        state.counters["add_returns_ms"] = median(untilReturned.wall) * 1e3;
        state.counters["caller_cpu_ms"] = median(untilReturned.callerCpu) * 1e3;
        state.counters["services_cpu_ms"] = median(untilFired.servicesCpu) * 1e3;
        state.counters["cpu_ns_per_key"] =
            (median(untilReturned.callerCpu) + median(untilFired.servicesCpu)) * 1e9 / keys;
    }
    zvf::storage::EncryptFileUtils::setDurableWrites(true);
}
BENCHMARK(StoreAdded)
    ->ArgNames({"keys", "fsync"})
    ->ArgsProduct({{1000, 5000, 20000}, {1, 0}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    directory();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
