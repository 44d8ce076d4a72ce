// Time to parse or refuse hostile configuration XML through XmlLibrary,
// beside bare libxml2 on the same text. Every document up to
// XmlLibrary::MAX_DOCUMENT_BYTES must be parsed or refused well within a
// second: the shapes below are those that libxml2 parses in time growing
// faster than their size (attributes of one element, distinct names) and
// the most expensive shapes still accepted at each limit of XmlLibrary.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <libxml/parser.h>

#include "XmlLibrary.h"
#include "logging/ZVFLogger.h"

using ZVFUnified::XmlLibrary;

namespace {

void silence(void*, const char*, ...) {}

std::string repeated(const std::string& piece, std::size_t count) {
    std::string text;
    text.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

// One element with that many distinct attributes.
std::string attributes(std::size_t count, std::size_t first = 0) {
    std::string text = "<e";
    for (std::size_t i = first; i < first + count; ++i) {
        text += " a" + std::to_string(i) + "=''";
    }
    return text + "/>";
}

// Up to a length of at least size, piece after piece.
std::string filled(const std::string& head, const std::string& piece, const std::string& tail, std::size_t size) {
    std::string text = head;
    while (text.size() + piece.size() + tail.size() <= size) {
        text += piece;
    }
    return text + tail;
}

struct Shape {
    const char* name;
    std::string document;
};

const std::vector<Shape>& shapes() {
    static const std::vector<Shape> all = [] {
        const std::size_t limit = XmlLibrary::MAX_DOCUMENT_BYTES;
        std::vector<Shape> list;
        list.push_back({"25000 attributes on one element", "<r>" + attributes(25000) + "</r>"});
        list.push_back({"50000 attributes on one element", "<r>" + attributes(50000) + "</r>"});
        std::string names = "<r>";
        for (std::size_t i = 0; i < 99990; ++i) {
            names += "<k" + std::to_string(i) + "/>";
        }
        list.push_back({"99990 distinct element names", names + "</r>"});
        std::string wide = "<r>";
        for (std::size_t i = 0; i < 389; ++i) {
            wide += attributes(255, i * 255);
        }
        list.push_back({"389 elements of 255 distinct attributes", wide + "</r>"});
        list.push_back({"32 MB of character references", filled("<r>", "&#65;", "</r>", limit)});
        list.push_back({"32 MB of predefined entities", filled("<r>", "&lt;", "</r>", limit)});
        list.push_back({"32 MB in 99990 elements", filled("<r>", "<k>" + std::string(330, 'v') + "</k>", "</r>", limit)});
        list.push_back({"internal entity of 1500 attributes referenced 99000 times",
                        "<!DOCTYPE r [<!ENTITY x \"" + attributes(1500) + "\">]><r>" + repeated("&x;", 99000) +
                            "</r>"});
        return list;
    }();
    return all;
}

void BM_XmlLibraryReadMemory(benchmark::State& state) {
    const Shape& shape = shapes()[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(shape.name);
    for (auto _ : state) {
        xmlDocPtr doc = XmlLibrary::readMemory(nullptr, shape.document.data(), shape.document.size(), "bench");
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(shape.document.size()));
}

// The floor: libxml2 alone with the same options, no limits of ours.
void BM_BareXmlReadMemory(benchmark::State& state) {
    const Shape& shape = shapes()[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(shape.name);
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(shape.document.data(), static_cast<int>(shape.document.size()), "bench",
                                      nullptr, XmlLibrary::PARSE_OPTIONS);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(shape.document.size()));
}

void allShapes(benchmark::internal::Benchmark* benchmark) {
    for (std::size_t i = 0; i < shapes().size(); ++i) {
        benchmark->Arg(static_cast<int64_t>(i));
    }
}

}  // namespace

BENCHMARK(BM_XmlLibraryReadMemory)->Apply(allShapes)->Unit(benchmark::kMillisecond);
// One pass each: libxml2 alone needs seconds for the first shapes.
BENCHMARK(BM_BareXmlReadMemory)->Apply(allShapes)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    ZVFLogger_setLevel(1);
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, silence);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
