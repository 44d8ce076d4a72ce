#include "InMemoryConfigStore.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "logging/LogCapture.h"
#include "logging/ZVFLogger.h"
#include "zvf/common/FipsUtils.h"

using ZVFUnified::InMemoryConfigStore;

namespace {

class InMemoryConfigStoreTest : public ::testing::Test {
protected:
    void TearDown() override { zvf::common::FipsUtils::setFipsOverrideForTesting(-1); }
    InMemoryConfigStore store{"InMemoryConfigStore", 600};
};

TEST_F(InMemoryConfigStoreTest, KeysDifferingOnlyInCaseAreOneKey) {
    EXPECT_TRUE(store.storeValue(L"Key", L"first"));
    EXPECT_TRUE(store.storeValue(L"KEY", L"second"));

    std::wstring value;
    EXPECT_TRUE(store.getValue(L"key", value));
    EXPECT_EQ(L"second", value);
    // The first spelling is the one listed.
    EXPECT_EQ(std::vector<std::wstring>{L"Key"}, store.getKeys());
}

TEST_F(InMemoryConfigStoreTest, MissEmptiesTheValueAndRemovalReportsPresence) {
    std::wstring value = L"stale";
    EXPECT_FALSE(store.getValue(L"Absent", value));
    EXPECT_EQ(L"", value);
    EXPECT_FALSE(store.removeValue(L"Absent"));

    store.storeValue(L"Present", L"v");
    EXPECT_TRUE(store.removeValue(L"PRESENT"));
    EXPECT_FALSE(store.getValue(L"Present", value));
}

TEST_F(InMemoryConfigStoreTest, KeysComeInMapOrderAndRemoveAllEmptiesTheStore) {
    store.storeValue(L"b", L"2");
    store.storeValue(L"C", L"3");
    store.storeValue(L"A", L"1");
    std::vector<std::wstring> expected = {L"A", L"b", L"C"};
    EXPECT_EQ(expected, store.getKeys());

    store.removeAllValues();
    EXPECT_TRUE(store.getKeys().empty());
}

TEST_F(InMemoryConfigStoreTest, PeerToPeerReadsFalseInFipsMode) {
    store.storeValue(L"Telephony_P2P_Enabled", L"true");
    store.storeValue(L"Other", L"true");
    std::wstring value;

    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    EXPECT_TRUE(store.getValue(L"TELEPHONY_P2P_ENABLED", value));
    EXPECT_EQ(L"false", value);
    EXPECT_TRUE(store.getValue(L"Other", value));
    EXPECT_EQ(L"true", value);

    zvf::common::FipsUtils::setFipsOverrideForTesting(0);
    EXPECT_TRUE(store.getValue(L"Telephony_P2P_Enabled", value));
    EXPECT_EQ(L"true", value);
}

TEST_F(InMemoryConfigStoreTest, DescribesItselfAsWritableLocalAndNeverCached) {
    InMemoryConfigStore user("LocalFileConfigStore", 20);
    EXPECT_EQ("LocalFileConfigStore", user.getName());
    EXPECT_EQ(20, user.getPriority());
    EXPECT_EQ(21, user.getCachedPriority());
    EXPECT_FALSE(user.isReadOnly());
    EXPECT_TRUE(user.isLocal());
    EXPECT_TRUE(user.waitForStoreReady());
    EXPECT_FALSE(user.shouldCacheConfigStore());
}

TEST_F(InMemoryConfigStoreTest, PersistingWritesNothingAndSaysSoOnlyInDebugLog) {
    const int previous = ZVFLogger_getLevel();
    store.storeValue(L"K", L"v");
    {
        ZVFLogger_setLevel(5);
        LogCapture capture;
        store.persistValues();
        EXPECT_EQ(1u, capture.count("PersistValues() is not implemented for InMemoryConfigStore ignoring", 5));
        ZVFLogger_setLevel(4);
        capture.clear();
        store.persistValues();
        EXPECT_TRUE(capture.records().empty());
    }
    ZVFLogger_setLevel(previous);
    store.destroy();
    std::wstring value;
    EXPECT_TRUE(store.getValue(L"K", value));
    EXPECT_EQ(L"v", value);
}

TEST_F(InMemoryConfigStoreTest, ConcurrentWritersAndReadersSeeWholeValues) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            const std::wstring mine = L"Writer" + std::to_wstring(t);
            for (int i = 0; i < 2000; ++i) {
                store.storeValue(mine, std::to_wstring(i));
                store.storeValue(L"Shared", mine);
            }
        });
        threads.emplace_back([this] {
            std::wstring value;
            for (int i = 0; i < 2000; ++i) {
                if (store.getValue(L"Shared", value)) {
                    EXPECT_EQ(0u, value.find(L"Writer"));
                }
                store.getKeys();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::wstring value;
    for (int t = 0; t < 4; ++t) {
        EXPECT_TRUE(store.getValue(L"Writer" + std::to_wstring(t), value));
        EXPECT_EQ(L"1999", value);
    }
}

}  // namespace
