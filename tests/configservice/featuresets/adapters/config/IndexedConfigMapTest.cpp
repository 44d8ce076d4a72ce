// The hash index beside a store's ordered map must answer exactly as the
// map does through any sequence of inserts, replacements and removals,
// whatever letter case a key is asked in.
#include "IndexedConfigMap.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using ZVFUnified::ConfigMap;
using ZVFUnified::IndexedConfigMap;

TEST(IndexedConfigMapTest, AnswersAsTheOrderedMapThroughRandomChangesInAnyLetterCase) {
    std::mt19937 random(20261206);
    IndexedConfigMap indexed;
    ConfigMap reference;
    // Few distinct keys, so that removals leave holes inside probe runs.
    auto keyOf = [&random](bool mixCase) {
        std::wstring key = L"Servers.Primary.Host" + std::to_wstring(random() % 300);
        if (mixCase) {
            for (wchar_t& c : key) {
                c = (random() % 2 && c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
            }
        }
        return key;
    };
    for (int step = 0; step < 20000; ++step) {
        const std::wstring key = keyOf(true);
        switch (random() % 4) {
            case 0:
                indexed.assign(key, std::to_wstring(step));
                reference[key] = std::to_wstring(step);
                break;
            case 1:
                EXPECT_EQ(reference.emplace(key, L"i").second, indexed.insert(key, L"i"));
                break;
            case 2:
                EXPECT_EQ(reference.erase(key) > 0, indexed.erase(key));
                break;
            default:
                if (step % 5000 == 0) {
                    indexed = ConfigMap(reference);
                }
                break;
        }
        const std::wstring asked = keyOf(true);
        auto expected = reference.find(asked);
        auto found = indexed.find(asked);
        ASSERT_EQ(expected == reference.end(), found == indexed.end()) << step;
        if (found != indexed.end()) {
            EXPECT_EQ(expected->first, found->first);
            EXPECT_EQ(expected->second, found->second);
        }
    }
    EXPECT_EQ(reference, indexed.entries());
    indexed.clear();
    EXPECT_EQ(indexed.end(), indexed.find(L"Servers.Primary.Host1"));
    indexed.assign(L"k", L"v");
    EXPECT_EQ(L"v", indexed.find(L"K")->second);
}

}  // namespace
