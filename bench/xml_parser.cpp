// Cost of reading configuration XML through XmlConfigParser (safe parse,
// lower-cased wide keys, case-insensitive map, wiping) beside a bare
// xmlReadMemory plus tree walk of the same text, and of persisting the
// user's settings (serialise, encrypt, atomic write) with and without fsync.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <libxml/parser.h>

#include "ConfigMap.h"
#include "LocalFileConfigStore.h"
#include "XmlConfigParser.h"
#include "logging/ZVFLogger.h"
#include "zvf/storage/EncryptFileUtils.h"

using ZVFUnified::ConfigKeySet;
using ZVFUnified::ConfigMap;
using ZVFUnified::LocalFileConfigStore;
using ZVFUnified::XmlConfigParser;

namespace {

std::string root;

ConfigMap sampleValues(int count) {
    ConfigMap values;
    for (int i = 0; i < count; ++i) {
        values[L"ConfigurationKey_" + std::to_wstring(i)] =
            L"https://server" + std::to_wstring(i % 17) + L".example.com/path?value=" + std::to_wstring(i);
    }
    return values;
}

std::string cacheDocument(int count) {
    std::string text;
    XmlConfigParser::writeToMemory(text, sampleValues(count));
    return text;
}

void BM_BareXmlReadMemoryAndWalk(benchmark::State& state) {
    const std::string text = cacheDocument(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "xmlDocument", nullptr, 0);
        std::size_t entries = 0;
        std::size_t bytes = 0;
        for (xmlNodePtr group = xmlDocGetRootElement(doc)->children; group != nullptr; group = group->next) {
            if (group->type != XML_ELEMENT_NODE) {
                continue;
            }
            for (xmlNodePtr entry = group->children; entry != nullptr; entry = entry->next) {
                if (entry->type != XML_ELEMENT_NODE) {
                    continue;
                }
                std::string name(reinterpret_cast<const char*>(entry->name));
                std::string value;
                for (xmlNodePtr child = entry->children; child != nullptr; child = child->next) {
                    if (child->content != nullptr) {
                        value += reinterpret_cast<const char*>(child->content);
                    }
                }
                bytes += name.size() + value.size();
                ++entries;
            }
        }
        xmlFreeDoc(doc);
        benchmark::DoNotOptimize(bytes);
        if (entries != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("walk lost entries");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ReadFromMemory(benchmark::State& state) {
    const std::string text = cacheDocument(static_cast<int>(state.range(0)));
    ConfigMap values;
    ConfigKeySet sensitive;
    for (auto _ : state) {
        if (!XmlConfigParser::readFromMemory(text, values, sensitive) ||
            values.size() != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("parse failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ReadFromEncryptedFile(benchmark::State& state) {
    const std::string path = root + "/config/Cache/cachedBenchConfigStore.dat";
    XmlConfigParser::writeToFile(path, sampleValues(static_cast<int>(state.range(0))));
    ConfigMap values;
    ConfigKeySet sensitive;
    for (auto _ : state) {
        if (!XmlConfigParser::readFromEncryptedFile(path, values, sensitive) ||
            values.size() != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("read failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// range(0): values held; range(1): 1 with fsync (durable), 0 without.
void BM_PersistValues(benchmark::State& state) {
    const std::string directory = root + "/persist" + std::to_string(state.range(0)) + "_" + std::to_string(state.range(1));
    zvf::storage::EncryptFileUtils::setDurableWrites(state.range(1) != 0);
    LocalFileConfigStore store("LocalFileConfigStore", 20, directory, "nuvrixLocalConfig.dat", false, false, true);
    for (const auto& entry : sampleValues(static_cast<int>(state.range(0)))) {
        store.storeValue(entry.first, entry.second);
    }
    long change = 0;
    for (auto _ : state) {
        // A changed value, so that every call really writes.
        store.storeValue(L"BenchCounter", std::to_wstring(++change));
        store.persistValues();
    }
    zvf::storage::EncryptFileUtils::setDurableWrites(true);
    if (!std::filesystem::exists(directory + "/nuvrixLocalConfig.dat")) {
        state.SkipWithError("nothing was written");
    }
}

}  // namespace

BENCHMARK(BM_BareXmlReadMemoryAndWalk)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadFromMemory)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadFromEncryptedFile)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PersistValues)
    ->ArgNames({"values", "fsync"})
    ->Args({200, 1})
    ->Args({200, 0})
    ->Args({2000, 1})
    ->Args({2000, 0})
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/nuvrix-bench-xml-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        return 1;
    }
    root = buffer.data();
    setenv("NUVRIX_CONFIG_DIR", (root + "/config").c_str(), 1);
    setenv("NUVRIX_LOCAL_APP_DIR", (root + "/local").c_str(), 1);
    std::filesystem::create_directories(root + "/config");
    std::filesystem::create_directories(root + "/local");
    ZVFLogger_setLevel(3);
    xmlInitParser();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return 0;
}
