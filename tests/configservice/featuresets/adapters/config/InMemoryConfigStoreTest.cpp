#include "InMemoryConfigStore.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "StoreManagerTest.h"
#include "logging/LogCapture.h"
#include "logging/ZVFLogger.h"
#include "zvf/common/FipsUtils.h"

using storemanagertest::contentOf;
using storemanagertest::valueOf;
using ZVFUnified::InMemoryConfigStore;

namespace {

class InMemoryConfigStoreTest : public ::testing::Test {
protected:
    void TearDown() override { zvf::common::FipsUtils::setFipsOverrideForTesting(-1); }
    InMemoryConfigStore store{"InMemoryConfigStore", 600};
};

TEST_F(InMemoryConfigStoreTest, KeysDifferingOnlyInCaseAreOneKeyListedInMapOrder) {
    EXPECT_TRUE(store.storeValue(L"Key", L"first"));
    EXPECT_TRUE(store.storeValue(L"KEY", L"second"));
    store.storeValue(L"b", L"2");
    store.storeValue(L"C", L"3");
    store.storeValue(L"A", L"1");
    // The first spelling is the one listed.
    EXPECT_EQ(L"A=1 b=2 C=3 Key=second", contentOf(store));
    EXPECT_EQ(L"second", valueOf(store, L"key"));

    // A miss empties the value; removal reports presence, ignoring case.
    EXPECT_EQ(L"<missing:>", valueOf(store, L"Absent"));
    EXPECT_FALSE(store.removeValue(L"Absent"));
    EXPECT_TRUE(store.removeValue(L"B"));
    EXPECT_EQ(L"<missing:>", valueOf(store, L"b"));

    store.removeAllValues();
    EXPECT_TRUE(store.getKeys().empty());
}

TEST_F(InMemoryConfigStoreTest, PeerToPeerReadsFalseInFipsMode) {
    store.storeValue(L"Telephony_P2P_Enabled", L"true");
    store.storeValue(L"Other", L"true");
    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    EXPECT_EQ(L"false", valueOf(store, L"TELEPHONY_P2P_ENABLED"));
    EXPECT_EQ(L"true", valueOf(store, L"Other"));
    zvf::common::FipsUtils::setFipsOverrideForTesting(0);
    EXPECT_EQ(L"true", valueOf(store, L"Telephony_P2P_Enabled"));
}

TEST_F(InMemoryConfigStoreTest, DescribesItselfAsWritableLocalAndNeverCached) {
    InMemoryConfigStore user("LocalFileConfigStore", 20);
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
    EXPECT_EQ(L"K=v", contentOf(store));
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
    EXPECT_EQ(L"Shared=" + valueOf(store, L"Shared") + L" Writer0=1999 Writer1=1999 Writer2=1999 Writer3=1999",
              contentOf(store));
}

}  // namespace
