// The configuration service beside the libraries a client engineer would
// otherwise pick, on one workload (peers/Workload.h: defaults 2,000 keys,
// administrator 1,000, user 100; 100,000 lookups, 90% hits) and in one run.
//
// Peers, each built in only when its library was found at configure time:
// GLib's GKeyFile (three key files, has_key + get_string on user,
// administrator, defaults) and KDE's KConfig (the user's file over the
// administrator and defaults files as a cascade). Both are case-sensitive and
// get the queries in stored case.
//
// Lookup/<peer>: 100,000 lookups through the peer.
// Lookup/InMemoryStores: ConfigStoreManager::getValue(key, value, storeName,
//   viaAlias, false, "") over an InMemoryConfigStore (user) and two
//   read-only XmlConfigStores filled in memory.
// Lookup/FileStores: the same over the stores loaded from their files (the
//   user's encrypted settings, the administrator's encrypted cache copy, the
//   plain defaults file).
// Lookup/FileStoresOtherCase: the same with every key asked in other letter
//   case than stored.
// Lookup/Service: ConfigService::getConfig on the services thread, reading
//   each defined value object's value, over value objects the file-loaded
//   manager reported.
// ColdStart/Ours: the three stores loaded from their files, a store manager
//   and three addStore, then one lookup. ColdStart/ReadDecryptParse: the same
//   files read, decrypted and parsed by libxml2, nothing else.
//   ColdStart/<peer>: the peer loads its three files and answers one lookup.
//
// Every time is the CPU time of the thread doing the work (the services
// thread for Lookup/Service), given as manual time, so that waiting for a
// busy machine's CPU does not count. Each of our benchmarks times the peers
// (or the floor) too, in the same iterations, interleaved with its own
// passes, and reports medians over the iterations as counters: ns_per_lookup
// (or ms), <peer>_ns_per_lookup, ratio (ours over the best peer, or over the
// floor) and target, the ratio the product works toward (0: none). Run with
// --benchmark_repetitions=N for medians across runs.
//
// Before anything is timed, every implementation answers every query (value,
// and the layer it came from) and must agree with the answers computed from
// the layers; the timed passes must find exactly the 90,000 hits and the
// values' total length. `bench_peers --check` does only that and exits 0
// when all agree (a ctest case); any disagreement aborts with a message.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <libxml/parser.h>

#include "ConfigStoreManager.h"
#include "peers/LookupPeer.h"
#include "peers/OurConfiguration.h"
#include "peers/Workload.h"

using namespace peers;

namespace {

constexpr double kLookupsTarget = 1.0;           // 3 stores, in memory or loaded from files, over the best peer
constexpr double kOtherCaseTarget = 1.5;         // keys in other letter case over the best peer (stored case)
constexpr double kColdStartFloorTarget = 2.0;    // cold start over reading + decrypting + parsing
constexpr double kColdStartKConfigTarget = 1.0;  // cold start over KConfig's cascade load

std::vector<std::unique_ptr<LookupPeer>> makePeers() {
    std::vector<std::unique_ptr<LookupPeer>> peers;
#ifdef NUVRIX_BENCH_GKEYFILE
    peers.push_back(makeGKeyFilePeer());
#endif
#ifdef NUVRIX_BENCH_KCONFIG
    peers.push_back(makeKConfigPeer());
#endif
    return peers;
}

// Everything the benchmarks share, set up once before any runs.
struct Setup {
    const Workload& workload = Workload::get();
    BenchFiles files;
    std::vector<std::unique_ptr<LookupPeer>> peers = makePeers();
    std::vector<std::wstring> queries = widen(workload.queries);
    std::vector<std::wstring> otherCaseQueries = widen(workload.otherCaseQueries);
    std::unique_ptr<ManagerLookups> inMemory;
    std::unique_ptr<ManagerLookups> fromFiles;
    std::unique_ptr<ServiceLookups> service;
    std::uint64_t expectedChecksum = 0;  // total length of the values found
    std::size_t expectedHits = 0;

    Setup() {
        files.write(workload);
        for (const auto& peer : peers) {
            check(peer->load(files.iniFiles()), std::string(peer->name()) + " cannot load the key files");
        }
        inMemory = std::make_unique<ManagerLookups>(makeInMemoryManager(workload));
        fromFiles = std::make_unique<ManagerLookups>(loadFileManager(files));
        service = std::make_unique<ServiceLookups>(files);
        for (const Answer& answer : workload.expected) {
            expectedChecksum += answer.value.size();
            expectedHits += answer.found;
        }
    }
};

Setup* setup = nullptr;

// ---- Agreement ----------------------------------------------------------------------

std::string describe(const Answer& answer) {
    return answer.found ? "[" + answer.value + "] from " + layerName(answer.layer) : "not found";
}

void expectAgreement(const std::string& who, const std::vector<Answer>& answers,
                     const std::vector<std::string>& queries) {
    const std::vector<Answer>& expected = setup->workload.expected;
    check(answers.size() == expected.size(), who + " gave " + std::to_string(answers.size()) + " answers");
    for (std::size_t q = 0; q < expected.size(); ++q) {
        check(answers[q] == expected[q], who + " answers " + queries[q] + " with " + describe(answers[q]) +
                                             ", expected " + describe(expected[q]));
    }
}

template <class Lookup>
std::vector<Answer> answersOf(const std::vector<std::wstring>& keys, Lookup lookup) {
    std::vector<Answer> answers;
    answers.reserve(keys.size());
    for (const std::wstring& key : keys) {
        answers.push_back(lookup(key));
    }
    return answers;
}

void expectTimedPass(const std::string& who, std::size_t hits, std::uint64_t checksum) {
    check(hits == setup->expectedHits && checksum == setup->expectedChecksum,
          who + "'s timed pass found " + std::to_string(hits) + " keys and " + std::to_string(checksum) +
              " value characters, expected " + std::to_string(setup->expectedHits) + " and " +
              std::to_string(setup->expectedChecksum));
}

// Every implementation, every query, and every timed pass once.
void checkAgreement() {
    Setup& s = *setup;
    const std::string fault = s.workload.describeFault();
    check(fault.empty(), "the workload is wrong: " + fault);
    const std::vector<std::string>& stored = s.workload.queries;
    const std::vector<std::string>& other = s.workload.otherCaseQueries;

    for (const auto& peer : s.peers) {
        std::vector<Answer> answers;
        for (const std::string& key : stored) {
            answers.push_back(peer->lookup(key));
        }
        expectAgreement(peer->name(), answers, stored);
        std::uint64_t checksum = 0;
        const std::size_t hits = peer->lookupAll(stored, checksum);
        expectTimedPass(peer->name(), hits, checksum);
    }

    struct Case {
        const char* who;
        ManagerLookups* manager;
        const std::vector<std::wstring>* keys;
        const std::vector<std::string>* shown;
    };
    const Case cases[] = {
        {"getValue over 3 in-memory stores", s.inMemory.get(), &s.queries, &stored},
        {"getValue over 3 in-memory stores, other case", s.inMemory.get(), &s.otherCaseQueries, &other},
        {"getValue over 3 file-loaded stores", s.fromFiles.get(), &s.queries, &stored},
        {"getValue over 3 file-loaded stores, other case", s.fromFiles.get(), &s.otherCaseQueries, &other},
    };
    for (const Case& c : cases) {
        expectAgreement(c.who, answersOf(*c.keys, [&c](const std::wstring& key) { return c.manager->lookup(key); }),
                        *c.shown);
        std::uint64_t checksum = 0;
        const std::size_t hits = c.manager->lookupAll(*c.keys, checksum);
        expectTimedPass(c.who, hits, checksum);
    }

    expectAgreement("ConfigService::getConfig", s.service->answers(s.queries), stored);
    expectAgreement("ConfigService::getConfig, other case", s.service->answers(s.otherCaseQueries), other);
    std::uint64_t checksum = 0;
    double seconds = 0;
    const std::size_t hits = s.service->lookupAll(s.queries, checksum, seconds);
    expectTimedPass("ConfigService::getConfig", hits, checksum);

    // A cold start gives the same answers and rewrites no file; the floor
    // reads every entry of the three files.
    std::vector<std::filesystem::file_time_type> before;
    for (const std::string& path : s.files.ourFiles()) {
        before.push_back(std::filesystem::last_write_time(path));
    }
    {
        ManagerLookups cold(loadFileManager(s.files));
        expectAgreement("a cold start's manager",
                        answersOf(s.queries, [&cold](const std::wstring& key) { return cold.lookup(key); }), stored);
    }
    for (std::size_t i = 0; i < before.size(); ++i) {
        check(std::filesystem::last_write_time(s.files.ourFiles()[i]) == before[i],
              "a cold start rewrote " + s.files.ourFiles()[i]);
    }
    const std::size_t entries = readDecryptParse(s.files);
    const std::size_t expectedEntries = Workload::kUserKeys + Workload::kAdministratorKeys + Workload::kDefaultsKeys;
    check(entries == expectedEntries, "the floor read " + std::to_string(entries) + " entries, expected " +
                                          std::to_string(expectedEntries));
}

// ---- Lookups --------------------------------------------------------------------------

// One timed pass of a peer or of our manager over keys: CPU seconds.
template <class Lookups, class Key>
double timedPass(Lookups& lookups, const std::vector<Key>& keys) {
    std::uint64_t checksum = 0;
    const double start = threadCpuSeconds();
    const std::size_t hits = lookups.lookupAll(keys, checksum);
    const double seconds = threadCpuSeconds() - start;
    benchmark::DoNotOptimize(hits);
    benchmark::DoNotOptimize(checksum);
    return seconds;
}

void PeerLookup(benchmark::State& state, LookupPeer* peer) {
    std::vector<double> samples;
    for (auto _ : state) {
        const double seconds = timedPass(*peer, setup->workload.queries);
        state.SetIterationTime(seconds);
        samples.push_back(seconds);
    }
    state.counters["ns_per_lookup"] = median(samples) * 1e9 / Workload::kLookups;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * Workload::kLookups));
}

// Our pass (returning its CPU seconds) interleaved with every peer's pass:
// the order alternates between iterations, so that neither side always
// finds the caches as the other left them.
void OurLookup(benchmark::State& state, const std::function<double()>& ourPass, double target) {
    std::vector<double> ours;
    std::vector<std::vector<double>> peerSamples(setup->peers.size());
    bool oursFirst = true;
    for (auto _ : state) {
        double seconds = 0;
        if (oursFirst) {
            seconds = ourPass();
        }
        for (std::size_t p = 0; p < setup->peers.size(); ++p) {
            peerSamples[p].push_back(timedPass(*setup->peers[p], setup->workload.queries));
        }
        if (!oursFirst) {
            seconds = ourPass();
        }
        oursFirst = !oursFirst;
        state.SetIterationTime(seconds);
        ours.push_back(seconds);
    }
    const double perLookup = 1e9 / Workload::kLookups;
    const double oursNs = median(ours) * perLookup;
    state.counters["ns_per_lookup"] = oursNs;
    double best = 0;
    for (std::size_t p = 0; p < setup->peers.size(); ++p) {
        const double peerNs = median(peerSamples[p]) * perLookup;
        state.counters[std::string(setup->peers[p]->name()) + "_ns_per_lookup"] = peerNs;
        best = best == 0 ? peerNs : std::min(best, peerNs);
    }
    if (best > 0) {
        state.counters["best_peer_ns_per_lookup"] = best;
        state.counters["ratio"] = oursNs / best;
    }
    state.counters["target"] = target;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * Workload::kLookups));
}

double servicePass(const std::vector<std::wstring>& keys) {
    std::uint64_t checksum = 0;
    double seconds = 0;
    const std::size_t hits = setup->service->lookupAll(keys, checksum, seconds);
    benchmark::DoNotOptimize(hits);
    benchmark::DoNotOptimize(checksum);
    return seconds;
}

// ---- Cold start -------------------------------------------------------------------------

double ourColdStart() {
    const double start = threadCpuSeconds();
    ManagerLookups manager(loadFileManager(setup->files));
    const Answer answer = manager.lookup(setup->queries.front());
    const double seconds = threadCpuSeconds() - start;
    check(answer == setup->workload.expected.front(), "a timed cold start gave a wrong answer");
    return seconds;
}

double floorPass() {
    const double start = threadCpuSeconds();
    const std::size_t entries = readDecryptParse(setup->files);
    const double seconds = threadCpuSeconds() - start;
    check(entries > 0, "the floor could not read a file");
    return seconds;
}

double peerColdStart(const LookupPeer& model) {
    // A fresh peer object of the same library each time.
    std::unique_ptr<LookupPeer> peer;
    for (std::unique_ptr<LookupPeer>& candidate : makePeers()) {
        if (std::strcmp(candidate->name(), model.name()) == 0) {
            peer = std::move(candidate);
        }
    }
    check(peer != nullptr, std::string("no peer ") + model.name());
    const double start = threadCpuSeconds();
    const bool loaded = peer->load(setup->files.iniFiles());
    const Answer answer = peer->lookup(setup->workload.queries.front());
    const double seconds = threadCpuSeconds() - start;
    check(loaded && answer == setup->workload.expected.front(),
          std::string("a timed load of ") + model.name() + " gave a wrong answer");
    return seconds;
}

void SinglePass(benchmark::State& state, const std::function<double()>& pass) {
    std::vector<double> samples;
    for (auto _ : state) {
        const double seconds = pass();
        state.SetIterationTime(seconds);
        samples.push_back(seconds);
    }
    state.counters["ms"] = median(samples) * 1e3;
}

void OurColdStart(benchmark::State& state) {
    std::vector<double> ours;
    std::vector<double> floor;
    std::vector<std::vector<double>> peerSamples(setup->peers.size());
    bool oursFirst = true;
    for (auto _ : state) {
        double seconds = 0;
        if (oursFirst) {
            seconds = ourColdStart();
        }
        floor.push_back(floorPass());
        for (std::size_t p = 0; p < setup->peers.size(); ++p) {
            peerSamples[p].push_back(peerColdStart(*setup->peers[p]));
        }
        if (!oursFirst) {
            seconds = ourColdStart();
        }
        oursFirst = !oursFirst;
        state.SetIterationTime(seconds);
        ours.push_back(seconds);
    }
    const double oursMs = median(ours) * 1e3;
    const double floorMs = median(floor) * 1e3;
    state.counters["ms"] = oursMs;
    state.counters["floor_ms"] = floorMs;
    state.counters["ratio"] = floorMs > 0 ? oursMs / floorMs : 0;
    state.counters["target"] = kColdStartFloorTarget;
    for (std::size_t p = 0; p < setup->peers.size(); ++p) {
        const std::string name = setup->peers[p]->name();
        const double peerMs = median(peerSamples[p]) * 1e3;
        state.counters[name + "_ms"] = peerMs;
        state.counters["ratio_" + name] = peerMs > 0 ? oursMs / peerMs : 0;
        if (name == "KConfig") {
            state.counters["target_" + name] = kColdStartKConfigTarget;
        }
    }
}

void registerBenchmarks() {
    for (const auto& peer : setup->peers) {
        benchmark::RegisterBenchmark(("Lookup/" + std::string(peer->name())).c_str(), PeerLookup, peer.get())
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    const struct {
        const char* name;
        std::function<double()> pass;
        double target;
    } ours[] = {
        {"Lookup/InMemoryStores", [] { return timedPass(*setup->inMemory, setup->queries); }, kLookupsTarget},
        {"Lookup/FileStores", [] { return timedPass(*setup->fromFiles, setup->queries); }, kLookupsTarget},
        {"Lookup/FileStoresOtherCase", [] { return timedPass(*setup->fromFiles, setup->otherCaseQueries); },
         kOtherCaseTarget},
        {"Lookup/Service", [] { return servicePass(setup->queries); }, 0},
    };
    for (const auto& our : ours) {
        benchmark::RegisterBenchmark(our.name, OurLookup, our.pass, our.target)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("ColdStart/Ours", OurColdStart)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ColdStart/ReadDecryptParse", SinglePass, std::function<double()>(floorPass))
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    for (const auto& peer : setup->peers) {
        const LookupPeer* model = peer.get();
        benchmark::RegisterBenchmark(("ColdStart/" + std::string(peer->name())).c_str(), SinglePass,
                                     std::function<double()>([model] { return peerColdStart(*model); }))
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool checkOnly = false;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0) {
            checkOnly = true;
        } else {
            arguments.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) {
        return 1;
    }
    xmlInitParser();
    Setup instance;
    setup = &instance;
    checkAgreement();
    std::string peerNames;
    for (const auto& peer : instance.peers) {
        peerNames += std::string(" ") + peer->name();
    }
    std::printf("bench_peers: %zu lookups agree across getValue (in-memory, file-loaded, other case), getConfig, a "
                "cold start and the peers:%s\n",
                Workload::kLookups, peerNames.empty() ? " (none built in)" : peerNames.c_str());
    if (!checkOnly) {
        registerBenchmarks();
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    setup = nullptr;
    return 0;
}
