// The plug-in under concurrent use: eight threads mix store additions,
// replacements and removals, lookups through the service (on the services
// thread, keeping the value objects as clients do) and through the feature
// set, writes and resets, URL provisioning, data resets and stop/start of
// feature set 1300. Nothing may deadlock (a watchdog ends the run with every
// thread's stack and what each worker was doing) and, once every queue is
// idle, each value object a client holds must show what the feature set
// answers for its key. Meant to run under ThreadSanitizer too (the tsan
// preset): there it runs for 10 seconds, elsewhere for 2;
// NUVRIX_STRESS_SECONDS overrides both.
#include <execinfo.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ConfigValue.h"
#include "PTKCoreUtils/StringUtils.h"
#include "PluginTest.h"
#include "Processing/TaskDispatcher.h"
#include "unified/LifeCycle.h"
#include "unified/ServicesDispatcher.h"
#include "unified/SystemService.h"

#if defined(__SANITIZE_THREAD__)
#define NUVRIX_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define NUVRIX_UNDER_TSAN 1
#endif
#endif

namespace nuvrixtest {
namespace {

constexpr int kThreads = 8;
constexpr int kKeys = 12;
constexpr int kStores = 4;

#ifdef NUVRIX_UNDER_TSAN
constexpr int kSeconds = 10;
#else
constexpr int kSeconds = 2;
#endif

int secondsToRun() {
    const char* text = std::getenv("NUVRIX_STRESS_SECONDS");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : kSeconds;
}

using Service = ZVFUnified::ConfigService;

std::wstring keyName(int index) { return L"StressKey" + std::to_wstring(index); }

// The operations the workers mix, with their weights.
enum Operation { AddStore, RemoveStore, LookUpThroughService, LookUpThroughFeatureSet, Write, Reset, ProvisionUrl,
                 ResetData, StopStart, kOperations };
const std::array<const char*, kOperations> kOperationNames = {
    "add or replace a store", "remove a store", "look up through the service", "look up through the feature set",
    "write",                  "reset a key",    "URL provisioning",            "data reset",
    "stop and start 1300"};
const std::array<int, kOperations> kWeights = {10, 5, 20, 20, 15, 8, 3, 1, 1};

// Writes a backtrace of the thread it runs on to standard error.
void printStack(int) {
    void* frames[64];
    backtrace_symbols_fd(frames, backtrace(frames, 64), STDERR_FILENO);
}

struct Worker {
    std::atomic<int> operation{-1};  // -1 between operations
    std::atomic<long long> since{0};  // steady-clock milliseconds
};

long long now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Ends the process unless finished is ready within limit: it prints what each
// worker was doing and for how long, the task queue's length and every
// thread's stack, then aborts, so that a deadlock fails the test instead of
// hanging it.
std::thread startWatchdog(std::future<void> finished, std::chrono::seconds limit,
                          const std::array<Worker, kThreads>& workers,
                          std::shared_ptr<ZVFUnified::UnifiedFactory> factory) {
    void* warmUp[1];
    backtrace(warmUp, 1);  // loads the unwinder now, not in a signal handler
    return std::thread([finished = std::move(finished), limit, &workers, factory] {
        if (finished.wait_for(limit) == std::future_status::ready) {
            return;
        }
        std::fprintf(stderr, "WATCHDOG: the stress run did not finish within %lld s: deadlock or livelock\n",
                     static_cast<long long>(limit.count()));
        for (int i = 0; i < kThreads; ++i) {
            const int operation = workers[i].operation.load();
            std::fprintf(stderr, "  worker %d: %s for %lld ms\n", i,
                         operation < 0 ? "between operations" : kOperationNames[operation],
                         now() - workers[i].since.load());
        }
        std::fprintf(stderr, "  task queue: %zu queued\n", factory->getTaskDispatcher()->pendingCount());
        std::fflush(stderr);
        std::signal(SIGUSR2, printStack);
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            syscall(SYS_tgkill, getpid(), std::atoi(task.path().filename().c_str()), SIGUSR2);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::abort();
    });
}

class ConfigServiceStressTest : public PluginTest {
protected:
    std::shared_ptr<TestConfigStore> randomStore(std::mt19937& random) {
        const int index = static_cast<int>(random() % kStores);
        std::map<std::wstring, std::wstring> values;
        for (int key = 0; key < kKeys; ++key) {
            if (random() % 2 == 0) {
                values[keyName(key)] = L"store" + std::to_wstring(index) + L"-" + std::to_wstring(random() % 1000);
            }
        }
        const TestConfigStore::Options options{index % 2 == 0, true, false};  // every other store asks to be cached
        return std::make_shared<TestConfigStore>("StressStore" + std::to_string(index), 100 * (index + 1),
                                                 std::move(values), options);
    }

    // One operation of the mix; value objects looked up through the service
    // are kept in held, as a client keeps them.
    void run(Operation operation, std::mt19937& random, int worker,
             std::vector<std::shared_ptr<ZVFUnified::ConfigValue>>& held) {
        const std::wstring key = keyName(static_cast<int>(random() % kKeys));
        const std::wstring value = L"w" + std::to_wstring(worker) + L"-" + std::to_wstring(random() % 100000);
        switch (operation) {
            case AddStore:
                featureSet()->addConfigStore(randomStore(random));
                break;
            case RemoveStore: {
                const std::string name = "StressStore" + std::to_string(random() % kStores);
                if (random() % 2 == 0) {
                    featureSet()->removeConfigStore(name);
                } else {
                    withService([&](Service& s) { s.removeConfigStoreAndCache(PTKCoreUtils::toWideString(name)); });
                }
                break;
            }
            case LookUpThroughService:
                withService([&](Service& s) {
                    std::shared_ptr<ZVFUnified::ConfigValue> object = s.getConfig(key);
                    object->getValue();
                    if (held.size() < kKeys * 2) {
                        held.push_back(object);
                    }
                });
                break;
            case LookUpThroughFeatureSet:
                valueOf(key);
                break;
            case Write:
                switch (random() % 3) {
                    case 0:
                        featureSet()->setConfig(key, value);
                        break;
                    case 1:
                        withService([&](Service& s) { s.setConfig(key, value); });
                        break;
                    default:
                        withService([&](Service& s) { s.getConfig(key)->setConfig(value); });
                }
                break;
            case Reset:
                if (random() % 2 == 0) {
                    featureSet()->resetConfig(key);
                } else {
                    withService([&](Service& s) { s.getConfig(key)->reset(); });
                }
                break;
            case ProvisionUrl:
                if (random() % 2 == 0) {
                    featureSet()->setUrlProvisioningData(L"nuvrix://provision?ServicesDomain=d" +
                                                         std::to_wstring(random() % 100) + L".example.com");
                } else {
                    featureSet()->resetAllowUriProvisioningData();
                }
                break;
            case ResetData:
                factory->getService<ZVFUnified::SystemService>()->getLifeCycle()->invokeResetData(
                    ResetDataOptionEnum::ResetAllData);
                break;
            case StopStart:
                stop();
                start();
                break;
            case kOperations:
                break;
        }
    }
};

TEST_F(ConfigServiceStressTest, EightThreadsMixingEveryOperationLeaveEveryValueObjectAsTheFeatureSetAnswers) {
    writeDefaults({{"StressKey0", "default0"}, {"StressKey1", "default1"}});
    inject();
    start();
    const int seconds = secondsToRun();
    std::array<Worker, kThreads> workers;
    std::array<std::vector<std::shared_ptr<ZVFUnified::ConfigValue>>, kThreads> held;
    std::array<std::array<std::atomic<long>, kOperations>, kThreads> counts{};
    LogLevelScope quiet(1);  // the failures the mix provokes on purpose ("not started") would flood the output
    std::promise<void> finished;
    // Generous: a slow machine under ThreadSanitizer is far from a hang.
    std::thread watchdog = startWatchdog(finished.get_future(), std::chrono::seconds(seconds + 120), workers, factory);
    std::atomic<bool> stopping{false};
    std::vector<std::thread> threads;
    for (int worker = 0; worker < kThreads; ++worker) {
        threads.emplace_back([&, worker] {
            std::mt19937 random(static_cast<unsigned>(worker) * 7919u + 1u);
            std::discrete_distribution<int> pick(kWeights.begin(), kWeights.end());
            while (!stopping.load()) {
                const int operation = pick(random);
                workers[worker].since = now();
                workers[worker].operation = operation;
                run(static_cast<Operation>(operation), random, worker, held[worker]);
                workers[worker].operation = -1;
                ++counts[worker][operation];
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stopping = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    start();
    drainQueues();
    finished.set_value();
    watchdog.join();

    long total = 0;
    std::string perOperation;
    for (int operation = 0; operation < kOperations; ++operation) {
        long count = 0;
        for (int worker = 0; worker < kThreads; ++worker) {
            count += counts[worker][operation];
        }
        total += count;
        perOperation += std::string(kOperationNames[operation]) + " " + std::to_string(count) + "; ";
        EXPECT_GT(count, 0) << kOperationNames[operation] << " never ran";
    }
    std::printf("%ld operations in %d s: %s\n", total, seconds, perOperation.c_str());
    RecordProperty("operations", static_cast<int>(total));

    // At quiescence: every object a client holds, and the service's object
    // of every key, shows the feature set's answer.
    onServicesThread([&] {
        std::shared_ptr<ZVFUnified::ConfigService> configService = service();
        std::vector<std::shared_ptr<ZVFUnified::ConfigValue>> objects;
        for (int key = 0; key < kKeys; ++key) {
            objects.push_back(configService->getConfig(keyName(key)));
        }
        for (const auto& clientObjects : held) {
            objects.insert(objects.end(), clientObjects.begin(), clientObjects.end());
        }
        for (const std::shared_ptr<ZVFUnified::ConfigValue>& object : objects) {
            const std::wstring key = object->getKey();
            std::wstring storeName;
            const std::wstring expected = valueOf(key, &storeName);
            EXPECT_EQ(expected, object->getValue()) << PTKCoreUtils::toString(key);
            EXPECT_EQ(storeName, object->getValueStoreName()) << PTKCoreUtils::toString(key);
            EXPECT_EQ(!storeName.empty(), object->getisDefined()) << PTKCoreUtils::toString(key);
            EXPECT_EQ(configService->getConfig(key), object) << "a client holds a stale object for "
                                                              << PTKCoreUtils::toString(key);
        }
    });
}

}  // namespace
}  // namespace nuvrixtest
