// Fuzzes the hash index beside a store's ordered map: the input bytes are a
// program of changes (inserts, replacements, removals, whole-map
// assignments and clears) over a few hundred keys asked in any letter case.
// Property: after every step the indexed map answers a lookup exactly as a
// plain ordered map given the same changes, and at the end it holds the
// same entries.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ConfigMap.h"
#include "FuzzEnvironment.h"
#include "IndexedConfigMap.h"

namespace {

using ZVFUnified::ConfigMap;
using ZVFUnified::IndexedConfigMap;

// Reads the program's bytes; zero once they are used up.
class Program {
public:
    Program(const uint8_t* data, std::size_t size) : data(data), size(size) {}
    bool done() const { return at >= size; }
    unsigned next() { return at < size ? data[at++] : 0; }

private:
    const uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

// One of 300 keys, few enough that removals leave holes inside probe runs,
// each letter upper-cased when its bit of the case mask is set.
std::wstring keyOf(Program& program) {
    const unsigned number = (program.next() << 8 | program.next()) % 300;
    unsigned caseMask = program.next();
    std::wstring key = L"Servers.Primary.Host" + std::to_wstring(number);
    for (wchar_t& c : key) {
        if (c >= L'a' && c <= L'z' && (caseMask & 1) != 0) {
            c = static_cast<wchar_t>(c - 32);
        }
        caseMask = caseMask >> 1 | (caseMask & 1) << 7;
    }
    return key;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Program program(data, size);
    IndexedConfigMap indexed;
    ConfigMap reference;
    for (int step = 0; !program.done(); ++step) {
        const unsigned operation = program.next() % 8;
        const std::wstring key = keyOf(program);
        switch (operation) {
            case 0:
            case 1:
                indexed.assign(key, std::to_wstring(step));
                reference[key] = std::to_wstring(step);
                break;
            case 2:
            case 3:
                FUZZ_CHECK(reference.emplace(key, L"i").second == indexed.insert(key, L"i"),
                           "insert disagrees with the ordered map");
                break;
            case 4:
            case 5:
                FUZZ_CHECK((reference.erase(key) > 0) == indexed.erase(key), "erase disagrees with the ordered map");
                break;
            case 6:
                indexed = ConfigMap(reference);
                break;
            default:
                if (program.next() % 16 == 0) {
                    indexed.clear();
                    reference.clear();
                }
                break;
        }
        const std::wstring asked = keyOf(program);
        const auto expected = reference.find(asked);
        const auto found = indexed.find(asked);
        FUZZ_CHECK((expected == reference.end()) == (found == indexed.end()), "a lookup disagrees about presence");
        if (found != indexed.end()) {
            FUZZ_CHECK(expected->first == found->first && expected->second == found->second,
                       "a lookup found another entry");
        }
    }
    FUZZ_CHECK(reference == indexed.entries(), "the entries differ from the ordered map's");
    return 0;
}
