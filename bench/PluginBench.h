// What the two programs that time the whole configuration service plug-in
// share: a private host directory, the plug-in loaded once with dlopen as the
// host loads it, a host factory with the plug-in injected and feature set
// 1300 started, work run on the services thread, timing of wall and thread
// CPU time, and a cacheable server store of the benchmark's own.
//
// These programs link the plug-in's headers only (configservice_headers), so
// every call reaches the dlopened libconfigservice.so and none a second copy
// of its code. Header-only: each bench/*.cpp is a program of its own.
#ifndef BENCH_PLUGINBENCH_H
#define BENCH_PLUGINBENCH_H

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ConfigFeatureSet.h"
#include "ConfigMap.h"
#include "ConfigStore.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "Processing/TaskDispatcher.h"
#include "logging/ZVFLogger.h"
#include "unified/FeatureSetAdapter.h"
#include "unified/PluginLoader.h"
#include "unified/ServicesDispatcher.h"
#include "unified/UnifiedFactory.h"

#ifndef NUVRIX_CONFIGSERVICE_PLUGIN
#error "NUVRIX_CONFIGSERVICE_PLUGIN must name libconfigservice.so (set by bench/CMakeLists.txt)"
#endif

namespace pluginbench {

constexpr unsigned int kConfigFeatureSetId = 1300;

// Ends the program with a message: a benchmark whose subject gives a wrong
// answer has nothing to report.
[[noreturn]] inline void fail(const std::string& message) {
    std::fprintf(stderr, "benchmark check failed: %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void check(bool condition, const std::string& message) {
    if (!condition) {
        fail(message);
    }
}

// A private directory for the configuration, local-data (storage key) and
// resources directories and the log, under /var/tmp so that file costs are
// those of a disk rather than of a memory file system. The host reads the
// variables at every call, so they are set before any factory exists.
// Removed with its content when the object goes.
class BenchDirectory {
public:
    BenchDirectory() {
        std::string pattern = "/var/tmp/nuvrix-plugin-bench-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        check(mkdtemp(buffer.data()) != nullptr, "cannot create a directory under /var/tmp");
        root = buffer.data();
        for (const char* sub : {"/config", "/local", "/resources"}) {
            std::filesystem::create_directories(root + sub);
        }
        setenv("NUVRIX_CONFIG_DIR", configDir().c_str(), 1);
        setenv("NUVRIX_LOCAL_APP_DIR", (root + "/local").c_str(), 1);
        setenv("NUVRIX_RESOURCES_DIR", resourcesDir().c_str(), 1);
        // Production threshold, into a file as the client writes it: the
        // plug-in's level-4 records are part of what it costs.
        ZVFLogger_setLevel(4);
        check(ZVFLogger_setLogFile(root + "/nuvrix.log"), "cannot open the log file");
    }
    ~BenchDirectory() {
        ZVFLogger_setLogFile("");
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    BenchDirectory(const BenchDirectory&) = delete;
    BenchDirectory& operator=(const BenchDirectory&) = delete;

    std::string configDir() const { return root + "/config"; }
    std::string resourcesDir() const { return root + "/resources"; }

    std::string root;
};

// The plug-in, opened once for the process; every factory gets it injected.
inline ZVFUnified::PluginLoader& pluginLoader() {
    static ZVFUnified::PluginLoader loader(NUVRIX_CONFIGSERVICE_PLUGIN, "InjectConfigService");
    return loader;
}

// InjectConfigService into factory, then the start of feature set 1300.
inline void injectAndStart(const std::shared_ptr<ZVFUnified::UnifiedFactory>& factory) {
    std::string error;
    if (!pluginLoader().inject(factory, error)) {
        fail(error);
    }
    std::shared_ptr<ZVFUnified::FeatureSetAdapter> adapter = factory->getFeatureSetAdapter(kConfigFeatureSetId);
    check(adapter != nullptr, "the plug-in registered no feature set adapter under 1300");
    adapter->StartFeatureSet(kConfigFeatureSetId, nullptr);
}

inline std::shared_ptr<ZVFUnified::ConfigFeatureSet> configFeatureSet(
    const std::shared_ptr<ZVFUnified::UnifiedFactory>& factory) {
    std::shared_ptr<ZVFUnified::ConfigFeatureSet> featureSet = factory->getFeatureSet<ZVFUnified::ConfigFeatureSet>();
    check(featureSet != nullptr, "the factory has no ConfigFeatureSet");
    return featureSet;
}

// A fresh host with the plug-in injected and started.
inline std::shared_ptr<ZVFUnified::UnifiedFactory> startedHost() {
    std::shared_ptr<ZVFUnified::UnifiedFactory> factory = ZVFUnified::UnifiedFactory::create();
    injectAndStart(factory);
    return factory;
}

// Runs body on the services thread and waits for it. The queue is FIFO, so
// everything queued there before has run too.
inline void onServicesThread(const std::shared_ptr<ZVFUnified::UnifiedFactory>& factory,
                             std::function<void()> body) {
    factory->getServicesDispatcher()->enqueueBlock(
        std::make_shared<PTKCoreUtils::FunctionTask>(std::move(body), "plug-in benchmark"), false, true);
}

// Waits until both dispatchers are idle. Work on one may queue work on the
// other, so the two are drained in turn, as the factory's shutdown does.
inline void drainDispatchers(const std::shared_ptr<ZVFUnified::UnifiedFactory>& factory) {
    for (int round = 0; round < 3; ++round) {
        factory->getTaskDispatcher()->waitUntilIdle();
        factory->getServicesDispatcher()->waitUntilIdle();
    }
}

// The documented end of a host: queued work runs, the threads stop and the
// registered objects go.
inline void endHost(std::shared_ptr<ZVFUnified::UnifiedFactory>& factory) {
    factory->shutdown();
    factory.reset();
}

// ---- Time -------------------------------------------------------------------------

using Clock = std::chrono::steady_clock;

// The CPU time consumed so far by the thread whose CPU clock this is.
inline double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The CPU clock of the factory's services thread, readable from any thread
// while that thread runs.
inline clockid_t servicesThreadClock(const std::shared_ptr<ZVFUnified::UnifiedFactory>& factory) {
    clockid_t clock = CLOCK_THREAD_CPUTIME_ID;
    onServicesThread(factory, [&clock]() { check(pthread_getcpuclockid(pthread_self(), &clock) == 0,
                                                 "no CPU clock for the services thread"); });
    return clock;
}

// One measured span: wall time, the CPU time of the calling thread and, when
// a services thread is given, that thread's CPU time. On a shared machine the
// CPU times show the work done, the wall time also the waiting for a CPU.
struct Span {
    double wall = 0;
    double callerCpu = 0;
    double servicesCpu = 0;
};

class SpanTimer {
public:
    SpanTimer() : SpanTimer(std::nullopt) {}
    explicit SpanTimer(std::optional<clockid_t> servicesClock)
        : servicesClock(servicesClock),
          wallStart(Clock::now()),
          callerStart(cpuSeconds(CLOCK_THREAD_CPUTIME_ID)),
          servicesStart(servicesClock ? cpuSeconds(*servicesClock) : 0) {}

    Span elapsed() const {
        Span span;
        span.wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
        span.callerCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - callerStart;
        span.servicesCpu = servicesClock ? cpuSeconds(*servicesClock) - servicesStart : 0;
        return span;
    }

private:
    std::optional<clockid_t> servicesClock;
    Clock::time_point wallStart;
    double callerStart;
    double servicesStart;
};

// The samples of one benchmark run, one series per part of a Span.
struct SpanSamples {
    std::vector<double> wall;
    std::vector<double> callerCpu;
    std::vector<double> servicesCpu;

    void add(const Span& span) {
        wall.push_back(span.wall);
        callerCpu.push_back(span.callerCpu);
        servicesCpu.push_back(span.servicesCpu);
    }
};

// The median of a run's samples (0 for none): the figure these programs
// report, as single slow samples on a shared machine should not move it.
inline double median(std::vector<double> samples) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

// "<prefix>_Setting_00042": keys of one source share a long prefix, as
// configuration keys do.
inline std::wstring keyName(const std::wstring& prefix, int index) {
    wchar_t digits[8];
    std::swprintf(digits, sizeof(digits) / sizeof(digits[0]), L"%05d", index);
    return prefix + L"_Setting_" + digits;
}

// A server-provided value of realistic length.
inline std::wstring valueText(const std::wstring& tag, int index) {
    return L"https://" + tag + L"-server" + std::to_wstring(index % 17) + L".example.com/path?item=" +
           std::to_wstring(index);
}

inline std::shared_ptr<const ZVFUnified::ConfigMap> storeValues(const std::wstring& prefix, const std::wstring& tag,
                                                               int count) {
    auto values = std::make_shared<ZVFUnified::ConfigMap>();
    for (int i = 0; i < count; ++i) {
        values->emplace(keyName(prefix, i), valueText(tag, i));
    }
    return values;
}

// A read-only server store over an immutable map that asks to be cached, as
// the TFTP or presence stores of the client do. Never changes after
// construction, so it needs no lock.
class CacheableServerStore : public ZVFUnified::ConfigStore {
public:
    CacheableServerStore(std::string name, int priority, std::shared_ptr<const ZVFUnified::ConfigMap> values)
        : name(std::move(name)), priority(priority), values(std::move(values)) {}

    // ConfigStore:
    bool getValue(const std::wstring& key, std::wstring& value) override {
        auto found = values->find(key);
        if (found == values->end()) {
            value.clear();
            return false;
        }
        value = found->second;
        return true;
    }
    bool storeValue(const std::wstring&, const std::wstring&) override { return false; }
    std::vector<std::wstring> getKeys() override { return ZVFUnified::configMapKeys(*values); }
    bool removeValue(const std::wstring&) override { return false; }
    void removeAllValues() override {}
    bool isReadOnly() override { return true; }
    std::string getName() override { return name; }
    int getPriority() override { return priority; }
    void persistValues() override {}
    void destroy() override {}
    bool isLocal() override { return false; }
    bool waitForStoreReady() override { return true; }
    bool shouldCacheConfigStore() override { return true; }

private:
    const std::string name;
    const int priority;
    const std::shared_ptr<const ZVFUnified::ConfigMap> values;
};

}  // namespace pluginbench

#endif
