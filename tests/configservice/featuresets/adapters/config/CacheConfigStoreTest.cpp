#include "CacheConfigStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "StoreManagerTest.h"
#include "XmlConfigParser.h"
#include "XmlConfigStore.h"
#include "zvf/SecureString.h"
#include "zvf/storage/EncryptFileUtils.h"

using namespace storemanagertest;
using ZVFUnified::CacheConfigStore;
using ZVFUnified::ConfigKeySet;
using ZVFUnified::ConfigMap;
using ZVFUnified::XmlConfigParser;
using ZVFUnified::XmlConfigStore;

namespace {

// Store-manager fixture for the lookups that fall through the cache.
class CacheConfigStoreTest : public StoreManagerTest {
protected:
    void SetUp() override {
        StoreManagerTest::SetUp();
        path = configDir + "/Cache/cachedTFTPConfigStore.dat";
    }

    std::string path;
};

// Construction with values replaces an existing file.
TEST_F(CacheConfigStoreTest, ValuesWrittenAtConstructionAreRestoredFromTheFile) {
    CacheConfigStore earlier("cachedTFTPConfigStore.dat", 11, path, ConfigMap{{L"Old", L"1"}});
    const ConfigMap values{{L"TFTPPrimaryServer", L"10.0.0.1"}, {L"Url", L"https://a/b?c=d&e"}, {L"Empty", L""}};
    CacheConfigStore written("cachedTFTPConfigStore.dat", 11, path, values);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(L"10.0.0.1", valueOf(written, L"TFTPPRIMARYSERVER"));

    CacheConfigStore restored("cachedTFTPConfigStore.dat", 11, path);
    EXPECT_EQ(L"empty= tftpprimaryserver=10.0.0.1 url=https://a/b?c=d&e", contentOf(restored));
    EXPECT_TRUE(restored.isReadOnly());
    EXPECT_TRUE(restored.isLocal());
    EXPECT_FALSE(restored.shouldCacheConfigStore());
}

TEST_F(CacheConfigStoreTest, MissingOrUnreadableFileGivesAnEmptyStore) {
    CacheConfigStore missing("c", 11, configDir + "/Cache/absent.dat");
    EXPECT_TRUE(missing.getKeys().empty());
    nuvrixtest::writeFileBytes(configDir + "/junk.dat", "not encrypted");
    CacheConfigStore junk("c", 11, configDir + "/junk.dat");
    EXPECT_TRUE(junk.getKeys().empty());
}

TEST_F(CacheConfigStoreTest, CertificateValidationEnabledIsNeverServedAndLookupsFallThrough) {
    auto cache = std::make_shared<CacheConfigStore>(
        "cachedTFTPConfigStore.dat", 11, path,
        ConfigMap{{L"CertificateValidationEnabled", L"false"}, {L"Other", L"cached"}});
    EXPECT_EQ(L"<missing:>", valueOf(*cache, L"certificatevalidationenabled"));
    EXPECT_EQ((std::vector<std::wstring>{L"CertificateValidationEnabled", L"Other"}), cache->getKeys());

    manager->addStore(cache);
    addStore("InMemoryConfigStore", 600, writableStore(), {{L"CertificateValidationEnabled", L"true"}});
    EXPECT_EQ(hit(L"true", L"InMemoryConfigStore"), ask(L"CertificateValidationEnabled"));
}

TEST_F(CacheConfigStoreTest, RemoveAllValuesKeepsTheValuesAndRemoveValueLeavesTheFile) {
    CacheConfigStore store("c", 11, path, ConfigMap{{L"A", L"1"}, {L"B", L"2"}});
    store.removeAllValues();
    EXPECT_EQ(2u, store.getKeys().size());
    EXPECT_TRUE(store.removeValue(L"a"));
    EXPECT_FALSE(store.removeValue(L"a"));
    EXPECT_EQ(L"B=2", contentOf(store));
    CacheConfigStore restored("c", 11, path);
    EXPECT_EQ(2u, restored.getKeys().size());
}

TEST_F(CacheConfigStoreTest, PersistValuesWritesTheMemoryContentAndAPlainXmlStoreWritesNothing) {
    CacheConfigStore store("c", 11, path, ConfigMap{{L"A", L"1"}});
    EXPECT_TRUE(store.storeValue(L"B", L"2"));
    store.persistValues();
    CacheConfigStore restored("c", 11, path);
    EXPECT_EQ(L"2", valueOf(restored, L"b"));

    XmlConfigStore loaded("x", 5, false, true, path, true);
    EXPECT_EQ(2u, loaded.getKeys().size());
    EXPECT_FALSE(loaded.isLocal());
    loaded.storeValue(L"C", L"3");
    loaded.persistValues();
    CacheConfigStore again("c", 11, path);
    EXPECT_EQ(2u, again.getKeys().size());

    XmlConfigStore notLoaded("x", 5, true, true, path, false);
    EXPECT_TRUE(notLoaded.getKeys().empty());
    XmlConfigStore plainForm("x", 5, true, false, path, true);
    EXPECT_EQ(2u, plainForm.getKeys().size());
}

TEST_F(CacheConfigStoreTest, LookupsRunBesideFileWrites) {
    CacheConfigStore store("c", 11, path, ConfigMap{{L"Stable", L"s"}});
    std::atomic<bool> stop{false};
    std::atomic<int> misses{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                std::wstring value;
                if (!store.getValue(L"stable", value) || value != L"s") {
                    ++misses;
                }
                store.getKeys();
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        store.storeValue(L"K" + std::to_wstring(i), L"v");
        store.persistValues();
    }
    stop = true;
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(0, misses.load());
    CacheConfigStore restored("c", 11, path);
    EXPECT_EQ(21u, restored.getKeys().size());
}

}  // namespace
