// Round trip of the host's two dispatchers: the time from queuing a task to
// its having run, per task, measured one task at a time (latency) and for a
// burst of queued tasks (throughput per task).
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "PTKCoreUtils/FunctionTask.h"
#include "Processing/TaskDispatcher.h"
#include "unified/ServicesDispatcher.h"

namespace {

// Lets the benchmark thread wait until a number of tasks have run.
class Countdown {
public:
    void expect(long n) {
        std::lock_guard<std::mutex> guard(lock);
        remaining = n;
    }
    void done() {
        std::lock_guard<std::mutex> guard(lock);
        if (--remaining == 0) {
            zero.notify_one();
        }
    }
    void wait() {
        std::unique_lock<std::mutex> guard(lock);
        zero.wait(guard, [this] { return remaining == 0; });
    }

private:
    std::mutex lock;
    std::condition_variable zero;
    long remaining = 0;
};

void BM_ServicesDispatcherEnqueueToRun(benchmark::State& state) {
    ZVFUnified::ServicesDispatcher dispatcher;
    Countdown countdown;
    const long burst = state.range(0);
    auto task = std::make_shared<PTKCoreUtils::FunctionTask>([&countdown] { countdown.done(); }, "bench");
    for (auto _ : state) {
        countdown.expect(burst);
        for (long i = 0; i < burst; ++i) {
            dispatcher.enqueue(task, false, true);
        }
        countdown.wait();
    }
    state.SetItemsProcessed(state.iterations() * burst);
}
BENCHMARK(BM_ServicesDispatcherEnqueueToRun)->Arg(1)->Arg(1000)->ArgName("burst")->UseRealTime();

void BM_ServicesDispatcherEnqueueBlock(benchmark::State& state) {
    ZVFUnified::ServicesDispatcher dispatcher;
    auto task = std::make_shared<PTKCoreUtils::FunctionTask>([] {}, "bench");
    for (auto _ : state) {
        dispatcher.enqueueBlock(task, false, true);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ServicesDispatcherEnqueueBlock)->UseRealTime();

void BM_TaskDispatcherEnqueueToRun(benchmark::State& state) {
    Processing::TaskDispatcher dispatcher;
    Countdown countdown;
    const long burst = state.range(0);
    for (auto _ : state) {
        countdown.expect(burst);
        for (long i = 0; i < burst; ++i) {
            dispatcher.enqueue([&countdown] { countdown.done(); }, "bench");
        }
        countdown.wait();
    }
    state.SetItemsProcessed(state.iterations() * burst);
}
BENCHMARK(BM_TaskDispatcherEnqueueToRun)->Arg(1)->Arg(1000)->ArgName("burst")->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
